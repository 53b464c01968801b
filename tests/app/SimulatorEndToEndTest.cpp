#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestDoubles.h"
#include "app/MeterDataBinding.h"
#include "app/QtTimerFactory.h"
#include "app/TFormMain.h"
#include "link/Frame.h"
#include "link/QtSerialPort.h"
#include "meterdata/TMatrixInterface.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {
namespace {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// The simulator in its own process; the first line of its output is the path of its port.
class Simulator {
  public:
    bool Start(const QStringList& arguments = {}) {
        process_.setProgram(QString::fromUtf8(LUMVARIS_SIM_PATH));
        process_.setArguments(arguments);
        process_.setReadChannel(QProcess::StandardOutput);
        process_.start();
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        if (!PumpUntil([this] { return process_.canReadLine(); }, 10000)) {
            return false;
        }
        path_ = QString::fromUtf8(process_.readLine()).trimmed();
        return !path_.isEmpty();
    }
    ~Simulator() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    const QString& Path() const { return path_; }

  private:
    QProcess process_;
    QString path_;
};

TEST(SimulatorEndToEndTest, TheEngineerTypesTheSimulatorsPortAndTalksToIt) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    Simulator sim;
    ASSERT_TRUE(sim.Start()) << "the simulator did not announce its port";

    QTemporaryDir dir;
    link::QtSerialPort port;
    link::ThreadPause pause;
    FakeModifierKeys keys;
    FakeMessageBox messages;
    app::QtTimerFactory timers;
    FakeDatabase database;
    app::MainWindowPlatform platform{port,
                                     pause,
                                     keys,
                                     messages,
                                     timers,
                                     dir.path() + QStringLiteral("/"),
                                     QStringLiteral("Lumvaris Rev.1.0"),
                                     nullptr,
                                     nullptr};
    app::TFormMain window(platform);
    window.SetDatabase(&database);
    window.show();

    // The port field takes the full path of the pseudo-terminal; Enter opens it.
    QComboBox* field = window.Form().ComboBoxPortName;
    field->setEditText(sim.Path());
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(messages.errors.isEmpty()) << messages.errors.join(QStringLiteral("; ")).toStdString();
    ASSERT_TRUE(port.IsOpen());
    EXPECT_TRUE(window.Form().PageControl->isVisible());
    EXPECT_EQ(window.StatusPanel(1)->text(), QStringLiteral(" Коммуникационный порт открыт."));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [%1] - Сч.#0").arg(sim.Path()));

    // The concentrator's address comes back into the UART-ID field.
    window.Form().EditAddress->setText(QStringLiteral("2fff"));
    window.Form().ButtonAddress->setText(QStringLiteral("Прочитать"));
    QTest::mouseClick(window.Form().ButtonAddress, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return window.StatusPanel(2)->text() == QStringLiteral(" OK"); }, 5000))
        << "no reply from the simulator";
    EXPECT_EQ(window.Form().EditAddress->text(), QStringLiteral("2FFF"));
    EXPECT_TRUE(window.StatusPanel(0)->text().startsWith(QStringLiteral(" Байт принято = ")));
    EXPECT_NE(window.StatusPanel(0)->text(), QStringLiteral(" Байт принято = 0"));

    window.close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(messages.errors.isEmpty());
}

// Meters whose newest packet stands in slot 1 of a store.
int MetersWithPackets(const meterdata::TMatrixInterface& store) {
    int meters = 0;
    meterdata::MeterRecord record;
    for (int meter = 1; meter < store.RowCount(); ++meter) {
        if (store.GetMeterRecord(record, 1, meter) && record.Valid != 0) {
            ++meters;
        }
    }
    return meters;
}

