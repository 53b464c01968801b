// The connection's rules without a window: the fake port, fake timers and clock, a listener that
// writes down what the face would draw or say, and the retry question answered as a test says.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "commands/Requests.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "session/Connection.h"
#include "support/EventPump.h"
#include "support/FakeSerialPort.h"
#include "support/FakeTimers.h"
#include "support/QuietLink.h"

namespace lumvaris::session {
namespace {

using testing::FakeSerialPort;

struct Clock : meterdata::IClock {
    QDateTime Now() const override { return QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)); }
};

// What a face hears, as text: "opened ttyUSB1", "refused <message>", "lost <message>", "error ...".
struct Listener : IConnectionListener, IConnectionQuestions {
    void ConnectionOpened() override { heard.push_back("opened " + connection->PortName().toStdString()); }
    void ConnectionRefused(const QString& message) override {
        heard.push_back("refused " + message.toStdString());
    }
    void PortLost(const QString& message) override { heard.push_back("lost " + message.toStdString()); }
    void ReportError(const QString& message) override { heard.push_back("error " + message.toStdString()); }
    bool RetrySave(const QString& text, CloseReason reason) override {
        questions.push_back((reason == CloseReason::Exit ? "exit: " : "change: ") + text.toStdString());
        if (whileAsking) {
            whileAsking();
        }
        const bool again = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.erase(answers.begin());
        }
        return again;
    }
    Connection* connection = nullptr;
    std::vector<std::string> heard;
    std::vector<std::string> questions;
    std::vector<bool> answers;  // "retry" while true, in turn; then "go on without saving"
    std::function<void()> whileAsking;
};

// A database that writes down what the connection asks of it.
struct Log : IConnectionDatabase {
    DatabaseOpen Open(const QString& port) override {
        calls.push_back("open " + port.toStdString());
        return {};
    }
    Result Save() override {
        calls.push_back("save");
        return Result::Done();
    }
    void Release() override { calls.push_back("release"); }
    void StoreLivePacket(const link::FrameBuffer&) override {}
    std::vector<std::string> calls;
};

// A live packet of meter 5 as the concentrator forwards it.
std::vector<std::uint8_t> MeterPacket() {
    link::FrameBuffer frame{};
    link::FillHeader(frame, 0x1005, link::kWorkstationAddress, 6, 0x40);
    link::Payload(frame)[1] = 0x1F;
    link::Payload(frame)[5] = 0x24;
    const std::size_t n = link::CompleteFrame(frame);
    return {frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n)};
}

link::PortInfo Adapter(const std::string& name, const std::string& serial) {
    link::PortInfo port;
    port.name = name;
    port.serialNumber = serial;
    port.vendorId = 0x0403;
    port.productId = 0x6001;
    port.systemLocation = "/dev/" + name;
    return port;
}

class ConnectionTest : public ::testing::Test {
  protected:
    // The lost port arrives through the event loop.
    static void SetUpTestSuite() { testing::EnsureApplication("session_tests"); }
    ConnectionTest() {
        listener.connection = &connection;
        connection.SetListener(&listener);
        connection.SetQuestions(&listener);
    }
    // As the Qt port does when the device vanishes: closed first, then reported once.
    void PullAdapter() {
        port.Close();
        port.Vanish("No such device");
        QCoreApplication::processEvents();
        port.failWrite = false;
    }
    std::string File(const char* name) const { return dir.filePath(QString::fromUtf8(name)).toStdString(); }

    QTemporaryDir dir;
    FakeSerialPort port;
    struct : link::IPause {
        void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
        std::vector<int> pauses;
    } pause;
    testing::FakeTimerFactory timers;
    Clock clock;
    Connection connection{{port, pause, timers, clock, dir.path() + QStringLiteral("/")}};
    Listener listener;
};

