#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestDoubles.h"
#include "app/ConcentratorPage.h"
#include "app/MeterDataBinding.h"
#include "app/QtTimerFactory.h"
#include "app/TFormAppOptions.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormMain.h"
#include "keys/KeyFile.h"
#include "link/Frame.h"
#include "link/QtSerialPort.h"
#include "meterdata/TMatrixInterface.h"
#include "ui/RadioGroup.h"
#include "ui_FormHashCalculate.h"
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

// The window with its real database and dialogs on the simulator's port.
class SimulatorWindow {
  public:
    explicit SimulatorWindow(const QString& portPath)
        : platform_{port_,
                    pause_,
                    keys_,
                    messages_,
                    timers_,
                    dir_.path() + QStringLiteral("/"),
                    QStringLiteral("Lumvaris Rev.1.0"),
                    nullptr,
                    nullptr},
          window_(platform_) {
        window_.SetDialogs({nullptr, nullptr, &options_, nullptr, nullptr});
        window_.show();
        QComboBox* field = window_.Form().ComboBoxPortName;
        field->setEditText(portPath);
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    }
    app::TFormMain& Window() { return window_; }
    Ui::TFormMain& F() { return window_.Form(); }
    // Holds the keys until the mode tick has relabelled the button, then clicks it.
    bool Click(QAbstractButton* button, Qt::KeyboardModifiers keys, const QString& caption) {
        keys_.held = keys;
        if (!PumpUntil([&] { return button->text() == caption; }, 3000)) {
            return false;
        }
        QTest::mouseClick(button, Qt::LeftButton);
        keys_.held = Qt::NoModifier;
        return true;
    }
    QString Status() { return window_.StatusPanel(2)->text(); }
    FakeMessageBox& Messages() { return messages_; }

  private:
    QTemporaryDir dir_;
    link::QtSerialPort port_;
    link::ThreadPause pause_;
    FakeModifierKeys keys_;
    FakeMessageBox messages_;
    app::QtTimerFactory timers_;
    app::TFormAppOptions options_;
    app::MainWindowPlatform platform_;
    app::TFormMain window_;
};

TEST(SimulatorEndToEndTest, ReadingAllPacketBuffersBringsEveryMeterTheSimulatorHolds) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    // Five meters, the fifth a water meter without a buffered packet; no live packets meanwhile.
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                           QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().IsOpen());
    ASSERT_TRUE(w.Click(w.F().ButtonLP, Qt::ShiftModifier, QStringLiteral("Прочитать всё")));
    ASSERT_TRUE(PumpUntil([&] { return !w.Window().Concentrator().ReadAllRunning(); }, 120000));
    EXPECT_EQ(w.Status(), QStringLiteral(" Все 256: без ответа 0, записи 4, без данных 252"));
    EXPECT_EQ(w.F().SpinEditBuffSlotNumber->value(), 256);
    const meterdata::TMatrixInterface& packets = *w.Window().MeterData().Database().PacketStore();
    meterdata::MeterRecord record;
    for (int meter = 1; meter <= 5; ++meter) {
        ASSERT_TRUE(packets.GetMeterRecord(record, 1, meter));
        EXPECT_EQ(record.Valid != 0, meter != 5) << "meter " << meter;
    }
    EXPECT_EQ(MetersWithPackets(packets), 4);
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

