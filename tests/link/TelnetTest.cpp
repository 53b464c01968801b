#include <gtest/gtest.h>

#include <random>

#include "link/Telnet.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::link {
namespace {

using testing::Hex;
using testing::ToHex;
using Bytes = std::vector<std::uint8_t>;
using Role = TelnetCodec::Role;

struct Fed {
    Bytes data;
    Bytes reply;
};

// Feeds the input in pieces cut at the given positions (ascending).
Fed FeedCut(TelnetCodec& codec, const Bytes& input, const std::vector<std::size_t>& cuts) {
    Fed out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        codec.Feed(input.data() + from, cut - from, out.data, out.reply);
        from = cut;
    }
    codec.Feed(input.data() + from, input.size() - from, out.data, out.reply);
    return out;
}

// Rates the test server takes; anything else leaves the rate as it was.
int TestRateHandler(int requested, int& current, std::vector<int>& asked) {
    asked.push_back(requested);
    if (requested == 38400 || requested == 19200 || requested == 9600 || requested == 255) {
        current = requested;
    }
    return current;
}

struct FeedCase {
    const char* name;
    Role role;
    const char* input;
    const char* data;
    const char* reply;
    bool comPortAgreed;  // client only
    int confirmedRate;   // client only
};

const std::string kLongSb = [] {
    std::string s = "FF FA 2C 01";
    for (int i = 0; i < 300; ++i) {
        s += i % 7 == 0 ? " FF FF" : " 41";
    }
    return s + " FF F0";
}();
const std::string kLongSbThenData = kLongSb + " 07 FF FF";

const FeedCase kFeedCases[] = {
    {"plain data", Role::Client, "01 02 03", "01 02 03", "", false, 0},
    {"FFh doubled is one data byte", Role::Client, "01 FF FF 02 FF FF FF FF", "01 FF 02 FF FF", "", false, 0},
    {"the server's greeting confirms what the client asked", Role::Client,
     "FF FD 2C FF FB 00 FF FD 00 FF FB 03 FF FD 03", "", "", true, 0},
    {"the server's WILL COM-PORT is agreed to once", Role::Client, "FF FB 2C FF FB 2C", "", "FF FD 2C", true,
     0},
    {"an option we do not do is refused once", Role::Client, "FF FB 01 41 FF FB 01 FF FD 18 FF FD 18", "41",
     "FF FE 01 FF FC 18", false, 0},
    {"the server refusing COM-PORT is not answered", Role::Client, "FF FE 2C", "", "", false, 0},
    {"switching an agreed option off is acknowledged once", Role::Client, "FF FD 00 FF FE 00 FF FE 00", "",
     "FF FC 00", false, 0},
    {"the server's rate reply", Role::Client, "FF FA 2C 65 00 00 96 00 FF F0", "", "", false, 38400},
    {"a rate reply carrying FFh", Role::Client, "FF FA 2C 65 00 00 FF FF 00 FF F0 42", "42", "", false,
     65280},
    {"a short rate reply is ignored", Role::Client, "FF FA 2C 65 00 96 00 FF F0", "", "", false, 0},
    {"NOP, GA and notifications between data", Role::Client,
     "01 FF F1 02 FF F9 03 FF FA 2C 6B 30 FF F0 04 FF FA 18 00 FF F0 05", "01 02 03 04 05", "", false, 0},
    {"a lone IAC at the end waits", Role::Client, "01 FF", "01", "", false, 0},
    {"a command inside a subnegotiation ends it", Role::Client, "FF FA 2C 65 00 FF FB 01 05", "05",
     "FF FE 01", false, 0},
    {"a long subnegotiation is dropped to its IAC SE", Role::Server, kLongSbThenData.c_str(), "07 FF", "",
     false, 0},
    {"the client's greeting confirms what the server asked", Role::Server,
     "FF FB 00 FF FD 00 FF FB 03 FF FD 03 FF FB 2C", "", "", false, 0},
    {"the client's DO COM-PORT is agreed to", Role::Server, "FF FD 2C", "", "FF FB 2C", false, 0},
    {"SET-BAUDRATE through the handler", Role::Server, "FF FA 2C 01 00 00 25 80 FF F0", "",
     "FF FA 2C 65 00 00 25 80 FF F0", false, 0},
    {"a rate the handler refuses is answered with the rate in effect", Role::Server,
     "FF FA 2C 01 00 01 C2 00 FF F0", "", "FF FA 2C 65 00 00 4B 00 FF F0", false, 0},
    {"a rate query", Role::Server, "FF FA 2C 01 00 00 00 00 FF F0", "", "FF FA 2C 65 00 00 4B 00 FF F0",
     false, 0},
    {"a rate whose reply carries FFh", Role::Server, "FF FA 2C 01 00 00 00 FF FF FF F0 33", "33",
     "FF FA 2C 65 00 00 00 FF FF FF F0", false, 0},
    {"the one-byte settings are answered with their value", Role::Server,
     "FF FA 2C 02 07 FF F0 FF FA 2C 03 02 FF F0 FF FA 2C 04 02 FF F0 FF FA 2C 05 03 FF F0 FF FA 2C 0C 03 FF "
     "F0",
     "",
     "FF FA 2C 66 07 FF F0 FF FA 2C 67 02 FF F0 FF FA 2C 68 02 FF F0 FF FA 2C 69 03 FF F0 FF FA 2C 70 03 FF "
     "F0",
     false, 0},
    {"queries are answered with the setting in effect", Role::Server,
     "FF FA 2C 02 00 FF F0 FF FA 2C 03 00 FF F0 FF FA 2C 05 00 FF F0 FF FA 2C 05 07 FF F0", "",
     "FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 FF FA 2C 69 01 FF F0 FF FA 2C 69 08 FF F0", false, 0},
    {"notifications and flow control get no answer", Role::Server, "FF FA 2C 08 FF F0 FF FA 2C 06 01 FF F0",
     "", "", false, 0},
};

