#include "Concentrator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "Catalogue.h"

namespace lumvaris::sim {
namespace {

constexpr std::uint16_t kUartIdFirst = 0x2001;
constexpr std::uint16_t kUartIdLast = 0x2FFF;
constexpr std::uint8_t kConfigMask = 0x3D;  // bits 1, 6 and 7 are always 0
constexpr int kMaxCatchUp = 10;             // packets made up at most after a stall

bool IsProtected(std::uint8_t type) {
    return type == 0x01 || type == 0x08 || type == 0x09 || type == 0x0A;
}

// Family 0x4 values fixed at midnight: the records the last-months buffer keeps.
bool IsMonthValue(std::uint8_t type) {
    return (type >= 0x40 && type <= 0x43) || type == 0x45 || type == 0x46 || type == 0x4F;
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string out;
    char cell[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        out += cell;
    }
    return out;
}

Concentrator::BufferRecord MakeRecord(const MeterPacket& p, RtcSeconds at) {
    const CivilTime t = FromRtcSeconds(at);
    return {p.type,
            static_cast<std::uint8_t>(p.wordA & 0xFF),
            static_cast<std::uint8_t>(p.wordA >> 8),
            static_cast<std::uint8_t>(p.wordB & 0xFF),
            static_cast<std::uint8_t>(p.wordB >> 8),
            p.level,
            static_cast<std::uint8_t>(t.minute),
            static_cast<std::uint8_t>(t.hour),
            static_cast<std::uint8_t>(t.day - 1),
            static_cast<std::uint8_t>(t.month - 1),
            static_cast<std::uint8_t>((t.year - 2000) % 100)};
}

}  // namespace

Concentrator::Concentrator(const ConcentratorSettings& settings, Millis now)
    : settings_(settings),
      uartId_(settings.uartId),
      config_(static_cast<std::uint8_t>(settings.config & kConfigMask)),
      networkSize_(settings.networkSize),
      rateIndex_(settings.rateIndex <= 2 ? settings.rateIndex : 0),
      billingDay_(settings.billingDay),
      trimPpm_(settings.trimPpm),
      password_(settings.password),
      freeCells_(std::clamp(settings.plcCells, 0, 255)),
      network_(std::clamp(settings.meters, 0, 4094), settings.seed) {
    settings_.plcCellMs = std::max(settings_.plcCellMs, 1);
    settings_.intervalMs = std::max(settings_.intervalMs, 1);
    anchor_ = now;
    anchorRtcMs_ = settings.clockStart * 1000;
    lastStart_ = settings.clockStart;
    nextCellFree_ = now + settings_.plcCellMs;
    nextPacket_ = now + (settings_.firstPacketMs >= 0 ? settings_.firstPacketMs : settings_.intervalMs);

    // What the buffers already hold at power-up: each meter's midnight reading of today as its
    // last packet, and the tariff 1 readings of the 21 months before as its month history.
    const CivilTime today = FromRtcSeconds(settings.clockStart);
    for (int m = 1; m <= network_.MeterCount(); ++m) {
        if (network_.IsWaterMeter(m)) {
            continue;
        }
        const auto meter = static_cast<std::uint16_t>(m);
        CivilTime midnight = today;
        midnight.hour = midnight.minute = midnight.second = 0;
        lastPackets_[meter] = MakeRecord(network_.Snapshot(m, 0x40), ToRtcSeconds(midnight));
        auto& history = months_[meter];
        history.reserve(kMonthRecords);
        for (int ago = 1; ago <= 21; ++ago) {
            CivilTime first{today.year, today.month - ago, 1, 0, 0, 0};
            while (first.month < 1) {
                first.month += 12;
                --first.year;
            }
            if (first.year < 2000) {
                continue;
            }
            history.push_back(MakeRecord(network_.Snapshot(m, 0x40, ago), ToRtcSeconds(first)));
        }
    }
}

RtcSeconds Concentrator::Clock(Millis now) const {
    const double rate = 1.0 + (settings_.driftPpm + trimPpm_) * 1e-6;
    const auto elapsed = static_cast<std::int64_t>(std::floor(static_cast<double>(now - anchor_) * rate));
    const std::int64_t ms = anchorRtcMs_ + elapsed;
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

void Concentrator::Reanchor(Millis now) {
    const double rate = 1.0 + (settings_.driftPpm + trimPpm_) * 1e-6;
    anchorRtcMs_ += static_cast<std::int64_t>(std::floor(static_cast<double>(now - anchor_) * rate));
    anchor_ = now;
}

std::array<std::uint8_t, 4> Concentrator::Fingerprint() const {
    // FNV-1a over the 32 key bytes: a short mark that tells keys apart without giving them away.
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : key_) {
        h = (h ^ b) * 16777619u;
    }
    return {static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8),
            static_cast<std::uint8_t>(h >> 16), static_cast<std::uint8_t>(h >> 24)};
}

