// The connection's rules without a window: the fake port, fake timers and clock, a listener that
// writes down what the face would draw or say, and the retry question answered as a test says.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "session/Connection.h"
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
    void ConnectionRefused(const QString& message) override { heard.push_back("refused " + message.toStdString()); }
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
    static void SetUpTestSuite() {
        // The lost port arrives through the event loop.
        static int argc = 1;
        static char arg0[] = "session_tests";
        static char* argv[] = {arg0, nullptr};
        static QCoreApplication application(argc, argv);
    }
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
    testing::NoPause pause;
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
    EXPECT_NE(otherListener.heard[0].find(QDir::toNativeSeparators(QString::fromStdString(File("simlink-DAYS.bin")))
                                              .toStdString()),
              std::string::npos);
    EXPECT_FALSE(otherPort.IsOpen());
    EXPECT_EQ(other.State(), ConnectionState::Closed);
    otherTimers.Advance(60000);
    other.Close(CloseReason::Exit);
    EXPECT_EQ(QFileInfo(QString::fromStdString(File("simlink-PACKETS.bin"))).lastModified(), before.lastModified());
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

}  // namespace
}  // namespace lumvaris::session
