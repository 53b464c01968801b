// The local database and the three tables in the main window: a real database in a temporary
// program directory, a fake serial port, fake timers and a settable clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "AppTestDoubles.h"
#include "WindowFixture.h"
#include "app/MeterDataBinding.h"
#include "app/Revision.h"
#include "app/TFormAppOptions.h"
#include "app/TFormMain.h"
#include "app/TVersionInfo.h"
#include "link/Frame.h"
#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "support/FakeSerialPort.h"
#include "ui/WidgetColours.h"
#include "ui_FormAppOptions.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {
namespace {

using app::TFormMain;
using meterdata::StorePage;

// The window of WindowTest with its clock at 10:11:12 on a Monday.
class MeterDataWiringTest : public WindowTest {
  protected:
    void SetUp() override {
        clock_.now = QDateTime(QDate(2026, 12, 7), QTime(10, 11, 12));
        WindowTest::SetUp();
    }

    Ui::TFormAppOptions& O() { return options_.Form(); }
    app::MeterDataBinding& Data() { return window_->MeterData(); }
    meterdata::TMatrixInterface& Packets() { return *Data().Database().PacketStore(); }
    const views::StoreGridModel& Grid(StorePage page) { return Data().View(page).Model(); }
    QString File(const QString& name) { return dir_.path() + QStringLiteral("/") + name; }

    void ShowPage(QWidget* page) { F().PageControl->setCurrentWidget(page); }

    // A live packet of a meter as the concentrator forwards it, through the port and the frame
    // dispatch tick; the clock moves one minute per packet.
    void FeedPacket(int meter, std::uint8_t type, std::uint16_t wordA) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, 0x1000 + meter, link::kWorkstationAddress, 6, type);
        std::uint8_t* payload = link::Payload(frame);
        payload[1] = wordA & 0xFF;
        payload[2] = wordA >> 8;
        payload[5] = 0x24;
        link::CompleteFrame(frame);
        port_.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + link::FrameLength(frame)));
        timers_.Advance(100);
        clock_.now = clock_.now.addSecs(60);
    }
    // Word A of the packets in a meter's row of a store, slot 1 first, empty slots skipped.
    static std::vector<int> WordsOf(const meterdata::TMatrixInterface& store, int meter) {
        std::vector<int> words;
        meterdata::MeterRecord record;
        for (int slot = 1; slot < store.ColCount(); ++slot) {
            if (store.GetMeterRecord(record, slot, meter) && record.Valid != 0) {
                words.push_back(record.WordA);
            }
        }
        return words;
    }
    static std::vector<int> WordsInFile(const QString& fileName, int meter) {
        meterdata::TMatrixInterface store(fileName);
        EXPECT_EQ(store.LoadFromFile().Status, meterdata::LoadStatus::Loaded) << fileName.toStdString();
        return WordsOf(store, meter);
    }
    QString Caption(QWidget* page) { return F().PageControl->tabText(F().PageControl->indexOf(page)); }
    QString NetMeterColumn() {
        QString column;
        for (int r = 1; r < Grid(StorePage::Net).GridRowCount(); ++r) {
            column += Grid(StorePage::Net).Cell(0, r) + QLatin1Char(';');
        }
        return column;
    }
};

