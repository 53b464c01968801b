#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestDoubles.h"
#include "app/ProtectedPage.h"
#include "app/Revision.h"
#include "app/TFormMain.h"
#include "app/TVersionInfo.h"
#include "commands/CommandSender.h"
#include "link/Frame.h"
#include "support/FakeSerialPort.h"
#include "ui/DropDownComboBox.h"
#include "ui/WidgetColours.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {
namespace {

using app::TFormMain;

const QString kNotOpen = QStringLiteral(" ВНИМАНИЕ! Коммуникационный порт не открыт!");
const QString kOpen = QStringLiteral(" Коммуникационный порт открыт.");
const QString kOpenError = QStringLiteral("ВНИМАНИЕ! При открытии порта произошла ошибка!");
const QString kReconnected = kOpen + QStringLiteral(" Связь восстановлена.");
const QString kGivenUp = QStringLiteral(" ВНИМАНИЕ! Порт не открыт: адаптер не вернулся.");
QString Waiting(int seconds) {
    return QStringLiteral(" ВНИМАНИЕ! Порт потерян, ожидание адаптера: %1 с").arg(seconds);
}

// A USB serial adapter as the port list shows it.
link::PortInfo Adapter(const std::string& name, const std::string& serial) {
    link::PortInfo port;
    port.name = name;
    port.description = "FT232R USB UART";
    port.manufacturer = "FTDI";
    port.serialNumber = serial;
    port.vendorId = 0x0403;
    port.productId = 0x6001;
    port.systemLocation = "/dev/" + name;
    return port;
}

// A port whose modem-control lines fail for real (not merely "not supported").
class BrokenLinesPort : public FakeSerialPort {
  public:
    void RaiseDtr() override { throw link::SerialPortError("DTR failed"); }
};

class TFormMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Create(port_);
    }

    void Create(link::ISerialPort& port) {
        window_.reset();
        const app::TVersionInfo version(QCoreApplication::applicationFilePath());
        const app::RevisionValues revision =
            app::MakeRevisionValues(QCoreApplication::applicationFilePath(), version);
        app::MainWindowPlatform platform{
            port,
            pause_,
            keys_,
            messages_,
            timers_,
            dir_.path() + QStringLiteral("/"),
            revision.versionCaption,
            [this](const QString& path) { documents_ << path; },
            [this](const QString& path) {
                keyFiles_ << path;
                return QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")};
            }};
        window_ = std::make_unique<TFormMain>(platform);
        window_->Connection().SetDatabase(&database_);
        window_->show();
    }

    Ui::TFormMain& F() { return window_->Form(); }

    void TypePortAndPressEnter(const QString& name) {
        F().ComboBoxPortName->setEditText(name);
        QTest::keyClick(F().ComboBoxPortName->lineEdit(), Qt::Key_Return);
    }

    bool TabShown(QWidget* page) { return window_->TabVisible(page); }
    QStringList Tabs() {
        QStringList titles;
        for (int i = 0; i < F().PageControl->count(); ++i) {
            titles << F().PageControl->tabText(i);
        }
        return titles;
    }
    QString Panel(int i) { return window_->StatusPanel(i)->text(); }
    // As the Qt port does when the device vanishes: closed first, then reported once.
    void PullAdapter() {
        port_.Close();
        port_.Vanish("No such device");
        QApplication::processEvents();
        port_.failWrite = false;
    }
    bool Maroon(QWidget* w) { return ui::FontColour(w) == ui::kHighlightColour; }

    link::FrameBuffer Frame(std::uint16_t source, std::uint8_t length, std::uint8_t type) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, source, link::kWorkstationAddress, length, type);
        link::CompleteFrame(frame);
        return frame;
    }
    void Feed(const link::FrameBuffer& frame) {
        port_.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + link::FrameLength(frame)));
    }

    QTemporaryDir dir_;
    FakeSerialPort port_;
    FakePause pause_;
    FakeModifierKeys keys_;
    FakeMessageBox messages_;
    FakeTimerFactory timers_;
    FakeDatabase database_;
    QStringList documents_;
    QStringList keyFiles_;
    std::unique_ptr<TFormMain> window_;
};

