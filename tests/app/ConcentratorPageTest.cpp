// The UART-ID panel and the "Концентратор" page: every button in every caption mode writes its
// frame, the address change asks first and refuses unreachable addresses, the replies fill the
// page, and the read of all buffers counts what came back.
#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QTimer>

#include "WindowFixture.h"
#include "app/ConcentratorPage.h"
#include "app/MeterDataBinding.h"
#include "commands/CommandSender.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"
#include "ui/RadioGroup.h"
#include "ui_FormAppOptions.h"
#include "ui_FormDebug.h"
#include "ui_FormNewAddress.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;

class ConcentratorPageTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
    }
    // Answers the address dialog once it shows: the new address, the forced box, OK or Cancel.
    void AnswerAddressDialog(const QString& newAddress, bool forced, bool ok) {
        QTimer::singleShot(0, [=, this] {
            Ui::TFormNewAddress& d = newAddress_.Form();
            dialogOld_ = d.EditOldAddress->text();
            d.EditNewAddress->setText(newAddress);
            d.CheckBoxForced->setChecked(forced);
            (ok ? d.ButtonOK : d.ButtonCancel)->click();
        });
    }
    QString dialogOld_;
};

TEST_F(ConcentratorPageTest, EachButtonWritesItsFrameInEachCaptionMode) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const struct {
        const char* what;
        QAbstractButton* button;
        Qt::KeyboardModifiers keys;
        std::function<void()> setUp;
        Frames frames;
    } cases[] = {
        {"config read", F().ButtonConfig, none, nullptr, {"to 2FFF: 80"}},
        {"config write",
         F().ButtonConfig,
         Qt::ControlModifier,
         [this] {
             ui::SetRadioGroupItemIndex(F().RadioGroupRET, 1);
             ui::SetRadioGroupItemIndex(F().RadioGroupPlcStop, 1);
             ui::SetRadioGroupItemIndex(F().RadioGroupPortMode, 1);
             F().CheckBoxSwitchTime->setChecked(true);
             F().SpinEditSetAMCount->setValue(256);
         },
         {"to 2FFF: 00 00 01 35"}},
        {"config write, SLAVE-SR, PLC stopped, 4096 meters",
         F().ButtonConfig,
         Qt::ControlModifier,
         [this] {
             ui::SetRadioGroupItemIndex(F().RadioGroupRET, 3);
             ui::SetRadioGroupItemIndex(F().RadioGroupPlcStop, 1);
             ui::SetRadioGroupItemIndex(F().RadioGroupPortMode, 0);
             F().CheckBoxSwitchTime->setChecked(false);
             F().SpinEditSetAMCount->setValue(4096);
         },
         {"to 2FFF: 00 00 10 2C"}},
        {"address read", F().ButtonAddress, none, nullptr, {"to 2FFF: 86"}},
        {"address read to the typed UART-ID",
         F().ButtonAddress,
         none,
         [this] { F().EditAddress->setText(QStringLiteral("12abc")); },
         {"to 2ABC: 86"}},
        {"packet buffer of one meter",
         F().ButtonLP,
         none,
         [this] {
             F().EditAddress->setText(QStringLiteral("2FFF"));
             F().SpinEditBuffSlotNumber->setValue(7);
         },
         {"to 2FFF: 82 07 00"}},
        {"packet buffer clear", F().ButtonLP, Qt::ControlModifier, nullptr, {"to 2FFF: 7B"}},
        {"month buffer of the mirrored meter", F().ButtonLM, none, nullptr, {"to 2FFF: 85 07 00"}},
        {"month buffer clear", F().ButtonLM, Qt::ControlModifier, nullptr, {"to 2FFF: 7D"}},
        {"month record clear of meter 300",
         F().ButtonLM,
         Qt::AltModifier,
         [this] { F().SpinEditBuffSlotNumberMonth->setValue(300); },
         {"to 2FFF: 78 2C 01"}},
        {"Alt leaves ButtonLP's caption: a plain read",
         F().ButtonLP,
         Qt::AltModifier,
         nullptr,
         {"to 2FFF: 82 2C 01"}},
        {"Shift leaves ButtonConfig's caption",
         F().ButtonConfig,
         Qt::ShiftModifier,
         nullptr,
         {"to 2FFF: 80"}},
        {"debug cancelled in its dialog sends nothing",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { QTimer::singleShot(0, [this] { debug_.Form().ButtonCancel->click(); }); },
         {}},
        {"clock of the subordinate nodes",
         F().ButtonForceTimeDate,
         Qt::ControlModifier,
         nullptr,
         {"to 2FFF: 07"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hold(Qt::NoModifier);  // each case starts from the plain captions
        if (c.setUp) {
            c.setUp();
        }
        Click(c.button, c.keys);
        EXPECT_EQ(Written(), c.frames);
    }
    EXPECT_TRUE(messages_.errors.isEmpty());
}

// A click before the first tick of the mode timer does what the keys held at the click say; the
// captions are right from the start.
TEST_F(ConcentratorPageTest, AClickBeforeTheFirstModeTickActsOnTheKeysHeld) {
    EXPECT_EQ(F().ButtonLM->text(), QStringLiteral("Прочитать"));
    port_.writes.clear();
    QTest::mouseClick(F().ButtonConfig, Qt::LeftButton);
    keys_.held = Qt::ControlModifier;
    QTest::mouseClick(F().ButtonLP, Qt::LeftButton);
    EXPECT_EQ(Written(), (Frames{"to 2FFF: 80", "to 2FFF: 7B"}));
    EXPECT_EQ(F().ButtonLP->text(), QStringLiteral("Очистить всё"));
}

TEST_F(ConcentratorPageTest, TheAddressChangeAsksFirstAndGoesWhereTheDialogSays) {
    const struct {
        const char* what;
        bool confirm;
        QString newAddress;
        bool forced;
        bool ok;
        Frames frames;
        int errors;
    } cases[] = {
        {"Cancel in the question", false, QStringLiteral("2001"), false, true, {}, 0},
        {"Cancel in the dialog", true, QStringLiteral("2001"), false, false, {}, 0},
        {"to the previous address", true, QStringLiteral("2001"), false, true, {"to 2ABC: 06 01 20"}, 0},
        {"forced: to 2FFF", true, QStringLiteral("2002"), true, true, {"to 2FFF: 06 02 20"}, 0},
        {"a meter's address is refused", true, QStringLiteral("1234"), false, true, {}, 1},
        {"the workstation's own address is refused", true, QStringLiteral("ffff"), true, true, {}, 1},
        {"the ranges are shown, not enforced",
         true,
         QStringLiteral("3001"),
         false,
         true,
         {"to 2ABC: 06 01 30"},
         0},
    };
    F().EditAddress->setText(QStringLiteral("2abc"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.answer = c.confirm;
        messages_.questions.clear();
        messages_.errors.clear();
        dialogOld_.clear();
        if (c.confirm) {
            AnswerAddressDialog(c.newAddress, c.forced, c.ok);
        }
        Click(F().ButtonAddress, Qt::ControlModifier);
        EXPECT_EQ(messages_.questions, QStringList{QStringLiteral("Установить новый адрес концентратора?")});
        EXPECT_EQ(dialogOld_, c.confirm ? QStringLiteral("2ABC") : QString())
            << "the dialog opens only after OK";
        EXPECT_EQ(Written(), c.frames);
        EXPECT_EQ(messages_.errors.size(), c.errors);
        EXPECT_EQ(F().EditAddress->text(), QStringLiteral("2abc")) << "the field waits for the concentrator";
    }
    // The reply of the concentrator moves the UART-ID.
    Reply("86 01 30", 0x2ABC);
    EXPECT_EQ(F().EditAddress->text(), QStringLiteral("3001"));
    EXPECT_TRUE(Maroon(F().EditAddress));
}

TEST_F(ConcentratorPageTest, TheConfigurationReplyFillsThePageAndSizesTheDatabase) {
    Click(F().ButtonConfig);
    Reply("80 64 00 35");  // 100 meters
    EXPECT_EQ(ui::RadioGroupItemIndex(F().RadioGroupRET), 1);
    EXPECT_EQ(ui::RadioGroupItemIndex(F().RadioGroupPlcStop), 1);
    EXPECT_EQ(ui::RadioGroupItemIndex(F().RadioGroupPortMode), 1);
    EXPECT_TRUE(F().CheckBoxSwitchTime->isChecked());
    EXPECT_EQ(F().SpinEditSetAMCount->value(), 100);
    for (QWidget* w :
         {static_cast<QWidget*>(F().RadioGroupRET), static_cast<QWidget*>(F().SpinEditSetAMCount),
          static_cast<QWidget*>(F().GroupBox9), static_cast<QWidget*>(F().CheckBoxSwitchTime)}) {
        EXPECT_TRUE(Maroon(w)) << w->objectName().toStdString();
    }
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
    EXPECT_EQ(options_.Form().SpinEditCount->value(), 100);
    EXPECT_EQ(window_->MeterData().Database().NetStore()->ColCount(), 101);
    EXPECT_EQ(F().PageControl->tabText(F().PageControl->indexOf(F().TabSheetNET)),
              QStringLiteral("Ёмкость сети 100 счётчиков"));
    timers_.Advance(2000);
    EXPECT_FALSE(Maroon(F().RadioGroupRET)) << "the colour resets";
}

TEST_F(ConcentratorPageTest, TheRateReplyMovesTheLocalPortAfterSavingTheDatabase) {
    window_->Connection().Sender().Send(commands::request::Plain(commands::RequestType::UartRateRead));
    Reply("88 02");
    EXPECT_EQ(F().ComboBoxBaudRate->currentIndex(), 2);
    EXPECT_TRUE(Maroon(F().ComboBoxBaudRate));
    QCoreApplication::processEvents();  // the reopen runs once the reply has been handled
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.Settings().baudRate, 9600);
    EXPECT_EQ(port_.openedNames.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(dir_.filePath(QStringLiteral("ttyS0-PACKETS.bin"))));
    EXPECT_EQ(QFileInfo(dir_.filePath(QStringLiteral("ttyS0-PACKETS.bin"))).size(), 400928) << "saved first";
}

class ReadAllTest : public ConcentratorPageTest {
  protected:
    void SetUp() override {
        options_.Form().SpinEditCount->setValue(16);
        WindowTest::SetUp();
        Connect();
        ASSERT_EQ(window_->MeterData().Database().NetStore()->ColCount(), 17);
    }
    static std::string Record(int meter) {
        return QString::asprintf("82 %02X 00 40 %02X 00 00 00 24 00 00 05 0B 1A", meter, meter).toStdString();
    }
    // Steps the loop one request at a time; the concentrator answers as the table says.
    void Run(const std::function<void(int meter)>& answer) {
        for (int guard = 0; guard < 100 && window_->Concentrator().ReadAll().CurrentState() ==
                                               commands::ReadAllLoop::State::Sending;
             ++guard) {
            const int meter = F().SpinEditBuffSlotNumber->value();
            answer(meter);
            timers_.Advance(1);
        }
    }
};

TEST_F(ReadAllTest, EveryMeterInOrderAndASummaryThatCountsTheReplies) {
    Click(F().ButtonLP, Qt::ShiftModifier);
    keys_.held = Qt::NoModifier;
    Run([this](int meter) {
        // Meters 3 and 9 have records, 16 gives no answer, the rest have none.
        if (meter == 3 || meter == 9) {
            Reply(Record(meter));
        } else if (meter != 16) {
            Reply(QString::asprintf("82 %02X 00", meter).toStdString());
        }
    });
    std::vector<std::string> expected;
    for (int m = 1; m <= 16; ++m) {
        expected.push_back(QString::asprintf("to 2FFF: 82 %02X 00", m).toStdString());
    }
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(F().SpinEditBuffSlotNumber->value(), 16);
    EXPECT_EQ(F().SpinEditBuffSlotNumberMonth->value(), 16);
    EXPECT_TRUE(window_->Concentrator().ReadAllRunning()) << "the last reply is awaited";
    timers_.Advance(2100);  // the port timeout
    EXPECT_FALSE(window_->Concentrator().ReadAllRunning());
    EXPECT_EQ(Status(), QStringLiteral(" Все 16: без ответа 1, записи 2, без данных 13"));
    meterdata::MeterRecord record;
    ASSERT_TRUE(window_->MeterData().Database().PacketStore()->GetMeterRecord(record, 1, 9));
    EXPECT_EQ(record.WordA, 9);
    EXPECT_EQ(record.Valid, 0xFF);
}

TEST_F(ReadAllTest, TheMonthBufferEndsAsSoonAsEveryMeterAnsweredAndEscStopsIt) {
    Click(F().ButtonLM, Qt::ShiftModifier);
    keys_.held = Qt::NoModifier;
    Run([this](int meter) { Reply(QString::asprintf("85 %02X 00", meter).toStdString()); });
    timers_.Advance(100);
    EXPECT_FALSE(window_->Concentrator().ReadAllRunning()) << "every meter answered: no need to wait";
    EXPECT_EQ(Status(), QStringLiteral(" Все 16: без ответа 0, записи 0, без данных 16"));

    Click(F().ButtonLP, Qt::ShiftModifier);
    keys_.held = Qt::NoModifier;
    timers_.Advance(1);
    timers_.Advance(1);
    EXPECT_EQ(Status(), QStringLiteral(" 3 / 16"));
    QTest::keyClick(F().ButtonLP, Qt::Key_Escape);
    EXPECT_FALSE(window_->Concentrator().ReadAllRunning());
    EXPECT_EQ(Status(), QStringLiteral(" Стоп 3/16: без ответа 3, записи 0, без данных 0"));
    timers_.Advance(100);
    EXPECT_EQ(Written().size(), 3u) << "nothing after Esc";
}

TEST_F(ReadAllTest, AtTheRepliesPaceOneRequestAwaitsItsReplyOrItsTimeoutAndTheNextFollows5MsLater) {
    F().NMainOptionsPaceReply->setChecked(true);
    Click(F().ButtonLP, Qt::ShiftModifier);
    keys_.held = Qt::NoModifier;
    timers_.Advance(500);
    EXPECT_EQ(Written().size(), 1u) << "nothing more while the first reply is awaited";
    Reply(Record(1));
    timers_.Advance(4);
    EXPECT_EQ(Written().size(), 1u) << "not sooner than 5 ms after the reply";
    timers_.Advance(1);
    ASSERT_EQ(Written().size(), 2u);
    timers_.Advance(1990);
    EXPECT_EQ(Written().size(), 2u) << "meter 2 is silent: its request has the port timeout";
    timers_.Advance(20);
    ASSERT_EQ(Written().size(), 3u);
    for (int meter = 3; meter <= 16; ++meter) {
        Reply(QString::asprintf("82 %02X 00", meter).toStdString());
        timers_.Advance(5);
    }
    EXPECT_EQ(Written().back(), "to 2FFF: 82 10 00");
    EXPECT_FALSE(window_->Concentrator().ReadAllRunning()) << "every request had its reply or timeout";
    EXPECT_EQ(Status(), QStringLiteral(" Все 16: без ответа 1, записи 1, без данных 14"));
}

TEST_F(ReadAllTest, AConnectionLostOnTheWayEndsTheLoopWithTheSummary) {
    Click(F().ButtonLP, Qt::ShiftModifier);
    keys_.held = Qt::NoModifier;
    timers_.Advance(1);
    port_.Vanish("adapter pulled");
    timers_.Advance(1);
    EXPECT_FALSE(window_->Concentrator().ReadAllRunning());
    EXPECT_TRUE(Status().startsWith(QStringLiteral(" Стоп 2/16"))) << Status().toStdString();
}

}  // namespace
}  // namespace lumvaris::testing