const Concentrator::BufferRecord* Concentrator::LastPacket(std::uint16_t meter) const {
    const auto it = lastPackets_.find(meter);
    return it == lastPackets_.end() ? nullptr : &it->second;
}

std::vector<Concentrator::BufferRecord> Concentrator::MonthRecords(std::uint16_t meter) const {
    const auto it = months_.find(meter);
    if (it == months_.end()) {
        return {};
    }
    return {it->second.begin(), it->second.end()};
}

Outgoing Concentrator::Reply(std::uint8_t type, const std::vector<std::uint8_t>& payload) const {
    link::FrameBuffer f{};
    const std::size_t n = std::min<std::size_t>(payload.size() + 1, link::kMaxPayload);
    link::FillHeader(f, uartId_, link::kWorkstationAddress, static_cast<std::uint8_t>(n), type);
    std::copy_n(payload.begin(), n - 1, link::Payload(f) + 1);
    const std::size_t length = link::CompleteFrame(f);
    return Outgoing{{f.begin(), f.begin() + static_cast<std::ptrdiff_t>(length)}};
}

Outgoing Concentrator::Packet(const MeterPacket& p) const {
    link::FrameBuffer f{};
    link::FillHeader(f, link::kMeterAddressBase + p.meter, link::kWorkstationAddress,
                     link::kMeterPacketLength, p.type);
    std::uint8_t* payload = link::Payload(f);
    link::WriteWord(payload + 1, p.wordA);
    link::WriteWord(payload + 3, p.wordB);
    payload[5] = p.level;
    const std::size_t length = link::CompleteFrame(f);
    Outgoing out{{f.begin(), f.begin() + static_cast<std::ptrdiff_t>(length)}};
    out.reply = false;
    return out;
}

void Concentrator::Store(const MeterPacket& p, RtcSeconds at) {
    const BufferRecord record = MakeRecord(p, at);
    lastPackets_[p.meter] = record;
    if (!IsMonthValue(p.type)) {
        return;
    }
    // One record per value and month; a newer reading of the same month replaces the older.
    auto& history = months_[p.meter];
    history.reserve(kMonthRecords);
    const auto sameMonth = std::find_if(history.begin(), history.end(), [&](const BufferRecord& r) {
        return r[0] == record[0] && r[9] == record[9] && r[10] == record[10];
    });
    if (sameMonth != history.end()) {
        history.erase(sameMonth);
    }
    if (history.size() == kMonthRecords) {
        history.pop_back();
    }
    history.insert(history.begin(), record);
}