TEST_F(TFormMainTest, StartsWithoutConnection) {
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [] - Сч.#0"));
    EXPECT_EQ(window_->size(), QSize(603, 644));
    EXPECT_EQ(window_->minimumSize(), QSize(603, 644));
    EXPECT_FALSE(F().PageControl->isVisible());
    EXPECT_FALSE(F().Panel7->isVisible());
    EXPECT_FALSE(F().PanelGauge->isVisible());
    EXPECT_FALSE(TabShown(F().TabSheetSystem));
    EXPECT_FALSE(TabShown(F().TabSheetService));
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetNET);
    EXPECT_EQ(Panel(0), QStringLiteral(" Байт принято = 0"));
    EXPECT_EQ(Panel(1), kNotOpen);
    EXPECT_EQ(Panel(2), QStringLiteral(" "));
    EXPECT_EQ(F().ComboBoxPortName->currentText(), QStringLiteral("COM"));
    EXPECT_EQ(F().ComboBoxPortName->lineEdit()->cursorPosition(), 3);
    // Typed text replaces the selected "COM" instead of following it.
    EXPECT_EQ(F().ComboBoxPortName->lineEdit()->selectedText(), QStringLiteral("COM"));
    F().ComboBoxPortName->setFocus();
    QTest::keyClicks(F().ComboBoxPortName->lineEdit(), QStringLiteral("/tmp/sim"));
    EXPECT_EQ(F().ComboBoxPortName->currentText(), QStringLiteral("/tmp/sim"));
    EXPECT_EQ(F().ComboBoxBaudRate->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(F().EditAddress->text(), QStringLiteral("2FFF"));
    EXPECT_FALSE(F().NMainEditEraseAll->isEnabled());
    EXPECT_FALSE(F().NMainOptionsOptions->isEnabled());
    EXPECT_EQ(window_->PortTimeoutSeconds(), 2);
    EXPECT_TRUE(port_.openedNames.empty());
    EXPECT_TRUE(database_.log.isEmpty());

    // Creation fills the date of the test page, the line-state grid and the key list.
    EXPECT_EQ(F().SpinEditYear->value(), QDate::currentDate().year());
    EXPECT_EQ(F().ComboBoxMonth->currentIndex(), QDate::currentDate().month() - 1);
    EXPECT_EQ(F().StringGridLineState->item(0, 0)->text(), QStringLiteral("20 kHz"));
    EXPECT_EQ(F().StringGridLineState->item(15, 0)->text(), QStringLiteral("95 kHz"));
    EXPECT_EQ(F().StringGridLineState->item(16, 0)->text(), QStringLiteral("Corr."));
    const QAbstractItemModel* net = F().StringGridNET->model();
    ASSERT_EQ(net->columnCount(), 8);
    EXPECT_EQ(net->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Сч.#"));
    EXPECT_EQ(net->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Прошло"));
    EXPECT_EQ(net->rowCount(), 1);
    EXPECT_EQ(F().StringGridPACKETS->model()->columnCount(), 7);
    EXPECT_EQ(F().StringGridDAYS->columnWidth(1), 96);
    EXPECT_EQ(keyFiles_, QStringList{dir_.path() + QStringLiteral("/Keys.ini")});
    EXPECT_EQ(F().ComboBoxKey->count(), 2);
    EXPECT_EQ(F().ComboBoxKey->currentIndex(), -1);
    EXPECT_TRUE(F().ComboBoxKey->currentText().isEmpty());
    EXPECT_FALSE(F().PanelKey->isVisible());

    EXPECT_TRUE(timers_.Find("TimerRX")->IsActive());
    EXPECT_TRUE(timers_.Find("TimerAlt")->IsActive());
    EXPECT_FALSE(timers_.Find("TimerGauge")->IsActive());
    EXPECT_FALSE(timers_.Find("TimerResetColor")->IsActive());
}

TEST_F(TFormMainTest, FailedOpenShowsTheMessageAndLeavesNoConnection) {
    port_.failOpen = true;
    TypePortAndPressEnter(QStringLiteral("ttyS7"));

    // The port's own reason follows on a second line.
    EXPECT_EQ(messages_.errors, QStringList{kOpenError + QStringLiteral("\nno such port: ttyS7")});
    EXPECT_EQ(F().ComboBoxPortName->currentText(), QStringLiteral("COM"));
    EXPECT_FALSE(F().PageControl->isVisible());
    EXPECT_FALSE(F().Panel7->isVisible());
    EXPECT_FALSE(F().PanelGauge->isVisible());
    EXPECT_FALSE(TabShown(F().TabSheetSystem));
    EXPECT_FALSE(F().NMainEditEraseAll->isEnabled());
    EXPECT_EQ(Panel(1), kNotOpen);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [] - Сч.#0"));
    // Nothing was open here: nothing is saved or released, and no database opens for a failed port.
    EXPECT_EQ(database_.log, QStringList{}) << "no database opens for a failed port";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TFormMainTest, ModemLinesThatFailForRealCloseThePortAgain) {
    BrokenLinesPort broken;
    Create(broken);
    TypePortAndPressEnter(QStringLiteral("ttyUSB0"));

    EXPECT_EQ(messages_.errors, QStringList{kOpenError + QStringLiteral("\nDTR failed")});
    EXPECT_EQ(broken.openedNames, std::vector<std::string>{"ttyUSB0"});
    EXPECT_FALSE(broken.IsOpen());
    EXPECT_FALSE(F().PageControl->isVisible());
    window_.reset();  // before the port it uses
}

TEST_F(TFormMainTest, OpensByEnterAndClosesWithTheWindow) {
    port_.modemLinesSupported = false;  // a pseudo-terminal: no RTS or DTR, still a good port
    TypePortAndPressEnter(QStringLiteral("/dev/pts/7"));

    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_EQ(port_.openedNames, std::vector<std::string>{"/dev/pts/7"});
    EXPECT_EQ(port_.Settings().baudRate, 38400);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [/dev/pts/7] - Сч.#0"));
    EXPECT_TRUE(F().PageControl->isVisible());
    EXPECT_TRUE(F().Panel7->isVisible());
    EXPECT_TRUE(F().PanelGauge->isVisible());
    EXPECT_TRUE(TabShown(F().TabSheetSystem));
    EXPECT_FALSE(TabShown(F().TabSheetService));
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetSystem);
    EXPECT_TRUE(F().NMainEditEraseAll->isEnabled());
    EXPECT_TRUE(F().NMainOptionsOptions->isEnabled());
    EXPECT_EQ(Panel(1), kOpen);
    // Enter closes first (nothing was open: nothing saved or released), pausing as every close
    // does, then opens.
    EXPECT_EQ(database_.log, (QStringList{"open /dev/pts/7"}));
    EXPECT_EQ(pause_.pauses, std::vector<int>{session::Connection::kClosePauseMs});

    window_->close();
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(database_.log, (QStringList{"open /dev/pts/7", "save", "release"}));
    EXPECT_EQ(Panel(1), kNotOpen);
}

TEST_F(TFormMainTest, RateChangeReopensAtTheChosenRate) {
    TypePortAndPressEnter(QStringLiteral("ttyS0"));
    ASSERT_EQ(port_.Settings().baudRate, 38400);

    const struct {
        int item;
        int rate;
    } cases[] = {{2, 9600}, {1, 19200}, {0, 38400}};
    std::size_t opens = 1;
    for (const auto& c : cases) {
        F().ComboBoxBaudRate->setCurrentIndex(c.item);
        emit F().ComboBoxBaudRate->activated(c.item);
        ++opens;
        EXPECT_EQ(port_.openedNames.size(), opens);
        EXPECT_EQ(port_.openedNames.back(), "ttyS0");
        EXPECT_EQ(port_.Settings().baudRate, c.rate) << "item " << c.item;
        EXPECT_TRUE(port_.IsOpen());
        // The stores are written before the rate change closes them.
        EXPECT_EQ(database_.log.mid(database_.log.size() - 3),
                  (QStringList{"save", "release", "open ttyS0"}));
    }
    EXPECT_EQ(pause_.pauses.size(), opens);
}

TEST_F(TFormMainTest, PortListDropsDownInComOrderAndAnItemOpensOnSelection) {
    port_.ports = {"ttyS0", "COM10", "COM2", "ttyUSB0", "COM1"};
    F().ComboBoxPortName->setEditText(QStringLiteral("typed"));
    F().ComboBoxPortName->showPopup();
    F().ComboBoxPortName->hidePopup();

    QStringList items;
    for (int i = 0; i < F().ComboBoxPortName->count(); ++i) {
        items << F().ComboBoxPortName->itemText(i);
    }
    EXPECT_EQ(items, (QStringList{"COM1", "COM2", "COM10", "ttyUSB0", "ttyS0"}));
    EXPECT_EQ(F().ComboBoxPortName->currentText(), QStringLiteral("typed"));
    EXPECT_TRUE(port_.openedNames.empty());

    F().ComboBoxPortName->setCurrentIndex(2);
    emit F().ComboBoxPortName->activated(2);
    EXPECT_EQ(port_.openedNames, std::vector<std::string>{"COM10"});
}

TEST_F(TFormMainTest, TheListSaysWhatEachPortIsAndOnlyTheNameReachesTheField) {
    link::PortInfo builtIn;
    builtIn.name = "ttyS0";
    builtIn.systemLocation = "/dev/ttyS0";
    link::PortInfo stable = Adapter("ttyUSB0", "A50285BI");
    stable.name = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    link::PortInfo simulator;
    simulator.name = "/tmp/lumvaris-sim";
    simulator.description = "Симулятор концентратора (lumvaris-sim)";
    simulator.systemLocation = "/dev/pts/3";
    port_.portInfos = {builtIn, Adapter("ttyUSB0", "A50285BI"), Adapter("COM4", ""), stable, simulator};

    QComboBox* field = F().ComboBoxPortName;
    field->showPopup();
    const struct {
        QString name;
        QString description;
    } expected[] = {
        {"COM4", "FT232R USB UART, FTDI"},
        {"ttyUSB0", "FT232R USB UART, FTDI"},
        {"ttyS0", ""},
        {QString::fromStdString(stable.name), "FT232R USB UART, FTDI → /dev/ttyUSB0"},
        {"/tmp/lumvaris-sim", "Симулятор концентратора (lumvaris-sim) → /dev/pts/3"},
    };
    ASSERT_EQ(field->count(), static_cast<int>(std::size(expected)));
    int widest = 0;
    for (int i = 0; i < field->count(); ++i) {
        EXPECT_EQ(field->itemText(i), expected[i].name);
        EXPECT_EQ(field->itemData(i, ui::DropDownComboBox::kDescriptionRole).toString(),
                  expected[i].description);
        widest = std::max(widest, field->view()->fontMetrics().horizontalAdvance(
                                      expected[i].name + QStringLiteral("   ") + expected[i].description));
    }
    QAbstractItemView* list = field->view();
    EXPECT_GT(list->width(), widest) << "the descriptions are not cut off";

    // A click on the simulator's entry: its link path alone goes into the field and is opened.
    const QModelIndex entry = list->model()->index(4, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
    EXPECT_EQ(field->currentText(), QStringLiteral("/tmp/lumvaris-sim"));
    EXPECT_EQ(port_.openedNames, std::vector<std::string>{"/tmp/lumvaris-sim"});
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(TFormMainTest, APulledAdapterThatComesBackIsReopenedAtItsRateWithItsDatabase) {
    port_.portInfos = {Adapter("ttyUSB0", "A5")};
    F().ComboBoxBaudRate->setCurrentIndex(2);
    TypePortAndPressEnter(QStringLiteral("ttyUSB0"));
    ASSERT_EQ(port_.Settings().baudRate, 9600);
    database_.log.clear();

    // The window's timers run while the loss is on screen. The adapter is away for three seconds,
    // then listed under another name (same serial number) but not ready at the first try.
    QStringList states;
    messages_.whileShown = [&](const QString&) {
        states << Panel(1);
        port_.portInfos.clear();
        timers_.Advance(3000);
        states << Panel(1);
        port_.portInfos = {Adapter("ttyUSB2", "B7"), Adapter("ttyUSB1", "A5")};
        port_.failOpen = true;
        timers_.Advance(1000);
        states << Panel(1);
        port_.failOpen = false;
        timers_.Advance(1000);
        states << Panel(1);
    };
    PullAdapter();

    ASSERT_EQ(messages_.errors.size(), 1) << "the loss alone is reported, not the failed try";
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("потеряна")));
    EXPECT_EQ(states, (QStringList{Waiting(60), Waiting(57), Waiting(56), kReconnected}));
    // Saved before the port was released, opened again with it.
    EXPECT_EQ(database_.log, (QStringList{"save", "release", "open ttyUSB1"}));
    EXPECT_EQ(port_.openedNames, (std::vector<std::string>{"ttyUSB0", "ttyUSB1"}));
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.Settings().baudRate, 9600);
    EXPECT_EQ(F().ComboBoxPortName->currentText(), QStringLiteral("ttyUSB1"));
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Lumvaris Rev.1.0 [ttyUSB1] - Сч.#0"));
    EXPECT_TRUE(F().PageControl->isVisible());
    EXPECT_FALSE(timers_.Find("TimerPortWatch")->IsActive());
    EXPECT_EQ(Panel(1), kReconnected);
}

