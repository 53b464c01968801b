// The "PLC-команды" page and the debug dialog: each button writes its frames, a long command goes
// out one frame per step with the window running in between and never mixes with a second one,
// the clipboard form, the refusals and the history with its control bytes.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include "WindowFixture.h"
#include "app/PlcCommandsPage.h"
#include "commands/CommandSender.h"
#include "commands/PlcCommands.h"
#include "ui_FormDebug.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;

class PlcCommandsPageTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
    }
    app::PlcCommandsPage& Page() { return window_->PlcCommands(); }
    void Step(int steps = 1000) {
        for (int i = 0; i < steps && Page().LongCommandGoing(); ++i) {
            timers_.Advance(1);
        }
    }
    // Clicks ButtonSetLongCommand in the mode of the keys and lets every frame go out.
    Frames LongCommand(const QString& text, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        F().ComboBoxLongCommand->setEditText(text);
        Click(F().ButtonSetLongCommand, keys);
        keys_.held = Qt::NoModifier;
        Step();
        return Written();
    }
    void Choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
};

TEST_F(PlcCommandsPageTest, EachButtonWritesItsFrames) {
    bool shownCleared = false;
    // Answers the debug dialog once it shows: 0 OK, 1 Cancel, 2 the close box.
    auto debug = [&](bool phase, bool stopPlc, int answer) {
        return [&, phase, stopPlc, answer] {
            QTimer::singleShot(0, [&, phase, stopPlc, answer] {
                Ui::TFormDebug& d = debug_.Form();
                shownCleared =
                    debug_.isVisible() && !d.CheckBoxABC->isChecked() && !d.CheckBoxIdleMode->isChecked();
                d.CheckBoxABC->setChecked(phase);
                d.CheckBoxIdleMode->setChecked(stopPlc);
                answer == 0   ? d.ButtonOK->click()
                : answer == 1 ? d.ButtonCancel->click()
                              : (void)debug_.close();
            });
        };
    };
    const struct {
        const char* what;
        QAbstractButton* button;
        Qt::KeyboardModifiers keys;
        std::function<void()> setUp;
        Frames frames;
        const char* typeAfter;
    } cases[] = {
        {"the five fields",
         F().ButtonSetPlcComm,
         Qt::NoModifier,
         [this] {
             for (auto [edit, text] : {std::pair{F().EditCommandTYPE, "7"},
                                       {F().EditSSLhex, "x"},
                                       {F().EditSSHhex, "1f"},
                                       {F().EditDDLhex, "2"},
                                       {F().EditDDHhex, "144"}}) {
                 edit->setText(QString::fromUtf8(text));
             }
         },
         {"to 2FFF: 0C 07 00 1F 02 44"},
         "07"},
        {"\"Получасовки\"",
         F().ButtonSetPlcComm,
         Qt::NoModifier,
         [this] { Choose(F().ComboBoxFill, 10); },
         {"to 2FFF: 0C DC FF 1F 02 44"},
         "DC"},
        {"the first preset",
         F().ButtonSetPlcComm,
         Qt::NoModifier,
         [this] { Choose(F().ComboBoxFill, 0); },
         {"to 2FFF: 0C DB FF 1F 00 00"},
         "DB"},
        {"free cells", F().ButtonPlcEmpty, Qt::NoModifier, nullptr, {"to 2FFF: 8A"}, nullptr},
        {"debug: only \"Прекратить PLC-обмен\"",
         F().ButtonConfig,
         Qt::AltModifier,
         debug(false, true, 0),
         {"to 2FFF: 7C 02"},
         nullptr},
        {"debug: only the phase number",
         F().ButtonConfig,
         Qt::AltModifier,
         debug(true, false, 0),
         {"to 2FFF: 7C 01"},
         nullptr},
        {"debug: Cancel", F().ButtonConfig, Qt::AltModifier, debug(true, true, 1), {}, nullptr},
        {"debug: the close box", F().ButtonConfig, Qt::AltModifier, debug(true, true, 2), {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hold(Qt::NoModifier);
        // What the last showing left ticked is cleared when the dialog shows again.
        debug_.Form().CheckBoxABC->setChecked(true);
        debug_.Form().CheckBoxIdleMode->setChecked(true);
        shownCleared = c.button == F().ButtonConfig ? false : true;
        if (c.setUp) {
            c.setUp();
        }
        Click(c.button, c.keys);
        EXPECT_EQ(Written(), c.frames);
        EXPECT_TRUE(shownCleared);
        if (c.typeAfter != nullptr) {
            EXPECT_EQ(F().EditCommandTYPE->text(), QString::fromUtf8(c.typeAfter));
        }
    }
}

TEST_F(PlcCommandsPageTest, LongCommandsToAllOrOneMeterAndToTheClipboard) {
    F().SpinEditLongCommandType->setValue(5);
    EXPECT_FALSE(F().SpinEditAddress->isEnabled()) << "\"Для всех\" is ticked at start";
    EXPECT_EQ(LongCommand(QStringLiteral("01 02 03")),
              (Frames{"to 1FFF: D8 FF 1F 05 02", "to 1FFF: D9 01 02 03 00", "to 1FFF: D9 01 93 61 67"}));
    EXPECT_EQ(F().Label25->text(), QStringLiteral("B1h"));

    F().CheckBoxBroadcast->setChecked(false);
    EXPECT_TRUE(F().SpinEditAddress->isEnabled());
    F().SpinEditAddress->setValue(5);
    const Frames toMeter5 = LongCommand(QStringLiteral("ABCDE"));
    ASSERT_EQ(toMeter5.size(), 3u);
    EXPECT_EQ(toMeter5.front(), "to 1005: D8 05 10 05 02");

    F().CheckBoxBroadcast->setChecked(true);
    EXPECT_EQ(LongCommand(QStringLiteral("010203"), Qt::ControlModifier), Frames{}) << "nothing is sent";
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D8FF1F0502\r\n"
                             "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901020300\r\n"
                             "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901936167\r\n"));

    // Refused: nothing sent, copied or kept, and a message.
    F().CheckBoxBroadcast->setChecked(true);
    for (const auto& [text, keys] : {std::pair{QStringLiteral("  "), Qt::NoModifier},
                                     {QString(QStringLiteral("5A")).repeated(1017), Qt::ControlModifier},
                                     {QStringLiteral("GHIJ😀 zz"), Qt::NoModifier},
                                     {QStringLiteral("01,02,03"), Qt::ControlModifier}}) {
        messages_.errors.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        EXPECT_EQ(LongCommand(text, keys), Frames{});
        EXPECT_EQ(messages_.errors.size(), 1);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    }
    EXPECT_EQ(F().ComboBoxLongCommand->count(), 3);
    EXPECT_FALSE(window_->Connection().Requester().WaitInProgress()) << "long commands await nothing";
}