TEST_F(MeterDataWiringTest, TablesBeforeAnyDatabase) {
    EXPECT_EQ(Caption(F().TabSheetNET), QStringLiteral("Ёмкость сети 0 счётчиков"));
    EXPECT_EQ(Caption(F().TabSheetPACKETS), QStringLiteral("Последние 0 пакетов"));
    EXPECT_EQ(Caption(F().TabSheetDAYS), QStringLiteral("Последние 0 дней"));
    std::vector<int> widths = Data().View(StorePage::Net).ColumnWidths();
    ASSERT_EQ(widths.size(), 8u);
    EXPECT_EQ(widths[0], 36);
    EXPECT_EQ(widths[1], 96);
    for (int c : {2, 3, 4}) {
        EXPECT_EQ(widths[c], 64) << "column " << c;
    }
    // Date, time and elapsed time: at least 64, and wide enough for the workstation's texts.
    const QFontMetrics metrics(F().StringGridNET->font());
    const QString date = QLocale::system().toString(QDate(2026, 12, 28), QLocale::ShortFormat);
    EXPECT_GE(widths[5], std::max(64, metrics.horizontalAdvance(date)));
    EXPECT_GE(widths[6], 64);
    // A fresh packet's elapsed time keeps its " !!!" mark in view.
    EXPECT_GE(widths[7], std::max(64, metrics.horizontalAdvance(QStringLiteral("00:00:14 !!!"))));
    widths.resize(7);
    EXPECT_EQ(Data().View(StorePage::Packets).ColumnWidths(), widths);
    EXPECT_EQ(Data().View(StorePage::Days).ColumnWidths(), widths);
    for (StorePage page : {StorePage::Net, StorePage::Packets, StorePage::Days}) {
        EXPECT_EQ(Grid(page).GridRowCount(), 2) << "header row and one empty data row";
        EXPECT_EQ(Grid(page).Cell(0, 0), QStringLiteral("Сч.#"));
    }
    EXPECT_EQ(Grid(StorePage::Net).Cell(7, 0), QStringLiteral("Прошло"));
    EXPECT_EQ(Grid(StorePage::Packets).columnCount(), 7);
    // The settings fields change by their arrows only.
    for (QSpinBox* field : {O().SpinEditCount, O().SpinEditPackets, O().SpinEditDays}) {
        EXPECT_TRUE(field->findChild<QLineEdit*>()->isReadOnly());
    }
}

TEST_F(MeterDataWiringTest, ConnectOpensThePortsDatabaseAndTheTimerSavesItsFiles) {
    Connect(QStringLiteral("/dev/ttyUSB3"));
    ASSERT_TRUE(Data().Database().IsOpen());
    EXPECT_EQ(Caption(F().TabSheetNET), QStringLiteral("Ёмкость сети 256 счётчиков"));
    EXPECT_EQ(Caption(F().TabSheetPACKETS), QStringLiteral("Последние 64 пакетов"));
    EXPECT_EQ(Packets().RowCount(), 257);
    EXPECT_EQ(Packets().ColCount(), 65);

    FeedPacket(5, 0x40, 111);
    EXPECT_EQ(WordsOf(Packets(), 5), std::vector<int>{111});
    timers_.Advance(60000);
    const QString packets = File(QStringLiteral("ttyUSB3-PACKETS.bin"));
    EXPECT_EQ(QFileInfo(packets).size(), 400928);
    EXPECT_EQ(QFileInfo(File(QStringLiteral("ttyUSB3-DAYS.bin"))).size(), 400928);
    EXPECT_EQ(WordsInFile(packets, 5), std::vector<int>{111});
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone after the save";
}

TEST_F(MeterDataWiringTest, TheDialogShowsTheDimensionsOfTheLoadedFiles) {
    meterdata::TMatrixInterface written(File(QStringLiteral("ttyS2-PACKETS.bin")));
    ASSERT_TRUE(written.SetRowCount(101));
    ASSERT_TRUE(written.SetColCount(21));
    ASSERT_TRUE(written.SaveToFile());

    Connect(QStringLiteral("ttyS2"));
    EXPECT_EQ(O().SpinEditCount->value(), 100);
    EXPECT_EQ(O().SpinEditPackets->value(), 20);
    EXPECT_EQ(O().SpinEditDays->value(), 64);
    EXPECT_EQ(Caption(F().TabSheetNET), QStringLiteral("Ёмкость сети 100 счётчиков"));
    EXPECT_EQ(Caption(F().TabSheetPACKETS), QStringLiteral("Последние 20 пакетов"));
}