TEST_F(ConnectionTest, APulledAdapterThatComesBackIsReopenedAtItsRateWithItsDatabase) {
    Log log;
    connection.SetDatabase(&log);
    port.portInfos = {Adapter("ttyUSB0", "A5")};
    ASSERT_TRUE(connection.Open(QStringLiteral("ttyUSB0"), 9600));
    log.calls.clear();

    PullAdapter();
    EXPECT_EQ(connection.State(), ConnectionState::WaitingForAdapter);
    EXPECT_EQ(connection.AdapterSecondsLeft(), 60);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"save", "release"})) << "saved before the release";
    ASSERT_EQ(listener.heard.back(), "lost " + LostPortText(QStringLiteral("No such device")).toStdString());

    // Away for three seconds, then listed under another name (the same serial number) but not
    // ready at the first try.
    port.portInfos.clear();
    timers.Advance(3000);
    EXPECT_EQ(connection.AdapterSecondsLeft(), 57);
    port.portInfos = {Adapter("ttyUSB2", "B7"), Adapter("ttyUSB1", "A5")};
    port.failOpen = true;
    timers.Advance(1000);
    EXPECT_EQ(connection.State(), ConnectionState::WaitingForAdapter) << "tried quietly";
    port.failOpen = false;
    timers.Advance(1000);

    EXPECT_EQ(connection.State(), ConnectionState::Open);
    EXPECT_TRUE(connection.Reconnected());
    EXPECT_EQ(log.calls, (std::vector<std::string>{"save", "release", "open ttyUSB1"}));
    EXPECT_EQ(port.openedNames, (std::vector<std::string>{"ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(connection.BaudRate(), 9600);
    EXPECT_EQ(listener.heard.back(), "opened ttyUSB1");
    EXPECT_FALSE(timers.Find("TimerPortWatch")->IsActive());
}

TEST_F(ConnectionTest, AnAdapterThatStaysAwayIsGivenUpAfterAMinuteAndALostPortWithoutOneIsSavedAtOnce) {
    Log log;
    connection.SetDatabase(&log);
    port.portInfos = {Adapter("ttyUSB0", "A5")};
    ASSERT_TRUE(connection.Open(QStringLiteral("ttyUSB0"), 38400));
    PullAdapter();
    port.portInfos.clear();
    timers.Advance(59000);
    EXPECT_EQ(connection.State(), ConnectionState::WaitingForAdapter);
    EXPECT_EQ(connection.AdapterSecondsLeft(), 1);
    timers.Advance(2000);
    EXPECT_EQ(connection.State(), ConnectionState::AdapterGone);
    EXPECT_FALSE(timers.Find("TimerPortWatch")->IsActive());
    port.portInfos = {Adapter("ttyUSB0", "A5")};
    timers.Advance(5000);
    EXPECT_EQ(port.openedNames.size(), 1u) << "not reopened after the wait";

    // A port the list never showed (a pseudo-terminal typed by hand) is not waited for: what it
    // brought is saved at once and the connection stays nominally open.
    ASSERT_TRUE(connection.Reopen(QStringLiteral("/dev/pts/7"), 38400));
    log.calls.clear();
    PullAdapter();
    EXPECT_EQ(log.calls, std::vector<std::string>{"save"});
    EXPECT_EQ(connection.State(), ConnectionState::Closed);
}

// Two connections in one program directory on ports whose names end alike: the second is
// refused, its port closed again, and the files stay the first one's.
TEST_F(ConnectionTest, ASecondConnectionToTheSameFilesIsRefusedAndNeverWritesThem) {
    ASSERT_TRUE(connection.Open(QStringLiteral("/tmp/a/simlink"), 38400));
    port.Feed(MeterPacket());
    connection.TimerRXTimer();
    connection.Save();
    const QFileInfo before(QString::fromStdString(File("simlink-PACKETS.bin")));

    FakeSerialPort otherPort;
    testing::FakeTimerFactory otherTimers;
    Connection other{{otherPort, pause, otherTimers, clock, dir.path() + QStringLiteral("/")}};
    Listener otherListener;
    otherListener.connection = &other;
    other.SetListener(&otherListener);
    EXPECT_FALSE(other.Open(QStringLiteral("/tmp/b/simlink"), 38400));
    ASSERT_EQ(otherListener.heard.size(), 1u);
    EXPECT_EQ(otherListener.heard[0].rfind("refused ", 0), 0u);
    EXPECT_NE(otherListener.heard[0].find(
                  QDir::toNativeSeparators(QString::fromStdString(File("simlink-DAYS.bin"))).toStdString()),
              std::string::npos);
    EXPECT_FALSE(otherPort.IsOpen());
    EXPECT_EQ(other.State(), ConnectionState::Closed);
    otherTimers.Advance(60000);
    other.Close(CloseReason::Exit);
    EXPECT_EQ(QFileInfo(QString::fromStdString(File("simlink-PACKETS.bin"))).lastModified(),
              before.lastModified());
    EXPECT_EQ(connection.State(), ConnectionState::Open);
}

// A save that fails with packets to lose asks before the close: "retry" saves once the cause is
// gone, "go on" loses them; nothing to lose, no question.
TEST_F(ConnectionTest, TheRetryQuestionAnsweredBothWays) {
    const QString packets = QString::fromStdString(File("ttyS0-PACKETS.bin"));
    for (const bool retry : {true, false}) {
        SCOPED_TRACE(retry ? "retry" : "go on");
        ASSERT_TRUE(QDir().mkdir(packets));
        listener.questions.clear();
        listener.heard.clear();
        ASSERT_TRUE(connection.Open(QStringLiteral("ttyS0"), 38400));
        EXPECT_EQ(connection.State(), ConnectionState::OpenNotSaving);
        connection.Close(CloseReason::Change);
        EXPECT_TRUE(listener.questions.empty()) << "nothing new since the open";

        ASSERT_TRUE(connection.Open(QStringLiteral("ttyS0"), 38400));
        port.Feed(MeterPacket());
        connection.TimerRXTimer();
        listener.answers = {retry};
        listener.whileAsking = [&] { QDir().rmdir(packets); };
        connection.Close(CloseReason::Exit);
        ASSERT_EQ(listener.questions.size(), 1u);
        EXPECT_EQ(listener.questions[0].rfind("exit: Не удалось сохранить локальную базу данных:", 0), 0u);
        meterdata::TMatrixInterface saved(packets);
        EXPECT_EQ(saved.LoadFromFile().Status == meterdata::LoadStatus::Loaded, retry);
        QFile::remove(packets);
    }
}

// A network port as the connection sees one: Open only starts connecting; the test says when the
// connection is made or fails.
class FakeNetworkPort : public FakeSerialPort {
  public:
    bool IsNetwork() const override { return true; }
    bool SetsRate() const override { return telnet; }
    bool Connecting() const override { return connecting; }
    bool IsOpen() const override { return !connecting && FakeSerialPort::IsOpen(); }
    void SetConnectedNotification(std::function<void()> handler) override {
        onConnected_ = std::move(handler);
    }
    void Open() override {
        FakeSerialPort::Open();
        failWrite = false;
        connecting = true;
    }
    void Close() override {
        connecting = false;
        FakeSerialPort::Close();
    }
    void Connect() {
        connecting = false;
        onConnected_();
    }
    // Refused, timed out or lost: closed first, then reported through the event loop.
    void Fail(const std::string& reason) {
        Close();
        Vanish(reason);
        QCoreApplication::processEvents();
    }
    bool connecting = false;
    bool telnet = false;

  private:
    std::function<void()> onConnected_;
};

class NetworkConnectionTest : public ConnectionTest {
  protected:
    NetworkConnectionTest() {
        network.SetDatabase(&log);
        netListener.connection = &network;
        network.SetListener(&netListener);
    }
    // The concentrator's answer to AddressRead.
    void AnswerAddress(std::uint16_t uartId) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, uartId, link::kWorkstationAddress, 3, 0x86);
        link::WriteWord(link::Payload(frame) + 1, uartId);
        const std::size_t n = link::CompleteFrame(frame);
        net.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n)));
    }
    FakeNetworkPort net;
    testing::FakeTimerFactory netTimers;
    Connection network{{net, pause, netTimers, clock, dir.path() + QStringLiteral("/")}};
    Listener netListener;
    Log log;
};