RequestResult Concentrator::HandleRequest(const link::FrameBuffer& frame, Millis now, bool refuse) {
    RequestResult result;
    const std::uint16_t destination = link::DestinationAddress(frame);
    const std::uint8_t type = link::TypeCode(frame);
    const std::uint8_t n = link::PayloadLength(frame);
    const bool toMeters = destination >= link::kMeterSourceFirst && destination <= link::kPlcBroadcastAddress;
    const bool isLong = type == 0xD8 || type == 0xD9;
    if (isLong ? !toMeters
               : !(destination == uartId_ ||
                   (type == 0x06 && destination == link::kDefaultConcentratorAddress))) {
        return result;  // not for us
    }
    result.addressed = true;
    // Every request ends a password session; only the one right after the password may use it.
    const bool sessionOpen = sessionOpen_;
    sessionOpen_ = false;

    const RequestInfo* info = FindRequest(type);
    if (info == nullptr || n < info->minLength || n > info->maxLength) {
        result.notes.push_back(info == nullptr ? "unknown request type: no answer"
                                               : "wrong payload length for this request: no answer");
        return result;
    }
    if (refuse) {
        if (!isLong) {
            result.out.push_back(Refusal());
        }
        result.notes.push_back("refused on purpose");
        return result;
    }
    Execute(frame, now, sessionOpen, result);
    return result;
}

