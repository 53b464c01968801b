#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>

#include "AppTestDoubles.h"
#include "app/ConcentratorPage.h"
#include "app/MeterDataBinding.h"
#include "app/NetworkHealthPage.h"
#include "app/TFormAppOptions.h"
#include "app/TFormGauge.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormLinkMonitor.h"
#include "app/TFormMain.h"
#include "app/VersionPanel.h"
#include "firmware/FirmwareUpload.h"
#include "keys/KeyFile.h"
#include "link/AnyPort.h"
#include "link/Frame.h"
#include "link/QtSerialPort.h"
#include "meterdata/TMatrixInterface.h"
#include "monitor/TrafficLog.h"
#include "session/QtTimerFactory.h"
#include "support/Ser2net.h"
#include "ui/DropDownComboBox.h"
#include "ui/RadioGroup.h"
#include "ui_FormHashCalculate.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {
namespace {

// The simulator is not built on every platform.
#define SKIP_WITHOUT_SIMULATOR()                                    \
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||           \
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) { \
        GTEST_SKIP() << "the simulator is not part of this build";  \
    }

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
    bool Finished(int timeoutMs) {
        return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
    }

  private:
    QProcess process_;
    QString path_;
};

// The program's timers, except that TimerGauge ticks every gaugeMs: a port timeout of 1 s then
// passes in 10 × gaugeMs, so that replies the simulator drops cost a test little time.
class ScaledGaugeTimers final : public session::ITimerFactory {
  public:
    explicit ScaledGaugeTimers(int gaugeMs) : gaugeMs_(gaugeMs) {}
    std::unique_ptr<session::ITimer> Create(const std::string& name, int intervalMs,
                                            std::function<void()> onTimeout) override {
        return timers_.Create(name, name == "TimerGauge" ? gaugeMs_ : intervalMs, std::move(onTimeout));
    }

  private:
    int gaugeMs_;
    session::QtTimerFactory timers_;
};