TEST(SimulatorEndToEndTest, AWrittenConfigurationIsWhatTheConcentratorReportsBack) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().IsOpen());
    Ui::TFormMain& f = w.F();
    ui::SetRadioGroupItemIndex(f.RadioGroupRET, 2);
    ui::SetRadioGroupItemIndex(f.RadioGroupPlcStop, 0);
    ui::SetRadioGroupItemIndex(f.RadioGroupPortMode, 1);
    f.CheckBoxSwitchTime->setChecked(true);
    f.SpinEditSetAMCount->setValue(512);
    ASSERT_TRUE(w.Click(f.ButtonConfig, Qt::ControlModifier, QStringLiteral("Записать")));
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));

    // Change the controls, then read: the concentrator's values come back.
    ui::SetRadioGroupItemIndex(f.RadioGroupRET, 0);
    f.CheckBoxSwitchTime->setChecked(false);
    f.SpinEditSetAMCount->setValue(16);
    ASSERT_TRUE(w.Click(f.ButtonConfig, Qt::NoModifier, QStringLiteral("Прочитать")));
    ASSERT_TRUE(PumpUntil([&] { return f.SpinEditSetAMCount->value() == 512; }, 5000));
    EXPECT_EQ(ui::RadioGroupItemIndex(f.RadioGroupRET), 2);
    EXPECT_EQ(ui::RadioGroupItemIndex(f.RadioGroupPortMode), 1);
    EXPECT_EQ(ui::RadioGroupItemIndex(f.RadioGroupPlcStop), 0);
    EXPECT_TRUE(f.CheckBoxSwitchTime->isChecked());
    EXPECT_EQ(w.Window().MeterData().Database().NetStore()->ColCount(), 513)
        << "the database follows the network";
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// A key set by name reaches the concentrator (the fingerprint it reports changes), the zero key
// of the empty name too, and the name set again is taken from the key file at once.
TEST(SimulatorEndToEndTest, AKeySetByNameReachesTheConcentratorAndComesFromTheKeyFileNextTime) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));

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
                                     [](const QString& path) { return keys::KeyFile(path).KeyNames(); }};
    app::TFormMain window(platform);
    app::TFormHashCalculate hash;
    window.SetDatabase(&database);
    window.SetDialogs({nullptr, nullptr, nullptr, nullptr, &hash});
    window.show();
    Ui::TFormMain& f = window.Form();
    f.ComboBoxPortName->setEditText(sim.Path());
    QTest::keyClick(f.ComboBoxPortName->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(port.IsOpen());
    f.CheckBoxUseCrypto->setChecked(true);

    const auto fingerprint = [&] {
        f.LabelFP->setText(QStringLiteral("***"));
        QTest::mouseClick(f.ButtonGetFP, Qt::LeftButton);
        EXPECT_TRUE(PumpUntil([&] { return f.LabelFP->text() != QStringLiteral("***"); }, 5000));
        return f.LabelFP->text();
    };
    // Returns the milliseconds from the click to the concentrator's answer to KeyWrite.
    const auto setKey = [&](const QString& text, int progressAtShow) {
        f.ComboBoxKey->setEditText(text);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(f.ButtonSetKey, Qt::LeftButton);
        EXPECT_TRUE(hash.isVisible());
        EXPECT_EQ(hash.Form().ProgressBar->value(), progressAtShow);
        EXPECT_TRUE(PumpUntil([&] { return !hash.isVisible(); }, 60000));
        EXPECT_TRUE(PumpUntil([&] { return window.StatusPanel(2)->text() == QStringLiteral(" OK"); }, 5000));
        return clock.elapsed();
    };

    const QString zeroKey = fingerprint();
    const QString name = QStringLiteral("Ключ участка 5");
    EXPECT_GE(setKey(name, 1), 2100) << "TimerStart and two pauses";
    const QString namedKey = fingerprint();
    EXPECT_NE(namedKey, zeroKey);
    const keys::KeyFile keyFile(dir.filePath(QStringLiteral("Keys.ini")));
    EXPECT_EQ(keyFile.KeyNames(), QStringList{name});
    EXPECT_EQ(keyFile.ReadEntry(name).size(), 64);

    setKey(QString(), 100);
    EXPECT_EQ(fingerprint(), zeroKey);

    // The stored key: shown whole at once, sent after the settling pause alone.
    EXPECT_LT(setKey(QStringLiteral(" ключ участка 5 "), 100), 2000);
    EXPECT_EQ(hash.Form().LabelHash->text(), keyFile.ReadEntry(name));
    EXPECT_EQ(fingerprint(), namedKey);
    EXPECT_EQ(f.ComboBoxKey->count(), 1);

    window.close();
    EXPECT_TRUE(messages.errors.isEmpty()) << messages.errors.join(QStringLiteral("; ")).toStdString();
}

}  // namespace
}  // namespace lumvaris::testing
