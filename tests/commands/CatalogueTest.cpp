// The vocabulary: the catalogue's rows, every builder byte for byte as the sender frames it, and
// the modifier-key table.
#include <gtest/gtest.h>

#include <set>

#include "CommandsTestSupport.h"
#include "commands/AddressRules.h"
#include "commands/ModeTable.h"
#ifdef LUMVARIS_HAVE_SIM
#include "sim/Catalogue.h"
#endif

namespace lumvaris::commands {
namespace {

using test::Link;

// "to 2FFF: 00 00 01 35": the destination and the payload of a framed request, after checking
// that its header CRC, its length byte and its checksum are right.
std::string Framed(const CommandSender& sender, const Request& request) {
    const link::FrameBuffer f = sender.Frame(request);
    EXPECT_TRUE(link::CheckHeaderCrc(f));
    EXPECT_EQ(link::SourceAddress(f), 0xFFFF);
    const int n = link::PayloadLength(f);
    EXPECT_EQ(f[8 + n], link::PayloadChecksum(link::Payload(f), n));
    const std::vector<std::uint8_t> payload(link::Payload(f), link::Payload(f) + n);
    return "to " + QString::asprintf("%04X", link::DestinationAddress(f)).toStdString() + ": " +
           testing::ToHex(payload);
}

TEST(Builders, FillTheFrameByteForByte) {
    Link link;
    const std::uint8_t password[] = {0xCF, 0xE0, 0xF0};  // "Пар" in code page 1251
    std::array<std::uint8_t, 32> key{};
    key[0] = 0xAA;
    key[31] = 0x55;
    ConfigurationByte config;
    config.operatingMode = 1;  // MASTER-SR
    config.plcStopped = 1;     // "Запретить"
    config.portMode = 1;
    config.winterTime = true;
    const struct {
        const char* what;
        Request request;
        std::string framed;
    } cases[] = {
        {"config write", request::ConfigWrite(256, config), "to 2FFF: 00 00 01 35"},
        {"clock 31.12.2099 23:59:58, a Thursday",
         request::ClockWrite(ClockRecord::FromDateTime(QDate(2099, 12, 31), 23, 59, 58)),
         "to 2FFF: 01 3A 3B 17 03 1E 0B 63"},
        {"clock 1.1.2024 12:12, a Monday",
         request::ClockWrite(ClockRecord::FromDateTime(QDate(2024, 1, 1), 12, 12, 0)),
         "to 2FFF: 01 00 0C 0C 00 00 00 18"},
        {"clock in 2100: year byte 0",
         request::ClockWrite(ClockRecord::FromDateTime(QDate(2100, 3, 1), 0, 0, 0)),
         "to 2FFF: 01 00 00 00 00 00 02 00"},
        {"clock trim -60 ppm", request::ClockTrimWrite(-60), "to 2FFF: 04 C4"},
        {"address change to the old address", request::AddressWrite(0x2ABC, 0x2001), "to 2ABC: 06 01 20"},
        {"rate 9600", request::UartRateWrite(2), "to 2FFF: 08 02"},
        {"billing day -10", request::BillingDayWrite(-10), "to 2FFF: 09 F6"},
        {"empty password", request::PasswordWrite(nullptr, 0), "to 2FFF: 0A"},
        {"password", request::PasswordSend(password, 3), "to 2FFF: 0B CF E0 F0"},
        {"short PLC command", request::PlcCommandQueue({0xDC, 0x1FFF, 0x4402}), "to 2FFF: 0C DC FF 1F 02 44"},
        {"register read of 127 words", request::RegisterRead(0x0012, 0x00F0, 127),
         "to 2FFF: 77 12 00 F0 00 7F"},
        {"month record clear of meter 300", request::MonthRecordClear(300), "to 2FFF: 78 2C 01"},
        {"firmware begin: low 16 bits of 70000 lines", request::FirmwareBegin(70000), "to 2FFF: 7A 70 11"},
        {"debug: stop PLC only", request::DebugModeWrite(false, true), "to 2FFF: 7C 02"},
        {"debug: both", request::DebugModeWrite(true, true), "to 2FFF: 7C 03"},
        {"packet buffer of meter 258", request::PacketBufferRead(258), "to 2FFF: 82 02 01"},
        {"month buffer of meter 1", request::MonthBufferRead(1), "to 2FFF: 85 01 00"},
        {"plain read", request::Plain(RequestType::LineStateRead), "to 2FFF: 87"},
        {"long header to all", request::LongCommandHeader(0x1FFF, 5, 2), "to 1FFF: D8 FF 1F 05 02"},
        {"long header to meter 5", request::LongCommandHeader(0x1005, 0x105, 1), "to 1005: D8 05 10 05 01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Framed(link.sender, c.request), c.framed) << c.what;
    }
    const std::string keyFrame = Framed(link.sender, request::KeyWrite(key));
    EXPECT_EQ(keyFrame.size(), std::string("to 2FFF: 0D").size() + 32 * 3);
    EXPECT_EQ(keyFrame.substr(0, 14), "to 2FFF: 0D AA");
    EXPECT_EQ(keyFrame.substr(keyFrame.size() - 3), " 55");

    // The destination follows the UART-ID field at the moment of framing.
    link.connection.uartId = 0x2001;
    EXPECT_EQ(Framed(link.sender, request::Plain(RequestType::ClockRead)), "to 2001: 81");
    // A text is cut at the largest payload a frame carries.
    std::vector<std::uint8_t> longText(300, 'A');
    EXPECT_EQ(link::PayloadLength(link.sender.Frame(request::FirmwareLine(longText.data(), longText.size()))),
              255);
}

TEST(Builders, TheSenderWritesTheWorkedExampleAndTakesWaitAndPauseFromTheCatalogue) {
    Link link;
    link.sender.Send(request::Plain(RequestType::ClockRead));
    EXPECT_EQ(link.Written(), "63 E0 A7 FF FF FF 2F 01 81 80");
    EXPECT_EQ(link.requester.ExpectedReplyType(), 0x81);
    EXPECT_TRUE(link.requester.WaitInProgress());

    // A long command awaits nothing: the previous expected type stays.
    link.requester.EndReplyWait(true);
    const std::uint8_t block[4] = {1, 2, 3, 0};
    link.sender.Send(request::LongCommandBlock(0x1FFF, block));
    EXPECT_FALSE(link.requester.WaitInProgress());
    EXPECT_EQ(link.requester.ExpectedReplyType(), 0x81);

    // Writes are answered by the reply of the matching read; the outdated upload start by 0x7F.
    const std::pair<RequestType, int> answers[] = {
        {RequestType::ConfigWrite, 0x80},         {RequestType::ClockWrite, 0x81},
        {RequestType::ClockTrimWrite, 0x84},      {RequestType::AddressWrite, 0x86},
        {RequestType::UartRateWrite, 0x88},       {RequestType::BillingDayWrite, 0x89},
        {RequestType::FirmwareBeginLegacy, 0x7F}, {RequestType::FirmwareLine, 0x7E},
    };
    for (const auto& [type, reply] : answers) {
        link.sender.Send(type == RequestType::AddressWrite ? request::AddressWrite(0x2FFF, 0x2001)
                                                           : request::Plain(type));
        EXPECT_EQ(link.requester.ExpectedReplyType(), reply) << Info(type).name;
    }

    // Only the password request leaves the protected buttons open.
    link.access.Grant(true);
    link.sender.Send(request::PasswordSend(nullptr, 0));
    EXPECT_TRUE(link.access.Granted());
    link.sender.Send(request::Plain(RequestType::ClockRead));
    EXPECT_FALSE(link.access.Granted());
}

TEST(Catalogue, EveryTypeHasOneRowAndTheAccessRulesAreRead) {
    int count = 0;
    const CommandInfo* rows = Commands(count);
    ASSERT_EQ(count, 36);
    std::set<int> codes;
    std::set<std::string> protectedNames;
    int pauseless = 0;
    for (int i = 0; i < count; ++i) {
        const CommandInfo& row = rows[i];
        EXPECT_TRUE(codes.insert(static_cast<int>(row.type)).second) << row.name;
        EXPECT_EQ(&Info(row.type), &row);
        EXPECT_EQ(FindCommand(static_cast<std::uint8_t>(row.type)), &row);
        if (row.isProtected) {
            protectedNames.insert(row.name);
        }
        EXPECT_EQ(row.keepsAccess, row.type == RequestType::PasswordSend) << row.name;
        pauseless += row.pauseMs == 0;
        EXPECT_EQ(row.destination == Destination::Given, row.type == RequestType::AddressWrite ||
                                                             row.type == RequestType::LongCommandHeader ||
                                                             row.type == RequestType::LongCommandBlock)
            << row.name;
        if (row.expectedReply != link::Requester::kNoWait) {
            EXPECT_NE(FindReply(static_cast<std::uint8_t>(row.expectedReply)), nullptr) << row.name;
        }
    }
    EXPECT_EQ(protectedNames,
              (std::set<std::string>{"ClockWrite", "UartRateWrite", "BillingDayWrite", "PasswordWrite"}));
    EXPECT_EQ(pauseless, 1) << "only the firmware lines go without the pause";
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(FindCommand(static_cast<std::uint8_t>(code)) != nullptr, codes.count(code) == 1);
    }
    EXPECT_EQ(FindReply(0x40)->rule, LengthRule::Exactly);
    EXPECT_EQ(FindReply(0x76)->rule, LengthRule::None);
}

#ifdef LUMVARIS_HAVE_SIM
// The simulator keeps its own table as an independent check; both must agree on the codes and
// on the lengths the program sends.
TEST(Catalogue, AgreesWithTheSimulatorsTable) {
    int count = 0;
    const CommandInfo* rows = Commands(count);
    for (int i = 0; i < count; ++i) {
        const sim::RequestInfo* theirs = sim::FindRequest(static_cast<std::uint8_t>(rows[i].type));
        ASSERT_NE(theirs, nullptr) << rows[i].name;
        EXPECT_STREQ(theirs->name, rows[i].name);
        if (rows[i].payloadLength == kTextLength) {
            EXPECT_EQ(theirs->minLength, 1) << rows[i].name;
            EXPECT_EQ(theirs->maxLength, 255) << rows[i].name;
        } else {
            EXPECT_EQ(theirs->minLength, rows[i].payloadLength) << rows[i].name;
            EXPECT_EQ(theirs->maxLength, rows[i].payloadLength) << rows[i].name;
        }
    }
}
#endif

TEST(ModeTable, CaptionsPerModeAndWhatAClickDoesAfterTheKeys) {
    using enum ModeButton;
    using enum ModeKey;
    const char* const keep = nullptr;
    const struct {
        ModeButton button;
        const char* captions[4];
    } rows[] = {
        {Address, {"Прочитать", keep, "Записать", keep}},
        {Config, {"Прочитать", keep, "Записать", "Отладка"}},
        {LP, {"Прочитать", "Прочитать всё", "Очистить всё", keep}},
        {LM, {"Прочитать", "Прочитать всё", "Очистить всё", "Очистить "}},
        {RTC, {"Прочитать", keep, "Записать", keep}},
        {Version, {"Прочитать", keep, "Загрузить новую", "Загрузить новую (устар.)"}},
        {SetLongCommand, {"Выполнить", keep, "в Clipboard", keep}},
    };
    for (const auto& row : rows) {
        for (ModeKey key : {None, Shift, Ctrl, Alt}) {
            const char* expected = row.captions[static_cast<int>(key)];
            const char* got = ModeCaption(row.button, key);
            EXPECT_EQ(got == nullptr, expected == nullptr);
            if (got != nullptr && expected != nullptr) {
                EXPECT_STREQ(got, expected);
            }
        }
    }

    // Before any key is seen every button reads and does its plain function.
    ModeState state;
    EXPECT_STREQ(state.Caption(Config), "Прочитать");
    EXPECT_EQ(state.Action(Config), ModeAction::Read);
    EXPECT_EQ(state.Action(SetLongCommand), ModeAction::Execute);
    // A mode that leaves a button as it is leaves its function too: the keys in turn, as held.
    const struct {
        ModeKey key;
        ModeAction address, lp, lm, version, longCommand;
    } steps[] = {
        {Ctrl, ModeAction::Write, ModeAction::ClearAll, ModeAction::ClearAll, ModeAction::LoadNew,
         ModeAction::ToClipboard},
        {Shift, ModeAction::Write, ModeAction::ReadAll, ModeAction::ReadAll, ModeAction::LoadNew,
         ModeAction::ToClipboard},
        {Alt, ModeAction::Write, ModeAction::ReadAll, ModeAction::ClearOne, ModeAction::LoadNewLegacy,
         ModeAction::ToClipboard},
        {None, ModeAction::Read, ModeAction::Read, ModeAction::Read, ModeAction::Read, ModeAction::Execute},
    };
    for (const auto& step : steps) {
        state.Follow(step.key);
        EXPECT_EQ(state.Action(Address), step.address) << static_cast<int>(step.key);
        EXPECT_EQ(state.Action(LP), step.lp) << static_cast<int>(step.key);
        EXPECT_EQ(state.Action(LM), step.lm) << static_cast<int>(step.key);
        EXPECT_EQ(state.Action(Version), step.version) << static_cast<int>(step.key);
        EXPECT_EQ(state.Action(SetLongCommand), step.longCommand) << static_cast<int>(step.key);
    }
    state.Follow(Alt);
    EXPECT_STREQ(state.Caption(LM), "Очистить ");
    EXPECT_STREQ(state.Caption(Config), "Отладка");
    EXPECT_EQ(state.Action(Config), ModeAction::Debug);

    EXPECT_EQ(ModeOf(true, true, true), Shift);
    EXPECT_EQ(ModeOf(false, true, true), Ctrl);
    EXPECT_EQ(ModeOf(false, false, true), Alt);
    EXPECT_EQ(ModeOf(false, false, false), None);
}

TEST(AddressRules, AnAddressThatWouldCutTheLinkIsRefused) {
    const std::pair<std::uint16_t, bool> cases[] = {{0x2001, true},  {0x2FFF, true},  {0x0FFF, true},
                                                    {0x1000, false}, {0x1ABC, false}, {0x1FFF, false},
                                                    {0x2000, true},  {0xFFFE, true},  {0xFFFF, false}};
    for (const auto& [address, allowed] : cases) {
        EXPECT_EQ(UnreachableAddressReason(address).isEmpty(), allowed) << std::hex << address;
    }
    EXPECT_TRUE(UnreachableAddressReason(0x1234).contains(QStringLiteral("1234")));
}

}  // namespace
}  // namespace lumvaris::commands

namespace lumvaris::commands {
namespace {

TEST(RequestStatusTextTest, Texts) {
    using link::RequestStatus;
    EXPECT_EQ(RequestStatusText(RequestStatus::None), "");
    EXPECT_EQ(RequestStatusText(RequestStatus::Ok), "OK");
    EXPECT_EQ(RequestStatusText(RequestStatus::Error), "Ошибка!");
    EXPECT_EQ(RequestStatusText(RequestStatus::NoData), "Нет данных ...");
    EXPECT_EQ(RequestStatusText(RequestStatus::MemoryCleared), "Память очищена");
    EXPECT_EQ(RequestStatusText(RequestStatus::Blank, "x"), "");
    EXPECT_EQ(RequestStatusText(RequestStatus::Text, "Ошибка! PLC-буфер концентратора переполнен."),
              "Ошибка! PLC-буфер концентратора переполнен.");
}

}  // namespace
}  // namespace lumvaris::commands