TEST_F(MeterDataWiringTest, ApplyReDimensionsTheStoresAndLeavesTheDialogOpen) {
    Connect(QStringLiteral("ttyS0"));
    EXPECT_TRUE(F().NMainOptionsOptions->isEnabled());
    for (int i = 1; i <= 12; ++i) {
        FeedPacket(5, 0x40, i);
    }
    FeedPacket(200, 0x40, 7);
    options_.show();
    O().SpinEditPackets->setValue(10);
    O().SpinEditCount->setValue(160);
    QTest::mouseClick(O().ButtonAopOK, Qt::LeftButton);

    EXPECT_TRUE(options_.isVisible()) << "Применить leaves the dialog open";
    EXPECT_EQ(WordsOf(Packets(), 5), (std::vector<int>{12, 11, 10, 9, 8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(Packets().RowCount(), 161) << "meters above the count are dropped";
    EXPECT_EQ(Data().Database().NetStore()->ColCount(), 161);
    EXPECT_EQ(Caption(F().TabSheetPACKETS), QStringLiteral("Последние 10 пакетов"));
    EXPECT_EQ(Caption(F().TabSheetNET), QStringLiteral("Ёмкость сети 160 счётчиков"));

    // Back to 64: the pushed-out packets do not return.
    O().SpinEditPackets->setValue(64);
    window_->ButtonAopOKClick();
    EXPECT_EQ(WordsOf(Packets(), 5).size(), 10u);
    EXPECT_EQ(Caption(F().TabSheetPACKETS), QStringLiteral("Последние 64 пакетов"));

    QTest::mouseClick(O().ButtonAopCancel, Qt::LeftButton);
    EXPECT_FALSE(options_.isVisible());
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(MeterDataWiringTest, TheMenuOpensTheSettingsModallyOnlyWhileConnected) {
    bool shown = false;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, [&] {
            shown = QApplication::activeModalWidget() == &options_;
            options_.Form().ButtonAopCancel->click();
        });
    };
    EXPECT_FALSE(F().NMainOptionsOptions->isEnabled());
    window_->NMainOptionsOptionsClick();
    EXPECT_FALSE(options_.isVisible()) << "not while closed";

    Connect(QStringLiteral("ttyS0"));
    closeWhenShown();
    F().NMainOptionsOptions->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(options_.isVisible());
}

TEST_F(MeterDataWiringTest, PortAndRateChangesSaveWhatArrivedSinceTheLastTimedSave) {
    Connect(QStringLiteral("ttyS0"));
    FeedPacket(3, 0x40, 31);
    timers_.Advance(60000);
    FeedPacket(3, 0x40, 32);  // after the timed save

    // A rate change saves, then reopens the same port's files.
    emit F().ComboBoxBaudRate->activated(1);
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS0-PACKETS.bin")), 3), (std::vector<int>{32, 31}));
    EXPECT_EQ(WordsOf(Packets(), 3), (std::vector<int>{32, 31}));
    FeedPacket(3, 0x40, 33);

    // Another port: the first port's files keep the newest packet, the new port starts blank.
    Connect(QStringLiteral("ttyS1"));
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS0-PACKETS.bin")), 3), (std::vector<int>{33, 32, 31}));
    EXPECT_TRUE(WordsOf(Packets(), 3).empty());
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS0-DAYS.bin")), 3), std::vector<int>{33})
        << "one record per day and type";

    Connect(QStringLiteral("ttyS0"));
    EXPECT_EQ(WordsOf(Packets(), 3), (std::vector<int>{33, 32, 31}));
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(MeterDataWiringTest, WhatAPortDeliveredBeforeAChangeGoesIntoItsOwnFilesAndNoOthers) {
    // Each change leaves packets of the old port in the receive ring (not yet taken by a tick),
    // and a frame half received: a port change, a rate change, a lost port.
    auto leaveInTheRing = [this](int meter, std::uint16_t wordA) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, 0x1000 + meter, link::kWorkstationAddress, 6, 0x40);
        link::Payload(frame)[1] = wordA & 0xFF;
        link::Payload(frame)[5] = 0x24;
        link::CompleteFrame(frame);
        const std::vector<std::uint8_t> bytes(frame.begin(), frame.begin() + link::FrameLength(frame));
        port_.Feed(bytes);
        port_.Feed(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 9));
        ASSERT_EQ(port_.Pending(), 0u) << "all of it in the ring";
    };
    Connect(QStringLiteral("ttyS1"));
    leaveInTheRing(7, 71);
    Connect(QStringLiteral("ttyS0"));
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS1-PACKETS.bin")), 7), std::vector<int>{71});
    EXPECT_TRUE(WordsOf(Packets(), 7).empty());
    // The rest of the half frame, as the new port's first bytes, completes nothing.
    port_.Feed(std::vector<std::uint8_t>(6, 0x00));
    timers_.Advance(100);
    EXPECT_TRUE(WordsOf(Packets(), 7).empty());

    leaveInTheRing(8, 81);
    emit F().ComboBoxBaudRate->activated(1);
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS0-PACKETS.bin")), 8), std::vector<int>{81});

    leaveInTheRing(9, 91);
    port_.portInfos = {{"ttyS0", "", "", "A1", 0x0403, 0x6001, "/dev/ttyS0"}};
    port_.Close();
    port_.Vanish("gone");
    QCoreApplication::processEvents();
    port_.failWrite = false;
    EXPECT_EQ(WordsInFile(File(QStringLiteral("ttyS0-PACKETS.bin")), 9), std::vector<int>{91});
    Connect(QStringLiteral("ttyS1"));
    EXPECT_TRUE(WordsOf(Packets(), 9).empty());
    EXPECT_TRUE(WordsOf(Packets(), 8).empty());
}

