#include "Simulator.h"

#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "Catalogue.h"

namespace lumvaris::sim {
namespace {

constexpr Millis kClientCheckMs = 50;  // how often a pseudo-terminal without client is looked at
constexpr Millis kMaxWaitMs = 1000;
constexpr std::size_t kMaxQueued = 256;  // frames waiting for the line
constexpr std::uint64_t kFaultSeedMix = 0x5DEECE66Dull;

}  // namespace

Millis SteadyMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Simulator::Simulator(const SimOptions& options, Transport& transport, std::FILE* log, bool fleet)
    : options_(options),
      faults_(options_.faults),
      transport_(transport),
      log_(log),
      concentrator_(options_.concentrator, SteadyMillis()),
      random_(options_.concentrator.seed ^ kFaultSeedMix),
      port_(transport.Fd()),
      fleet_(fleet),
      start_(SteadyMillis()) {
    silentAt_ = faults_.silentAfterSec > 0 ? start_ + static_cast<Millis>(faults_.silentAfterSec * 1000) : -1;
    hangupAfterMs_ = faults_.hangupAfterSec > 0 ? static_cast<Millis>(faults_.hangupAfterSec * 1000) : -1;
    hangupAt_ = hangupAfterMs_ >= 0 ? start_ + hangupAfterMs_ : -1;
    pty_ = transport_.IsPseudoTerminal();
    network_ = transport_.IsNetwork();
    calling_ = transport_.GetKind() == Transport::Kind::Call;
    redialAt_ = start_;
    wake_ = start_;
}

double Simulator::Elapsed() const {
    return static_cast<double>(SteadyMillis() - start_) / 1000.0;
}

// "seconds since start", in a fleet the concentrator's UART-ID, then the line itself.
void Simulator::LogLine(const char* text) {
    if (fleet_) {
        std::fprintf(log_, "%10.3f %04X %s\n", Elapsed(), concentrator_.UartId(), text);
    } else {
        std::fprintf(log_, "%10.3f %s\n", Elapsed(), text);
    }
    std::fflush(log_);
}

void Simulator::LogNote(const std::string& text) {
    if (log_ != nullptr) {
        LogLine(("-- " + text).c_str());
    }
}

void Simulator::LogFrame(const char* direction, const std::uint8_t* bytes, std::size_t size,
                         const char* remark) {
    if (log_ == nullptr) {
        return;
    }
    std::string line = direction;
    line.reserve(size * 3 + 64);
    char cell[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
        line += cell;
    }
    line += " | " + DescribeFrame(bytes, size) + remark;
    LogLine(line.c_str());
}

void Simulator::LogGarbage(const std::uint8_t* bytes, std::size_t size) {
    if (log_ == nullptr) {
        return;
    }
    std::string line = "GB";
    char cell[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
        line += cell;
    }
    line += " | garbage";
    LogLine(line.c_str());
}

void Simulator::Notes(const std::vector<std::string>& notes) {
    for (const std::string& n : notes) {
        LogNote(n);
    }
}

void Simulator::Connect() {
    client_ = true;
    port_.ClearHangUp();
    receiver_ = std::make_unique<link::Receiver>(port_);
    receiver_->SetConsumer(this);
    queue_.clear();
    waitWritable_ = false;
    if (!transport_.IsNetwork()) {
        LogNote(transport_.IsPseudoTerminal() ? "client opened the port" : "serving " + transport_.Path());
        return;
    }
    hangupPending_ = false;
    connectionRequests_ = 0;
    connectedAt_ = SteadyMillis();
    telnet_.reset();
    if (options_.rfc2217) {
        telnet_ = std::make_unique<link::TelnetCodec>(link::TelnetCodec::Role::Server);
        telnet_->SetBaudRateHandler([this](int requested) { return RateAsked(requested); });
    }
    port_.Attach(transport_.Fd(), telnet_.get());
    if (!options_.callIdent.empty()) {
        port_.SendRaw(IdentText(options_.callIdent, concentrator_.UartId()) + "\r\n");
    }
}

void Simulator::Disconnect(const std::string& why) {
    client_ = false;
    receiver_.reset();
    queue_.clear();
    waitWritable_ = false;
    LogNote(why);
}

void Simulator::HangUpNetwork(const std::string& why, Millis now) {
    if (client_) {
        Disconnect(why);
    } else {
        LogNote(why);
    }
    hangupPending_ = false;
    transport_.CloseConnection();
    port_.Attach(-1, nullptr);
    telnet_.reset();
    if (transport_.GetKind() == Transport::Kind::Call) {
        redialAt_ = now + options_.redialMs;
    }
}

void Simulator::Accept() {
    const bool replacing = client_;
    std::string peer;
    if (!transport_.Accept(peer)) {
        return;
    }
    if (replacing) {
        // As a device server's "kick the old user": the new client takes the port.
        Disconnect("client replaced by a new one");
    }
    LogNote("client connected from " + peer);
    Connect();
}

void Simulator::Dial(Millis now) {
    std::string error;
    if (transport_.StartCall(error)) {
        LogNote("calling " + transport_.Path().substr(5));
        return;
    }
    LogNote("call failed: " + error);
    redialAt_ = now + options_.redialMs;
}

void Simulator::CallProgress(Millis now) {
    std::string error;
    if (!transport_.CallAnswered(error)) {
        LogNote("call failed: " + error);
        redialAt_ = now + options_.redialMs;
        return;
    }
    LogNote("call answered");
    Connect();
}

int Simulator::RateAsked(int requested) {
    const int current = BaudOf(concentrator_.RateIndex());
    if (requested == 0) {
        return current;
    }
    const int index = RateIndexOf(requested);
    if (index < 0) {
        LogNote("rate " + std::to_string(requested) + " refused: the line stays at " +
                std::to_string(current));
        return current;
    }
    // The concentrator's line follows, as its rate index shows.
    concentrator_.SetRateIndex(index);
    LogNote("rate " + std::to_string(requested));
    return requested;
}

void Simulator::HandleReply(link::FrameBuffer& frame) {
    const Millis now = SteadyMillis();
    LogFrame("RX", frame.data(), link::FrameLength(frame), "");
    const bool refuse = faults_.refuseType >= 0 && link::TypeCode(frame) == faults_.refuseType;
    RequestResult result = concentrator_.HandleRequest(frame, now, refuse);
    Notes(result.notes);
    if (!result.addressed) {
        LogNote("not addressed to this concentrator");
        return;
    }
    ++requests_;
    ++connectionRequests_;
    if (!Sending()) {
        if (!result.out.empty()) {
            LogNote("silent: no answer");
        }
        return;
    }
    for (Outgoing& out : result.out) {
        if (random_.Chance(faults_.drop)) {
            LogFrame("--", out.bytes.data(), out.bytes.size(), " [dropped]");
            continue;
        }
        out.delayMs += faults_.delayMs;
        Enqueue(std::move(out), now);
    }
    if (faults_.silentAfterRequests > 0 && requests_ >= faults_.silentAfterRequests && !silent_) {
        silent_ = true;
        LogNote("silent from now on (" + std::to_string(requests_) + " requests)");
    }
    const int counted = transport_.IsNetwork() ? connectionRequests_ : requests_;
    if (faults_.hangupAfterRequests > 0 && counted >= faults_.hangupAfterRequests) {
        hangupPending_ = true;
    }
}

void Simulator::HandleMeterPacket(const link::FrameBuffer& frame) {
    LogFrame("RX", frame.data(), link::FrameLength(frame), " [ignored]");
}

void Simulator::Enqueue(Outgoing out, Millis now) {
    Item item;
    item.due = now + std::max(out.delayMs, 0);
    item.rateAfter = out.rateAfter;
    item.packet = !out.reply;
    if (random_.Chance(faults_.garbage)) {
        const int count = random_.Between(1, 8);
        for (int i = 0; i < count; ++i) {
            item.bytes.push_back(static_cast<std::uint8_t>(random_.Below(256)));
        }
        item.garbage = item.bytes.size();
    }
    if (random_.Chance(faults_.corrupt) && !out.bytes.empty()) {
        out.bytes.back() ^= static_cast<std::uint8_t>(random_.Between(1, 255));
        item.corrupted = true;
    }
    item.bytes.insert(item.bytes.end(), out.bytes.begin(), out.bytes.end());
    // Keep the order of due times; a frame already on its way is never cut into.
    auto at = queue_.end();
    while (at != queue_.begin()) {
        auto before = std::prev(at);
        if (before->due <= item.due || before->written > 0) {
            break;
        }
        at = before;
    }
    queue_.insert(at, std::move(item));
}

bool Simulator::Flush(Millis now) {
    waitWritable_ = false;
    while (!queue_.empty()) {
        Item& item = queue_.front();
        if (item.written == 0 && item.due > now) {
            return true;
        }
        if (faults_.dribbleMs > 0 && now < nextByteAt_) {
            return true;
        }
        const std::size_t count = faults_.dribbleMs > 0 ? 1 : item.bytes.size() - item.written;
        const ssize_t n = port_.Send(item.bytes.data() + item.written, count);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                waitWritable_ = true;
                return true;
            }
            return false;
        }
        item.written += static_cast<std::size_t>(n);
        if (faults_.dribbleMs > 0) {
            nextByteAt_ = now + faults_.dribbleMs;
        }
        if (item.written < item.bytes.size()) {
            if (faults_.dribbleMs > 0) {
                return true;
            }
            continue;
        }
        if (item.garbage > 0) {
            LogGarbage(item.bytes.data(), item.garbage);
        }
        LogFrame("TX", item.bytes.data() + item.garbage, item.bytes.size() - item.garbage,
                 item.corrupted ? " [corrupted checksum]" : "");
        const int rate = item.rateAfter;
        packetsSent_ += item.packet ? 1 : 0;
        queue_.pop_front();
        if (rate >= 0 && transport_.GetKind() == Transport::Kind::SerialPort) {
            // The answer has left at the old rate; the line follows the new one from here.
            LogNote(transport_.SetRate(BaudOf(rate)) ? "line rate now " + std::to_string(BaudOf(rate))
                                                     : std::string("line rate change failed"));
        } else if (rate >= 0 && telnet_) {
            // The far end's port takes the new rate when the client sets it (SET-BAUDRATE).
            LogNote("line rate now " + std::to_string(BaudOf(rate)));
        }
        if (faults_.dribbleMs > 0) {
            return true;
        }
    }
    return true;
}