// Connecting holds no database; a lost link is saved and released at once, then made again after
// 1, 2, 4 ... s up to a minute, quietly, until it is made or the engineer gives it up.
TEST_F(NetworkConnectionTest, ALostLinkIsSavedThenTriedAgainAtGrowingIntervalsUntilMadeOrGivenUp) {
    const QString address = QStringLiteral("tcp://10.0.0.7:4001");
    ASSERT_TRUE(network.Open(address, 38400));
    EXPECT_EQ(network.State(), ConnectionState::Connecting);
    EXPECT_TRUE(log.calls.empty()) << "no database while connecting";
    net.Connect();
    EXPECT_EQ(network.State(), ConnectionState::Open);
    EXPECT_EQ(log.calls, std::vector<std::string>{"open tcp://10.0.0.7:4001"});
    log.calls.clear();

    net.Fail("10.0.0.7:4001 закрыл соединение");
    EXPECT_EQ(log.calls, (std::vector<std::string>{"save", "release"}));
    EXPECT_EQ(netListener.heard.back(),
              "lost " + LostPortText(QStringLiteral("10.0.0.7:4001 закрыл соединение")).toStdString());
    EXPECT_EQ(network.State(), ConnectionState::WaitingForNetwork);
    std::vector<int> waits;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int wait = network.RetrySecondsLeft();
        waits.push_back(wait);
        netTimers.Advance(wait * 1000 - 1000);
        ASSERT_EQ(net.openedNames.size(), static_cast<std::size_t>(attempt + 1)) << "not before its time";
        netTimers.Advance(1000);
        ASSERT_EQ(net.openedNames.size(), static_cast<std::size_t>(attempt + 2));
        EXPECT_EQ(network.State(), ConnectionState::WaitingForNetwork) << "a retry is no first connection";
        net.Fail("10.0.0.7:4001 отказал в соединении");
    }
    EXPECT_EQ(waits, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60}));
    EXPECT_EQ(netListener.heard.size(), 2u) << "retries are quiet: " << netListener.heard.back();

    netTimers.Advance(60000);
    net.Connect();
    EXPECT_EQ(network.State(), ConnectionState::Open);
    EXPECT_TRUE(network.Reconnected());
    EXPECT_EQ(network.PortName(), address);
    EXPECT_EQ(network.BaudRate(), 38400);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"save", "release", "open tcp://10.0.0.7:4001"}));

    // Lost again: the first wait is a second again; given up, nothing more is tried.
    net.Fail("10.0.0.7:4001 закрыл соединение");
    EXPECT_EQ(network.RetrySecondsLeft(), 1);
    network.CancelAdapterWatch();
    network.Close(CloseReason::Change);
    const std::size_t opens = net.openedNames.size();
    netTimers.Advance(180000);
    EXPECT_EQ(net.openedNames.size(), opens);
    EXPECT_EQ(network.State(), ConnectionState::Closed);
}