TEST(SimulatorEndToEndTest, LivePacketsLandInTheStoresAndTheFilesOfThePort) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("0.1")}))
        << "the simulator did not announce its port";

    QTemporaryDir dir;
    link::QtSerialPort port;
    link::ThreadPause pause;
    FakeModifierKeys keys;
    FakeMessageBox messages;
    app::QtTimerFactory timers;
    app::MainWindowPlatform platform{port,
                                     pause,
                                     keys,
                                     messages,
                                     timers,
                                     dir.path() + QStringLiteral("/"),
                                     QStringLiteral("Lumvaris Rev.1.0"),
                                     nullptr,
                                     nullptr};
    app::TFormMain window(platform);
    window.show();
    QComboBox* field = window.Form().ComboBoxPortName;
    field->setEditText(sim.Path());
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(port.IsOpen());
    window.Form().PageControl->setCurrentWidget(window.Form().TabSheetNET);

    meterdata::MeterDatabase& database = window.MeterData().Database();
    ASSERT_TRUE(database.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return MetersWithPackets(*database.PacketStore()) >= 3; }, 15000))
        << "no live packets from the simulator";
    EXPECT_GE(MetersWithPackets(*database.DayStore()), 3);
    // The network table lists the meters heard, after its once-a-second refresh.
    ASSERT_TRUE(PumpUntil(
        [&] { return window.MeterData().View(meterdata::StorePage::Net).Model().rowCount() >= 3; }, 3000));

    window.TimerSaveTimer();
    const QString name = QFileInfo(sim.Path()).fileName();
    meterdata::TMatrixInterface saved(dir.path() + QStringLiteral("/") + name +
                                      QStringLiteral("-PACKETS.bin"));
    ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_GE(MetersWithPackets(saved), 3);
    EXPECT_EQ(QFileInfo(dir.path() + QStringLiteral("/") + name + QStringLiteral("-DAYS.bin")).size(),
              400928);

    window.close();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join(QStringLiteral("; ")).toStdString();
}

int PacketsIn(const meterdata::TMatrixInterface& store) {
    int packets = 0;
    meterdata::MeterRecord record;
    for (int meter = 1; meter < store.RowCount(); ++meter) {
        for (int slot = 1; slot < store.ColCount(); ++slot) {
            if (store.GetMeterRecord(record, slot, meter) && record.Valid != 0) {
                ++packets;
            }
        }
    }
    return packets;
}

// A damaged day file's message stays on screen for three seconds (a modal box runs its own event
// loop, so the window's timers go on): the packets the simulator sends meanwhile are all stored.
TEST(SimulatorEndToEndTest, PacketsThatArriveUnderAMessageBoxAreStored) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("0.2")}))
        << "the simulator did not announce its port";

    QTemporaryDir dir;
    const QString name = QFileInfo(sim.Path()).fileName();
    {
        QFile damaged(dir.path() + QStringLiteral("/") + name + QStringLiteral("-DAYS.bin"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("abc", 3);
    }
    link::QtSerialPort port;
    link::ThreadPause pause;
    FakeModifierKeys keys;
    FakeMessageBox messages;
    app::QtTimerFactory timers;
    app::MainWindowPlatform platform{port,
                                     pause,
                                     keys,
                                     messages,
                                     timers,
                                     dir.path() + QStringLiteral("/"),
                                     QStringLiteral("Lumvaris Rev.1.0"),
                                     nullptr,
                                     nullptr};
    app::TFormMain window(platform);
    window.show();
    meterdata::MeterDatabase& database = window.MeterData().Database();
    int storedUnderTheBox = 0;
    messages.whileShown = [&](const QString&) {
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < 3000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        storedUnderTheBox = PacketsIn(*database.PacketStore());
    };
    QComboBox* field = window.Form().ComboBoxPortName;
    field->setEditText(sim.Path());
    QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_EQ(messages.errors.size(), 1);
    // One packet per 0.2 s for three seconds; a margin for a loaded machine.
    EXPECT_GE(storedUnderTheBox, 8);
    EXPECT_GE(PacketsIn(*database.DayStore()), 1);

    window.close();
    meterdata::TMatrixInterface saved(dir.path() + QStringLiteral("/") + name +
                                      QStringLiteral("-PACKETS.bin"));
    ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_GE(PacketsIn(saved), storedUnderTheBox) << "and the close saved them";
}

}  // namespace
}  // namespace lumvaris::testing