int Simulator::Finish() {
    transport_.Close();
    LogNote("hung up: port closed");
    wake_ = SteadyMillis() + kMaxWaitMs;
    for (Interest& i : interest_) {
        i = {};
    }
    return 0;
}

int Simulator::Service() {
    for (;;) {
        const Millis now = SteadyMillis();
        // On a network port the time counts from each connection.
        const Millis connectionHangupAt =
            network_ && client_ && hangupAfterMs_ >= 0 ? connectedAt_ + hangupAfterMs_ : -1;
        if (!network_ && hangupAt_ >= 0 && now >= hangupAt_) {
            return Finish();
        }
        if (connectionHangupAt >= 0 && now >= connectionHangupAt) {
            HangUpNetwork("hung up: connection closed", now);
            continue;
        }
        if (silentAt_ >= 0 && now >= silentAt_ && !silent_) {
            silent_ = true;
            LogNote("silent from now on");
        }
        if (!network_) {
            const bool present = transport_.ClientPresent();
            if (present && !client_) {
                Connect();
            } else if (!present && client_) {
                Disconnect("client closed the port");
            }
        } else if (calling_ && !client_ && !transport_.Dialing() && now >= redialAt_) {
            Dial(now);
        }

        RequestResult live = concentrator_.Tick(now);
        Notes(live.notes);
        if (Sending()) {
            for (Outgoing& out : live.out) {
                // A slow line cannot keep up with a very fast network: the surplus is not heard.
                if (queue_.size() < kMaxQueued) {
                    Enqueue(std::move(out), now);
                }
            }
        }
        if (client_ && !Flush(now)) {
            if (network_) {
                HangUpNetwork("connection lost: " + std::string(std::strerror(errno)), now);
                continue;
            }
            if (!pty_) {
                LogNote("the serial port failed: " + std::string(std::strerror(errno)));
                return 1;
            }
            Disconnect("client closed the port");
        }
        if (hangupPending_ && queue_.empty()) {
            if (!network_) {
                return Finish();
            }
            if (client_ && !port_.OutPending()) {
                HangUpNetwork("hung up: connection closed", now);
                continue;
            }
        }
        Plan(now);
        return kRunning;
    }
}

