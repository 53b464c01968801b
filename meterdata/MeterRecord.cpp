#include "meterdata/MeterRecord.h"

#include <bit>
#include <cstring>

namespace lumvaris::meterdata {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

void MeterRecord::Encode(std::uint8_t* out) const {
    Put16(out + 0, Meter);
    Put16(out + 2, WordA);
    Put16(out + 4, WordB);
    out[6] = Type;
    out[7] = Level;
    out[8] = EmptyMark;
    out[9] = Valid;
    std::memset(out + 10, 0, 6);
    const auto bits = std::bit_cast<std::uint64_t>(Time);
    for (int i = 0; i < 8; ++i) {
        out[16 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

MeterRecord MeterRecord::Decode(const std::uint8_t* in) {
    MeterRecord r;
    r.Meter = Get16(in + 0);
    r.WordA = Get16(in + 2);
    r.WordB = Get16(in + 4);
    r.Type = in[6];
    r.Level = in[7];
    r.EmptyMark = in[8];
    r.Valid = in[9];
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        bits |= static_cast<std::uint64_t>(in[16 + i]) << (8 * i);
    }
    r.Time = std::bit_cast<double>(bits);
    return r;
}

}  // namespace lumvaris::meterdata