TEST_F(MeterDataWiringTest, EraseAllDeletesTheFilesAndGivesBlankStores) {
    Connect(QStringLiteral("ttyS0"));
    FeedPacket(4, 0x40, 41);
    timers_.Advance(60000);
    FeedPacket(4, 0x40, 42);
    ASSERT_TRUE(QFileInfo::exists(File(QStringLiteral("ttyS0-PACKETS.bin"))));

    F().NMainEditEraseAll->trigger();
    EXPECT_TRUE(port_.IsOpen()) << "the connection is open again";
    ASSERT_TRUE(Data().Database().IsOpen());
    EXPECT_TRUE(WordsOf(Packets(), 4).empty());
    EXPECT_TRUE(WordsOf(*Data().Database().DayStore(), 4).empty());
    EXPECT_EQ(Packets().RowCount(), 257);
    EXPECT_EQ(QFileInfo(File(QStringLiteral("ttyS0-PACKETS.bin"))).size(), 0)
        << "the erased files were not written back";
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_TRUE(messages_.questions.isEmpty()) << "no confirmation";
}

TEST_F(MeterDataWiringTest, ADamagedFileIsKeptAsideWithOneMessage) {
    const QString packets = File(QStringLiteral("ttyS0-PACKETS.bin"));
    const QByteArray damaged("\x41\x00\x00\x00\x01\x01\x00\x00garbage", 15);  // 257 x 65 announced
    {
        QFile file(packets);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    Connect(QStringLiteral("ttyS0"));

    ASSERT_EQ(messages_.errors.size(), 1);
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("ttyS0-PACKETS.bin")));
    const QStringList aside =
        QDir(dir_.path()).entryList({QStringLiteral("ttyS0-PACKETS.bin.*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(File(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged) << "kept aside unchanged";
    EXPECT_EQ(Packets().RowCount(), 257) << "a blank store of the dialog's size";

    timers_.Advance(60000);
    EXPECT_EQ(QFileInfo(packets).size(), 400928);
    EXPECT_EQ(messages_.errors.size(), 1);
}

// While the message about a damaged file is on screen, the window's timers go on: packets keep
// arriving, the tables redraw every second, and everything received lands in the stores and then
// in the files. Either file may be the damaged one.
TEST_F(MeterDataWiringTest, PacketsArrivingUnderADamagedFileMessageAreKept) {
    for (const char* damagedName : {"ttyS0-DAYS.bin", "ttyS1-PACKETS.bin"}) {
        SCOPED_TRACE(damagedName);
        const QString port = QString::fromLatin1(damagedName).section(QLatin1Char('-'), 0, 0);
        {
            QFile file(File(QString::fromLatin1(damagedName)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("abc", 3);
        }
        int packetsUnderTheBox = 0;
        messages_.errors.clear();
        messages_.whileShown = [&](const QString&) {
            for (int i = 1; i <= 6; ++i) {
                FeedPacket(7, 0x40, 700 + i);
                timers_.Advance(900);  // with the 100 ms of the feed: one redraw per packet
                ++packetsUnderTheBox;
            }
        };
        Connect(port);
        messages_.whileShown = nullptr;
        ASSERT_EQ(messages_.errors.size(), 1);
        EXPECT_TRUE(messages_.errors[0].contains(QString::fromLatin1(damagedName)));
        ASSERT_EQ(packetsUnderTheBox, 6);
        EXPECT_EQ(WordsOf(Packets(), 7), (std::vector<int>{706, 705, 704, 703, 702, 701}));
        EXPECT_EQ(WordsOf(*Data().Database().DayStore(), 7), std::vector<int>{706});
        timers_.Advance(60000);
        EXPECT_EQ(WordsInFile(File(port + QStringLiteral("-PACKETS.bin")), 7),
                  (std::vector<int>{706, 705, 704, 703, 702, 701}));
        EXPECT_EQ(messages_.errors.size(), 1);
    }
}

// Two windows in one program directory, on two ports whose names end alike: the second is told
// which files are in use and by which process, opens no connection and never writes the files.
TEST_F(MeterDataWiringTest, ASecondWindowNeverSharesTheFilesOfAPort) {
    Connect(QStringLiteral("/tmp/a/simlink"));
    FeedPacket(3, 0x40, 31);

    FakeSerialPort otherPort;
    FakePause otherPause;
    FakeModifierKeys otherKeys;
    FakeMessageBox otherMessages;
    FakeTimerFactory otherTimers;
    app::TFormAppOptions otherOptions;
    app::MainWindowPlatform platform{
        otherPort, otherPause, otherKeys, otherMessages, otherTimers, dir_.path() + "/",
        QString(), {},         {},        &clock_};
    auto other = std::make_unique<TFormMain>(platform);
    other->SetDialogs({nullptr, nullptr, &otherOptions, nullptr, nullptr});
    other->Form().ComboBoxPortName->setEditText(QStringLiteral("/tmp/b/simlink"));
    QTest::keyClick(other->Form().ComboBoxPortName->lineEdit(), Qt::Key_Return);

    ASSERT_EQ(otherMessages.errors.size(), 1);
    const QString text = otherMessages.errors[0];
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(File(QStringLiteral("simlink-PACKETS.bin")))));
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(File(QStringLiteral("simlink-DAYS.bin")))));
    EXPECT_TRUE(text.contains(QStringLiteral("процесс %1").arg(QCoreApplication::applicationPid())))
        << text.toStdString();
    EXPECT_FALSE(otherPort.IsOpen());
    EXPECT_FALSE(other->Form().PageControl->isVisible());
    EXPECT_EQ(other->Form().ComboBoxPortName->currentText(), QStringLiteral("COM"));
    otherTimers.Advance(60000);
    other->close();
    other.reset();

    // The first window's packets are whole, in the stores and in the files.
    timers_.Advance(60000);
    EXPECT_EQ(WordsInFile(File(QStringLiteral("simlink-PACKETS.bin")), 3), std::vector<int>{31});
    EXPECT_TRUE(messages_.errors.isEmpty());
}

