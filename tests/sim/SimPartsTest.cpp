#include <gtest/gtest.h>

#include <bit>
#include <set>

#include "SimTestSupport.h"
#include "sim/CivilTime.h"
#include "sim/LongCommandAssembler.h"
#include "sim/MeterNetwork.h"
#include "sim/Options.h"
#include "sim/ValueCode.h"

namespace lumvaris::sim {
namespace {

using testing::Hex;
using testing::ToHex;

TEST(ValueCodeTest, CodeWordsOfKnownValuesAndDistance) {
    EXPECT_EQ(CheckByte(0), 0x00);
    EXPECT_EQ(CheckByte(1), 0xD4);
    EXPECT_EQ(CheckByte(3), 0x7D);
    EXPECT_EQ(CheckByte(255), 0x00);
    EXPECT_EQ(CodeWord(5), 0x8705);
    EXPECT_EQ(CodeWord(45), 0xBB2D);
    EXPECT_EQ(CodeWord(100), 0xFC64);
    // Any two code words differ in at least 5 bits, so up to 2 flipped bits are corrected.
    int smallest = 16;
    for (int a = 0; a < 256; ++a) {
        for (int b = a + 1; b < 256; ++b) {
            smallest = std::min(smallest,
                                std::popcount(static_cast<unsigned>(CodeWord(static_cast<std::uint8_t>(a)) ^
                                                                    CodeWord(static_cast<std::uint8_t>(b)))));
        }
    }
    EXPECT_EQ(smallest, 5);
}

std::string RecordHex(RtcSeconds s) {
    const ClockRecord r = ToClockRecord(s);
    return ToHex({r.begin(), r.end()});
}

TEST(CivilTimeTest, ClockRecordsRoundTripAndInvalidOnesAreRefused) {
    const CivilTime t{2099, 12, 31, 23, 59, 58};
    const RtcSeconds s = ToRtcSeconds(t);
    EXPECT_EQ(RecordHex(s), "3A 3B 17 03 1E 0B 63");
    EXPECT_EQ(Weekday(ToRtcSeconds({2024, 1, 1, 0, 0, 0})), 0);  // a Monday
    EXPECT_EQ(Weekday(0), 5);                                    // 1.1.2000, a Saturday
    for (const char* hex : {"3A 3B 17 03 1E 0B 63", "00 00 00 03 1C 01 18" /* Thursday 29.2.2024 */}) {
        const auto bytes = Hex(hex);
        const auto back = FromClockRecord(bytes.data());
        ASSERT_TRUE(back.has_value()) << hex;
        EXPECT_EQ(RecordHex(*back), ToHex(bytes));
    }
    for (const char* hex :
         {"3C 00 00 00 00 00 18", "00 3C 00 00 00 00 18", "00 00 18 00 00 00 18",
          "00 00 00 00 1C 01 17" /* 29.2.2023 */, "00 00 00 00 00 0C 18", "00 00 00 00 00 00 64"}) {
        EXPECT_FALSE(FromClockRecord(Hex(hex).data()).has_value()) << hex;
    }
    EXPECT_EQ(FromRtcSeconds(s).day, 31);
    EXPECT_TRUE(ParseCivilTime("2024-01-01 12:12").has_value());
    EXPECT_FALSE(ParseCivilTime("2024-02-30 12:12:00").has_value());
    EXPECT_FALSE(ParseCivilTime("yesterday").has_value());
}

TEST(LongCommandAssemblerTest, ChecksTheBodyAndKeepsHeaderAndBlocksTogether) {
    struct Case {
        const char* name;
        std::vector<const char*> frames;  // "D8 ..." / "D9 ..." payloads, all to 1FFF
        bool ok;
        const char* bytes;
    };
    const Case cases[] = {
        {"three bytes", {"D8 FF 1F 05 02", "D9 01 02 03 00", "D9 01 93 61 67"}, true, "01 02 03"},
        {"no command bytes", {"D8 FF 1F 05 01", "D9 00 CE 04 B7"}, true, ""},
        {"bad crc", {"D8 FF 1F 05 02", "D9 01 02 03 00", "D9 01 93 61 68"}, false, ""},
        {"fill not zero", {"D8 FF 1F 05 02", "D9 01 02 03 07", "D9 01 93 61 67"}, false, ""},
        {"fill count 4", {"D8 FF 1F 05 01", "D9 04 00 00 00"}, false, ""},
        {"block first", {"D9 01 02 03 00"}, false, ""},
        {"no blocks", {"D8 FF 1F 05 00"}, false, ""},
        {"header names another", {"D8 05 10 05 01"}, false, ""},
    };
    for (const Case& k : cases) {
        LongCommandAssembler a;
        std::optional<LongCommand> done;
        for (const char* f : k.frames) {
            const auto payload = Hex(f);
            done = payload[0] == 0xD8 ? a.Header(0x1FFF, payload.data()) : a.Block(0x1FFF, payload.data());
        }
        ASSERT_TRUE(done.has_value()) << k.name;
        EXPECT_EQ(done->crcOk, k.ok) << k.name;
        EXPECT_EQ(done->problem.empty(), k.ok) << k.name;
        if (k.ok) {
            EXPECT_EQ(ToHex(done->bytes), k.bytes) << k.name;
        }
        EXPECT_FALSE(a.Collecting()) << k.name;
    }
    // A block for another address abandons the command; so does a new header.
    LongCommandAssembler a;
    EXPECT_FALSE(a.Header(0x1FFF, Hex("D8 FF 1F 05 02").data()).has_value());
    EXPECT_FALSE(a.Block(0x1FFF, Hex("D9 01 02 03 00").data()).has_value());
    const auto abandoned = a.Header(0x1FFF, Hex("D8 FF 1F 06 01").data());
    ASSERT_TRUE(abandoned.has_value());
    EXPECT_FALSE(abandoned->crcOk);
    EXPECT_TRUE(a.Collecting());
    EXPECT_TRUE(a.Block(0x1005, Hex("D9 00 CE 04 B7").data()).has_value());
    EXPECT_FALSE(a.Collecting());
}

TEST(MeterNetworkTest, PacketsAreDeterministicPlausibleAndCodedWhereTheFamilyUsesIt) {
    MeterNetwork a(7, 42);
    MeterNetwork b(7, 42);
    MeterNetwork other(7, 43);
    std::set<int> families;
    std::set<int> meters;
    bool differs = false;
    for (int i = 0; i < 2000; ++i) {
        const MeterPacket p = a.Next();
        const MeterPacket q = b.Next();
        const MeterPacket r = other.Next();
        ASSERT_EQ(std::tie(p.meter, p.type, p.wordA, p.wordB, p.level),
                  std::tie(q.meter, q.type, q.wordA, q.wordB, q.level));
        differs |= std::tie(p.meter, p.type, p.wordA, p.wordB) != std::tie(r.meter, r.type, r.wordA, r.wordB);
        ASSERT_GE(p.meter, 1);
        ASSERT_LE(p.meter, 7);
        meters.insert(p.meter);
        families.insert(p.type >> 4);
        EXPECT_LE(p.level & 0x0F, 4);
        const int phase = p.level >> 4;
        EXPECT_TRUE(phase == 2 || phase == 4 || phase == 8) << std::hex << int(p.level);
        const int family = p.type >> 4;
        const int n = p.type & 0x0F;
        const bool coded =
            ((family == 0x0 || family == 0x1) && (n <= 3 || n >= 8)) || (family == 0x8 && n <= 3);
        if (coded) {
            EXPECT_EQ(p.wordB >> 8, CheckByte(static_cast<std::uint8_t>(p.wordB))) << std::hex << int(p.type);
        }
        if (family == 0x8) {
            EXPECT_EQ(p.meter % 5, 0);  // water meters only
            EXPECT_LT(p.wordA, 10000);
        }
        if (p.type == 0xE1) {
            EXPECT_EQ(p.wordA & 0xF000, 0);
        }
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(meters.size(), 7u);
    EXPECT_EQ(families, (std::set<int>{0x0, 0x1, 0x4, 0x8, 0xD, 0xE}));
    EXPECT_EQ(MeterNetwork(0, 1).Next().meter, 0);
}

TEST(OptionsTest, ParsesValuesAndRefusesWhatIsOutOfRange) {
    std::string error;
    const auto o = ParseOptions(
        {"--link", "/tmp/x", "--uart-id=2abc", "--baud", "9600", "--garbage", "0.25", "--refuse", "81",
         "--interval", "0.05", "--clock", "2024-01-01 12:12", "--memory-error", "100:3", "--quiet"},
        error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->linkPath, "/tmp/x");
    EXPECT_EQ(o->concentrator.uartId, 0x2ABC);
    EXPECT_EQ(o->baud, 9600);
    EXPECT_EQ(o->concentrator.rateIndex, 2);
    EXPECT_DOUBLE_EQ(o->faults.garbage, 0.25);
    EXPECT_EQ(o->faults.refuseType, 0x81);
    EXPECT_EQ(o->concentrator.intervalMs, 50);
    EXPECT_TRUE(o->clockGiven);
    EXPECT_TRUE(o->concentrator.memoryError);
    EXPECT_EQ(o->concentrator.memoryErrorOffset, 100);
    EXPECT_TRUE(o->quiet);

    const std::vector<std::vector<std::string>> bad = {
        {"--uart-id", "1005"}, {"--baud", "115200"}, {"--garbage", "1.5"},
        {"--meters", "-1"},    {"--interval", "0"},  {"--clock", "2024-13-01 00:00"},
        {"--frobnicate"},      {"--seed"},           {"--memory-error", "12"},
        {"--dribble", "0"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(ParseOptions(args, error).has_value()) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    // Every option the parser knows is explained in the help text.
    for (const char* name : {"--port",
                             "--baud",
                             "--link",
                             "--log",
                             "--quiet",
                             "--uart-id",
                             "--config",
                             "--network-size",
                             "--clock",
                             "--drift",
                             "--trim",
                             "--billing-day",
                             "--password",
                             "--version-text",
                             "--memory-pages",
                             "--memory-error",
                             "--memory-test-ms",
                             "--plc-cells",
                             "--plc-cell-ms",
                             "--firmware-file",
                             "--meters",
                             "--interval",
                             "--seed",
                             "--garbage",
                             "--corrupt",
                             "--drop",
                             "--delay",
                             "--dribble",
                             "--refuse",
                             "--silent-after",
                             "--silent-after-requests",
                             "--hangup-after",
                             "--hangup-after-requests",
                             "--tcp",
                             "--rfc2217",
                             "--call",
                             "--redial-ms",
                             "--call-ident",
                             "--fleet",
                             "--fleet-faulty",
                             "--help"}) {
        EXPECT_NE(HelpText().find(std::string("  ") + name + " "), std::string::npos) << name;
    }
}

TEST(OptionsTest, NetworkPortsAndWhatBelongsToThem) {
    struct Good {
        std::vector<std::string> args;
        std::string address;  // listen address:port, or call host:port
        bool rfc2217;
        int redialMs;
        std::string ident;
    };
    const Good good[] = {
        {{"--tcp", "0"}, "127.0.0.1:0", false, 1000, ""},
        {{"--tcp", "0.0.0.0:4001", "--rfc2217"}, "0.0.0.0:4001", true, 1000, ""},
        {{"--tcp=[::1]:65535"}, "::1:65535", false, 1000, ""},
        {{"--call", "collector.example:7000", "--redial-ms", "250", "--call-ident", "MODEM 12"},
         "collector.example:7000",
         false,
         250,
         "MODEM 12"},
    };
    for (const Good& g : good) {
        std::string error;
        const auto o = ParseOptions(g.args, error);
        ASSERT_TRUE(o.has_value()) << g.args[0] << ": " << error;
        const std::string address = o->tcpPort >= 0 ? o->tcpAddress + ":" + std::to_string(o->tcpPort)
                                                    : o->callHost + ":" + std::to_string(o->callPort);
        EXPECT_EQ(address, g.address);
        EXPECT_EQ(o->rfc2217, g.rfc2217);
        EXPECT_EQ(o->redialMs, g.redialMs);
        EXPECT_EQ(o->callIdent, g.ident);
    }
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--tcp", "65536"}, "bad value for --tcp: 65536"},
        {{"--tcp", "1.2.3.4:"}, "bad value for --tcp: 1.2.3.4:"},
        {{"--tcp", "+80"}, "bad value for --tcp: +80"},
        {{"--call", "7000"}, "bad value for --call: 7000"},
        {{"--call", "host:0"}, "bad value for --call: host:0"},
        {{"--rfc2217"}, "--rfc2217 needs --tcp"},
        {{"--call", "h:1", "--rfc2217"}, "--rfc2217 needs --tcp"},
        {{"--redial-ms", "100"}, "--redial-ms needs --call"},
        {{"--call", "h:1", "--redial-ms", "0"}, "bad value for --redial-ms: 0"},
        {{"--call-ident", "X"}, "--call-ident needs --call"},
        {{"--tcp", "1", "--call", "h:1"}, "--port, --tcp and --call exclude each other"},
        {{"--tcp", "1", "--link", "/tmp/x"}, "--link is for the pseudo-terminal only"},
    };
    for (const auto& [args, message] : bad) {
        std::string error;
        EXPECT_FALSE(ParseOptions(args, error).has_value()) << message;
        EXPECT_EQ(error, message);
    }
}

// A fleet's ports must be known in advance and exist; its other options need it.
TEST(OptionsTest, FleetAndWhatBelongsToIt) {
    std::string error;
    const auto o = ParseOptions({"--fleet", "5000", "--tcp", "60536", "--fleet-faulty", "2"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->fleet, 5000);
    EXPECT_EQ(o->fleetFaulty, 2);
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--fleet", "3"}, "--fleet needs --tcp or --call"},
        {{"--fleet", "0", "--tcp", "4000"}, "bad value for --fleet: 0"},
        {{"--fleet", "5001", "--tcp", "4000"}, "bad value for --fleet: 5001"},
        {{"--fleet", "3", "--tcp", "0"}, "--fleet needs a base port other than 0"},
        {{"--fleet", "3", "--tcp", "65534"}, "--fleet 3 from port 65534 goes beyond port 65535"},
        {{"--fleet-faulty", "1", "--tcp", "4000"}, "--fleet-faulty needs --fleet"},
        {{"--fleet", "2", "--fleet-faulty", "3", "--tcp", "4000"}, "--fleet-faulty is more than --fleet"},
        {{"--fleet", "2", "--call", "h:1", "--firmware-file", "/tmp/fw"},
         "--firmware-file of a fleet needs %u in its name, one file per concentrator"},
    };
    for (const auto& [args, message] : bad) {
        error.clear();
        EXPECT_FALSE(ParseOptions(args, error).has_value()) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(OptionsTest, FleetUartIdsWrapAndIdentNamesThem) {
    struct Case {
        std::uint16_t first;
        int i;
        std::uint16_t id;
    };
    for (const Case& c : {Case{0x2001, 0, 0x2001}, Case{0x2FFE, 1, 0x2FFF}, Case{0x2FFE, 2, 0x2001},
                          Case{0x2FFF, 4095, 0x2FFF}, Case{0x2FFF, 4096, 0x2001}}) {
        EXPECT_EQ(FleetUartId(c.first, c.i), c.id) << std::hex << c.first << " + " << std::dec << c.i;
    }
    EXPECT_EQ(IdentText("LMV%u", 0x2A0B), "LMV2A0B");
    EXPECT_EQ(IdentText("%u-%u %% %", 0x2001), "2001-2001 %% %");
}

}  // namespace
}  // namespace lumvaris::sim