TEST_F(TFormMainTest, APulledAdapterThatStaysAwayIsGivenUpAfterSixtySeconds) {
    port_.portInfos = {Adapter("ttyUSB0", "A5")};
    TypePortAndPressEnter(QStringLiteral("ttyUSB0"));
    // Another adapter of the same kind in the same socket is not the one that was pulled.
    port_.portInfos = {Adapter("ttyUSB0", "B7")};
    PullAdapter();
    ASSERT_EQ(messages_.errors.size(), 1);

    timers_.Advance(59000);
    EXPECT_EQ(Panel(1), Waiting(1));
    timers_.Advance(2000);
    EXPECT_EQ(Panel(1), kGivenUp);
    EXPECT_FALSE(timers_.Find("TimerPortWatch")->IsActive());
    port_.portInfos = {Adapter("ttyUSB0", "A5")};
    timers_.Advance(5000);
    EXPECT_EQ(port_.openedNames, std::vector<std::string>{"ttyUSB0"}) << "too late";
    EXPECT_EQ(messages_.errors.size(), 1);
}

TEST_F(TFormMainTest, TheEngineersOwnChoiceEndsTheWaitForAPulledAdapter) {
    const struct {
        const char* choice;
        std::function<void()> make;
        std::string opened;
    } cases[] = {
        {"another port", [&] { TypePortAndPressEnter(QStringLiteral("ttyS0")); }, "ttyS0"},
        {"another rate",
         [&] {
             F().ComboBoxBaudRate->setCurrentIndex(1);
             emit F().ComboBoxBaudRate->activated(1);
         },
         "ttyUSB0"},
        // Even when the chosen port does not open, the engineer has taken over.
        {"a port that does not open",
         [&] {
             port_.failOpen = true;
             TypePortAndPressEnter(QStringLiteral("ttyS9"));
             port_.failOpen = false;
         },
         ""},
    };
    for (const auto& c : cases) {
        port_.openedNames.clear();
        port_.portInfos = {Adapter("ttyUSB0", "A5")};
        TypePortAndPressEnter(QStringLiteral("ttyUSB0"));
        port_.portInfos.clear();
        PullAdapter();
        timers_.Advance(2000);
        ASSERT_EQ(Panel(1), Waiting(58)) << c.choice;

        c.make();
        const std::vector<std::string> opened = port_.openedNames;
        if (!c.opened.empty()) {
            EXPECT_EQ(opened.back(), c.opened) << c.choice;
            EXPECT_EQ(Panel(1), kOpen) << c.choice;
        } else {
            EXPECT_EQ(Panel(1), kNotOpen) << c.choice;
        }
        port_.Close();
        port_.portInfos = {Adapter("ttyUSB0", "A5")};
        timers_.Advance(5000);
        EXPECT_EQ(port_.openedNames, opened) << c.choice << ": the adapter is no longer awaited";
        EXPECT_FALSE(timers_.Find("TimerPortWatch")->IsActive()) << c.choice;
    }
}