// Files that cannot be written are found at the open and said once; the timed save tries again
// silently; at window close, with packets received since then, the engineer chooses between
// trying again and closing without saving.
TEST_F(MeterDataWiringTest, UnwritableFilesAreSaidOnceAndTheCloseAsksBeforeLosingData) {
    const QString packets = File(QStringLiteral("ttyS0-PACKETS.bin"));
    ASSERT_TRUE(QDir().mkdir(packets));
    Connect(QStringLiteral("ttyS0"));
    ASSERT_EQ(messages_.errors.size(), 1);
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("не будут сохраняться")))
        << messages_.errors[0].toStdString();
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("не является файлом")));
    EXPECT_EQ(window_->StatusPanel(1)->text(),
              QStringLiteral(" Коммуникационный порт открыт. Данные не сохраняются!"));

    // Nothing new since the open: nothing to lose, no question.
    window_->close();
    EXPECT_TRUE(messages_.retries.isEmpty());
    window_->show();
    Connect(QStringLiteral("ttyS0"));
    ASSERT_EQ(messages_.errors.size(), 2) << "said again for the new connection";

    FeedPacket(2, 0x40, 21);
    for (int minute = 0; minute < 3; ++minute) {
        timers_.Advance(60000);
    }
    EXPECT_EQ(messages_.errors.size(), 2) << "not repeated every minute";

    // Give up once (the question comes back after a second failure), then mend and retry.
    messages_.retryAnswers = {true};
    window_->close();
    ASSERT_EQ(messages_.retries.size(), 2);
    EXPECT_EQ(messages_.giveUpCaptions[0], QStringLiteral("Закрыть без сохранения"));
    EXPECT_FALSE(QFileInfo(packets).isFile());

    window_->show();
    Connect(QStringLiteral("ttyS0"));
    FeedPacket(2, 0x40, 22);
    messages_.retries.clear();
    messages_.retryAnswers = {true};
    QDir().rmdir(packets);
    window_->close();
    EXPECT_TRUE(messages_.retries.isEmpty()) << "mended before the close: saved at once";
    // The packet given up on at the first close stayed in the journal and came back at the open.
    EXPECT_EQ(WordsInFile(packets, 2), (std::vector<int>{22, 21}));
}