void Simulator::Plan(Millis now) {
    // The next thing to do.
    Millis wake = std::min(concentrator_.NextEventTime(), now + kMaxWaitMs);
    if (!queue_.empty() && !waitWritable_) {
        wake = std::min(wake,
                        queue_.front().written > 0 ? nextByteAt_ : std::max(queue_.front().due, nextByteAt_));
    }
    if (pty_ && !client_ && transport_.WatchFd() < 0) {
        wake = std::min(wake, now + kClientCheckMs);
    }
    if (silentAt_ >= 0 && !silent_) {
        wake = std::min(wake, silentAt_);
    }
    if (!network_ && hangupAt_ >= 0) {
        wake = std::min(wake, hangupAt_);
    }
    if (network_ && client_ && hangupAfterMs_ >= 0) {
        wake = std::min(wake, connectedAt_ + hangupAfterMs_);
    }
    if (calling_ && !client_ && !transport_.Dialing()) {
        wake = std::min(wake, redialAt_);
    }
    wake_ = wake;
    // The watch, when there is one, wakes the loop for a client's arrival and departure; a
    // listening socket for a new client (who replaces the one served); a call being dialled when it
    // is answered or fails.
    interest_[kWatchSlot] = {transport_.WatchFd(), static_cast<short>(transport_.WatchFd() >= 0 ? POLLIN : 0),
                             0};
    interest_[kListenSlot] = {transport_.ListenFd(),
                              static_cast<short>(transport_.ListenFd() >= 0 ? POLLIN : 0), 0};
    short events = 0;
    if (client_) {
        const bool out = waitWritable_ || (network_ && port_.OutPending());
        events = static_cast<short>(POLLIN | (out ? POLLOUT : 0));
    } else if (transport_.Dialing()) {
        events = POLLOUT;
    }
    interest_[kLinkSlot] = {transport_.Fd(), transport_.Fd() >= 0 ? events : short{0},
                            transport_.Generation()};
}

int Simulator::HandleEvents(const std::array<short, kSlots>& revents) {
    const Millis now = SteadyMillis();
    const short link = revents[kLinkSlot];
    if (network_ && !client_ && transport_.Dialing() && link != 0) {
        CallProgress(now);
        return kRunning;
    }
    if (client_ && network_ && (link & POLLOUT) != 0 && !port_.FlushOut()) {
        HangUpNetwork("connection lost", now);
        return kRunning;
    }
    if (client_ && (link & (POLLIN | POLLHUP | POLLERR)) != 0) {
        receiver_->Step();
        if (port_.HungUp() || (!pty_ && !network_ && (link & (POLLHUP | POLLERR)) != 0)) {
            if (network_) {
                HangUpNetwork(calling_ ? "the collector hung up" : "client closed the connection", now);
                return kRunning;
            }
            if (!pty_) {
                LogNote("the serial port went away");
                return 1;
            }
            Disconnect("client closed the port");
        }
    }
    // After the reading, so that the old client's last bytes are not read as the new one's.
    if ((revents[kListenSlot] & POLLIN) != 0) {
        Accept();
    }
    return kRunning;
}

}  // namespace lumvaris::sim