TEST_F(TFormMainTest, UartIdIsTheLow16BitsOfTheHexFieldParse) {
    const struct {
        const char* text;
        std::uint16_t id;
    } cases[] = {{"2fff", 0x2FFF}, {"2FFF", 0x2FFF}, {"02FFF", 0x2FFF}, {"12FFF", 0x2FFF},
                 {"", 0},          {"2g", 0x20},     {"x", 0},          {"FFFFFFFFFF2001", 0x2001}};
    for (const auto& c : cases) {
        F().EditAddress->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(window_->Connection().UartId(), c.id) << "\"" << c.text << "\"";
    }
}

TEST_F(TFormMainTest, ModeTickRelabelsTheButtonsByModifier) {
    auto captions = [this] {
        return QStringList{F().ButtonAddress->text(),
                           F().ButtonConfig->text(),
                           F().ButtonLP->text(),
                           F().ButtonLM->text(),
                           F().ButtonRTC->text(),
                           F().ButtonVersion->text(),
                           F().ButtonSetLongCommand->text()};
    };
    // The captions of no key stand from the start, before the first tick 100 ms after it.
    const QStringList none{"Прочитать", "Прочитать", "Прочитать", "Прочитать",
                           "Прочитать", "Прочитать", "Выполнить"};
    EXPECT_EQ(captions(), none);
    timers_.Advance(100);
    EXPECT_EQ(captions(), none);

    const struct {
        Qt::KeyboardModifiers held;
        QStringList expected;
    } steps[] = {
        {Qt::AltModifier,
         {"Прочитать", "Отладка", "Прочитать", "Очистить ", "Прочитать", "Загрузить новую (устар.)",
          "Выполнить"}},
        {Qt::NoModifier, none},
        {Qt::ControlModifier,
         {"Записать", "Записать", "Очистить всё", "Очистить всё", "Записать", "Загрузить новую",
          "в Clipboard"}},
        // Shift on top of Ctrl relabels only its own two buttons: the others keep the Ctrl captions.
        {Qt::ControlModifier | Qt::ShiftModifier,
         {"Записать", "Записать", "Прочитать всё", "Прочитать всё", "Записать", "Загрузить новую",
          "в Clipboard"}},
        // Ctrl wins over Alt.
        {Qt::ControlModifier | Qt::AltModifier,
         {"Записать", "Записать", "Очистить всё", "Очистить всё", "Записать", "Загрузить новую",
          "в Clipboard"}},
        {Qt::NoModifier, none},
        {Qt::ShiftModifier,
         {"Прочитать", "Прочитать", "Прочитать всё", "Прочитать всё", "Прочитать", "Прочитать", "Выполнить"}},
    };
    for (const auto& step : steps) {
        keys_.held = step.held;
        timers_.Advance(100);
        EXPECT_EQ(captions(), step.expected) << "modifiers " << step.held.toInt();
    }
}