TEST_F(MeterDataWiringTest, APortChangeAsksBeforeLosingWhatCouldNotBeSaved) {
    const QString packets = File(QStringLiteral("ttyS0-PACKETS.bin"));
    ASSERT_TRUE(QDir().mkdir(packets));
    Connect(QStringLiteral("ttyS0"));
    FeedPacket(2, 0x40, 21);
    // The question comes while the port is still open: a packet arriving meanwhile is kept.
    messages_.whileAsking = [&](const QString&) {
        FeedPacket(2, 0x40, 23);
        QDir().rmdir(packets);
    };
    messages_.retryAnswers = {true};
    Connect(QStringLiteral("ttyS1"));
    ASSERT_EQ(messages_.retries.size(), 1);
    EXPECT_EQ(messages_.giveUpCaptions[0], QStringLiteral("Продолжить без сохранения"));
    EXPECT_EQ(WordsInFile(packets, 2), (std::vector<int>{23, 21}));
}

TEST_F(MeterDataWiringTest, LivePacketsFillTheNetworkTableAndTheSelectionFollowsItsRow) {
    Connect(QStringLiteral("ttyS0"));
    ShowPage(F().TabSheetNET);
    EXPECT_EQ(NetMeterColumn(), QStringLiteral(";")) << "one empty row without packets";
    EXPECT_EQ(Caption(F().TabSheetNET), QStringLiteral("Ёмкость сети 256 счётчиков"));

    FeedPacket(5, 0x40, 0x1234);
    FeedPacket(9, 0x40, 0x0042);
    timers_.Advance(1000);  // TimerRefresh
    EXPECT_EQ(NetMeterColumn(), QStringLiteral("5;9;"));
    EXPECT_EQ(window_->SelectedMeter(), 5);
    EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral(" - Сч.#5")));
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 5);
    EXPECT_EQ(F().SpinEditBuffSlotNumberMonth->value(), 5);

    QTableView* net = F().StringGridNET;
    QTest::mouseClick(net->viewport(), Qt::LeftButton, {},
                      net->visualRect(net->model()->index(1, 3)).center());
    EXPECT_EQ(window_->SelectedMeter(), 9);
    EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral(" - Сч.#9")));
    EXPECT_EQ(F().SpinEditBuffSlotNumberMonth->value(), 9);

    // The packet page shows the selected meter's packets, without row numbers.
    FeedPacket(9, 0x40, 0x0043);
    ShowPage(F().TabSheetPACKETS);
    EXPECT_EQ(Grid(StorePage::Packets).GridRowCount(), 3);
    EXPECT_EQ(Grid(StorePage::Packets).Cell(0, 1), QStringLiteral("9"));
    EXPECT_EQ(window_->focusWidget(), F().StringGridPACKETS) << "the grid of the page takes the focus";

    // Show everything: one numbered row per meter, fillers where no packet came.
    ShowPage(F().TabSheetNET);
    F().NMainOptionsFullSet->trigger();
    EXPECT_EQ(Grid(StorePage::Net).GridRowCount(), 257);
    EXPECT_EQ(Grid(StorePage::Net).Cell(0, 4), QStringLiteral("4"));
    EXPECT_EQ(Grid(StorePage::Net).Cell(1, 4), QStringLiteral(" ....."));
}