TelnetCodec MakeCodec(Role role, int& current, std::vector<int>& asked) {
    TelnetCodec codec(role);
    current = 19200;
    codec.SetBaudRateHandler([&current, &asked](int r) { return TestRateHandler(r, current, asked); });
    return codec;
}

TEST(TelnetCodec, FeedsWholeAndSplitAtEveryPositionAlike) {
    for (const FeedCase& c : kFeedCases) {
        SCOPED_TRACE(c.name);
        const Bytes input = Hex(c.input);
        int current = 0;
        std::vector<int> asked;
        // Byte by byte, then every single cut, then whole: each must give the same bytes.
        std::vector<std::vector<std::size_t>> splits;
        std::vector<std::size_t> each;
        for (std::size_t i = 1; i < input.size(); ++i) {
            each.push_back(i);
            splits.push_back({i});
        }
        splits.push_back(each);
        splits.push_back({});
        for (const auto& cuts : splits) {
            TelnetCodec codec = MakeCodec(c.role, current, asked);
            const Fed fed = FeedCut(codec, input, cuts);
            ASSERT_EQ(ToHex(fed.data), ToHex(Hex(c.data))) << "cuts " << cuts.size();
            ASSERT_EQ(ToHex(fed.reply), ToHex(Hex(c.reply))) << "cuts " << cuts.size();
            if (c.role == Role::Client) {
                ASSERT_EQ(codec.ComPortAgreed(), c.comPortAgreed);
                ASSERT_EQ(codec.ConfirmedBaudRate(), c.confirmedRate);
            }
        }
    }
}

TEST(TelnetCodec, GreetingsAndTheClientsLineSettings) {
    EXPECT_EQ(ToHex(TelnetCodec(Role::Client).Greeting()), "FF FB 00 FF FD 00 FF FB 03 FF FD 03 FF FB 2C");
    EXPECT_EQ(ToHex(TelnetCodec(Role::Server).Greeting()), "FF FD 2C FF FB 00 FF FD 00 FF FB 03 FF FD 03");
    EXPECT_EQ(ToHex(TelnetCodec::SetLine(38400)),
              "FF FA 2C 01 00 00 96 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0 "
              "FF FA 2C 05 01 FF F0 FF FA 2C 05 08 FF F0 FF FA 2C 05 0B FF F0");
    const Bytes odd = TelnetCodec::SetLine(255);
    EXPECT_EQ(ToHex(Bytes(odd.begin(), odd.begin() + 11)), "FF FA 2C 01 00 00 00 FF FF FF F0");
}

