// The reply handler: acceptance, every rule with the values and status it leaves, and a sweep of
// every type and length with random payloads.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <random>

#include "CommandsTestSupport.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"

namespace lumvaris::commands {
namespace {

using test::Link;

// Every part of the window the handler can reach, writing one line per call.
struct Recorder : IConcentratorDisplay,
                  IProtectedDisplay,
                  IServiceDisplay,
                  ILineStateDisplay,
                  IPlcDisplay,
                  IKeyDisplay,
                  IVersionDisplay,
                  IFirmwareReplies,
                  IMeterIntake,
                  IReplyMessages,
                  IBufferReplyObserver {
    void ShowConfiguration(const ConfigurationByte& c, int size) override {
        Log("config port=%d mode=%d winter=%d plc=%d size=%d", c.portMode, c.operatingMode,
            c.winterTime ? 1 : 0, c.plcStopped, size);
    }
    void ShowClock(const ClockReading& c) override {
        calls.push_back("clock " + c.dateTime.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")).toStdString() +
                        " " + c.weekday.toStdString() + " " + ClockOffsetText(c.offsetSeconds).toStdString());
    }
    void ShowUartRate(int index) override { Log("rate %d", index); }
    void ShowBillingDay(int day) override { Log("billing day %d", day); }
    QString CurrentPassword() const override { return password; }
    void ShowClockTrim(int ppm) override { Log("trim %d", ppm); }
    void ShowLastStart(const QDate& d, int hour, int minute) override {
        Log("last start %04d-%02d-%02d %02d:%02d", d.year(), d.month(), d.day(), hour, minute);
    }
    QString RegisterPageText() const override { return page; }
    QString RegisterOffsetText() const override { return offset; }
    void ShowRegisters(const QStringList& lines) override {
        calls.push_back("registers [" + lines.join(QStringLiteral("|")).toStdString() + "]");
    }
    void ShowLineState(const LineState& s) override {
        Log("line state %d %d %d %s", s.Level(0, 0), s.Level(1, 0), s.Level(2, 15),
            qPrintable(s.CorrectionText(0)));
    }
    void ShowPlcFreeCells(int cells) override { Log("free cells %d", cells); }
    void ShowFingerprint(const QString& f) override { calls.push_back("fingerprint " + f.toStdString()); }
    void ShowVersion(const QString& text) override {
        calls.push_back("version '" + text.toStdString() + "'");
    }
    std::optional<link::RequestStatus> FirmwareReply(std::uint8_t type, int n) override {
        Log("firmware %02X N=%d", type, n);
        return firmwareStatus;
    }
    bool ReportsRefusals() const override { return reportsRefusals; }
    meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& f) override {
        Log("buffer record meter %d", f.Payload[1] | (f.Payload[2] << 8));
        return badTime ? meterdata::IntakeResult::BadTime : meterdata::IntakeResult::Stored;
    }
    meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& f) override {
        Log("month buffer N=%d", static_cast<int>(f.Length));
        meterdata::MonthBufferResult r;
        r.Stored = static_cast<int>((f.Length - 3) / 11);
        return r;
    }
    void ApplyNetworkSize(int meters) override { Log("network size %d", meters); }
    void ShowReplyError(const QString& text) override { calls.push_back("box " + text.toStdString()); }
    void BufferReply(RequestType type, int meter, bool delivered) override {
        Log("observer %02X meter %d %s", static_cast<int>(type), meter, delivered ? "records" : "no data");
    }

    template <typename... A>
    void Log(const char* format, A... args) {
        calls.push_back(QString::asprintf(format, args...).toStdString());
    }
    ReplyTargets All() { return {this, this, this, this, this, this, this, this, this, this}; }

    std::vector<std::string> calls;
    QString password;
    QString page = QStringLiteral("0012");
    QString offset = QStringLiteral("00F0");
    bool badTime = false;
    std::optional<link::RequestStatus> firmwareStatus;
    bool reportsRefusals = false;
};