TEST_F(TFormMainTest, HighlightsLastUntilTwoSecondsAfterTheRequestOrTheirOwnStart) {
    TypePortAndPressEnter(QStringLiteral("ttyS0"));
    const link::FrameBuffer request = Frame(link::kWorkstationAddress, 1, 0x81);
    const struct {
        int highlightAt;      // ms after the request
        int secondRequestAt;  // -1: none
        int normalAt;         // when the colour returns
    } cases[] = {
        {300, -1, 2000},    // a prompt reply keeps its colour until 2 s after the request
        {2500, -1, 4500},   // a late reply finds the timer stopped and gets its own 2 s
        {300, 1000, 3000},  // a new request restarts the reset: 2 s after that request
    };
    for (const auto& c : cases) {
        timers_.Advance(5000);  // earlier waits and highlights are over
        const long long start = timers_.Now();
        window_->Connection().Requester().SendRequest(request, 0x81, 100);
        timers_.Advance(c.highlightAt);
        window_->Highlight(F().EditDate);
        window_->Highlight(F().RadioGroupRET);
        if (c.secondRequestAt >= 0) {
            timers_.Advance(static_cast<int>(start + c.secondRequestAt - timers_.Now()));
            window_->Connection().Requester().SendRequest(request, 0x81, 100);
        }
        timers_.Advance(static_cast<int>(start + c.normalAt - 1 - timers_.Now()));
        EXPECT_TRUE(Maroon(F().EditDate)) << "highlight at " << c.highlightAt;
        EXPECT_TRUE(Maroon(F().RadioGroupRETItem0)) << "the items of a radio group follow it";
        timers_.Advance(1);
        EXPECT_FALSE(Maroon(F().EditDate)) << "highlight at " << c.highlightAt;
        EXPECT_FALSE(Maroon(F().RadioGroupRETItem0));
        EXPECT_FALSE(timers_.Find("TimerResetColor")->IsActive());
    }
}