TEST_F(MeterDataWiringTest, SteppingKeysMoveTheNetworkRowWithinItsEnds) {
    Connect(QStringLiteral("ttyS0"));
    ShowPage(F().TabSheetNET);
    for (int meter : {2, 6, 8}) {
        FeedPacket(meter, 0x40, 100 + meter);
    }
    timers_.Advance(1000);  // the network table's refresh selects the first row's meter
    ShowPage(F().TabSheetPACKETS);
    ASSERT_EQ(window_->SelectedMeter(), 2);

    const struct {
        const char* key;
        int meter;
    } steps[] = {{"q", 2}, {"Q", 2}, {"a", 6}, {"A", 8}, {"a", 8}, {"q", 6}, {"x", 6}};
    for (const auto& step : steps) {
        QTest::keyClicks(F().StringGridPACKETS, QString::fromLatin1(step.key));
        EXPECT_EQ(window_->SelectedMeter(), step.meter) << "after " << step.key;
        EXPECT_EQ(Grid(StorePage::Packets).Cell(0, 1), QString::number(step.meter)) << "after " << step.key;
    }
    ShowPage(F().TabSheetDAYS);
    QTest::keyClicks(F().StringGridDAYS, QStringLiteral("a"));
    EXPECT_EQ(window_->SelectedMeter(), 8);
    EXPECT_EQ(Grid(StorePage::Days).Cell(1, 1).isEmpty(), false);
    EXPECT_EQ(Grid(StorePage::Days).Cell(0, 1), QStringLiteral("8"));

    // A double click in the day table goes back to the network.
    QTableView* days = F().StringGridDAYS;
    QTest::mouseDClick(days->viewport(), Qt::LeftButton, {},
                       days->visualRect(days->model()->index(0, 0)).center());
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetNET);
}

TEST_F(MeterDataWiringTest, CopyPutsTheActiveTableOnTheClipboard) {
    Connect(QStringLiteral("ttyS0"));
    ShowPage(F().TabSheetNET);
    for (int i = 0; i < 3; ++i) {
        FeedPacket(7, 0x40, i);
    }
    timers_.Advance(1000);
    ShowPage(F().TabSheetPACKETS);
    EXPECT_TRUE(F().NMainEditToExcel->isEnabled());
    F().NMainEditToExcel->trigger();
    const QString text = QGuiApplication::clipboard()->text();
    ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = text.chopped(2).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4);
    for (const QString& line : lines) {
        EXPECT_EQ(line.count(QLatin1Char('\t')), 6) << line.toStdString();
    }
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Сч.#\tПакет\t")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("7\t")));

    // The system page comes before the tables, so the item is enabled there, but it has no table:
    // the clipboard is cleared and stays empty. Past the tables the item is disabled.
    ShowPage(F().TabSheetSystem);
    EXPECT_TRUE(F().NMainEditToExcel->isEnabled());
    F().NMainEditToExcel->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    ShowPage(F().TabSheetLineState);
    EXPECT_FALSE(F().NMainEditToExcel->isEnabled());
}

TEST_F(MeterDataWiringTest, SortRemovesDuplicatesAndOrdersByType) {
    Connect(QStringLiteral("ttyS0"));
    ShowPage(F().TabSheetNET);
    const QDateTime fixed = clock_.now;
    for (std::uint8_t type : {0x40, 0x01, 0x40}) {
        clock_.now = fixed;  // the same time stamp: the two 0x40 packets are duplicates
        FeedPacket(3, type, type);
    }
    ASSERT_EQ(WordsOf(Packets(), 3).size(), 3u);
    F().NMainEditSort->trigger();
    EXPECT_EQ(WordsOf(Packets(), 3), (std::vector<int>{0x01, 0x40}));
}

TEST_F(MeterDataWiringTest, RefreshShowsTheWorkstationClockUnlessAConcentratorTimeIsShown) {
    const QLocale locale = QLocale::system();
    const struct {
        QDate date;
        const char* weekday;
    } days[] = {{QDate(2026, 12, 7), "Понедельник"},
                {QDate(2026, 12, 9), "Среда"},
                {QDate(2026, 12, 13), "Воскресенье"}};
    for (const auto& day : days) {
        clock_.now = QDateTime(day.date, QTime(23, 4, 5));
        timers_.Advance(1000);
        EXPECT_EQ(F().LabelWD->text(), QString::fromUtf8(day.weekday));
        EXPECT_EQ(F().EditDate->text(), locale.toString(day.date, QLocale::ShortFormat));
        EXPECT_TRUE(F().EditTime->text().contains(QStringLiteral("23")));
        EXPECT_TRUE(F().EditTime->text().contains(QStringLiteral("05")));
    }
    window_->Highlight(F().EditDate);
    F().EditDate->setText(QStringLiteral("01.02.2003"));
    clock_.now = clock_.now.addDays(1);
    timers_.Advance(1000);
    EXPECT_EQ(F().EditDate->text(), QStringLiteral("01.02.2003")) << "the concentrator's date stays";
    EXPECT_EQ(F().LabelWD->text(), QStringLiteral("Воскресенье"));
}

}  // namespace
}  // namespace lumvaris::testing