class ReplyHandlerTest : public ::testing::Test {
  protected:
    ReplyHandlerTest() {
        link_.handler.Targets() = recorder_.All();
        link_.handler.SetBufferReplyObserver(&recorder_);
        // The protected buttons follow the access the password reply grants.
        link_.access.SetListener(
            [this](bool on) { recorder_.Log("protected %s", on ? "enabled" : "disabled"); });
    }
    // Sends the request (which sets the expected type and the send buffer), then the reply.
    void Exchange(const Request& request, const std::string& replyHex) {
        link_.connection.calls.clear();
        link_.sender.Send(request);
        recorder_.calls.clear();
        link_.handler.HandleReply(Link::Reply(testing::Hex(replyHex)));
    }
    std::string Status() const { return link_.view.status; }
    // What reached the pages and the connection, in order.
    std::vector<std::string> Calls() const {
        std::vector<std::string> all = recorder_.calls;
        all.insert(all.end(), link_.connection.calls.begin(), link_.connection.calls.end());
        return all;
    }

    Link link_;
    Recorder recorder_;
};

using CallList = std::vector<std::string>;

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

TEST_F(ReplyHandlerTest, EachRuleShowsItsValuesAndStatus) {
    recorder_.password = QStringLiteral("Пар");
    const Request clockRead = request::Plain(RequestType::ClockRead);
    const struct {
        const char* what;
        Request request;
        std::string reply;
        const char* status;
        CallList calls;
    } cases[] = {
        {"slave clock sync", request::Plain(RequestType::SlaveClockSync), "07", " OK", {}},
        {"password write", request::PasswordWrite(nullptr, 0), "0A", " OK", {}},
        {"password accepted, same text",
         request::PasswordSend(nullptr, 0),
         "0B CF E0 F0",
         " OK",
         {"protected enabled"}},
        {"password accepted, other text",
         request::PasswordSend(nullptr, 0),
         "0B CF E0",
         " OK",
         {"protected disabled"}},
        {"PLC command queued", request::Plain(RequestType::PlcCommandQueue), "0C 00 00 00 00 00", " OK", {}},
        {"PLC buffer full",
         request::Plain(RequestType::PlcCommandQueue),
         "0C",
         " Ошибка! PLC-буфер концентратора переполнен.",
         {}},
        {"key written", request::Plain(RequestType::KeyWrite), "0D" + Repeat(" 00", 32), " OK", {}},
        {"key reply of another length",
         request::Plain(RequestType::KeyWrite),
         "0D" + Repeat(" 00", 31),
         " Ошибка!",
         {}},
        {"last start",
         request::Plain(RequestType::LastStartRead),
         "75 00 05 0E 02 1B 04 1A",
         " OK",
         {"last start 2026-05-28 14:05"}},
        {"registers, N = 1", request::RegisterRead(0x12, 0xF0, 3), "77", " OK", {"registers []"}},
        {"registers, N = 4: the odd byte is ignored",
         request::RegisterRead(0x12, 0xF0, 3),
         "77 34 12 99",
         " OK",
         {"registers [0012.00F0: 1234]"}},
        {"registers, three words",
         request::RegisterRead(0x12, 0xF0, 3),
         "77 34 12 00 00 FF FF",
         " OK",
         {"registers [0012.00F0: 1234|0012.00F1: 0000|0012.00F2: FFFF]"}},
        {"memory test OK",
         request::Plain(RequestType::MemoryTest),
         "79 00 08 FF FF 00 00",
         " Memory pages total: 2048, memory test OK",
         {}},
        {"memory test error",
         request::Plain(RequestType::MemoryTest),
         "79 00 08 00 80 05 00",
         " Memory pages total: 2048; ERR offset: -32768; ERR page: 5",
         {}},
        {"debug mode", request::DebugModeWrite(false, true), "7C", " OK", {}},
        {"config",
         request::Plain(RequestType::ConfigRead),
         "80 00 01 35",
         " OK",
         {"config port=1 mode=1 winter=1 plc=1 size=256", "network size 256"}},
        {"config, size above the field's range",
         request::Plain(RequestType::ConfigRead),
         "80 88 13 02",
         " OK",
         {"config port=0 mode=0 winter=0 plc=0 size=4096", "network size 4096"}},
        {"config, size 0",
         request::Plain(RequestType::ConfigRead),
         "80 00 00 00",
         " OK",
         {"config port=0 mode=0 winter=0 plc=0 size=16", "network size 16"}},
        {"clock 90 s behind",
         clockRead,
         "81 1E 3A 09 00 06 0B 1A",
         " OK",
         {"clock 07.12.2026 09:58:30 Понедельник откл. -90 с"}},
        {"clock with an unknown weekday",
         clockRead,
         "81 00 00 0A 09 06 0B 1A",
         " OK",
         {"clock 07.12.2026 10:00:00 ??? откл. 0 с"}},
        {"packet buffer record",
         request::PacketBufferRead(7),
         "82 07 00 40 01 00 00 00 24 00 0C 05 0B 1A",
         " OK",
         {"buffer record meter 7", "observer 82 meter 7 records"}},
        {"packet buffer empty",
         request::PacketBufferRead(7),
         "82 07 00",
         " Нет данных ...",
         {"observer 82 meter 7 no data"}},
        {"version",
         request::Plain(RequestType::VersionRead),
         "83 C2 E5 F0 20 31",
         " OK",
         {"version 'Вер 1'"}},
        {"no version", request::Plain(RequestType::VersionRead), "83", " Нет данных ...", {"version ''"}},
        {"clock trim", request::Plain(RequestType::ClockTrimRead), "84 C4", " OK", {"trim -60"}},
        {"month buffer, two records and a remainder",
         request::MonthBufferRead(3),
         "85 03 00" + Repeat(" 01", 22 + 5),
         " OK",
         {"month buffer N=30", "observer 85 meter 3 records"}},
        {"month buffer, a remainder only",
         request::MonthBufferRead(3),
         "85 03 00" + Repeat(" 01", 10),
         " Ошибка!",
         {"month buffer N=13", "observer 85 meter 3 no data"}},
        {"month buffer without records",
         request::MonthBufferRead(3),
         "85 03 00",
         " Нет данных ...",
         {"observer 85 meter 3 no data"}},
        {"address", request::Plain(RequestType::AddressRead), "86 01 20", " OK", {"uart-id 2001"}},
        {"rate 9600", request::Plain(RequestType::UartRateRead), "88 02", " OK", {"rate 2", "switch-rate 2"}},
        {"rate index the program does not know",
         request::Plain(RequestType::UartRateRead),
         "88 03",
         " Ошибка!",
         {}},
        {"billing day -10", request::Plain(RequestType::BillingDayRead), "89 F6", " OK", {"billing day -10"}},
        {"free cells", request::Plain(RequestType::PlcFreeCellsRead), "8A FF", " OK", {"free cells 255"}},
        {"fingerprint",
         request::Plain(RequestType::FingerprintRead),
         "8B 78 56 34 12",
         " OK",
         {"fingerprint 12.34.56.78"}},
        {"restart: no rule", request::Plain(RequestType::Restart), "76", " Ошибка!", {}},
        {"clears: no rule", request::Plain(RequestType::PacketBufferClear), "7B", " Ошибка!", {}},
        {"firmware begin: no rule of its own",
         request::FirmwareBegin(3),
         "7A",
         " Ошибка!",
         {"firmware 7A N=1"}},
        {"firmware line acknowledged", request::FirmwareLine(nullptr, 0), "7E", " OK", {"firmware 7E N=1"}},
        {"firmware line, wrong length",
         request::FirmwareLine(nullptr, 0),
         "7E 00",
         " Ошибка!",
         {"firmware 7E N=2"}},
        {"outdated upload start",
         request::Plain(RequestType::FirmwareBeginLegacy),
         "7F",
         " Память очищена",
         {"firmware 7F N=1"}},
        {"refused during an upload",
         request::FirmwareLine(nullptr, 0),
         "40",
         " OK",
         {"firmware 40 N=1", "box Команда недоступна, введите пароль!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Exchange(c.request, c.reply);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_FALSE(link_.requester.WaitInProgress()) << "the wait ended as answered";
        EXPECT_EQ(link_.requester.Outcome(), link::WaitOutcome::Answered);
    }
}

// The upload knows what its replies mean, so the status it gives is the one the reply leaves; and
// while it reports refusals itself (its line phase, main window hidden) a refusal of one of its
// requests opens no box. A refusal of any other request still does.
TEST_F(ReplyHandlerTest, TheUploadGivesTheStatusOfItsRepliesAndSpeaksForRefusalsOfItsLines) {
    using link::RequestStatus;
    const struct {
        const char* what;
        Request request;
        std::string reply;
        std::optional<RequestStatus> upload;
        bool reportsRefusals;
        const char* status;
        CallList calls;
    } cases[] = {
        {"the start answered",
         request::FirmwareBegin(3),
         "7A",
         RequestStatus::Ok,
         false,
         " OK",
         {"firmware 7A N=1"}},
        {"a line refused in the line phase",
         request::FirmwareLine(nullptr, 0),
         "40",
         std::nullopt,
         true,
         " OK",
         {"firmware 40 N=1"}},
        {"another request refused meanwhile",
         request::Plain(RequestType::ClockRead),
         "40",
         std::nullopt,
         true,
         " OK",
         {"box Команда недоступна, введите пароль!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        recorder_.firmwareStatus = c.upload;
        recorder_.reportsRefusals = c.reportsRefusals;
        Exchange(c.request, c.reply);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_FALSE(link_.requester.WaitInProgress());
    }
}

TEST_F(ReplyHandlerTest, AcceptanceTakesOnlyRepliesToTheLastRequestOrTheRefusal) {
    const Request clockRead = request::Plain(RequestType::ClockRead);
    const std::string goodClock = "81 00 00 0A 00 06 0B 1A";

    // Another destination: nothing changes, the wait goes on.
    link_.sender.Send(clockRead);
    link_.handler.HandleReply(Link::Reply(testing::Hex(goodClock), 0xFFFE));
    EXPECT_TRUE(link_.requester.WaitInProgress());
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Status(), " ");

    // A type other than the expected one.
    link_.handler.HandleReply(Link::Reply(testing::Hex("80 00 01 35")));
    EXPECT_TRUE(link_.requester.WaitInProgress());
    EXPECT_TRUE(Calls().empty());

    // The refusal, whatever was awaited; the wait is over before the box shows.
    struct WhileBoxOpen : IReplyMessages {
        link::Requester* requester = nullptr;
        std::vector<std::pair<std::string, bool>> boxes;
        void ShowReplyError(const QString& text) override {
            boxes.emplace_back(text.toStdString(), requester->WaitInProgress());
        }
    } box;
    box.requester = &link_.requester;
    link_.handler.Targets().messages = &box;
    link_.handler.HandleReply(Link::Reply(testing::Hex("40")));
    EXPECT_EQ(Status(), " OK");
    link_.sender.Send(request::PasswordSend(nullptr, 0));
    link_.handler.HandleReply(Link::Reply(testing::Hex("40")));
    EXPECT_EQ(Status(), " OK");
    EXPECT_EQ(box.boxes, (std::vector<std::pair<std::string, bool>>{
                             {"Команда недоступна, введите пароль!", false}, {"Пароль неверный!", false}}));
    // A refusal of another length is no refusal.
    link_.sender.Send(clockRead);
    link_.handler.HandleReply(Link::Reply(testing::Hex("40 00")));
    EXPECT_EQ(Status(), " Ошибка!");
    EXPECT_EQ(box.boxes.size(), 2u);

    // A reply of the expected type that comes again before the next request is handled again.
    link_.sender.Send(clockRead);
    link_.handler.HandleReply(Link::Reply(testing::Hex(goodClock)));
    link_.handler.HandleReply(Link::Reply(testing::Hex(goodClock)));
    EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(ReplyHandlerTest, ARecordThatFormsNoDateIsReportedAndLeavesTheWaitRunning) {
    const struct {
        const char* what;
        Request request;
        const char* reply;
    } cases[] = {
        {"clock on 31 April", request::Plain(RequestType::ClockRead), "81 00 00 0A 00 1E 03 1A"},
        {"clock at 25 o'clock", request::Plain(RequestType::ClockRead), "81 00 00 19 00 00 00 1A"},
        {"last start in month 13", request::Plain(RequestType::LastStartRead), "75 00 00 00 00 00 0C 1A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        link_.sender.Send(c.request);
        recorder_.calls.clear();
        EXPECT_THROW(link_.handler.HandleReply(Link::Reply(testing::Hex(c.reply))), ReplyError);
        EXPECT_TRUE(Calls().empty()) << "no control changes";
        EXPECT_TRUE(link_.requester.WaitInProgress()) << "the wait runs to its timeout";
    }
    recorder_.badTime = true;
    link_.sender.Send(request::PacketBufferRead(7));
    EXPECT_THROW(
        link_.handler.HandleReply(Link::Reply(testing::Hex("82 07 00 40 01 00 00 00 24 3C 0C 05 0B 1A"))),
        ReplyError);
    EXPECT_TRUE(link_.requester.WaitInProgress());
}

// Month records reach the intake newest last, whatever order the concentrator sent them in.
TEST(ReplyHandlerIntake, MonthRecordsAreFiledOldestFirst) {
    QTemporaryDir dir;
    test::FixedClock clock;
    meterdata::MeterDatabase database(dir.path(), clock);
    ASSERT_TRUE(database.Open(QStringLiteral("COM1")));
    struct Intake : IMeterIntake {
        meterdata::MeterDatabase* db;
        meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& f) override {
            return db->StoreMeterPacket(f);
        }
        meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& f) override {
            return db->StoreMonthBuffer(f);
        }
        void ApplyNetworkSize(int) override {}
    } intake;
    intake.db = &database;
    Link link;
    link.handler.Targets().intake = &intake;
    link.sender.Send(request::MonthBufferRead(9));
    // Word A 2, 1, 3 on 2, 1 and 3 May 2026 at 00:00, and five trailing bytes.
    link.handler.HandleReply(
        Link::Reply(testing::Hex("85 09 00"
                                 " 40 02 00 00 00 24 00 00 01 04 1A"
                                 " 40 01 00 00 00 24 00 00 00 04 1A"
                                 " 40 03 00 00 00 24 00 00 02 04 1A"
                                 " 01 02 03 04 05")));
    EXPECT_EQ(link.view.status, " OK");
    std::vector<int> filed;
    meterdata::MeterRecord record;
    for (int slot = 1; slot <= 4; ++slot) {
        database.PacketStore()->GetMeterRecord(record, slot, 9);
        filed.push_back(record.Valid != 0 ? record.WordA : 0);
    }
    EXPECT_EQ(filed, (std::vector<int>{3, 2, 1, 0})) << "3 May newest, in slot 1";
}

// Any type and any length from 0 to 255 leaves the program running, and only the rule's own
// lengths reach a display (the version shows "no version" for the others, the firmware hears all
// of its replies, the buffer replies report their "no data").
TEST_F(ReplyHandlerTest, EveryTypeAndLengthIsSafeAndOnlyExactLengthsChangeADisplay) {
    std::mt19937 random(20261208);
    recorder_.password = QStringLiteral("x");
    for (int type = 0; type < 256; ++type) {
        for (int n = 1; n < 256; ++n) {
            std::vector<std::uint8_t> payload(static_cast<std::size_t>(n));
            for (auto& b : payload) {
                b = static_cast<std::uint8_t>(random());
            }
            payload[0] = static_cast<std::uint8_t>(type);
            // Any type may be the expected one: send a request that awaits it.
            link::FrameBuffer request{};
            link::FillHeader(request, 0xFFFF, 0x2FFF, 1, 0x80);
            link_.requester.SendRequest(request, type, 0);
            recorder_.calls.clear();
            link_.connection.calls.clear();
            try {
                link_.handler.HandleReply(Link::Reply(payload));
            } catch (const ReplyError&) {
                EXPECT_TRUE(type == 0x81 || type == 0x75 || type == 0x85) << type << " N=" << n;
                continue;
            }
            const ReplyInfo* info = FindReply(static_cast<std::uint8_t>(type));
            const bool meets = info != nullptr && MeetsLength(*info, n);
            for (const std::string& call : Calls()) {
                const bool alwaysTold = call.rfind("firmware", 0) == 0 || call.rfind("observer", 0) == 0 ||
                                        call == "version ''" || call.rfind("box", 0) == 0;
                if (!alwaysTold) {
                    EXPECT_TRUE(meets) << std::hex << type << std::dec << " N=" << n << ": " << call;
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumvaris::commands
