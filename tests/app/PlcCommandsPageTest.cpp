// The "PLC-команды" page and the debug dialog: each button in each caption mode writes its frames,
// a long command goes out one frame per step with the window running in between and never mixes
// with a second one, the clipboard form, the refusals, the history with its control bytes, and the
// replies that reach the page.
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
    // Clicks ButtonSetLongCommand in the mode of the keys and lets every frame go out.
    Frames LongCommand(const QString& text, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        F().ComboBoxLongCommand->setEditText(text);
        Click(F().ButtonSetLongCommand, keys);
        keys_.held = Qt::NoModifier;
        for (int guard = 0; guard < 1000 && Page().LongCommandGoing(); ++guard) {
            timers_.Advance(1);
        }
        EXPECT_FALSE(Page().LongCommandGoing());
        return Written();
    }
    // Answers the debug dialog once it shows; remembers whether its boxes came up cleared.
    void AnswerDebugDialog(bool phase, bool stopPlc, int answer /* 0 OK, 1 Cancel, 2 close box */) {
        QTimer::singleShot(0, [=, this] {
            Ui::TFormDebug& d = debug_.Form();
            shownCleared_ =
                debug_.isVisible() && !d.CheckBoxABC->isChecked() && !d.CheckBoxIdleMode->isChecked();
            d.CheckBoxABC->setChecked(phase);
            d.CheckBoxIdleMode->setChecked(stopPlc);
            if (answer == 0) {
                d.ButtonOK->click();
            } else if (answer == 1) {
                d.ButtonCancel->click();
            } else {
                debug_.close();
            }
        });
    }
    bool shownCleared_ = false;
};