// The first attempt failing: refused with the reason (the window, a one-shot command), or tried
// again as a lost link is (a service).
// A serial driver is given its settling time after every close; a socket is not.
TEST_F(NetworkConnectionTest, OnlyASerialPortPausesAfterItsClose) {
    ASSERT_TRUE(network.Open(QStringLiteral("tcp://10.0.0.7:4001"), 38400));
    net.Connect();
    network.Close(CloseReason::Exit);
    EXPECT_TRUE(pause.pauses.empty());

    ASSERT_TRUE(connection.Open(QStringLiteral("ttyS0"), 38400));
    connection.Close(CloseReason::Exit);
    EXPECT_EQ(pause.pauses, std::vector<int>{Connection::kClosePauseMs});
}

TEST_F(NetworkConnectionTest, AFirstConnectionThatFailsIsRefusedOrRetriedAsAsked) {
    for (const bool retry : {false, true}) {
        SCOPED_TRACE(retry ? "a service" : "the window");
        netListener.heard.clear();
        network.SetRetryFirstConnect(retry);
        ASSERT_TRUE(network.Open(QStringLiteral("tcp://modem.example:4001"), 38400));
        net.Fail("узел modem.example:4001 не найден");
        if (retry) {
            EXPECT_TRUE(netListener.heard.empty());
            EXPECT_EQ(network.State(), ConnectionState::WaitingForNetwork);
            network.CancelAdapterWatch();
        } else {
            ASSERT_EQ(netListener.heard.size(), 1u);
            EXPECT_EQ(
                netListener.heard[0],
                "refused ВНИМАНИЕ! При открытии порта произошла ошибка!\nузел modem.example:4001 не найден");
            EXPECT_EQ(network.State(), ConnectionState::Closed);
        }
        EXPECT_TRUE(log.calls.empty());
        network.Close(CloseReason::Change);
    }
}