// The window with its real database and dialogs on the simulator's port.
class SimulatorWindow {
  public:
    // Shown, not connected.
    explicit SimulatorWindow(int gaugeMs = 100)
        : timers_(gaugeMs),
          platform_{port_,
                    pause_,
                    keys_,
                    messages_,
                    timers_,
                    dir_.path() + QStringLiteral("/"),
                    QStringLiteral("Lumvaris Rev.1.0"),
                    nullptr,
                    [](const QString& path) { return keys::KeyFile(path).KeyNames(); }},
          window_(platform_) {
        window_.SetDialogs({&gauge_, nullptr, &options_, nullptr, &hash_, &openDialog_});
        window_.show();
    }
    // Shown and connected to the port as the engineer does: its path typed, then Enter.
    explicit SimulatorWindow(const QString& portPath, int gaugeMs = 100) : SimulatorWindow(gaugeMs) {
        Connect(portPath);
    }
    void Connect(const QString& portPath) {
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
    FakeOpenDialog& OpenDialog() { return openDialog_; }
    app::TFormGauge& Gauge() { return gauge_; }
    app::TFormHashCalculate& Hash() { return hash_; }
    QString File(const QString& name) const { return dir_.filePath(name); }
    link::AnyPort& Port() { return port_; }

  private:
    QTemporaryDir dir_;
    link::AnyPort port_;
    link::ThreadPause pause_;
    FakeModifierKeys keys_;
    FakeMessageBox messages_;
    ScaledGaugeTimers timers_;
    app::TFormAppOptions options_;
    app::TFormGauge gauge_;
    app::TFormHashCalculate hash_;
    FakeOpenDialog openDialog_;
    app::MainWindowPlatform platform_;
    app::TFormMain window_;
};

TEST(SimulatorEndToEndTest, TheEngineerTypesTheSimulatorsPortAndTalksToIt) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start()) << "the simulator did not announce its port";

    SimulatorWindow w;
    FakeDatabase database;
    app::TFormMain& window = w.Window();
    window.Connection().SetDatabase(&database);
    FakeMessageBox& messages = w.Messages();

    // The port field takes the full path of the pseudo-terminal; Enter opens it.
    w.Connect(sim.Path());
    ASSERT_TRUE(messages.errors.isEmpty()) << messages.errors.join(QStringLiteral("; ")).toStdString();
    ASSERT_TRUE(w.Port().IsOpen());
    EXPECT_TRUE(window.Form().PageControl->isVisible());
    EXPECT_EQ(window.StatusPanel(1)->text(), QStringLiteral(" Коммуникационный порт открыт."));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [%1] - Сч.#0").arg(sim.Path()));

    // The concentrator's address comes back into the UART-ID field.
    window.Form().EditAddress->setText(QStringLiteral("2fff"));
    QTest::mouseClick(window.Form().ButtonAddress, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return window.StatusPanel(2)->text() == QStringLiteral(" OK"); }, 5000))
        << "no reply from the simulator";
    EXPECT_EQ(window.Form().EditAddress->text(), QStringLiteral("2FFF"));
    EXPECT_TRUE(window.StatusPanel(0)->text().startsWith(QStringLiteral(" Байт принято = ")));
    EXPECT_NE(window.StatusPanel(0)->text(), QStringLiteral(" Байт принято = 0"));

    window.close();
    EXPECT_FALSE(w.Port().IsOpen());
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
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("0.1")}))
        << "the simulator did not announce its port";

    SimulatorWindow w(sim.Path());
    app::TFormMain& window = w.Window();
    ASSERT_TRUE(w.Port().IsOpen());
    window.Form().PageControl->setCurrentWidget(window.Form().TabSheetNET);

    meterdata::MeterDatabase& database = window.MeterData().Database();
    ASSERT_TRUE(database.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return MetersWithPackets(*database.PacketStore()) >= 3; }, 15000))
        << "no live packets from the simulator";
    EXPECT_GE(MetersWithPackets(*database.DayStore()), 3);
    // The network table lists the meters heard, after its once-a-second refresh.
    ASSERT_TRUE(PumpUntil(
        [&] { return window.MeterData().View(meterdata::StorePage::Net).Model().rowCount() >= 3; }, 3000));

    window.Connection().Save();
    const QString name = QFileInfo(sim.Path()).fileName();
    meterdata::TMatrixInterface saved(w.File(name + QStringLiteral("-PACKETS.bin")));
    ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_GE(MetersWithPackets(saved), 3);
    EXPECT_EQ(QFileInfo(w.File(name + QStringLiteral("-DAYS.bin"))).size(), 400928);

    window.close();
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// Two concentrators, one quiet with 5 meters and one flooding with 200: switching between their
// ports files every packet into the database of the port it came from.
TEST(SimulatorEndToEndTest, SwitchingPortsNeverFilesOnePortsPacketsIntoTheOthers) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator quiet;
    ASSERT_TRUE(quiet.Start({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                             QStringLiteral("1")}));
    Simulator flood;
    ASSERT_TRUE(flood.Start({QStringLiteral("--meters"), QStringLiteral("200"), QStringLiteral("--interval"),
                             QStringLiteral("0.05")}));
    SimulatorWindow w(quiet.Path());
    app::TFormMain& window = w.Window();
    meterdata::MeterDatabase& database = window.MeterData().Database();
    auto highestMeter = [](const meterdata::TMatrixInterface& store) {
        int highest = 0;
        meterdata::MeterRecord record;
        for (int meter = 1; meter < store.RowCount(); ++meter) {
            for (int slot = 1; slot < store.ColCount(); ++slot) {
                if (store.GetMeterRecord(record, slot, meter) && record.Valid != 0) {
                    highest = meter;
                }
            }
        }
        return highest;
    };
    for (int round = 0; round < 3; ++round) {
        w.Connect(flood.Path());
        ASSERT_TRUE(w.Port().IsOpen());
        PumpUntil([] { return false; }, 1000);
        w.Connect(quiet.Path());
        ASSERT_TRUE(w.Port().IsOpen());
        PumpUntil([] { return false; }, 500);
        ASSERT_LE(highestMeter(*database.PacketStore()), 5) << "round " << round;
    }
    window.close();
    meterdata::TMatrixInterface quietFile(
        w.File(QFileInfo(quiet.Path()).fileName() + QStringLiteral("-PACKETS.bin")));
    ASSERT_EQ(quietFile.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_LE(highestMeter(quietFile), 5);
    meterdata::TMatrixInterface floodFile(
        w.File(QFileInfo(flood.Path()).fileName() + QStringLiteral("-PACKETS.bin")));
    ASSERT_EQ(floodFile.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_GT(highestMeter(floodFile), 5) << "the flood's packets are in its own files";
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
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
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("0.2")}))
        << "the simulator did not announce its port";

    SimulatorWindow w;
    app::TFormMain& window = w.Window();
    FakeMessageBox& messages = w.Messages();
    const QString name = QFileInfo(sim.Path()).fileName();
    {
        QFile damaged(w.File(name + QStringLiteral("-DAYS.bin")));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("abc", 3);
    }
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
    w.Connect(sim.Path());
    ASSERT_TRUE(w.Port().IsOpen());
    ASSERT_EQ(messages.errors.size(), 1);
    // One packet per 0.2 s for three seconds; a margin for a loaded machine.
    EXPECT_GE(storedUnderTheBox, 8);
    EXPECT_GE(PacketsIn(*database.DayStore()), 1);

    window.close();
    meterdata::TMatrixInterface saved(w.File(name + QStringLiteral("-PACKETS.bin")));
    ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_GE(PacketsIn(saved), storedUnderTheBox) << "and the close saved them";
}