TEST_F(PlcCommandsPageTest, EachButtonWritesItsFramesInEachCaptionMode) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const struct {
        const char* what;
        QAbstractButton* button;
        Qt::KeyboardModifiers keys;
        std::function<void()> setUp;
        Frames frames;
    } cases[] = {
        {"short command of the fields",
         F().ButtonSetPlcComm,
         none,
         [this] {
             F().EditCommandTYPE->setText(QStringLiteral("dc"));
             F().EditSSLhex->setText(QStringLiteral("FF"));
             F().EditSSHhex->setText(QStringLiteral("1f"));
             F().EditDDLhex->setText(QStringLiteral("2"));
             F().EditDDHhex->setText(QStringLiteral("144"));
         },
         {"to 2FFF: 0C DC FF 1F 02 44"}},
        {"the preset \"Получасовки\"",
         F().ButtonSetPlcComm,
         none,
         [this] {
             F().ComboBoxFill->setCurrentIndex(10);
             emit F().ComboBoxFill->activated(10);
         },
         {"to 2FFF: 0C DC FF 1F 02 44"}},
        {"the first preset",
         F().ButtonSetPlcComm,
         Qt::ControlModifier,
         [this] {
             F().ComboBoxFill->setCurrentIndex(0);
             emit F().ComboBoxFill->activated(0);
         },
         {"to 2FFF: 0C DB FF 1F 00 00"}},
        {"free cells of the PLC buffer", F().ButtonPlcEmpty, none, nullptr, {"to 2FFF: 8A"}},
        {"debug: only \"Прекратить PLC-обмен\"",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { AnswerDebugDialog(false, true, 0); },
         {"to 2FFF: 7C 02"}},
        {"debug: both boxes",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { AnswerDebugDialog(true, true, 0); },
         {"to 2FFF: 7C 03"}},
        {"debug: only the phase number",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { AnswerDebugDialog(true, false, 0); },
         {"to 2FFF: 7C 01"}},
        {"debug: Cancel sends nothing",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { AnswerDebugDialog(true, true, 1); },
         {}},
        {"debug: the close box sends nothing",
         F().ButtonConfig,
         Qt::AltModifier,
         [this] { AnswerDebugDialog(true, true, 2); },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hold(Qt::NoModifier);
        // What the last showing left ticked is cleared when the dialog shows again.
        debug_.Form().CheckBoxABC->setChecked(true);
        debug_.Form().CheckBoxIdleMode->setChecked(true);
        shownCleared_ = true;
        if (c.setUp) {
            c.setUp();
        }
        Click(c.button, c.keys);
        EXPECT_EQ(Written(), c.frames);
        EXPECT_TRUE(shownCleared_);
    }
    EXPECT_EQ(F().EditCommandTYPE->text(), QStringLiteral("DB"));
    EXPECT_EQ(F().EditDDLhex->text(), QStringLiteral("00"));
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(PlcCommandsPageTest, TheShortCommandShowsItsTypeAsItWasRead) {
    F().EditCommandTYPE->setText(QStringLiteral("7"));
    F().EditSSLhex->setText(QStringLiteral("x"));
    Click(F().ButtonSetPlcComm);
    EXPECT_EQ(F().EditCommandTYPE->text(), QStringLiteral("07"));
    EXPECT_EQ(F().EditSSLhex->text(), QStringLiteral("x")) << "the other fields keep their text";
    EXPECT_EQ(Written(), Frames{"to 2FFF: 0C 07 00 00 00 00"});
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
    F().SpinEditLongCommandType->setValue(-2);
    const Frames toMeter5 = LongCommand(QStringLiteral("ABCDE"));
    ASSERT_EQ(toMeter5.size(), 3u);
    EXPECT_EQ(toMeter5.front(), "to 1005: D8 05 10 FE 02");

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    F().CheckBoxBroadcast->setChecked(true);
    F().SpinEditLongCommandType->setValue(5);
    EXPECT_EQ(LongCommand(QStringLiteral("010203"), Qt::ControlModifier), Frames{}) << "nothing is sent";
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D8FF1F0502\r\n"
                             "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901020300\r\n"
                             "TYPE=COMMAND; NOANSWER=YES; RUN=FFFFFF1F05D901936167\r\n"));
    EXPECT_EQ(F().Label25->text(), QStringLiteral("B1h"));

    // Every frame waited the catalogue's 100 ms and none started a reply wait.
    EXPECT_FALSE(window_->Requester().WaitInProgress());
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(PlcCommandsPageTest, TheFramesGoOneAStepAndASecondCommandWaitsForTheFirst) {
    // 40 command bytes: a header and 11 blocks.
    const QString first = QString(QStringLiteral("A5")).repeated(40);
    F().ComboBoxLongCommand->setEditText(first);
    pause_.pauses.clear();
    Click(F().ButtonSetLongCommand);
    EXPECT_EQ(Written().size(), 1u) << "only the header goes inside the click";
    EXPECT_TRUE(Page().LongCommandGoing());
    EXPECT_FALSE(F().ButtonSetLongCommand->isEnabled());

    // The window runs between the frames: a reply of an earlier request is shown meanwhile.
    timers_.Advance(1);
    timers_.Advance(1);
    EXPECT_EQ(port_.writes.size(), 3u);
    window_->Sender().Send(commands::request::Plain(commands::RequestType::PlcFreeCellsRead));
    Reply("8A 0B");
    EXPECT_EQ(F().LabelPlcEmpty->text(), QStringLiteral("11"));

    // A second command while the first goes: no frame of it, not even as a programmatic click.
    F().ComboBoxLongCommand->setEditText(QStringLiteral("01"));
    QTest::mouseClick(F().ButtonSetLongCommand, Qt::LeftButton);
    Page().ButtonSetLongCommandClick();
    for (int guard = 0; guard < 100 && Page().LongCommandGoing(); ++guard) {
        timers_.Advance(1);
    }
    ASSERT_EQ(port_.writes.size(), 13u);  // header, two blocks, the 8A, nine blocks
    for (std::size_t i = 0; i < port_.writes.size(); ++i) {
        link::FrameBuffer f{};
        std::copy(port_.writes[i].begin(), port_.writes[i].end(), f.begin());
        EXPECT_EQ(link::TypeCode(f), i == 0 ? 0xD8 : i == 3 ? 0x8A : 0xD9) << i;
        if (link::TypeCode(f) == 0xD9 && i != 12) {
            EXPECT_EQ(link::Payload(f)[1], 0xA5) << "a block of the first command, " << i;
        }
    }
    EXPECT_EQ(pause_.pauses, std::vector<int>(13, 100));
    EXPECT_TRUE(F().ButtonSetLongCommand->isEnabled());
    EXPECT_EQ(F().ComboBoxLongCommand->count(), 1) << "the refused click left no history";

    // Once the first has gone, the second goes.
    EXPECT_EQ(LongCommand(QStringLiteral("01")).size(), 3u);
}

TEST_F(PlcCommandsPageTest, AConnectionThatEndsMidwayEndsTheCommandAndFreesTheButton) {
    const struct {
        const char* what;
        bool pulled;  // the adapter vanishes (the next write fails) or the engineer closes the port
        int errors;
    } cases[] = {
        {"closed: the rest is dropped without a message", false, 0},
        {"adapter pulled: the failed write is reported once", true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!port_.IsOpen()) {
            Connect();
        }
        messages_.errors.clear();
        F().ComboBoxLongCommand->setEditText(QString(QStringLiteral("11")).repeated(30));
        Click(F().ButtonSetLongCommand);
        timers_.Advance(1);
        if (c.pulled) {
            port_.Vanish("adapter pulled");
        } else {
            window_->CloseConnection();
        }
        for (int guard = 0; guard < 100 && Page().LongCommandGoing(); ++guard) {
            timers_.Advance(1);
        }
        EXPECT_FALSE(Page().LongCommandGoing());
        EXPECT_TRUE(F().ButtonSetLongCommand->isEnabled());
        EXPECT_EQ(port_.writes.size(), 2u);
        EXPECT_EQ(messages_.errors.size(), c.errors)
            << messages_.errors.join(QStringLiteral("; ")).toStdString();
    }
}

