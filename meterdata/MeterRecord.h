#pragma once

#include <cstddef>
#include <cstdint>

namespace lumvaris::meterdata {

// One stored meter packet: 24 bytes, little-endian, as it lies in the record stores and the
// database files. Encoded and decoded field by field, so the host's byte order and struct
// packing never matter.
struct MeterRecord {
    static constexpr int kSize = 24;

    std::uint16_t Meter = 0;
    std::uint16_t WordA = 0;
    std::uint16_t WordB = 0;
    std::uint8_t Type = 0;
    std::uint8_t Level = 0;      // low nibble: level in 25 % steps; high nibble: phase 0x2 A, 0x4 B, 0x8 C
    std::uint8_t EmptyMark = 0;  // filler shown for an empty record: 0 " .....", 1 " ####"
    std::uint8_t Valid = 0;      // 0 = empty; the intake writes 0xFF
    double Time = 0.0;           // days since 1899-12-30 00:00 local time

    // Writes exactly kSize bytes; the reserved bytes 10..15 become zero.
    void Encode(std::uint8_t* out) const;
    static MeterRecord Decode(const std::uint8_t* in);

    // Present for display: holds a packet, or is marked with the " ####" filler.
    bool IsPresent() const { return Valid != 0 || EmptyMark == 1; }

    friend bool operator==(const MeterRecord&, const MeterRecord&) = default;
};

}  // namespace lumvaris::meterdata
