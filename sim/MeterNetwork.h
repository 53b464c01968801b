#pragma once

#include <cstdint>
#include <vector>

#include "Random.h"

namespace lumvaris::sim {

// One packet as a meter sends it over the power line: the six payload bytes of a live packet.
struct MeterPacket {
    std::uint16_t meter = 0;  // 1..4094
    std::uint8_t type = 0;    // high nibble: value family
    std::uint16_t wordA = 0;
    std::uint16_t wordB = 0;
    std::uint8_t level = 0;  // low nibble: level 0..4 (×25 %); high nibble: phase 0x2, 0x4 or 0x8
};

// The meters behind the concentrator. Every fifth meter is a water meter, the others are
// electricity meters. Readings grow from packet to packet; the whole sequence follows from the
// seed alone, whatever the timing.
class MeterNetwork {
  public:
    MeterNetwork(int meterCount, std::uint64_t seed);

    int MeterCount() const { return static_cast<int>(meters_.size()); }
    bool IsWaterMeter(int meter) const { return meter % 5 == 0; }

    // The next packet of the network (none when it has no meters: meter 0).
    MeterPacket Next();
    // A value fixed at midnight (family 0x4: 0x40..0x43 per tariff, 0x45/0x46 reactive, 0x4F sum),
    // as the meter reported it the given number of months ago.
    MeterPacket Snapshot(int meter, std::uint8_t type, int monthsAgo = 0);
    // The state of a command (type 0xDA): 0 not done, 1 running, 2 done.
    MeterPacket CommandState(int meter, std::uint8_t commandType, int state);

  private:
    struct Meter {
        std::uint8_t phase = 0x2;
        std::uint32_t tariff[4] = {};  // active energy per tariff, hundredths of kWh
        std::uint32_t phaseEnergy[3] = {};
        std::uint32_t reactive[2] = {};
        std::uint32_t baseKwh[5] = {};  // readings at the last midnight: tariffs 1..4 and the sum
        std::uint32_t water[4] = {};    // tenths of a cubic metre, < 10000
        std::uint32_t waterBase[4] = {};
        std::uint32_t serial = 0;
        std::uint16_t status = 0;
        std::uint16_t starts = 0;
    };

    MeterPacket Electric(int meter);
    MeterPacket Water(int meter);
    std::uint8_t Level(const Meter& m);
    void Consume(Meter& m);
    std::uint32_t SumHundredths(const Meter& m) const;
    // First word and coded increment of a reading against its midnight base, re-basing when the
    // increment no longer fits a byte.
    void Increment(std::uint32_t current, std::uint32_t& base, std::uint32_t modulo, std::uint16_t& wordA,
                   std::uint16_t& wordB);

    std::vector<Meter> meters_;  // index = meter number − 1
    Random random_;
};

}  // namespace lumvaris::sim