// A peer whose system still acknowledges while the concentrator behind it is dead: once the
// concentrator has answered, 30 s of silence bring one address read, and 50 s a lost link. Its
// answer is the idle check's, not a reply to show; before any answer (a wrong UART-ID, perhaps)
// silence is never taken for a dead link.
TEST_F(NetworkConnectionTest, ASilentLinkIsAskedAfterHalfAMinuteAndLostBeforeAMinute) {
    std::vector<std::uint16_t> shown;
    struct : Listener {
        std::vector<std::uint16_t>* shown = nullptr;
        void UartIdReported(std::uint16_t address) override { shown->push_back(address); }
    } listener;
    listener.shown = &shown;
    listener.connection = &network;
    network.SetListener(&listener);
    network.SetUartId(0x2A3F);
    ASSERT_TRUE(network.Open(QStringLiteral("tcp://10.0.0.7:4001"), 38400));
    net.Connect();
    netTimers.Advance(120000);
    EXPECT_TRUE(net.writes.empty()) << "nothing asked before the concentrator answered once";
    EXPECT_EQ(network.State(), ConnectionState::Open);

    AnswerAddress(0x2A3F);
    netTimers.Advance(100);
    netTimers.Advance(29900);
    EXPECT_TRUE(net.writes.empty());
    netTimers.Advance(100);
    ASSERT_EQ(net.writes.size(), 1u);
    link::FrameBuffer probe{};
    link::FillHeader(probe, 0xFFFF, 0x2A3F, 1, 0x86);
    const std::size_t n = link::CompleteFrame(probe);
    EXPECT_EQ(testing::ToHex(net.writes[0]),
              testing::ToHex(
                  std::vector<std::uint8_t>(probe.begin(), probe.begin() + static_cast<std::ptrdiff_t>(n))));
    // The engineer changes the address before the idle check's answer is in: that answer (the
    // old address) is the check's, and the new address is what the window shows.
    network.Sender().Send(commands::request::AddressWrite(0x2A3F, 0x2A40));
    AnswerAddress(0x2A3F);
    netTimers.Advance(100);
    AnswerAddress(0x2A40);
    netTimers.Advance(100);
    EXPECT_EQ(shown, std::vector<std::uint16_t>{0x2A40}) << "the idle check's answer is not shown";
    network.SetUartId(0x2A3F);  // the simulated concentrator stays where it was

    netTimers.Advance(49800);
    EXPECT_EQ(network.State(), ConnectionState::Open);
    EXPECT_EQ(net.writes.size(), 3u) << "asked again after the next 30 s";
    netTimers.Advance(300);
    EXPECT_EQ(network.State(), ConnectionState::WaitingForNetwork);
    EXPECT_EQ(listener.heard.back(),
              "lost " + LostPortText(QStringLiteral("нет ответа по сети 50 с")).toStdString());
}

}  // namespace
}  // namespace lumvaris::session