TEST_F(PlcCommandsPageTest, EmptyAndOverlongCommandsAreRefusedWithAMessage) {
    const struct {
        const char* what;
        QString text;
        Qt::KeyboardModifiers keys;
        const char* message;  // a part of the message; null: the command goes
        std::size_t frames;
    } cases[] = {
        {"empty", QString(), Qt::NoModifier, "Команда не задана", 0},
        {"spaces only", QStringLiteral("    "), Qt::NoModifier, "Команда не задана", 0},
        {"spaces only, to the clipboard", QStringLiteral(" "), Qt::ControlModifier, "Команда не задана", 0},
        {"1017 bytes", QString(QStringLiteral("5A")).repeated(1017), Qt::NoModifier, "1016", 0},
        {"1017 bytes, to the clipboard", QString(QStringLiteral("5A")).repeated(1017), Qt::ControlModifier,
         "1016", 0},
        {"1016 bytes: 255 blocks", QString(QStringLiteral("5A")).repeated(1016), Qt::NoModifier, nullptr,
         256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.errors.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        const int history = F().ComboBoxLongCommand->count();
        const Frames frames = LongCommand(c.text, c.keys);
        EXPECT_EQ(frames.size(), c.frames);
        if (c.message == nullptr) {
            EXPECT_TRUE(messages_.errors.isEmpty());
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(frames.front().substr(0, 23), "to 1FFF: D8 FF 1F 00 FF");
            continue;
        }
        ASSERT_EQ(messages_.errors.size(), 1);
        EXPECT_TRUE(messages_.errors.front().contains(QString::fromUtf8(c.message)))
            << messages_.errors.front().toStdString();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
        EXPECT_EQ(F().ComboBoxLongCommand->count(), history) << "nothing added to the history";
    }
}

TEST_F(PlcCommandsPageTest, TheHistoryKeepsEachCommandWithItsControlByte) {
    // A command whose control byte is 00, found among the two-byte commands.
    QString zero;
    for (int v = 0; v < 0x10000 && zero.isEmpty(); ++v) {
        const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(v >> 8),
                                              static_cast<std::uint8_t>(v)};
        if (commands::BuildLongCommand(bytes, 0x1FFF, 0).controlByte == 0) {
            zero = QString::asprintf("%02X %02X", bytes[0], bytes[1]);
        }
    }
    ASSERT_FALSE(zero.isEmpty());

    LongCommand(QStringLiteral(" 01 02  03"), Qt::ControlModifier);
    LongCommand(zero);
    LongCommand(QStringLiteral("010203"));
    LongCommand(QStringLiteral("010203"));
    QComboBox* box = F().ComboBoxLongCommand;
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(box->itemText(0), QStringLiteral("010203")) << "repeated commands, repeated entries";
    EXPECT_EQ(box->itemText(1), QStringLiteral("010203"));
    EXPECT_EQ(box->itemText(2), zero);
    EXPECT_EQ(box->itemText(3), QStringLiteral(" 01 02  03")) << "as typed, the copied one too";
    EXPECT_EQ(box->currentText(), QStringLiteral("010203"));

    const struct {
        int entry;
        const char* label;
    } choices[] = {{2, "00h"}, {3, "B1h"}};
    for (const auto& c : choices) {
        box->setCurrentIndex(c.entry);
        emit box->activated(c.entry);
        EXPECT_EQ(F().Label25->text(), QString::fromUtf8(c.label)) << c.entry;
    }
    box->setEditText(zero);  // typing changes nothing there
    EXPECT_EQ(F().Label25->text(), QStringLiteral("B1h"));
}

TEST_F(PlcCommandsPageTest, RepliesReachThePage) {
    Click(F().ButtonPlcEmpty);
    Reply("8A FF");
    EXPECT_EQ(F().LabelPlcEmpty->text(), QStringLiteral("255"));
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
    Click(F().ButtonSetPlcComm);
    Reply("0C");
    EXPECT_EQ(Status(), QStringLiteral(" Ошибка! PLC-буфер концентратора переполнен."));
}

}  // namespace
}  // namespace lumvaris::testing