void Concentrator::Execute(const link::FrameBuffer& frame, Millis now, bool sessionOpen,
                           RequestResult& result) {
    const std::uint8_t type = link::TypeCode(frame);
    const std::uint8_t n = link::PayloadLength(frame);
    const std::uint8_t* p = link::Payload(frame);
    auto reply = [&](std::uint8_t replyType, const std::vector<std::uint8_t>& payload = {}) {
        result.out.push_back(Reply(replyType, payload));
    };
    auto note = [&](const std::string& text) { result.notes.push_back(text); };

    if (IsProtected(type) && !password_.empty() && !sessionOpen) {
        reply(0x40);
        note("protected command without the password: refused");
        return;
    }
    const auto clockRecord = [](RtcSeconds t) {
        const ClockRecord r = ToClockRecord(t);
        return std::vector<std::uint8_t>(r.begin(), r.end());
    };
    const auto configReply = [&] {
        reply(0x80, {static_cast<std::uint8_t>(networkSize_ & 0xFF),
                     static_cast<std::uint8_t>(networkSize_ >> 8), config_});
    };

    switch (type) {
        case 0x00: {  // ConfigWrite
            const std::uint16_t size = link::ReadWord(p + 1);
            if (size >= 1 && size <= 4096) {
                networkSize_ = size;
            } else {
                note("network size out of range: kept");
            }
            config_ = static_cast<std::uint8_t>(p[3] & kConfigMask);
            configReply();
            break;
        }
        case 0x80:
            configReply();
            break;
        case 0x01:  // ClockWrite
            if (const auto t = FromClockRecord(p + 1)) {
                anchor_ = now;
                anchorRtcMs_ = *t * 1000;
            } else {
                note("not a valid date and time: clock kept");
            }
            reply(0x81, clockRecord(Clock(now)));
            break;
        case 0x81:
            reply(0x81, clockRecord(Clock(now)));
            break;
        case 0x04:  // ClockTrimWrite
            Reanchor(now);
            trimPpm_ = static_cast<std::int8_t>(p[1]);
            reply(0x84, {static_cast<std::uint8_t>(trimPpm_)});
            break;
        case 0x84:
            reply(0x84, {static_cast<std::uint8_t>(trimPpm_)});
            break;
        case 0x06: {  // AddressWrite; the answer already comes from the new address
            const std::uint16_t id = link::ReadWord(p + 1);
            if (id >= kUartIdFirst && id <= kUartIdLast) {
                uartId_ = id;
            } else {
                note("UART-ID outside 2001..2FFF: kept");
            }
            reply(0x86, {static_cast<std::uint8_t>(uartId_ & 0xFF), static_cast<std::uint8_t>(uartId_ >> 8)});
            break;
        }
        case 0x86:
            reply(0x86, {static_cast<std::uint8_t>(uartId_ & 0xFF), static_cast<std::uint8_t>(uartId_ >> 8)});
            break;
        case 0x07:
            note("clock sent to the subordinate nodes");
            reply(0x07);
            break;
        case 0x08:  // UartRateWrite: answered at the old rate, then the line switches
            if (p[1] <= 2) {
                rateIndex_ = p[1];
                reply(0x88, {static_cast<std::uint8_t>(rateIndex_)});
                result.out.back().rateAfter = rateIndex_;
            } else {
                note("rate index out of range: kept");
                reply(0x88, {static_cast<std::uint8_t>(rateIndex_)});
            }
            break;
        case 0x88:
            reply(0x88, {static_cast<std::uint8_t>(rateIndex_)});
            break;
        case 0x09: {  // BillingDayWrite
            const auto day = static_cast<std::int8_t>(p[1]);
            if (day >= -10 && day <= 10) {
                billingDay_ = day;
            } else {
                note("billing day outside -10..10: kept");
            }
            reply(0x89, {static_cast<std::uint8_t>(billingDay_)});
            break;
        }
        case 0x89:
            reply(0x89, {static_cast<std::uint8_t>(billingDay_)});
            break;
        case 0x0A:  // PasswordWrite
            password_.assign(reinterpret_cast<const char*>(p + 1), n - 1u);
            note(password_.empty() ? "password cleared: no access limits" : "password changed");
            reply(0x0A);
            break;
        case 0x0B: {  // PasswordSend
            const std::string sent(reinterpret_cast<const char*>(p + 1), n - 1u);
            if (password_.empty() || sent == password_) {
                sessionOpen_ = true;
                note("password accepted: one protected command allowed");
                reply(0x0B, std::vector<std::uint8_t>(p + 1, p + n));
            } else {
                note("wrong password");
                reply(0x40);
            }
            break;
        }
        case 0x0C:  // PlcCommandQueue
            if (freeCells_ > 0) {
                --freeCells_;
                plcQueue_.push_back({p[1], p[2], p[3], p[4], p[5]});
                reply(0x0C, std::vector<std::uint8_t>(p + 1, p + 6));
            } else {
                note("PLC buffer full");
                reply(0x0C);
            }
            break;
        case 0x8A:
            reply(0x8A, {static_cast<std::uint8_t>(freeCells_)});
            break;
        case 0x0D:  // KeyWrite; the answer does not repeat the key
            std::copy_n(p + 1, key_.size(), key_.begin());
            note("key stored");
            reply(0x0D, std::vector<std::uint8_t>(32, 0));
            break;
        case 0x8B: {
            const auto fp = Fingerprint();
            reply(0x8B, {fp.begin(), fp.end()});
            break;
        }
        case 0x75:
            reply(0x75, clockRecord(lastStart_));
            break;
        case 0x76:  // Restart: the clock and the buffers survive it
            reply(0x76);
            lastStart_ = Clock(now);
            freeCells_ = std::clamp(settings_.plcCells, 0, 255);
            plcQueue_.clear();
            nextCellFree_ = now + settings_.plcCellMs;
            debugMode_ = 0;
            longAssembler_.Reset();
            note("restarted");
            break;
        case 0x77: {  // RegisterRead
            const std::uint16_t page = link::ReadWord(p + 1);
            const std::uint16_t offset = link::ReadWord(p + 3);
            const int count = std::min<int>(p[5], 127);
            std::vector<std::uint8_t> words;
            for (int i = 0; i < count; ++i) {
                const std::uint16_t w = RegisterWord(page, static_cast<std::uint16_t>(offset + i));
                words.push_back(static_cast<std::uint8_t>(w & 0xFF));
                words.push_back(static_cast<std::uint8_t>(w >> 8));
            }
            reply(0x77, words);
            break;
        }
        case 0x79: {  // MemoryTest: takes its time and wipes the stored packets
            const std::uint16_t offset = settings_.memoryError ? settings_.memoryErrorOffset : 0xFFFF;
            const std::uint16_t page = settings_.memoryError ? settings_.memoryErrorPage : 0;
            reply(0x79, {static_cast<std::uint8_t>(settings_.memoryPages & 0xFF),
                         static_cast<std::uint8_t>(settings_.memoryPages >> 8),
                         static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(offset >> 8),
                         static_cast<std::uint8_t>(page), static_cast<std::uint8_t>(page >> 8)});
            result.out.back().delayMs = std::max(settings_.memoryTestMs, 0);
            lastPackets_.clear();
            months_.clear();
            note("memory test: buffers wiped");
            break;
        }
        case 0x78:  // MonthRecordClear
            months_.erase(link::ReadWord(p + 1));
            reply(0x78);
            break;
        case 0x7B:
            lastPackets_.clear();
            reply(0x7B);
            break;
        case 0x7D:
            months_.clear();
            reply(0x7D);
            break;
        case 0x7C:
            debugMode_ = static_cast<std::uint8_t>(p[1] & 0x03);
            reply(0x7C);
            break;
        case 0x7A:  // FirmwareBegin
            firmwareExpected_ = link::ReadWord(p + 1);
            RecordFirmware({}, true);
            note("firmware upload begins: " + std::to_string(firmwareExpected_) + " lines announced");
            reply(0x7A);
            break;
        case 0x7F:
            firmwareExpected_ = -1;
            RecordFirmware({}, true);
            note("firmware upload begins (outdated mode)");
            reply(0x7F);
            break;
        case 0x7E: {
            RecordFirmware(std::string(reinterpret_cast<const char*>(p + 1), n - 1u), false);
            if (firmwareExpected_ >= 0 && static_cast<int>(firmwareLines_.size()) == firmwareExpected_) {
                note("firmware upload complete: " + std::to_string(firmwareLines_.size()) + " lines");
            }
            reply(0x7E);
            break;
        }
        case 0x82: {  // PacketBufferRead
            const std::uint16_t meter = link::ReadWord(p + 1);
            std::vector<std::uint8_t> payload{p[1], p[2]};
            if (const BufferRecord* r = LastPacket(meter)) {
                payload.insert(payload.end(), r->begin(), r->end());
            }
            reply(0x82, payload);
            break;
        }
        case 0x85: {  // MonthBufferRead
            std::vector<std::uint8_t> payload{p[1], p[2]};
            for (const BufferRecord& r : MonthRecords(link::ReadWord(p + 1))) {
                payload.insert(payload.end(), r.begin(), r.end());
            }
            reply(0x85, payload);
            break;
        }
        case 0x83: {
            const std::string& text = settings_.versionText;
            reply(0x83, std::vector<std::uint8_t>(text.begin(),
                                                  text.begin() + std::min<std::size_t>(text.size(), 254)));
            break;
        }
        case 0x87:
            reply(0x87, LineState(now));
            break;
        case 0xD8:
        case 0xD9:
            HandleLongCommand(frame, now, result);
            break;
        default:
            break;
    }
}

