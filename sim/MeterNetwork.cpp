#include "MeterNetwork.h"

#include "ValueCode.h"

namespace lumvaris::sim {
namespace {

constexpr std::uint8_t kPhases[3] = {0x2, 0x4, 0x8};

}  // namespace

MeterNetwork::MeterNetwork(int meterCount, std::uint64_t seed) : random_(seed) {
    if (meterCount < 0) {
        meterCount = 0;
    }
    meters_.resize(static_cast<std::size_t>(meterCount));
    for (std::size_t i = 0; i < meters_.size(); ++i) {
        Meter& m = meters_[i];
        m.phase = kPhases[random_.Below(3)];
        for (std::uint32_t& t : m.tariff) {
            t = random_.Below(2'000'000);  // up to 20000 kWh
        }
        for (int p = 0; p < 3; ++p) {
            m.phaseEnergy[p] = (m.tariff[0] + m.tariff[1] + m.tariff[2] + m.tariff[3]) / 3;
        }
        m.reactive[0] = m.tariff[0] / 4;
        m.reactive[1] = m.tariff[0] / 40;
        for (int t = 0; t < 4; ++t) {
            m.baseKwh[t] = m.tariff[t] / 100;
        }
        m.baseKwh[4] = SumHundredths(m) / 100;
        for (int w = 0; w < 4; ++w) {
            m.water[w] = random_.Below(9000);
            m.waterBase[w] = m.water[w];
        }
        m.serial = 10'000'000 + static_cast<std::uint32_t>(i + 1) * 1000 + random_.Below(1000);
        m.status = static_cast<std::uint16_t>(random_.Below(4));
        m.starts = static_cast<std::uint16_t>(1 + random_.Below(20));
    }
}

std::uint32_t MeterNetwork::SumHundredths(const Meter& m) const {
    return m.tariff[0] + m.tariff[1] + m.tariff[2] + m.tariff[3];
}

std::uint8_t MeterNetwork::Level(const Meter& m) {
    // Mostly a good signal, now and then a weak or lost one.
    static constexpr std::uint8_t kLevels[8] = {4, 4, 3, 3, 3, 2, 1, 0};
    return static_cast<std::uint8_t>(m.phase << 4 | kLevels[random_.Below(8)]);
}

void MeterNetwork::Consume(Meter& m) {
    const int tariff = static_cast<int>(random_.Below(4));
    const std::uint32_t used = random_.Below(60);  // hundredths of kWh since the last packet
    m.tariff[tariff] += used;
    m.phaseEnergy[random_.Below(3)] += used;
    m.reactive[0] += used / 4;
    m.reactive[1] += used / 40;
}

void MeterNetwork::Increment(std::uint32_t current, std::uint32_t& base, std::uint32_t modulo,
                             std::uint16_t& wordA, std::uint16_t& wordB) {
    if (current < base || current - base > 255) {
        base = current;
    }
    wordA = static_cast<std::uint16_t>(base % modulo);
    wordB = CodeWord(static_cast<std::uint8_t>(current - base));
}

MeterPacket MeterNetwork::Next() {
    if (meters_.empty()) {
        return {};
    }
    const int meter = 1 + static_cast<int>(random_.Below(static_cast<std::uint32_t>(meters_.size())));
    // A meter announces a restart now and then.
    if (random_.Below(20) == 0) {
        Meter& m = meters_[static_cast<std::size_t>(meter - 1)];
        ++m.starts;
        return {static_cast<std::uint16_t>(meter), 0xE1, static_cast<std::uint16_t>(m.starts & 0x0FFF), 0,
                Level(m)};
    }
    return IsWaterMeter(meter) ? Water(meter) : Electric(meter);
}

MeterPacket MeterNetwork::Water(int meter) {
    Meter& m = meters_[static_cast<std::size_t>(meter - 1)];
    const auto kind = static_cast<int>(random_.Below(4));  // cold A, cold B, hot A, hot B
    m.water[kind] = (m.water[kind] + random_.Below(4)) % 10000;
    MeterPacket p{static_cast<std::uint16_t>(meter), static_cast<std::uint8_t>(0x80 + kind), 0, 0, Level(m)};
    Increment(m.water[kind], m.waterBase[kind], 10000, p.wordA, p.wordB);
    return p;
}

MeterPacket MeterNetwork::Electric(int meter) {
    Meter& m = meters_[static_cast<std::size_t>(meter - 1)];
    Consume(m);
    MeterPacket p{static_cast<std::uint16_t>(meter), 0, 0, 0, Level(m)};
    const std::uint32_t family = random_.Below(10);
    if (family < 3) {
        // Family 0x0: per tariff (0x00..0x03), the sum with hundredths (0x0E) or as a tariff (0x0F).
        static constexpr std::uint8_t kTypes[6] = {0x00, 0x01, 0x02, 0x03, 0x0E, 0x0F};
        p.type = kTypes[random_.Below(6)];
        const std::uint32_t sum = SumHundredths(m);
        if (p.type == 0x0E) {
            p.wordA = static_cast<std::uint16_t>(sum / 100 % 10000);
            p.wordB = CodeWord(static_cast<std::uint8_t>(sum % 100));
        } else if (p.type == 0x0F) {
            Increment(sum / 100, m.baseKwh[4], 10000, p.wordA, p.wordB);
        } else {
            Increment(m.tariff[p.type] / 100, m.baseKwh[p.type], 10000, p.wordA, p.wordB);
        }
    } else if (family < 5) {
        // Family 0x1: per tariff over all phases, per phase sums (0x18..0x1A), the sum (0x1E, 0x1F).
        static constexpr std::uint8_t kTypes[9] = {0x10, 0x11, 0x12, 0x13, 0x18, 0x19, 0x1A, 0x1E, 0x1F};
        p.type = kTypes[random_.Below(9)];
        const std::uint32_t sum = SumHundredths(m);
        const int n = p.type & 0x0F;
        if (n >= 8 && n <= 10) {
            const std::uint32_t e = m.phaseEnergy[n - 8];
            p.wordA = static_cast<std::uint16_t>(e / 100 % 10000);
            p.wordB = CodeWord(static_cast<std::uint8_t>(e % 100));
        } else if (n == 14) {
            p.wordA = static_cast<std::uint16_t>(sum / 100 % 10000);
            p.wordB = CodeWord(static_cast<std::uint8_t>(sum % 100));
        } else if (n == 15) {
            Increment(sum / 100, m.baseKwh[4], 10000, p.wordA, p.wordB);
        } else {
            Increment(m.tariff[n] / 100, m.baseKwh[n], 10000, p.wordA, p.wordB);
        }
    } else if (family < 9) {
        // Family 0x4: values fixed at midnight, the serial number and the status words.
        static constexpr std::uint8_t kTypes[10] = {0x40, 0x41, 0x42, 0x43, 0x44,
                                                    0x45, 0x46, 0x48, 0x49, 0x4F};
        p.type = kTypes[random_.Below(10)];
        switch (p.type) {
            case 0x44: {  // half-hour profile: number in the low byte of A, value in the rest
                const std::uint32_t value = random_.Below(50000);  // hundredths
                const std::uint32_t whole = value / 100;
                p.wordA = static_cast<std::uint16_t>(random_.Below(48) | (whole & 0xFF) << 8);
                p.wordB = static_cast<std::uint16_t>((whole >> 8 & 0xFF) | (value % 100) << 8);
                break;
            }
            case 0x48:
                p.wordA = static_cast<std::uint16_t>(m.serial & 0xFFFF);
                p.wordB = static_cast<std::uint16_t>(m.serial >> 16);
                break;
            case 0x49:
                p.wordA = m.status;
                p.wordB = static_cast<std::uint16_t>(random_.Below(2) << 4);
                break;
            default: {
                const MeterPacket s = Snapshot(meter, p.type);
                p.wordA = s.wordA;
                p.wordB = s.wordB;
                break;
            }
        }
    } else {
        static constexpr int kStates[4] = {2, 2, 1, 0};
        const auto command = static_cast<std::uint8_t>(random_.Below(256));
        const int state = kStates[random_.Below(4)];
        p = CommandState(meter, command, state);
    }
    return p;
}

MeterPacket MeterNetwork::Snapshot(int meter, std::uint8_t type, int monthsAgo) {
    MeterPacket p{static_cast<std::uint16_t>(meter), type, 0xFFFF, 0xFFFF, 0};
    if (meter < 1 || meter > MeterCount()) {
        return p;
    }
    const Meter& m = meters_[static_cast<std::size_t>(meter - 1)];
    p.level = static_cast<std::uint8_t>(m.phase << 4 | 4);
    std::uint32_t hundredths = 0;
    const int n = type & 0x0F;
    if (n <= 3) {
        hundredths = m.baseKwh[n] * 100;
    } else if (n == 5 || n == 6) {
        hundredths = m.reactive[n - 5];
    } else {
        hundredths = m.baseKwh[4] * 100;
    }
    constexpr std::uint32_t kMonthlyUse = 15000;  // 150 units a month
    const std::uint32_t earlier = static_cast<std::uint32_t>(monthsAgo > 0 ? monthsAgo : 0) * kMonthlyUse;
    hundredths = hundredths > earlier ? hundredths - earlier : 0;
    // Whole units in A and the low byte of B, hundredths in the high byte of B.
    const std::uint32_t whole = hundredths / 100;
    p.wordA = static_cast<std::uint16_t>(whole & 0xFFFF);
    p.wordB = static_cast<std::uint16_t>((whole >> 16 & 0xFF) | (hundredths % 100) << 8);
    return p;
}

MeterPacket MeterNetwork::CommandState(int meter, std::uint8_t commandType, int state) {
    MeterPacket p{static_cast<std::uint16_t>(meter), 0xDA, 0, 0, 0};
    if (meter >= 1 && meter <= MeterCount()) {
        p.level = Level(meters_[static_cast<std::size_t>(meter - 1)]);
    }
    // Low bits: the state; high byte: the command.
    p.wordA = static_cast<std::uint16_t>(commandType << 8 | (state & 3));
    return p;
}

}  // namespace lumvaris::sim