TEST(SimulatorEndToEndTest, ReadingAllPacketBuffersBringsEveryMeterTheSimulatorHolds) {
    SKIP_WITHOUT_SIMULATOR();
    // Five meters, the fifth a water meter without a buffered packet; no live packets meanwhile.
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                           QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
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
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
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

// The simulator hangs up in the middle of a read of all buffers: one clear message, the read
// ends with its summary, what arrived is in the files at once, and a fresh simulator connects.
TEST(SimulatorEndToEndTest, APortLostInTheMiddleOfAReadAllIsSaidOnceAndTheNextConnectionWorks) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(
        sim.Start({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                   QStringLiteral("3600"), QStringLiteral("--hangup-after-requests"), QStringLiteral("20")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    ASSERT_TRUE(w.Click(w.F().ButtonLP, Qt::ShiftModifier, QStringLiteral("Прочитать всё")));
    ASSERT_TRUE(PumpUntil([&] { return !w.Messages().errors.isEmpty(); }, 30000)) << "the loss is reported";
    ASSERT_TRUE(PumpUntil([&] { return !w.Window().Concentrator().ReadAllRunning(); }, 10000));
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(w.Messages().errors.size(), 1) << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(w.Messages().errors[0].startsWith(
        QStringLiteral("ВНИМАНИЕ! Связь с коммуникационным портом потеряна")));
    EXPECT_TRUE(w.Status().startsWith(QStringLiteral(" Стоп 2"))) << w.Status().toStdString();
    EXPECT_EQ(w.Window().StatusPanel(1)->text(),
              QStringLiteral(" ВНИМАНИЕ! Коммуникационный порт не открыт!"));

    // The four records read before the loss are in the file already.
    const QString packetsFile = w.Window().MeterData().Database().PacketsFileName(sim.Path());
    meterdata::TMatrixInterface saved(packetsFile);
    ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
    EXPECT_EQ(MetersWithPackets(saved), 4);

    Simulator fresh;
    ASSERT_TRUE(fresh.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    w.F().ComboBoxPortName->setEditText(fresh.Path());
    QTest::keyClick(w.F().ComboBoxPortName->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    ASSERT_TRUE(w.Click(w.F().ButtonConfig, Qt::NoModifier, QStringLiteral("Прочитать")));
    EXPECT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    EXPECT_EQ(w.Messages().errors.size(), 1);
}

// The window through a terminal server in RFC 2217 mode: the address typed, "connecting" while the
// connection is made, the concentrator answering, the address offered in the port list afterwards;
// the server gone, the loss said once and the wait counted down; Esc gives the address up.
TEST(SimulatorEndToEndTest, TheWindowTalksThroughATerminalServerAndWaitsForItWhenItGoes) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    auto server = std::make_unique<Ser2net>(sim.Path(), true);
    if (!server->Ready()) {
        GTEST_SKIP() << "ser2net is not installed";
    }
    SimulatorWindow w;
    FakeDatabase database;
    app::TFormMain& window = w.Window();
    window.Connection().SetDatabase(&database);
    w.Connect(server->Address());
    const QString open = QStringLiteral(" Коммуникационный порт открыт.");
    EXPECT_TRUE(
        window.StatusPanel(1)->text() == open ||
        window.StatusPanel(1)->text().startsWith(QStringLiteral(" Подключение к ") + server->Address()))
        << window.StatusPanel(1)->text().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return window.StatusPanel(1)->text() == open; }, 10000))
        << window.StatusPanel(1)->text().toStdString();
    EXPECT_TRUE(window.Form().NMainOptionsTimeout4->isChecked()) << "a network port waits 4 s for a reply";
    window.Form().EditAddress->setText(QStringLiteral("2fff"));
    QTest::mouseClick(window.Form().ButtonAddress, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    EXPECT_EQ(window.Form().EditAddress->text(), QStringLiteral("2FFF"));

    auto* field = static_cast<ui::DropDownComboBox*>(window.Form().ComboBoxPortName);
    emit field->DropDown();
    EXPECT_GE(field->findText(server->Address()), 0) << "the address is offered again";

    server.reset();
    ASSERT_TRUE(PumpUntil([&] { return !w.Messages().errors.isEmpty(); }, 10000));
    EXPECT_TRUE(w.Messages().errors[0].startsWith(
        QStringLiteral("ВНИМАНИЕ! Связь с коммуникационным портом потеряна")))
        << w.Messages().errors[0].toStdString();
    ASSERT_TRUE(PumpUntil(
        [&] { return window.StatusPanel(1)->text().startsWith(QStringLiteral(" ВНИМАНИЕ! Нет связи с ")); },
        5000))
        << window.StatusPanel(1)->text().toStdString();
    PumpUntil([] { return false; }, 3500);
    EXPECT_EQ(w.Messages().errors.size(), 1) << "the attempts are quiet";
    QTest::keyClick(window.Form().ComboBoxPortName->lineEdit(), Qt::Key_Escape);
    EXPECT_EQ(window.StatusPanel(1)->text(), QStringLiteral(" ВНИМАНИЕ! Коммуникационный порт не открыт!"));
    EXPECT_EQ(window.Connection().State(), session::ConnectionState::Closed);
}

// The simulator started as scripts/run starts it is in the port list under its link. When it hangs
// up, and a new simulator takes the link, the window opens the link again by itself.
TEST(SimulatorEndToEndTest, TheSimulatorsLinkIsListedAndReopenedWhenASimulatorTakesItAgain) {
    if (QString::fromUtf8(LUMVARIS_SIM_PATH).isEmpty() ||
        !QFileInfo::exists(QString::fromUtf8(LUMVARIS_SIM_PATH))) {
        GTEST_SKIP() << "the simulator is not part of this build";
    }
    const QString link = QStringLiteral("/tmp/lumvaris-sim-e2e-%1").arg(QCoreApplication::applicationPid());
    Simulator first;
    ASSERT_TRUE(
        first.Start({QStringLiteral("--link"), link, QStringLiteral("--interval"), QStringLiteral("3600"),
                     QStringLiteral("--hangup-after-requests"), QStringLiteral("1")}));
    SimulatorWindow w(link);
    ASSERT_TRUE(w.Window().Connection().IsOpen());

    QComboBox* field = w.F().ComboBoxPortName;
    field->showPopup();
    const int entry = field->findText(link);
    field->hidePopup();
    ASSERT_GE(entry, 0) << "the simulator's link is in the list";
    EXPECT_TRUE(field->itemData(entry, ui::DropDownComboBox::kDescriptionRole)
                    .toString()
                    .startsWith(QStringLiteral("Симулятор концентратора")));
    EXPECT_EQ(field->currentText(), link);

    ASSERT_TRUE(w.Click(w.F().ButtonConfig, Qt::NoModifier, QStringLiteral("Прочитать")));
    ASSERT_TRUE(PumpUntil([&] { return !w.Messages().errors.isEmpty(); }, 10000))
        << "the hang-up is reported";
    EXPECT_TRUE(w.Window().StatusPanel(1)->text().contains(QStringLiteral("ожидание адаптера")))
        << w.Window().StatusPanel(1)->text().toStdString();
    ASSERT_TRUE(first.Finished(5000)) << "the first simulator removes its link as it ends";

    Simulator second;
    ASSERT_TRUE(
        second.Start({QStringLiteral("--link"), link, QStringLiteral("--interval"), QStringLiteral("3600")}));
    ASSERT_TRUE(PumpUntil([&] { return w.Window().Connection().IsOpen(); }, 5000)) << "reopened by itself";
    EXPECT_EQ(w.Window().StatusPanel(1)->text(),
              QStringLiteral(" Коммуникационный порт открыт. Связь восстановлена."));
    ASSERT_TRUE(w.Click(w.F().ButtonConfig, Qt::NoModifier, QStringLiteral("Прочитать")));
    EXPECT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    EXPECT_EQ(w.Messages().errors.size(), 1) << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// A long command to a meter the simulator has: the meter carries it out and reports its state in a
// packet of type DAh (the command's type in the high byte of the first word), which the window
// files as that meter's newest packet.
TEST(SimulatorEndToEndTest, ALongCommandToAMeterIsReportedDoneByThatMetersPacket) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                           QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    f.CheckBoxBroadcast->setChecked(false);
    f.SpinEditAddress->setValue(3);
    f.SpinEditLongCommandType->setValue(0x42);
    // 30 command bytes: a header and nine blocks.
    f.ComboBoxLongCommand->setEditText(QStringLiteral("01 02 03 04 05 06 07 08 09 0A").repeated(3));
    ASSERT_TRUE(w.Click(f.ButtonSetLongCommand, Qt::NoModifier, QStringLiteral("Выполнить")));
    EXPECT_FALSE(f.ButtonSetLongCommand->isEnabled()) << "the blocks are still going";
    const meterdata::TMatrixInterface& packets = *w.Window().MeterData().Database().PacketStore();
    meterdata::MeterRecord record;
    ASSERT_TRUE(PumpUntil(
        [&] { return packets.GetMeterRecord(record, 1, 3) && record.Valid != 0 && record.Type == 0xDA; },
        10000))
        << "no report from meter 3";
    EXPECT_EQ(record.Meter, 3);
    EXPECT_EQ(record.WordA >> 8, 0x42);
    EXPECT_TRUE(f.ButtonSetLongCommand->isEnabled());
    EXPECT_EQ(MetersWithPackets(packets), 1) << "only the addressed meter answered";
    EXPECT_EQ(f.ComboBoxLongCommand->itemText(0), f.ComboBoxLongCommand->currentText());
    EXPECT_TRUE(f.Label25->text().endsWith(QLatin1Char('h')));
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// A short command takes one cell of the concentrator's PLC buffer (the buffer sends nothing on
// during the test).
TEST(SimulatorEndToEndTest, AShortCommandTakesACellOfThePlcBuffer) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(
        sim.Start({QStringLiteral("--plc-cells"), QStringLiteral("16"), QStringLiteral("--plc-cell-ms"),
                   QStringLiteral("3600000"), QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    const auto freeCells = [&]() -> QString {
        f.LabelPlcEmpty->setText(QStringLiteral("***"));
        if (!w.Click(f.ButtonPlcEmpty, Qt::NoModifier, QStringLiteral("Прочитать")) ||
            !PumpUntil([&] { return f.LabelPlcEmpty->text() != QStringLiteral("***"); }, 5000)) {
            return QString();
        }
        return f.LabelPlcEmpty->text();
    };
    EXPECT_EQ(freeCells(), QStringLiteral("16"));
    f.ComboBoxFill->setCurrentIndex(10);
    emit f.ComboBoxFill->activated(10);
    ASSERT_TRUE(w.Click(f.ButtonSetPlcComm, Qt::NoModifier, QStringLiteral("Записать")));
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000))
        << w.Status().toStdString();
    EXPECT_EQ(freeCells(), QStringLiteral("15"));
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

void Press(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(SimulatorEndToEndTest, TheClockBillingDayAndRateSetByTheWindowAreReadBack) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--clock"), QStringLiteral("2024-01-01 12:12"),
                           QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    f.PageControl->setCurrentWidget(f.TabSheetSystemProtected);
    const QLocale locale = QLocale::system();

    Press(f.ButtonTimeGet);
    ASSERT_TRUE(PumpUntil([&] { return f.LabelWD->text() == QStringLiteral("Понедельник"); }, 5000));
    EXPECT_EQ(f.EditDate->text(), locale.toString(QDate(2024, 1, 1), QLocale::ShortFormat));
    EXPECT_TRUE(f.EditTime->text().startsWith(QStringLiteral("12:12"))) << f.EditTime->text().toStdString();

    // Set from the workstation's clock: the concentrator's clock comes back within a second or two.
    Press(f.ButtonTimeSet);
    ASSERT_TRUE(PumpUntil(
        [&] { return f.EditDate->text() == locale.toString(QDate::currentDate(), QLocale::ShortFormat); },
        5000));
    const QString offset = f.LabelSecOffset->text();
    ASSERT_TRUE(offset.startsWith(QStringLiteral("откл. ")) && offset.endsWith(QStringLiteral(" с")))
        << offset.toStdString();
    EXPECT_LE(std::abs(offset.mid(6, offset.size() - 8).toInt()), 2) << offset.toStdString();

    f.SpinEditBDAY->setValue(-7);
    Press(f.ButtonBDAYset);
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    f.SpinEditBDAY->setValue(0);
    Press(f.ButtonBDAYget);
    ASSERT_TRUE(PumpUntil([&] { return f.SpinEditBDAY->value() == -7; }, 5000));

    // The rate: the local port follows the concentrator to 9600, and the link goes on there.
    f.ComboBoxBaudrateNew->setCurrentIndex(2);
    Press(f.ButtonBDRset);
    link::ISerialPort& port = w.Window().Connection().Port();
    ASSERT_TRUE(PumpUntil([&] { return port.IsOpen() && port.Settings().baudRate == 9600; }, 5000));
    EXPECT_EQ(f.ComboBoxBaudRate->currentText(), QStringLiteral("9600"));
    f.PageControl->setCurrentWidget(f.TabSheetSystemProtected);  // the new connection shows its first page
    f.ComboBoxBaudrateNew->setCurrentIndex(0);
    Press(f.ButtonBDRget);
    ASSERT_TRUE(PumpUntil([&] { return f.ComboBoxBaudrateNew->currentIndex() == 2; }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return port.IsOpen(); }, 5000));
    EXPECT_EQ(port.Settings().baudRate, 9600);
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

TEST(SimulatorEndToEndTest, APasswordOpensOneProtectedCommandAndCanBeChanged) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--password"), QStringLiteral("secret"),
                           QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    f.PageControl->setCurrentWidget(f.TabSheetSystemProtected);
    QStringList& errors = w.Messages().errors;
    const auto sendPassword = [&](const QString& text) {
        f.EditPasswordOld->setText(text);
        Press(f.ButtonPasswordSend);
    };

    f.CheckBoxPasswordProtection->setChecked(true);
    EXPECT_FALSE(f.ButtonBDAYset->isEnabled());
    sendPassword(QStringLiteral("wrong"));
    ASSERT_TRUE(PumpUntil([&] { return !errors.isEmpty(); }, 5000));
    EXPECT_EQ(errors, QStringList{QStringLiteral("Пароль неверный!")});
    EXPECT_FALSE(f.ButtonBDAYset->isEnabled());

    sendPassword(QStringLiteral("secret"));
    ASSERT_TRUE(PumpUntil([&] { return f.ButtonBDAYset->isEnabled(); }, 5000));
    f.SpinEditBDAY->setValue(4);
    Press(f.ButtonBDAYset);
    EXPECT_FALSE(f.ButtonBDAYset->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));

    // The window's lock off, the concentrator's still on: the next write is refused and changes nothing.
    f.CheckBoxPasswordProtection->setChecked(false);
    f.SpinEditBDAY->setValue(9);
    Press(f.ButtonBDAYset);
    ASSERT_TRUE(PumpUntil([&] { return errors.size() == 2; }, 5000));
    EXPECT_EQ(errors.last(), QStringLiteral("Команда недоступна, введите пароль!"));
    Press(f.ButtonBDAYget);
    ASSERT_TRUE(PumpUntil([&] { return f.SpinEditBDAY->value() == 4; }, 5000));

    // A new password in Cyrillic: the old one is wrong from then on, the new one opens.
    f.CheckBoxPasswordProtection->setChecked(true);
    sendPassword(QStringLiteral("secret"));
    ASSERT_TRUE(PumpUntil([&] { return f.ButtonPasswordSet->isEnabled(); }, 5000));
    f.EditPasswordNew->setText(QStringLiteral("новый"));
    Press(f.ButtonPasswordSet);
    ASSERT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    sendPassword(QStringLiteral("secret"));
    ASSERT_TRUE(PumpUntil([&] { return errors.size() == 3; }, 5000));
    EXPECT_EQ(errors.last(), QStringLiteral("Пароль неверный!"));
    sendPassword(QStringLiteral("новый"));
    ASSERT_TRUE(PumpUntil([&] { return f.ButtonTimeSet->isEnabled(); }, 5000));
    EXPECT_EQ(errors.size(), 3);
}

// A firmware image of `lines` lines: data records of 16 bytes (43 characters each, all different),
// then the end-of-file record.
std::vector<QByteArray> FirmwareImage(int lines) {
    std::vector<QByteArray> image;
    for (int k = 0; k + 1 < lines; ++k) {
        const int address = 16 * k;
        QByteArray record = QByteArray::number(16, 16).rightJustified(2, '0') +
                            QByteArray::number(address, 16).rightJustified(4, '0') + "00";
        unsigned sum = 16 + (address >> 8) + (address & 0xFF);
        for (int i = 0; i < 16; ++i) {
            const unsigned byte = (k * 7 + i * 13) & 0xFF;
            sum += byte;
            record += QByteArray::number(byte, 16).rightJustified(2, '0');
        }
        record += QByteArray::number((0x100 - (sum & 0xFF)) & 0xFF, 16).rightJustified(2, '0');
        image.push_back(":" + record.toUpper());
    }
    image.push_back(":00000001FF");
    return image;
}

// Runs of one line in the simulator's record: a line sent again after a lost acknowledgement
// lies right behind its first copy.
std::vector<std::pair<QByteArray, int>> Runs(const QList<QByteArray>& record) {
    std::vector<std::pair<QByteArray, int>> runs;
    for (const QByteArray& line : record) {
        if (!runs.empty() && runs.back().first == line) {
            ++runs.back().second;
        } else {
            runs.emplace_back(line, 1);
        }
    }
    return runs;
}

// The concentrator records every line it receives (--firmware-file), also a line sent twice.
// Whatever it drops, the record must hold every line of the file once, in file order, a line
// repeated only right behind itself and at most ten times in all; and the upload ends complete.
TEST(SimulatorEndToEndTest, AFirmwareFileArrivesLineForLineAlsoWhenRepliesAreLost) {
    SKIP_WITHOUT_SIMULATOR();
    constexpr int kLines = 2000;
    const std::vector<QByteArray> image = FirmwareImage(kLines);
    ASSERT_EQ(image.front().size(), 43);
    QByteArray file;
    for (const QByteArray& line : image) {
        file += line + "\r\n";
    }
    const struct {
        const char* what;
        QStringList faults;
        int gaugeMs;  // 100: the program's own; less: a lost reply is noticed sooner
        bool resends;
    } cases[] = {
        {"every reply comes", {}, 100, false},
        {"one reply in twenty is lost", {QStringLiteral("--drop"), QStringLiteral("0.05")}, 10, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString imagePath = dir.filePath(QStringLiteral("image.hex"));
        const QString recordPath = dir.filePath(QStringLiteral("record.txt"));
        QFile out(imagePath);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file);
        out.close();

        Simulator sim;
        ASSERT_TRUE(
            sim.Start(QStringList{QStringLiteral("--firmware-file"), recordPath, QStringLiteral("--meters"),
                                  QStringLiteral("0"), QStringLiteral("--quiet"), QStringLiteral("--seed"),
                                  QStringLiteral("7")} +
                      c.faults));
        SimulatorWindow w(sim.Path(), c.gaugeMs);
        ASSERT_TRUE(w.Window().Connection().IsOpen());
        w.F().NMainOptionsTimeout1->setChecked(true);
        w.OpenDialog().path = imagePath;
        const firmware::FirmwareUpload& upload = w.Window().Version().Upload();
        bool sawProgress = false;
        // A start whose reply was lost is started again, as the engineer would.
        for (int attempt = 0; attempt < 5 && upload.Outcome() != firmware::UploadOutcome::Complete;
             ++attempt) {
            ASSERT_TRUE(w.Click(w.F().ButtonVersion, Qt::ControlModifier, QStringLiteral("Загрузить новую")));
            ASSERT_TRUE(PumpUntil(
                [&] {
                    sawProgress = sawProgress || w.Gauge().isVisible();
                    return upload.State() == firmware::UploadState::Idle;
                },
                120000));
        }
        ASSERT_EQ(upload.Outcome(), firmware::UploadOutcome::Complete)
            << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
        EXPECT_TRUE(sawProgress);
        EXPECT_TRUE(w.Window().isVisible());
        EXPECT_FALSE(w.Gauge().isVisible());
        EXPECT_EQ(w.Status(), QStringLiteral(" OK"));
        EXPECT_TRUE(w.Messages().errors.isEmpty())
            << w.Messages().errors.join(QStringLiteral("; ")).toStdString();

        // An acknowledgement counted early leaves the last line a moment behind the end.
        QList<QByteArray> record;
        PumpUntil(
            [&] {
                QFile in(recordPath);
                record = in.open(QIODevice::ReadOnly) ? in.readAll().split('\n') : QList<QByteArray>{};
                if (!record.isEmpty() && record.back().isEmpty()) {
                    record.removeLast();
                }
                return !record.isEmpty() && record.back() == image.back();
            },
            5000);
        const std::vector<std::pair<QByteArray, int>> runs = Runs(record);
        ASSERT_EQ(runs.size(), image.size());
        int repeated = 0;
        for (std::size_t k = 0; k < image.size(); ++k) {
            ASSERT_EQ(runs[k].first, image[k]) << "line " << k + 1;
            EXPECT_LE(runs[k].second, firmware::kMaxTries) << "line " << k + 1;
            repeated += runs[k].second - 1;
        }
        if (c.resends) {
            EXPECT_GT(repeated, 0) << "lost acknowledgements were made good by sending the line again";
        } else {
            EXPECT_EQ(repeated, 0);
        }
    }
}

// The simulator hangs up in the middle of an upload: the upload ends at once with one message that
// says how far it came, the main window is back, and a fresh simulator connects.
TEST(SimulatorEndToEndTest, APortLostInTheMiddleOfAnUploadEndsItWithOneMessage) {
    SKIP_WITHOUT_SIMULATOR();
    QTemporaryDir dir;
    const QString imagePath = dir.filePath(QStringLiteral("image.hex"));
    QFile out(imagePath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (const QByteArray& line : FirmwareImage(500)) {
        out.write(line + "\r\n");
    }
    out.close();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--meters"), QStringLiteral("0"), QStringLiteral("--quiet"),
                           QStringLiteral("--hangup-after-requests"), QStringLiteral("120")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    w.OpenDialog().path = imagePath;
    const firmware::FirmwareUpload& upload = w.Window().Version().Upload();
    ASSERT_TRUE(w.Click(w.F().ButtonVersion, Qt::ControlModifier, QStringLiteral("Загрузить новую")));
    ASSERT_TRUE(PumpUntil([&] { return upload.State() == firmware::UploadState::Idle; }, 30000));
    PumpUntil([] { return false; }, 500);
    EXPECT_EQ(upload.Outcome(), firmware::UploadOutcome::PortLost);
    ASSERT_EQ(w.Messages().errors.size(), 1) << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(w.Messages().errors[0].contains(QStringLiteral("из 500")))
        << w.Messages().errors[0].toStdString();
    EXPECT_TRUE(w.Messages().errors[0].contains(QStringLiteral("Связь с коммуникационным портом потеряна")));
    EXPECT_TRUE(w.Window().isVisible());
    EXPECT_FALSE(w.Gauge().isVisible());

    Simulator fresh;
    ASSERT_TRUE(fresh.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    w.F().ComboBoxPortName->setEditText(fresh.Path());
    QTest::keyClick(w.F().ComboBoxPortName->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    ASSERT_TRUE(w.Click(w.F().ButtonVersion, Qt::NoModifier, QStringLiteral("Прочитать")));
    EXPECT_TRUE(
        PumpUntil([&] { return w.F().LabelVerinfo->text() == QStringLiteral("LUMVARIS-SIM 1.0"); }, 5000));
    EXPECT_EQ(w.Messages().errors.size(), 1);
}

// A key set by name reaches the concentrator (the fingerprint it reports changes), the zero key
// of the empty name too, and the name set again is taken from the key file at once.
TEST(SimulatorEndToEndTest, AKeySetByNameReachesTheConcentratorAndComesFromTheKeyFileNextTime) {
    SKIP_WITHOUT_SIMULATOR();
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    app::TFormHashCalculate& hash = w.Hash();
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
        EXPECT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
        return clock.elapsed();
    };

    const QString zeroKey = fingerprint();
    const QString name = QStringLiteral("Ключ участка 5");
    EXPECT_GE(setKey(name, 1), 2100) << "TimerStart and two pauses";
    const QString namedKey = fingerprint();
    EXPECT_NE(namedKey, zeroKey);
    const keys::KeyFile keyFile(w.File(QStringLiteral("Keys.ini")));
    EXPECT_EQ(keyFile.KeyNames(), QStringList{name});
    EXPECT_EQ(keyFile.ReadEntry(name).size(), 64);

    setKey(QString(), 100);
    EXPECT_EQ(fingerprint(), zeroKey);

    // The stored key: shown whole at once, sent after the settling pause alone.
    EXPECT_LT(setKey(QStringLiteral(" ключ участка 5 "), 100), 2000);
    EXPECT_EQ(hash.Form().LabelHash->text(), keyFile.ReadEntry(name));
    EXPECT_EQ(fingerprint(), namedKey);
    EXPECT_EQ(f.ComboBoxKey->count(), 1);
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// The simulator hangs up while a key is derived: one message, the derived key kept in the key file
// and not sent (the status bar says so), and after a new connection it goes out from the file.
TEST(SimulatorEndToEndTest, APortLostWhileAKeyIsDerivedIsSaidOnceAndTheKeyGoesLater) {
    SKIP_WITHOUT_SIMULATOR();
    auto sim = std::make_unique<Simulator>();
    ASSERT_TRUE(sim->Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    SimulatorWindow w(sim->Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    Ui::TFormMain& f = w.F();
    f.CheckBoxUseCrypto->setChecked(true);

    const QString name = QStringLiteral("Ключ подстанции 2");
    f.ComboBoxKey->setEditText(name);
    QTest::mouseClick(f.ButtonSetKey, Qt::LeftButton);
    ASSERT_TRUE(w.Hash().isVisible());
    sim.reset();  // the concentrator goes away in the middle of the derivation
    ASSERT_TRUE(PumpUntil([&] { return !w.Hash().isVisible(); }, 60000));
    PumpUntil([] { return false; }, 500);
    ASSERT_EQ(w.Messages().errors.size(), 1) << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
    EXPECT_TRUE(w.Messages().errors[0].startsWith(
        QStringLiteral("ВНИМАНИЕ! Связь с коммуникационным портом потеряна")));
    EXPECT_EQ(w.Status(), QStringLiteral(" Ключ не передан: порт закрыт"));
    EXPECT_EQ(keys::KeyFile(w.File(QStringLiteral("Keys.ini"))).ReadEntry(name).size(), 64)
        << "derived and kept";

    Simulator fresh;
    ASSERT_TRUE(fresh.Start({QStringLiteral("--interval"), QStringLiteral("3600")}));
    f.ComboBoxPortName->setEditText(fresh.Path());
    QTest::keyClick(f.ComboBoxPortName->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    f.ComboBoxKey->setEditText(name);
    QTest::mouseClick(f.ButtonSetKey, Qt::LeftButton);
    EXPECT_TRUE(PumpUntil([&] { return !w.Hash().isVisible(); }, 5000)) << "taken from the key file";
    EXPECT_TRUE(PumpUntil([&] { return w.Status() == QStringLiteral(" OK"); }, 5000));
    EXPECT_EQ(w.Messages().errors.size(), 1);
}

// The simulator's log as two byte streams: what it wrote (garbage and frames, in order) and what
// it read; and per meter the intact live packets it sent with the level of the last.
struct SimulatorTraffic {
    QByteArray written;
    QByteArray read;
    std::map<int, std::pair<int, int>> packets;  // meter: (intact packets, level byte of the last)
};

SimulatorTraffic TrafficOfLog(const QString& logFile) {
    SimulatorTraffic traffic;
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return traffic;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        const QStringList words =
            line.section(QLatin1Char('|'), 0, 0).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 3 || (words[1] != QStringLiteral("TX") && words[1] != QStringLiteral("RX") &&
                                 words[1] != QStringLiteral("GB"))) {
            continue;
        }
        QByteArray bytes;
        for (int i = 2; i < words.size(); ++i) {
            bytes.append(static_cast<char>(words[i].toInt(nullptr, 16)));
        }
        (words[1] == QStringLiteral("RX") ? traffic.read : traffic.written).append(bytes);
        if (words[1] == QStringLiteral("TX") && line.contains(QStringLiteral("meter packet")) &&
            !line.contains(QStringLiteral("[corrupted checksum]")) && bytes.size() == 15) {
            const int meter =
                (static_cast<std::uint8_t>(bytes[3]) | (static_cast<std::uint8_t>(bytes[4]) << 8)) &
                link::kMeterNumberMask;
            auto& [count, level] = traffic.packets[meter];
            ++count;
            level = static_cast<std::uint8_t>(bytes[13]);
        }
    }
    return traffic;
}

// Whether the monitor's bytes of one direction, in row order, stand in the simulator's stream
// without a gap; the monitor may start later and end earlier (bytes still on the way).
bool StandsIn(const QByteArray& monitor, const QByteArray& simulator, qsizetype& unseen) {
    if (monitor.isEmpty()) {
        return false;
    }
    for (qsizetype at = simulator.indexOf(monitor.left(64)); at >= 0;
         at = simulator.indexOf(monitor.left(64), at + 1)) {
        if (simulator.mid(at, monitor.size()) == monitor) {
            unseen = simulator.size() - at - monitor.size();
            return true;
        }
    }
    return false;
}

// With the monitor open during a read of all buffers on a noisy line, every byte the simulator
// wrote after the monitor opened is in a frame row or a dropped-bytes row, in order, and every
// request it read is a sent row; the health page's counts and levels are those of the intact
// meter packets in the simulator's log.
TEST(SimulatorEndToEndTest, TheMonitorShowsEveryByteAndTheHealthPageEveryMeterTheSimulatorSent) {
    SKIP_WITHOUT_SIMULATOR();
    QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("sim.log"));
    Simulator sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--meters"), QStringLiteral("6"), QStringLiteral("--interval"),
                           QStringLiteral("0.05"), QStringLiteral("--garbage"), QStringLiteral("0.1"),
                           QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--log"), log}));
    SimulatorWindow w(sim.Path());
    ASSERT_TRUE(w.Window().Connection().IsOpen());
    w.F().NMainOptionsMonitor->trigger();
    app::TFormLinkMonitor& monitor = w.Window().LinkMonitor();
    ASSERT_TRUE(monitor.isVisible());
    w.F().PageControl->setCurrentWidget(w.F().TabSheetHealth);

    ASSERT_TRUE(w.Click(w.F().ButtonLP, Qt::ShiftModifier, QStringLiteral("Прочитать всё")));
    ASSERT_TRUE(PumpUntil([&] { return !w.Window().Concentrator().ReadAllRunning(); }, 120000));
    EXPECT_EQ(w.Status(), QStringLiteral(" Все 256: без ответа 0, записи 6, без данных 250"));

    // Every packet the log holds now has arrived once the receive timer has run.
    const SimulatorTraffic before = TrafficOfLog(log);
    PumpUntil([] { return false; }, 500);
    const std::map<int, meterdata::MeterHealth> health = w.Window().Health().Health().Meters();
    const monitor::TrafficLog& record = monitor.Log();
    QByteArray received;
    QByteArray sent;
    int dropped = 0;
    for (std::uint64_t i = record.FirstSequence(); i < record.EndSequence(); ++i) {
        const monitor::TrafficEntry& entry = record.At(i);
        const QByteArray bytes(reinterpret_cast<const char*>(entry.bytes.data()),
                               static_cast<qsizetype>(entry.bytes.size()));
        (entry.kind == monitor::TrafficKind::Sent ? sent : received).append(bytes);
        dropped += entry.kind == monitor::TrafficKind::Discarded ? 1 : 0;
    }
    const SimulatorTraffic after = TrafficOfLog(log);

    qsizetype unseen = 0;
    EXPECT_TRUE(StandsIn(received, after.written, unseen)) << received.size() << " bytes received";
    EXPECT_LT(unseen, 400) << "bytes the simulator wrote that the monitor does not show";
    EXPECT_GT(dropped, 5) << "the simulator's garbage shows as dropped bytes";
    EXPECT_TRUE(StandsIn(sent, after.read, unseen));
    EXPECT_EQ(unseen, 0) << "a request the simulator read is missing";
    EXPECT_GE(sent.size(), 256 * 12) << "the read-all's requests";

    ASSERT_EQ(health.size(), 6u);
    for (const auto& [meter, heard] : health) {
        const int logged = before.packets.count(meter) ? before.packets.at(meter).first : 0;
        const int loggedLater = after.packets.count(meter) ? after.packets.at(meter).first : 0;
        EXPECT_GE(heard.packets, logged) << "meter " << meter;
        EXPECT_LE(heard.packets, loggedLater) << "meter " << meter;
        if (heard.packets == loggedLater) {
            EXPECT_EQ(heard.lastLevel, after.packets.at(meter).second) << "meter " << meter;
        }
    }
    EXPECT_EQ(w.Window().Health().Model().rowCount(), 6);
    EXPECT_TRUE(w.Messages().errors.isEmpty())
        << w.Messages().errors.join(QStringLiteral("; ")).toStdString();
}

// The program stopped by kill, a logout or Ctrl+C (SIGTERM, SIGHUP, SIGINT) ends as "Выход" ends
// it: every packet it had filed is in the port's files, and nothing is left in its journal.
TEST(SimulatorEndToEndTest, AStopSignalSavesEveryPacketTheWindowHadFiled) {
    SKIP_WITHOUT_SIMULATOR();
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        Simulator sim;
        ASSERT_TRUE(sim.Start({QStringLiteral("--interval"), QStringLiteral("0.1")}));
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.start(QString::fromUtf8(LUMVARIS_WINDOW_CHILD), {dir.path(), sim.Path()});
        int filed = 0;
        ASSERT_TRUE(PumpUntil(
            [&] {
                while (child.canReadLine()) {
                    filed =
                        QString::fromUtf8(child.readLine()).section(QLatin1Char(' '), 1).trimmed().toInt();
                }
                return filed >= 5;
            },
            15000))
            << "no packets reached the window";
        ::kill(static_cast<pid_t>(child.processId()), signal);
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "ended by its own exit, not by the signal";
        const QString name = QFileInfo(sim.Path()).fileName();
        meterdata::TMatrixInterface saved(dir.filePath(name + QStringLiteral("-PACKETS.bin")));
        ASSERT_EQ(saved.LoadFromFile().Status, meterdata::LoadStatus::Loaded);
        EXPECT_GE(PacketsIn(saved), filed);
        EXPECT_LE(QFileInfo(dir.filePath(name + QStringLiteral("-JOURNAL.bin"))).size(), 16)
            << "the save emptied the journal";
    }
}

}  // namespace
}  // namespace lumvaris::testing