void Concentrator::HandleLongCommand(const link::FrameBuffer& frame, Millis now, RequestResult& result) {
    const std::uint16_t destination = link::DestinationAddress(frame);
    const std::uint8_t* p = link::Payload(frame);
    const std::optional<LongCommand> done = link::TypeCode(frame) == 0xD8
                                                ? longAssembler_.Header(destination, p)
                                                : longAssembler_.Block(destination, p);
    if (!done) {
        return;
    }
    char head[64];
    std::snprintf(head, sizeof head, "long command to %04X, type %02X, ", done->destination, done->type);
    std::string text = head;
    if (done->crcOk) {
        text += std::to_string(done->bytes.size()) + " bytes [" +
                Hex(done->bytes.data(), done->bytes.size()) + "], CRC-24 ok";
    } else {
        text += "not taken: " + done->problem;
    }
    result.notes.push_back(text);
    longCommands_.push_back(*done);
    // A meter that exists carries out a good command and reports its state a moment later.
    const int meter = done->destination & link::kMeterNumberMask;
    if (done->crcOk && done->destination != link::kPlcBroadcastAddress && meter >= 1 &&
        meter <= network_.MeterCount()) {
        scheduled_.emplace_back(now + 500, network_.CommandState(meter, done->type, 2));
    }
}

