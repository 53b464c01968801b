#include "Telnet.h"

#include <cstring>

namespace lumvaris::link {

using namespace telnet;

namespace {

void AppendCommand(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, verb, option});
}

// Rates travel as four bytes, most significant first.
void PutRate(int rate, std::uint8_t (&bytes)[4]) {
    const auto v = static_cast<std::uint32_t>(rate < 0 ? 0 : rate);
    bytes[0] = static_cast<std::uint8_t>(v >> 24);
    bytes[1] = static_cast<std::uint8_t>(v >> 16);
    bytes[2] = static_cast<std::uint8_t>(v >> 8);
    bytes[3] = static_cast<std::uint8_t>(v);
}

int GetRate(const std::uint8_t* bytes) {
    const std::uint32_t v = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                            (std::uint32_t{bytes[2]} << 8) | bytes[3];
    return v > 0x7FFFFFFFu ? 0 : static_cast<int>(v);
}

constexpr std::uint8_t Code(ComPort c) {
    return static_cast<std::uint8_t>(c);
}

}  // namespace

TelnetCodec::TelnetCodec(Role role) : role_(role) {
    // What the greeting asks for.
    local_[kBinary] = local_[kSuppressGoAhead] = Q::WantYes;
    remote_[kBinary] = remote_[kSuppressGoAhead] = Q::WantYes;
    (role_ == Role::Client ? local_ : remote_)[kComPortOption] = Q::WantYes;
}

std::vector<std::uint8_t> TelnetCodec::Greeting() const {
    std::vector<std::uint8_t> out;
    if (role_ == Role::Server) {
        AppendCommand(kDo, kComPortOption, out);
    }
    AppendCommand(kWill, kBinary, out);
    AppendCommand(kDo, kBinary, out);
    AppendCommand(kWill, kSuppressGoAhead, out);
    AppendCommand(kDo, kSuppressGoAhead, out);
    if (role_ == Role::Client) {
        AppendCommand(kWill, kComPortOption, out);
    }
    return out;
}

void TelnetCodec::Escape(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& out) {
    const std::uint8_t* end = data + count;
    while (data < end) {
        const auto* iac = static_cast<const std::uint8_t*>(std::memchr(data, kIac, end - data));
        const std::uint8_t* stop = iac != nullptr ? iac + 1 : end;
        out.insert(out.end(), data, stop);
        if (iac != nullptr) {
            out.push_back(kIac);
        }
        data = stop;
    }
}

void TelnetCodec::AppendComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count,
                                std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, kSb, kComPortOption, command});
    Escape(value, count, out);
    out.insert(out.end(), {kIac, kSe});
}

std::vector<std::uint8_t> TelnetCodec::SetLine(int baudRate) {
    std::vector<std::uint8_t> out;
    std::uint8_t rate[4];
    PutRate(baudRate, rate);
    AppendComPort(Code(ComPort::SetBaudRate), rate, 4, out);
    const std::pair<ComPort, std::uint8_t> settings[] = {
        {ComPort::SetDataSize, kDataSize8},   {ComPort::SetParity, kParityNone},
        {ComPort::SetStopSize, kStopSize1},   {ComPort::SetControl, kControlNoFlow},
        {ComPort::SetControl, kControlDtrOn}, {ComPort::SetControl, kControlRtsOn},
    };
    for (const auto& [command, value] : settings) {
        AppendComPort(Code(command), &value, 1, out);
    }
    return out;
}

bool TelnetCodec::ComPortAgreed() const {
    return local_[kComPortOption] == Q::Yes || remote_[kComPortOption] == Q::Yes;
}

bool TelnetCodec::Supported(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply) {
    const bool remote = verb == kWill || verb == kWont;
    const bool enable = verb == kWill || verb == kDo;
    Q& q = remote ? remote_[option] : local_[option];
    const std::uint8_t agree = remote ? kDo : kWill;
    const std::uint8_t refuse = remote ? kDont : kWont;
    if (enable) {
        if (q == Q::WantYes) {
            q = Q::Yes;  // the answer to our own request
        } else if (q == Q::No) {
            if (Supported(option)) {
                q = Q::Yes;
                AppendCommand(agree, option, reply);
            } else {
                const std::uint8_t bit = remote ? 2 : 1;
                if ((refused_[option] & bit) == 0) {
                    refused_[option] |= bit;
                    AppendCommand(refuse, option, reply);
                }
            }
        }
        return;
    }
    if (q == Q::Yes) {
        AppendCommand(refuse, option, reply);  // the peer may always switch an option off
    }
    q = Q::No;  // from WantYes: our request was refused, which needs no answer
}