TEST_F(TFormMainTest, ReplyWaitPaintsTheGaugeAndLocksTheConnectionInputs) {
    TypePortAndPressEnter(QStringLiteral("ttyS0"));
    F().NMainOptionsTimeout4->trigger();
    EXPECT_TRUE(F().NMainOptionsTimeout4->isChecked());
    EXPECT_FALSE(F().NMainOptionsTimeout2->isChecked());
    QApplication::processEvents();

    // The colours at a quarter and at three quarters of the bar.
    auto pixels = [this] {
        const QImage image = F().GaugeTimeout->grab().toImage();
        const int y = image.height() / 2;
        return std::make_pair(image.pixelColor(image.width() / 4, y),
                              image.pixelColor(image.width() * 3 / 4, y));
    };
    const QColor yellow(255, 255, 0);
    const QColor black(0, 0, 0);
    const QColor maroon(128, 0, 0);
    window_->Connection().Requester().SendRequest(Frame(link::kWorkstationAddress, 1, 0x81), 0x81, 100);
    EXPECT_EQ(F().GaugeTimeout->maximum(), 40);
    EXPECT_FALSE(F().ComboBoxPortName->isEnabled());
    EXPECT_FALSE(F().ComboBoxBaudRate->isEnabled());
    EXPECT_FALSE(F().EditAddress->isEnabled());
    EXPECT_EQ(pixels(), std::make_pair(yellow, yellow)) << "an empty bar on yellow";

    timers_.Advance(2000);
    EXPECT_EQ(F().GaugeTimeout->value(), 20);
    EXPECT_EQ(pixels(), std::make_pair(black, yellow)) << "half way";

    timers_.Advance(1999);
    EXPECT_TRUE(F().GaugeTimeout->isEnabled());
    EXPECT_FALSE(F().EditAddress->isEnabled()) << "still waiting one tick before the timeout";
    timers_.Advance(1);
    EXPECT_EQ(Panel(2), QStringLiteral(" Ошибка!"));
    EXPECT_EQ(pixels(), std::make_pair(maroon, maroon));
    EXPECT_TRUE(F().ComboBoxPortName->isEnabled());
    EXPECT_TRUE(F().EditAddress->isEnabled());
    EXPECT_FALSE(timers_.Find("TimerGauge")->IsActive());
}

TEST_F(TFormMainTest, FramesReachTheReplyHandlerAndTheIntakeAndTheCounterResetsOnDoubleClick) {
    TypePortAndPressEnter(QStringLiteral("ttyS0"));
    window_->Connection().Sender().Send(commands::request::Plain(commands::RequestType::AddressRead));

    link::FrameBuffer address = Frame(0x2FFF, 3, 0x86);
    link::Payload(address)[1] = 0x01;
    link::Payload(address)[2] = 0x20;
    link::CompleteFrame(address);
    Feed(address);                 // 12 bytes
    Feed(Frame(0x1005, 6, 0x40));  // 15 bytes
    EXPECT_EQ(F().EditAddress->text(), QStringLiteral("2FFF")) << "frames wait for the assembler tick";
    timers_.Advance(100);
    EXPECT_EQ(F().EditAddress->text(), QStringLiteral("2001"));
    EXPECT_TRUE(Maroon(F().EditAddress));
    EXPECT_EQ(Panel(2), QStringLiteral(" OK"));
    EXPECT_EQ(database_.meterSources, std::vector<std::uint16_t>{0x1005});
    EXPECT_EQ(Panel(0), QStringLiteral(" Байт принято = 27"));

    QTest::mouseDClick(window_->StatusPanel(1), Qt::LeftButton);
    EXPECT_EQ(Panel(0), QStringLiteral(" Байт принято = 0"));
}