// The two roles talking to each other: the greetings settle without a word more, the rate set by
// the client reaches the server's handler and comes back confirmed.
TEST(TelnetCodec, ClientAndServerAgreeAndSetTheRate) {
    TelnetCodec client(Role::Client);
    int current = 0;
    std::vector<int> asked;
    TelnetCodec server = MakeCodec(Role::Server, current, asked);
    Fed atServer;
    Fed atClient;
    const Bytes toServer = client.Greeting();
    const Bytes toClient = server.Greeting();
    server.Feed(toServer.data(), toServer.size(), atServer.data, atServer.reply);
    client.Feed(toClient.data(), toClient.size(), atClient.data, atClient.reply);
    EXPECT_TRUE(atServer.reply.empty() && atClient.reply.empty() && atServer.data.empty() &&
                atClient.data.empty());
    EXPECT_TRUE(client.ComPortAgreed());
    for (std::uint8_t option : {telnet::kBinary, telnet::kSuppressGoAhead}) {
        EXPECT_TRUE(client.LocalEnabled(option) && client.RemoteEnabled(option));
        EXPECT_TRUE(server.LocalEnabled(option) && server.RemoteEnabled(option));
    }

    const Bytes setLine = TelnetCodec::SetLine(9600);
    server.Feed(setLine.data(), setLine.size(), atServer.data, atServer.reply);
    EXPECT_EQ(asked, std::vector<int>{9600});
    EXPECT_EQ(current, 9600);
    client.Feed(atServer.reply.data(), atServer.reply.size(), atClient.data, atClient.reply);
    EXPECT_EQ(client.ConfirmedBaudRate(), 9600);
    EXPECT_TRUE(atClient.reply.empty() && atClient.data.empty());
}

// Random data (a third of it FFh) escaped by one side and fed to the other in random pieces comes
// back as it was, with nothing to answer.
TEST(TelnetCodec, EscapedDataRoundTripsToEitherRole) {
    std::mt19937 random(7);
    for (Role role : {Role::Client, Role::Server}) {
        for (int round = 0; round < 200; ++round) {
            Bytes data(random() % 600);
            for (auto& b : data) {
                b = random() % 3 == 0 ? 0xFF : static_cast<std::uint8_t>(random());
            }
            Bytes wire;
            TelnetCodec::Escape(data.data(), data.size(), wire);
            TelnetCodec codec(role);
            Fed fed;
            for (std::size_t at = 0; at < wire.size();) {
                const std::size_t n = std::min<std::size_t>(wire.size() - at, random() % 9);
                codec.Feed(wire.data() + at, n, fed.data, fed.reply);
                at += n;
            }
            ASSERT_EQ(fed.data, data);
            ASSERT_TRUE(fed.reply.empty());
        }
    }
}

// Whatever arrives, the data never outgrows the input and the answers stay in proportion: at most
// one three-byte refusal per three bytes, one reply per subnegotiation.
TEST(TelnetCodec, HostileInputStaysBounded) {
    std::mt19937 random(11);
    for (Role role : {Role::Client, Role::Server}) {
        TelnetCodec codec(role);
        Fed fed;
        std::size_t total = 0;
        for (int round = 0; round < 2000; ++round) {
            Bytes chunk(random() % 64);
            for (auto& b : chunk) {
                // Mostly the protocol's own codes, so that every state is reached.
                const unsigned r = random() % 4;
                b = r == 0   ? static_cast<std::uint8_t>(random())
                    : r == 1 ? 0xFF
                             : static_cast<std::uint8_t>(0xF0 + random() % 16);
                if (random() % 16 == 0) {
                    b = static_cast<std::uint8_t>(random() % 13);
                }
            }
            total += chunk.size();
            codec.Feed(chunk.data(), chunk.size(), fed.data, fed.reply);
            ASSERT_LE(fed.data.size(), total);
            ASSERT_LE(fed.reply.size(), 2 * total);
        }
    }
}

}  // namespace
}  // namespace lumvaris::link
