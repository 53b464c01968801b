#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>

#include "SimTestSupport.h"
#include "sim/Concentrator.h"
#include "sim/ValueCode.h"

namespace lumvaris::sim {
namespace {

using testing::Hex;
using testing::Request;
using testing::ToHex;

// Monday 1 January 2024, 12:12:00.
constexpr RtcSeconds kStart = (24 * 365 + 6) * 86400LL + 12 * 3600 + 12 * 60;

ConcentratorSettings Quiet() {
    ConcentratorSettings s;
    s.clockStart = kStart;
    s.meters = 0;
    s.memoryTestMs = 0;
    return s;
}

// Checks the frame as a receiver would and returns its payload in hex ("" when the frame is bad).
struct Parsed {
    std::uint16_t source = 0;
    std::uint16_t destination = 0;
    std::string payload;
};

Parsed Parse(const Outgoing& out) {
    const std::vector<std::uint8_t>& b = out.bytes;
    Parsed p;
    if (b.size() < 10 || !link::CheckHeaderCrc(b.data()) || b.size() != b[7] + 9u ||
        link::PayloadChecksum(b.data() + 8, b[7]) != b.back()) {
        p.payload = "bad frame";
        return p;
    }
    p.source = link::ReadWord(&b[3]);
    p.destination = link::ReadWord(&b[5]);
    p.payload = ToHex({b.begin() + 8, b.end() - 1});
    return p;
}

// The one reply to a request, or "none".
std::string Ask(Concentrator& c, const std::string& request, Millis now = 0, std::uint16_t to = 0x2FFF) {
    const RequestResult r = c.HandleRequest(Request(to, request), now);
    if (r.out.empty()) {
        return "none";
    }
    EXPECT_EQ(r.out.size(), 1u);
    const Parsed p = Parse(r.out[0]);
    EXPECT_EQ(p.source, c.UartId());
    EXPECT_EQ(p.destination, 0xFFFF);
    return p.payload;
}

TEST(ConcentratorTest, AnswersEachRequestWithItsReplyLayout) {
    struct Case {
        const char* request;
        const char* reply;
    };
    const Case cases[] = {
        {"81", "81 00 0C 0C 00 00 00 18"},  // ClockRead: Monday 1.1.2024 12:12:00
        {"75", "75 00 0C 0C 00 00 00 18"},  // LastStartRead: the power-up time
        {"80", "80 00 01 01"},              // ConfigRead: 256 meters, packets forwarded
        {"00 00 01 35", "80 00 01 35"},     // ConfigWrite answered by the new configuration
        {"00 10 00 FF", "80 10 00 3D"},     // bits 1, 6, 7 are never kept
        {"00 00 00 01", "80 10 00 01"},     // a network size of 0 is refused, the byte is taken
        {"86", "86 FF 2F"},
        {"04 C4", "84 C4"},  // ClockTrimWrite −60 ppm
        {"84", "84 C4"},
        {"88", "88 00"},
        {"08 02", "88 02"},  // UartRateWrite 9600
        {"08 05", "88 02"},  // no such rate: kept
        {"09 F6", "89 F6"},  // BillingDayWrite −10
        {"09 0B", "89 F6"},  // 11 is out of range: kept
        {"89", "89 F6"},
        {"07", "07"},
        {"8A", "8A 10"},
        {"0C DC FF 1F 02 44", "0C DC FF 1F 02 44"},
        {"8A", "8A 0F"},  // the queued command holds a cell
        {"77 00 00 00 00 02", "77 FF 2F 01 00"},
        {"77 00 00 00 00 00", "77"},
        {"79", "79 00 08 FF FF 00 00"},
        {"78 2C 01", "78"},
        {"7B", "7B"},
        {"7D", "7D"},
        {"7C 02", "7C"},
        {"7A 03 00", "7A"},
        {"7F", "7F"},
        {"7E 3A 30 30", "7E"},
        {"83", "83 4C 55 4D 56 41 52 49 53 2D 53 49 4D 20 31 2E 30"},
        {"82 05 00", "82 05 00"},  // no record for meter 5
        {"85 05 00", "85 05 00"},
        {"0A", "0A"},                // PasswordWrite of the empty password
        {"0B 61 62", "0B 61 62"},    // no password: any password is taken and echoed
        {"81 00", "none"},           // wrong length
        {"42", "none"},              // no such request
        {"D8 FF 1F 05 01", "none"},  // long commands are never answered (and not for this address)
    };
    Concentrator c(Quiet(), 0);
    for (const Case& k : cases) {
        EXPECT_EQ(Ask(c, k.request), std::string(k.reply) == "none" ? "none" : ToHex(Hex(k.reply)))
            << k.request;
    }
}

TEST(ConcentratorTest, AnswersOnlyItsOwnAddressAndAddressWriteAlsoTheDefault) {
    ConcentratorSettings s = Quiet();
    s.uartId = 0x2ABC;
    Concentrator c(s, 0);
    EXPECT_FALSE(c.HandleRequest(Request(0x2FFF, "81"), 0).addressed);
    EXPECT_FALSE(c.HandleRequest(Request(0x2001, "06 01 20"), 0).addressed);
    EXPECT_EQ(Ask(c, "86", 0, 0x2ABC), "86 BC 2A");
    // A forced change through the default address; the answer comes from the new address.
    EXPECT_EQ(Ask(c, "06 02 21", 0, 0x2FFF), "86 02 21");
    EXPECT_EQ(c.UartId(), 0x2102);
    EXPECT_EQ(Ask(c, "06 05 10", 0, 0x2102), "86 02 21");  // a meter address is no UART-ID
    EXPECT_EQ(Ask(c, "81", 0, 0x2ABC), "none");
}

TEST(ConcentratorTest, PasswordOpensExactlyOneProtectedCommand) {
    ConcentratorSettings s = Quiet();
    s.password = "abc";
    Concentrator c(s, 0);
    struct Step {
        const char* request;
        const char* reply;
    };
    const Step steps[] = {
        {"01 00 00 00 00 00 00 18", "40"},                       // ClockWrite refused
        {"81", "81 00 0C 0C 00 00 00 18"},                       // reads are free
        {"0B 61 62 64", "40"},                                   // wrong password
        {"0B 61 62 63", "0B 61 62 63"},                          // accepted, echoed
        {"09 05", "89 05"},                                      // one protected command
        {"09 06", "40"},                                         // but only one
        {"0B 61 62 63", "0B 61 62 63"},                          //
        {"81", "81 00 0C 0C 00 00 00 18"},                       // any request in between
        {"08 01", "40"},                                         // closes the session
        {"0B 61 62 63", "0B 61 62 63"},                          //
        {"0A 78", "0A"},                                         // new password "x"
        {"0A", "40"},                                            //
        {"0B 61 62 63", "40"},                                   // the old one is gone
        {"0B 78", "0B 78"},                                      //
        {"0A", "0A"},                                            // empty password
        {"08 01", "88 01"},                                      // no limits any more
        {"01 3A 3B 17 03 1E 0B 63", "81 3A 3B 17 03 1E 0B 63"},  // 31.12.2099 23:59:58 Thursday
    };
    for (const Step& k : steps) {
        EXPECT_EQ(Ask(c, k.request), ToHex(Hex(k.reply))) << k.request;
    }
    EXPECT_EQ(c.Password(), "");
    EXPECT_EQ(c.RateIndex(), 1);
}

TEST(ConcentratorTest, ClockRunsWithTrimAndDriftAndRejectsImpossibleDates) {
    ConcentratorSettings s = Quiet();
    s.driftPpm = 1000;
    s.trimPpm = 120;
    Concentrator c(s, 5000);
    EXPECT_EQ(c.Clock(5000), kStart);
    // 1000 s at 1.00112 run 1001.12 s.
    EXPECT_EQ(c.Clock(5000 + 1'000'000), kStart + 1001);
    EXPECT_EQ(Ask(c, "04 00", 5000 + 1'000'000), "84 00");
    EXPECT_EQ(c.Clock(5000 + 2'000'000), kStart + 1001 + 1001);  // drift alone from here

    Concentrator d(Quiet(), 0);
    EXPECT_EQ(Ask(d, "01 1E 1E 0A 00 1D 01 18", 0), "81 00 0C 0C 00 00 00 18");  // 30 February: kept
    EXPECT_EQ(Ask(d, "01 00 00 18 00 00 00 18", 0), "81 00 0C 0C 00 00 00 18");  // hour 24: kept
    // 10.9.2024 sent as a Sunday: the clock derives the weekday itself (a Tuesday).
    EXPECT_EQ(Ask(d, "01 00 00 00 06 09 08 18", 0), "81 00 00 00 01 09 08 18");
    EXPECT_EQ(Ask(d, "81", 61'000), "81 01 01 00 01 09 08 18");
    // Restart keeps the clock and notes the time of the start.
    EXPECT_EQ(Ask(d, "76", 3'600'000), "76");
    EXPECT_EQ(Ask(d, "75", 3'700'000), "75 00 00 01 01 09 08 18");
}

TEST(ConcentratorTest, KeyChangesTheFingerprintWithoutBeingEchoed) {
    Concentrator c(Quiet(), 0);
    const std::string before = Ask(c, "8B");
    ASSERT_EQ(Hex(before).size(), 5u);
    std::string key = "0D";
    for (int i = 0; i < 32; ++i) {
        key += " A5";
    }
    const std::string reply = Ask(c, key);
    EXPECT_EQ(Hex(reply).size(), 33u);
    EXPECT_EQ(reply.find("A5"), std::string::npos);
    const std::string after = Ask(c, "8B");
    EXPECT_NE(after, before);
    EXPECT_EQ(Ask(c, "8B"), after);
    const auto fp = c.Fingerprint();
    EXPECT_EQ(after, "8B " + ToHex({fp.begin(), fp.end()}));
}

TEST(ConcentratorTest, FullPlcBufferAnswersShortAndFreesOverTime) {
    ConcentratorSettings s = Quiet();
    s.plcCells = 2;
    s.plcCellMs = 1000;
    Concentrator c(s, 0);
    EXPECT_EQ(Ask(c, "0C 01 02 03 04 05"), "0C 01 02 03 04 05");
    EXPECT_EQ(Ask(c, "0C 06 07 08 09 0A"), "0C 06 07 08 09 0A");
    EXPECT_EQ(Ask(c, "0C 0B 0C 0D 0E 0F"), "0C");
    EXPECT_EQ(Ask(c, "8A"), "8A 00");
    c.Tick(999);
    EXPECT_EQ(c.FreeCells(), 0);
    c.Tick(1000);
    EXPECT_EQ(c.FreeCells(), 1);
    // Stopping the PLC exchange (debug bit 1) holds the buffer.
    EXPECT_EQ(Ask(c, "7C 02", 1000), "7C");
    c.Tick(5000);
    EXPECT_EQ(c.FreeCells(), 1);
    EXPECT_EQ(Ask(c, "7C 00", 5000), "7C");
    c.Tick(6000);
    EXPECT_EQ(c.FreeCells(), 2);
}

TEST(ConcentratorTest, BuffersHoldTheNewestPacketAndUpTo22MonthRecordsPerMeter) {
    ConcentratorSettings s = Quiet();
    s.meters = 4;
    s.intervalMs = 100;
    s.config = 0x00;  // keep packets in the buffers only
    Concentrator c(s, 0);
    // Newest first: year and month (bytes 10 and 9) never grow down the list.
    const auto newestFirst = [&](std::uint16_t m) {
        const auto months = c.MonthRecords(m);
        for (std::size_t i = 1; i < months.size(); ++i) {
            if (months[i][10] * 12 + months[i][9] > months[i - 1][10] * 12 + months[i - 1][9]) {
                return false;
            }
        }
        return !months.empty();
    };
    // At power-up each electricity meter has today's midnight reading and 21 months of history.
    for (std::uint16_t m = 1; m <= 4; ++m) {
        ASSERT_NE(c.LastPacket(m), nullptr) << m;
        EXPECT_EQ((*c.LastPacket(m))[0], 0x40);
        EXPECT_EQ(c.MonthRecords(m).size(), 21u);
        EXPECT_TRUE(newestFirst(m)) << m;
    }
    EXPECT_EQ(Ask(c, "85 01 00").size(), ToHex(std::vector<std::uint8_t>(3 + 21 * 11)).size());

    const RequestResult live = c.Tick(100 * 200);  // a long stall is made up only in part
    EXPECT_TRUE(live.out.empty());                 // nothing forwarded with port mode 0
    for (int i = 1; i <= 300; ++i) {
        c.Tick(100 * 200 + 100 * i);
    }
    for (std::uint16_t m = 1; m <= 4; ++m) {
        const auto months = c.MonthRecords(m);
        EXPECT_LE(months.size(), 22u);
        EXPECT_TRUE(newestFirst(m)) << m;
        // One record per value and month: the same type never twice in one month.
        for (std::size_t i = 0; i < months.size(); ++i) {
            for (std::size_t j = i + 1; j < months.size(); ++j) {
                EXPECT_FALSE(months[i][0] == months[j][0] && months[i][9] == months[j][9] &&
                             months[i][10] == months[j][10]);
            }
        }
        const std::string reply = Ask(c, "85 0" + std::to_string(m) + " 00", 100 * 500);
        EXPECT_EQ(Hex(reply).size(), 3 + 11 * months.size());
    }

    // PacketBufferRead returns the newest record, stamped with the concentrator's clock.
    const auto* last = c.LastPacket(2);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(Ask(c, "82 02 00", 100 * 500), "82 02 00 " + ToHex({last->begin(), last->end()}));
    EXPECT_EQ((*last)[10], 24);  // year 2024
    EXPECT_EQ((*last)[9], 0);    // January

    EXPECT_EQ(Ask(c, "78 02 00"), "78");
    EXPECT_TRUE(c.MonthRecords(2).empty());
    EXPECT_FALSE(c.MonthRecords(1).empty());
    EXPECT_EQ(Ask(c, "7D"), "7D");
    EXPECT_TRUE(c.MonthRecords(1).empty());
    EXPECT_EQ(Ask(c, "7B"), "7B");
    EXPECT_EQ(c.LastPacket(1), nullptr);
    EXPECT_EQ(Ask(c, "82 01 00"), "82 01 00");
}

// The time stamp of a buffer record is minute, hour, day − 1, month − 1, year − 2000 (the last five
// of its 11 bytes). Month ends are where a day counted from 1 shows: the record would name a day
// the month does not have, and the workstation would refuse the whole month reply.
TEST(ConcentratorTest, BufferRecordsCountDayAndMonthFromZero) {
    const struct {
        CivilTime clock;
        const char* midnight;   // the last packet at power-up: today 00:00
        const char* lastMonth;  // the newest month record: the first of the month before
        const char* packet;     // a packet 30 s after power-up
    } cases[] = {
        {{2024, 1, 31, 23, 59, 0}, "00 00 1E 00 18", "00 00 00 0B 17", "3B 17 1E 00 18"},
        {{2024, 2, 29, 10, 5, 0}, "00 00 1C 01 18", "00 00 00 00 18", "05 0A 1C 01 18"},
        {{2024, 4, 30, 12, 0, 0}, "00 00 1D 03 18", "00 00 00 02 18", "00 0C 1D 03 18"},
        {{2023, 12, 31, 23, 59, 0}, "00 00 1E 0B 17", "00 00 00 0A 17", "3B 17 1E 0B 17"},
        {{2024, 3, 1, 0, 0, 0}, "00 00 00 02 18", "00 00 00 01 18", "00 00 00 02 18"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.clock.year << "-" << c.clock.month << "-" << c.clock.day);
        ConcentratorSettings s = Quiet();
        s.clockStart = ToRtcSeconds(c.clock);
        s.meters = 1;
        s.intervalMs = 30'000;
        Concentrator concentrator(s, 0);
        const auto stamp = [](const std::string& payload) {
            return payload.size() < 14 ? payload : payload.substr(payload.size() - 14);
        };
        EXPECT_EQ(stamp(Ask(concentrator, "82 01 00")), c.midnight);
        const std::string months = Ask(concentrator, "85 01 00");
        ASSERT_GE(months.size(), 9u + 3 * 11);
        EXPECT_EQ(months.substr(9 + 3 * 6, 14), c.lastMonth);  // bytes 6..10 of the first record
        concentrator.Tick(30'000);
        EXPECT_EQ(stamp(Ask(concentrator, "82 01 00", 30'000)), c.packet);
    }
}

TEST(ConcentratorTest, ForwardsLivePacketsFromTheMeterAddressesWithPortMode1) {
    ConcentratorSettings s = Quiet();
    s.meters = 3;
    s.intervalMs = 1000;
    Concentrator c(s, 0);
    EXPECT_TRUE(c.Tick(999).out.empty());
    for (int i = 1; i <= 20; ++i) {
        const RequestResult r = c.Tick(1000 * i);
        ASSERT_EQ(r.out.size(), 1u) << i;
        const Parsed p = Parse(r.out[0]);
        ASSERT_NE(p.payload, "bad frame");
        EXPECT_GE(p.source, 0x1001);
        EXPECT_LE(p.source, 0x1003);
        EXPECT_EQ(p.destination, 0xFFFF);
        const auto payload = Hex(p.payload);
        ASSERT_EQ(payload.size(), 6u);
        // The buffer holds the same packet, with the clock's time.
        const auto* last = c.LastPacket(static_cast<std::uint16_t>(p.source & 0xFFF));
        ASSERT_NE(last, nullptr);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), last->begin()));
    }
    // The PLC interface switched off (configuration bit 5) silences the network.
    EXPECT_EQ(Ask(c, "00 00 01 21", 20'000), "80 00 01 21");
    EXPECT_TRUE(c.Tick(30'000).out.empty());
}

TEST(ConcentratorTest, LongCommandsAreCheckedRecordedAndNeverAnswered) {
    ConcentratorSettings s = Quiet();
    s.meters = 3;
    s.intervalMs = 1'000'000;
    Concentrator c(s, 0);
    // 01 02 03 for all meters, type 5: body 01 02 03 00 01 93 61 67 in two blocks.
    EXPECT_TRUE(c.HandleRequest(Request(0x1FFF, "D8 FF 1F 05 02"), 0).out.empty());
    EXPECT_TRUE(c.HandleRequest(Request(0x1FFF, "D9 01 02 03 00"), 0).out.empty());
    const RequestResult last = c.HandleRequest(Request(0x1FFF, "D9 01 93 61 67"), 0);
    EXPECT_TRUE(last.addressed);
    EXPECT_TRUE(last.out.empty());
    ASSERT_EQ(c.LongCommands().size(), 1u);
    EXPECT_TRUE(c.LongCommands()[0].crcOk);
    EXPECT_EQ(c.LongCommands()[0].type, 5);
    EXPECT_EQ(ToHex(c.LongCommands()[0].bytes), "01 02 03");

    // One bit off in the CRC.
    c.HandleRequest(Request(0x1FFF, "D8 FF 1F 05 02"), 0);
    c.HandleRequest(Request(0x1FFF, "D9 01 02 03 00"), 0);
    c.HandleRequest(Request(0x1FFF, "D9 01 93 61 66"), 0);
    ASSERT_EQ(c.LongCommands().size(), 2u);
    EXPECT_FALSE(c.LongCommands()[1].crcOk);

    // Four bytes to meter 2: no fill, fill count 0; the meter reports the command as done.
    std::vector<std::uint8_t> cmd = {0xAA, 0xBB, 0xCC, 0xDD};
    const std::uint32_t crc = link::Crc24(cmd.data(), cmd.size());
    std::vector<std::uint8_t> block2 = {0xD9, 0x00, static_cast<std::uint8_t>(crc),
                                        static_cast<std::uint8_t>(crc >> 8),
                                        static_cast<std::uint8_t>(crc >> 16)};
    c.HandleRequest(Request(0x1002, "D8 02 10 07 02"), 0);
    c.HandleRequest(Request(0x1002, "D9 AA BB CC DD"), 0);
    c.HandleRequest(Request(0x1002, block2), 0);
    ASSERT_EQ(c.LongCommands().size(), 3u);
    EXPECT_TRUE(c.LongCommands()[2].crcOk);
    const RequestResult later = c.Tick(1000);
    ASSERT_EQ(later.out.size(), 1u);
    const Parsed p = Parse(later.out[0]);
    EXPECT_EQ(p.source, 0x1002);
    EXPECT_EQ(p.payload.substr(0, 8), "DA 02 07");  // type DA, A = 0x0702: command 07, done
}

TEST(ConcentratorTest, FirmwareLinesAreRecordedToTheFile) {
    ConcentratorSettings s = Quiet();
    s.firmwareFile = ::testing::TempDir() + "sim-firmware-lines.txt";
    std::remove(s.firmwareFile.c_str());
    Concentrator c(s, 0);
    EXPECT_EQ(Ask(c, "7A 02 00"), "7A");
    EXPECT_EQ(Ask(c, "7E 3A 30 31"), "7E");
    EXPECT_EQ(Ask(c, "7E"), "7E");  // an empty line
    ASSERT_EQ(c.FirmwareLines().size(), 2u);
    std::ifstream file(s.firmwareFile, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, ":01\n\n");
    // A new upload starts the file afresh.
    EXPECT_EQ(Ask(c, "7F"), "7F");
    EXPECT_TRUE(c.FirmwareLines().empty());
    std::remove(s.firmwareFile.c_str());
}

TEST(ConcentratorTest, LineStateIs51WordsThatChangeOverTime) {
    Concentrator c(Quiet(), 0);
    const auto a = Hex(Ask(c, "87", 0));
    const auto b = Hex(Ask(c, "87", 7000));
    ASSERT_EQ(a.size(), 103u);
    ASSERT_EQ(b.size(), 103u);
    EXPECT_NE(a, b);
    for (int i = 0; i < 51; ++i) {
        const int v = a[1 + 2 * i] | a[2 + 2 * i] << 8;
        EXPECT_LE(v, 1023) << i;
        if (i % 17 == 16) {
            EXPECT_NEAR(v, 256, 30) << i;  // the correction, about 100 %
        }
    }
}

}  // namespace
}  // namespace lumvaris::sim