RequestResult Concentrator::Tick(Millis now) {
    RequestResult result;
    if (now - nextPacket_ > static_cast<Millis>(kMaxCatchUp) * settings_.intervalMs) {
        nextPacket_ = now - static_cast<Millis>(kMaxCatchUp) * settings_.intervalMs;
    }
    const auto forward = [&](const MeterPacket& p) {
        Store(p, Clock(now));
        if (config_ & 0x01) {
            result.out.push_back(Packet(p));
        }
    };
    while (now >= nextPacket_) {
        nextPacket_ += settings_.intervalMs;
        if (PlcExchangeOn() && network_.MeterCount() > 0) {
            forward(network_.Next());
        }
    }
    for (auto it = scheduled_.begin(); it != scheduled_.end();) {
        if (now >= it->first) {
            if (PlcExchangeOn()) {
                forward(it->second);
            }
            it = scheduled_.erase(it);
        } else {
            ++it;
        }
    }
    if (now - nextCellFree_ > 256 * static_cast<Millis>(settings_.plcCellMs)) {
        nextCellFree_ = now - 256 * static_cast<Millis>(settings_.plcCellMs);  // no cell more than the buffer
    }
    while (now >= nextCellFree_) {
        nextCellFree_ += settings_.plcCellMs;
        if (!PlcExchangeOn() || plcQueue_.empty()) {
            continue;
        }
        const auto c = plcQueue_.front();
        plcQueue_.pop_front();
        ++freeCells_;
        result.notes.push_back("PLC command sent on the line: TYPE " + Hex(&c[0], 1) + ", SSSS " +
                               Hex(&c[1], 2) + ", DDDD " + Hex(&c[3], 2));
    }
    return result;
}

Millis Concentrator::NextEventTime() const {
    Millis next = std::min(nextPacket_, nextCellFree_);
    for (const auto& s : scheduled_) {
        next = std::min(next, s.first);
    }
    return next;
}

std::uint16_t Concentrator::RegisterWord(std::uint16_t page, std::uint16_t offset) const {
    // Page 0 begins with the concentrator's own identity; everything else is fixed pseudo-random
    // content, the same for every read.
    if (page == 0 && offset < 4) {
        const std::uint16_t head[4] = {uartId_, config_, networkSize_,
                                       static_cast<std::uint16_t>(rateIndex_)};
        return head[offset];
    }
    std::uint64_t z = (static_cast<std::uint64_t>(page) << 16 | offset) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint16_t>(z ^ (z >> 31));
}

std::vector<std::uint8_t> Concentrator::LineState(Millis now) const {
    // Per phase a band of good reception around its own frequency, breathing slowly over time.
    std::vector<std::uint8_t> block;
    block.reserve(102);
    const double t = static_cast<double>(now - anchor_) / 1000.0 + static_cast<double>(settings_.seed % 97);
    for (int g = 0; g < 3; ++g) {
        const double centre = 3.0 + 5.0 * g + 2.0 * std::sin(t / 40.0 + g);
        for (int k = 0; k < 16; ++k) {
            const double band = 600.0 * std::exp(-(k - centre) * (k - centre) / 6.0);
            const double ripple = 40.0 * std::sin(t / 3.0 + k * 0.7 + g * 2.1);
            const int v = std::clamp(static_cast<int>(std::lround(120.0 + band + ripple)), 0, 1023);
            block.push_back(static_cast<std::uint8_t>(v & 0xFF));
            block.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        const int correction = static_cast<int>(std::lround(256.0 + 24.0 * std::sin(t / 30.0 + g)));
        block.push_back(static_cast<std::uint8_t>(correction & 0xFF));
        block.push_back(static_cast<std::uint8_t>(correction >> 8));
    }
    return block;
}

void Concentrator::RecordFirmware(const std::string& line, bool begin) {
    if (begin) {
        firmwareLines_.clear();
    } else {
        firmwareLines_.push_back(line);
    }
    if (settings_.firmwareFile.empty()) {
        return;
    }
    std::ofstream file(settings_.firmwareFile,
                       begin ? std::ios::binary | std::ios::trunc : std::ios::binary | std::ios::app);
    if (!begin) {
        file << line << '\n';
    }
}

}  // namespace lumvaris::sim