void TelnetCodec::Feed(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& data,
                       std::vector<std::uint8_t>& reply) {
    const std::uint8_t* end = bytes + count;
    while (bytes < end) {
        if (state_ == State::Data) {
            const auto* iac = static_cast<const std::uint8_t*>(std::memchr(bytes, kIac, end - bytes));
            const std::uint8_t* stop = iac != nullptr ? iac : end;
            data.insert(data.end(), bytes, stop);
            bytes = stop;
            if (iac != nullptr) {
                state_ = State::Iac;
                ++bytes;
            }
            continue;
        }
        const std::uint8_t b = *bytes++;
        switch (state_) {
            case State::Data:
                break;
            case State::Iac:
                if (b == kIac) {
                    data.push_back(kIac);
                    state_ = State::Data;
                } else if (b >= kWill) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    sbCount_ = 0;
                    state_ = State::Sb;
                } else {
                    state_ = State::Data;  // NOP, GA, BRK, ... and stray bytes: nothing to do
                }
                break;
            case State::Verb:
                Negotiate(verb_, b, reply);
                state_ = State::Data;
                break;
            case State::Sb:
                if (b == kIac) {
                    state_ = State::SbIac;
                } else if (sbCount_ < sb_.size()) {
                    sb_[sbCount_++] = b;
                } else {
                    state_ = State::SbDrop;
                }
                break;
            case State::SbIac:
                if (b == kIac) {
                    if (sbCount_ < sb_.size()) {
                        sb_[sbCount_++] = kIac;
                        state_ = State::Sb;
                    } else {
                        state_ = State::SbDrop;
                    }
                } else if (b == kSe) {
                    Subnegotiation(reply);
                    state_ = State::Data;
                } else {
                    // A command inside a subnegotiation: the peer never finished it. Drop it and
                    // take the command as it stands.
                    state_ = State::Iac;
                    --bytes;
                }
                break;
            case State::SbDrop:
                if (b == kIac) {
                    state_ = State::SbDropIac;
                }
                break;
            case State::SbDropIac:
                // IAC IAC is an escaped data byte of the dropped subnegotiation; only IAC SE ends it.
                state_ = b == kSe ? State::Data : State::SbDrop;
                break;
        }
    }
}

void TelnetCodec::Subnegotiation(std::vector<std::uint8_t>& reply) {
    if (sbCount_ < 2 || sb_[0] != kComPortOption) {
        return;  // an option we never agreed to
    }
    const std::uint8_t command = sb_[1];
    if (role_ == Role::Server) {
        ServerComPort(command, sb_.data() + 2, sbCount_ - 2, reply);
    } else {
        ClientComPort(command, sb_.data() + 2, sbCount_ - 2);
    }
}

void TelnetCodec::ServerComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count,
                                std::vector<std::uint8_t>& reply) {
    const auto answer = [&](std::uint8_t v) { AppendComPort(command + kServerReply, &v, 1, reply); };
    const auto setting = [&](std::uint8_t& held) {
        if (value[0] != kQuery) {
            held = value[0];
        }
        answer(held);
    };
    switch (static_cast<ComPort>(command)) {
        case ComPort::SetBaudRate: {
            if (count != 4) {
                return;
            }
            const int requested = GetRate(value);
            if (baudRateHandler_) {
                baudRate_ = baudRateHandler_(requested);
            } else if (requested != 0) {
                baudRate_ = requested;
            }
            std::uint8_t rate[4];
            PutRate(baudRate_, rate);
            AppendComPort(command + kServerReply, rate, 4, reply);
            return;
        }
        case ComPort::SetDataSize:
        case ComPort::SetParity:
        case ComPort::SetStopSize:
        case ComPort::SetControl:
        case ComPort::SetLineStateMask:
        case ComPort::SetModemStateMask:
        case ComPort::PurgeData:
            if (count != 1) {
                return;
            }
            break;
        default:
            return;  // notifications and flow control want no answer
    }
    switch (static_cast<ComPort>(command)) {
        case ComPort::SetDataSize:
            setting(dataSize_);
            break;
        case ComPort::SetParity:
            setting(parity_);
            break;
        case ComPort::SetStopSize:
            setting(stopSize_);
            break;
        case ComPort::SetControl:
            // The queries ask for a state; this line has no flow control, and DTR and RTS are up.
            switch (value[0]) {
                case kQuery:
                    answer(kControlNoFlow);
                    break;
                case kControlBreakQuery:
                    answer(kControlBreakOff);
                    break;
                case kControlDtrQuery:
                    answer(kControlDtrOn);
                    break;
                case kControlRtsQuery:
                    answer(kControlRtsOn);
                    break;
                case kControlInboundFlowQuery:
                    answer(kControlInboundNoFlow);
                    break;
                default:
                    answer(value[0]);
            }
            break;
        default:
            answer(value[0]);
    }
}

void TelnetCodec::ClientComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count) {
    if (command == Code(ComPort::SetBaudRate) + kServerReply && count == 4) {
        confirmedBaudRate_ = GetRate(value);
    }
}

}  // namespace lumvaris::link