// Every connection counts its own bytes: whichever way the port is opened again, the counter starts
// from 0 and then counts only what the new connection receives.
TEST_F(TFormMainTest, TheByteCounterStartsFromZeroOnEveryNewConnection) {
    const struct {
        const char* name;
        std::function<void()> reopen;
    } cases[] = {
        {"Enter on the same port", [this] { TypePortAndPressEnter(QStringLiteral("ttyS0")); }},
        {"Enter on another port", [this] { TypePortAndPressEnter(QStringLiteral("ttyS1")); }},
        {"rate change",
         [this] {
             F().ComboBoxBaudRate->setCurrentIndex(1);
             emit F().ComboBoxBaudRate->activated(1);
         }},
        {"port list item",
         [this] {
             port_.ports = {"ttyS0"};
             F().ComboBoxPortName->showPopup();
             F().ComboBoxPortName->hidePopup();
             F().ComboBoxPortName->setCurrentIndex(0);
             emit F().ComboBoxPortName->activated(0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypePortAndPressEnter(QStringLiteral("ttyS0"));
        ASSERT_TRUE(port_.IsOpen());
        QTest::mouseDClick(window_->StatusPanel(1), Qt::LeftButton);  // each case on its own
        Feed(Frame(0x2FFF, 8, 0x81));                                 // 17 bytes
        timers_.Advance(100);
        ASSERT_EQ(Panel(0).toStdString(), " Байт принято = 17");

        const std::size_t opens = port_.openedNames.size();
        c.reopen();
        ASSERT_EQ(port_.openedNames.size(), opens + 1);
        ASSERT_TRUE(port_.IsOpen());
        EXPECT_EQ(Panel(0).toStdString(), " Байт принято = 0");

        Feed(Frame(0x1005, 6, 0x40));  // 15 bytes
        timers_.Advance(100);
        EXPECT_EQ(Panel(0).toStdString(), " Байт принято = 15");
    }
}

TEST_F(TFormMainTest, ServicePageTogglesWithCtrlClickOnPanel9WhileConnected) {
    auto ctrlClick = [this](bool ctrl) {
        keys_.held = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        QTest::mouseClick(F().Panel9, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    };
    ctrlClick(true);
    EXPECT_FALSE(TabShown(F().TabSheetService)) << "no connection: nothing happens";

    TypePortAndPressEnter(QStringLiteral("ttyS0"));
    ctrlClick(false);
    EXPECT_FALSE(TabShown(F().TabSheetService)) << "a click without Ctrl does nothing";

    ctrlClick(true);
    EXPECT_TRUE(TabShown(F().TabSheetService));
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetService);
    EXPECT_EQ(Tabs(), (QStringList{"Концентратор", "Ёмкость сети 0 счётчиков", "Последние 0 пакетов",
                                   "Последние 0 дней", "Состояние сети", "'Защищённые' команды",
                                   "Состояние линии", "Сервис"}));

    ctrlClick(true);
    EXPECT_FALSE(TabShown(F().TabSheetService));
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetNET);

    // A failed open hides it again.
    ctrlClick(true);
    port_.failOpen = true;
    TypePortAndPressEnter(QStringLiteral("ttyS9"));
    EXPECT_FALSE(TabShown(F().TabSheetService));
}

TEST_F(TFormMainTest, HelpOpensTheHelpFileFromEveryEntryWhenItExists) {
    const QString help = dir_.path() + QStringLiteral("/Lumvaris.chm");
    const std::function<void()> entries[] = {
        [this] { QTest::keyClick(F().ComboBoxPortName->lineEdit(), Qt::Key_F1); },
        [this] { F().SpeedButtonHelp->click(); },
        [this] { F().NMainHelpGetHelp->trigger(); },
    };
    for (const auto& entry : entries) {
        entry();
    }
    EXPECT_TRUE(documents_.isEmpty()) << "a missing help file is not reported and not opened";

    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const auto& entry : entries) {
        entry();
    }
    EXPECT_EQ(documents_, (QStringList{help, help, help}));
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(TFormMainTest, WithoutTheHelpFileHelpOpensTheManualBesideTheProgramOrWhereThePackagePutsIt) {
    const QDir root(dir_.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("share/doc/lumvaris/manual")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin/manual")));
    const QString installed = dir_.filePath(QStringLiteral("share/doc/lumvaris/manual/index.html"));
    const QString beside = dir_.filePath(QStringLiteral("bin/manual/index.html"));
    const QString chm = dir_.filePath(QStringLiteral("bin/Lumvaris.chm"));
    const app::TVersionInfo version(QCoreApplication::applicationFilePath());
    app::MainWindowPlatform platform{port_,     pause_,
                                     keys_,     messages_,
                                     timers_,   dir_.path() + QStringLiteral("/data/"),
                                     QString(), [this](const QString& path) { documents_ << path; },
                                     {}};
    window_ = std::make_unique<TFormMain>(platform);
    window_->SetHelpDirectory(dir_.path() + QStringLiteral("/bin/"));
    const struct {
        QString create;
        QString opened;
    } steps[] = {{QString(), QString()}, {installed, installed}, {beside, beside}, {chm, chm}};
    for (const auto& step : steps) {
        if (!step.create.isEmpty()) {
            QFile f(step.create);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        documents_.clear();
        window_->NMainHelpGetHelpClick();
        EXPECT_EQ(documents_, step.opened.isEmpty() ? QStringList() : QStringList{step.opened});
    }
}

TEST_F(TFormMainTest, ADatabaseFailureIsReportedAndThePortStaysOpen) {
    database_.openError = "PACKETS.bin: нет доступа";
    TypePortAndPressEnter(QStringLiteral("ttyS0"));

    EXPECT_EQ(messages_.errors, QStringList{QStringLiteral("PACKETS.bin: нет доступа")});
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_TRUE(F().Panel7->isVisible()) << "the window is set up before the report";
    EXPECT_EQ(F().PageControl->currentWidget(), F().TabSheetSystem);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass does not stay";
}

TEST_F(TFormMainTest, AVanishedPortIsReportedAndTheWindowStaysUsable) {
    TypePortAndPressEnter(QStringLiteral("ttyUSB0"));
    port_.Close();  // the Qt port closes itself before it reports
    port_.Vanish("No such device");
    EXPECT_TRUE(messages_.errors.isEmpty()) << "reported after the port's own signal is over";
    QApplication::processEvents();

    ASSERT_EQ(messages_.errors.size(), 1);
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("потеряна")));
    EXPECT_TRUE(messages_.errors[0].contains(QStringLiteral("No such device")));
    EXPECT_EQ(Panel(1), kNotOpen);

    port_.failWrite = false;
    TypePortAndPressEnter(QStringLiteral("ttyUSB1"));
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(Panel(1), kOpen);
}

TEST_F(TFormMainTest, MeterSelectionAndTheLocalRulesOfThePages) {
    F().SpinEditBuffSlotNumber->setValue(7);
    EXPECT_EQ(F().SpinEditBuffSlotNumberMonth->value(), 7);
    F().SpinEditBuffSlotNumberMonth->setValue(9);
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 9);

    window_->SelectMeter(42);
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 42);
    EXPECT_EQ(F().SpinEditBuffSlotNumberMonth->value(), 42);
    EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral(" - Сч.#42")));
    window_->SelectMeter(0);
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 42) << "meter 0 leaves the fields alone";

    // The up arrow of the meter-number fields counts down.
    F().SpinEditBuffSlotNumber->stepUp();
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 41);

    F().CheckBoxBroadcast->setChecked(false);
    EXPECT_TRUE(F().SpinEditAddress->isEnabled());
    F().CheckBoxBroadcast->setChecked(true);
    EXPECT_FALSE(F().SpinEditAddress->isEnabled());

    F().CheckBoxUseCrypto->setChecked(true);
    EXPECT_TRUE(F().PanelKey->isVisibleTo(F().TabSheetSystem));

    F().EditPasswordOld->setText(QStringLiteral("old"));
    F().CheckBoxPasswordProtection->setChecked(true);
    EXPECT_TRUE(window_->Protected().AccessControlOn());
    EXPECT_FALSE(F().ButtonTimeSet->isEnabled());
    EXPECT_TRUE(F().EditPasswordOld->text().isEmpty());
    F().CheckBoxPasswordProtection->setChecked(false);
    EXPECT_TRUE(F().ButtonBDAYset->isEnabled());

    F().SpinEditYear->setValue(2030);
    F().ComboBoxMonth->setCurrentIndex(1);
    EXPECT_EQ(F().Calendar->selectedDate().year(), 2030);
    EXPECT_EQ(F().Calendar->selectedDate().month(), 2);
}

}  // namespace
}  // namespace lumvaris::testing