TEST_F(PlcCommandsPageTest, TheFramesGoOneAStepAndASecondCommandWaitsForTheFirst) {
    F().ComboBoxLongCommand->setEditText(QString(QStringLiteral("A5")).repeated(40));  // header + 11 blocks
    pause_.pauses.clear();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    F().ButtonSetLongCommand->setFocus();
    Click(F().ButtonSetLongCommand);
    EXPECT_EQ(Written().size(), 1u) << "only the header goes inside the click";
    EXPECT_FALSE(F().ButtonSetLongCommand->isEnabled());
    EXPECT_TRUE(F().ComboBoxLongCommand->hasFocus()) << "not the port field, next in the chain";

    // The window runs between the frames: a reply of an earlier request is shown meanwhile.
    Step(2);
    window_->Connection().Sender().Send(commands::request::Plain(commands::RequestType::PlcFreeCellsRead));
    Reply("8A 0B");
    EXPECT_EQ(F().LabelPlcEmpty->text(), QStringLiteral("11"));

    // A second command while the first goes: no frame of it, not even from a programmatic click.
    F().ComboBoxLongCommand->setEditText(QStringLiteral("01"));
    QTest::mouseClick(F().ButtonSetLongCommand, Qt::LeftButton);
    Page().ButtonSetLongCommandClick();
    Step();
    ASSERT_EQ(port_.writes.size(), 13u);  // header, two blocks, the 8A, nine blocks
    for (std::size_t i = 0; i < 12; ++i) {
        const std::vector<std::uint8_t>& w = port_.writes[i];
        EXPECT_EQ(w[link::kOffsetPayload], i == 0 ? 0xD8 : i == 3 ? 0x8A : 0xD9) << i;
        EXPECT_TRUE(i == 0 || i == 3 || w[link::kOffsetPayload + 1] == 0xA5) << "a block of the first, " << i;
    }
    EXPECT_EQ(pause_.pauses, std::vector<int>(13, 100));
    EXPECT_TRUE(F().ButtonSetLongCommand->isEnabled());
    EXPECT_EQ(F().ComboBoxLongCommand->count(), 1) << "the refused click left no history";
}

TEST_F(PlcCommandsPageTest, AConnectionThatEndsMidwayEndsTheCommandAndFreesTheButton) {
    for (const bool pulled : {false, true}) {
        SCOPED_TRACE(pulled ? "adapter pulled: the failed write is reported once" : "closed: no message");
        if (!port_.IsOpen()) {
            Connect();
        }
        messages_.errors.clear();
        F().ComboBoxLongCommand->setEditText(QString(QStringLiteral("11")).repeated(30));
        Click(F().ButtonSetLongCommand);
        Step(1);
        pulled ? port_.Vanish("adapter pulled") : window_->Connection().Close();
        Step();
        EXPECT_FALSE(Page().LongCommandGoing());
        EXPECT_TRUE(F().ButtonSetLongCommand->isEnabled());
        EXPECT_EQ(port_.writes.size(), 2u);
        EXPECT_EQ(messages_.errors.size(), pulled ? 1 : 0);
    }
}

TEST_F(PlcCommandsPageTest, TheHistoryKeepsEachCommandAsTypedWithItsControlByte) {
    QString zero;  // a command whose control byte is 00
    for (int v = 0; v < 0x10000 && zero.isEmpty(); ++v) {
        const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(v >> 8),
                                              static_cast<std::uint8_t>(v)};
        if (commands::BuildLongCommand(bytes, 0x1FFF, 0).controlByte == 0) {
            zero = QString::asprintf("%02X%02X", bytes[0], bytes[1]);
        }
    }
    LongCommand(QStringLiteral(" 01 02  03"), Qt::ControlModifier);
    LongCommand(zero);
    LongCommand(QStringLiteral("010203"));
    LongCommand(QStringLiteral("010203"));
    QComboBox* box = F().ComboBoxLongCommand;
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(QStringList({box->itemText(0), box->itemText(1), box->itemText(2), box->itemText(3)}),
              QStringList(
                  {QStringLiteral("010203"), QStringLiteral("010203"), zero, QStringLiteral(" 01 02  03")}));
    Choose(box, 2);
    EXPECT_EQ(F().Label25->text(), QStringLiteral("00h"));
    Choose(box, 3);
    EXPECT_EQ(F().Label25->text(), QStringLiteral("B1h"));
    box->setEditText(zero);  // typing changes nothing there
    EXPECT_EQ(F().Label25->text(), QStringLiteral("B1h"));
}

}  // namespace
}  // namespace lumvaris::testing
