// The group "Номер версии ": the version read, and the firmware upload as the window runs it: the
// button's captions, the file dialog and the question, the progress window in place of the main
// window, acknowledgements handled as they arrive, the timeout and the lost port reaching the
// upload, and one message for every end that leaves lines unacknowledged. The upload's own rules
// (counting, resending, surplus acknowledgements) are tested in tests/firmware.
#include <gmock/gmock.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <functional>

#include "WindowFixture.h"
#include "app/VersionPanel.h"
#include "commands/CommandSender.h"
#include "firmware/FirmwareUpload.h"
#include "ui_FormGauge.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;
using firmware::UploadState;

// Three Intel-HEX records, the last the end-of-file record.
const QByteArray kThreeLines = ":0100000041BE\r\n:0100010042BC\r\n:00000001FF\r\n";

class VersionPanelTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
    }
    QString WriteFile(const QByteArray& content, const QString& name = QStringLiteral("three.hex")) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    // Ctrl+click with the file chosen in the dialog and the question answered OK.
    void StartUpload(const QByteArray& content = kThreeLines,
                     Qt::KeyboardModifiers keys = Qt::ControlModifier) {
        openDialog_.path = WriteFile(content);
        Click(F().ButtonVersion, keys);
        Hold(Qt::NoModifier);
    }
    // The start answered; the first line goes out from the zero-delay step.
    void StartLinePhase() {
        StartUpload();
        Reply("7A");
        timers_.Advance(0);
        ASSERT_TRUE(Upload().MainWindowHidden());
    }
    // Reply bytes arriving at the port: only the receive notification runs, no TimerRX tick.
    void Arrive(const std::string& payloadHex) {
        const std::vector<std::uint8_t> payload = Hex(payloadHex);
        link::FrameBuffer f{};
        link::FillHeader(f, 0x2FFF, link::kWorkstationAddress, static_cast<std::uint8_t>(payload.size()),
                         payload[0]);
        std::copy(payload.begin(), payload.end(), link::Payload(f));
        link::CompleteFrame(f);
        port_.Feed(std::vector<std::uint8_t>(f.begin(), f.begin() + link::FrameLength(f)));
        timers_.Advance(0);  // the steps due once the notification is over
    }
    // The text of every FirmwareLine written since the last click.
    std::vector<std::string> LinesSent() const {
        std::vector<std::string> lines;
        for (const auto& w : port_.writes) {
            if (w[link::kOffsetPayload] == 0x7E) {
                lines.emplace_back(reinterpret_cast<const char*>(w.data()) + link::kOffsetPayload + 1,
                                   w[link::kOffsetLength] - 1u);
            }
        }
        return lines;
    }
    const firmware::FirmwareUpload& Upload() { return window_->Version().Upload(); }
    QString LinesLeft() { return gauge_.Form().LabelInfo->text(); }
    bool MainWindowBack() { return window_->isVisible() && !gauge_.isVisible(); }
};

TEST_F(VersionPanelTest, TheCaptionDecidesAndNothingGoesOutUnlessTheEngineerSaysSo) {
    const QString fileQuestion = QStringLiteral("Начать прошивку из файла\r\n'%1'?");
    const struct {
        const char* what;
        Qt::KeyboardModifiers keys;
        std::function<void()> setUp;
        QByteArray file;  // empty: no file chosen
        Frames frames;
        int dialogs;
        const char* questionStart;  // null: no question asked
    } cases[] = {
        {"no key reads the version", Qt::NoModifier, nullptr, kThreeLines, {"to 2FFF: 83"}, 0, nullptr},
        {"Ctrl: the new mode announces three lines",
         Qt::ControlModifier,
         nullptr,
         kThreeLines,
         {"to 2FFF: 7A 03 00"},
         1,
         "Начать прошивку"},
        {"Alt: the outdated mode", Qt::AltModifier, nullptr, kThreeLines, {"to 2FFF: 7F"}, 1, "Начать"},
        {"dialog cancelled", Qt::ControlModifier, nullptr, {}, {}, 1, nullptr},
        {"question cancelled",
         Qt::ControlModifier,
         [this] { messages_.answer = false; },
         kThreeLines,
         {},
         1,
         "Начать"},
        {"what the HEX check finds stands above the question",
         Qt::AltModifier,
         nullptr,
         "L0\r\n",
         {"to 2FFF: 7F"},
         1,
         "Внимание! Файл не соответствует формату Intel-HEX:\r\nстрока 1: нет двоеточия"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hold(Qt::NoModifier);
        messages_.answer = true;
        messages_.questions.clear();
        messages_.errors.clear();
        openDialog_.shown = 0;
        if (c.setUp) {
            c.setUp();
        }
        openDialog_.path = c.file.isEmpty() ? QString() : WriteFile(c.file);
        Click(F().ButtonVersion, c.keys);
        EXPECT_EQ(Written(), c.frames);
        EXPECT_EQ(openDialog_.shown, c.dialogs);
        if (c.questionStart != nullptr) {
            ASSERT_EQ(messages_.questions.size(), 1);
            EXPECT_TRUE(messages_.questions[0].startsWith(QString::fromUtf8(c.questionStart)))
                << messages_.questions[0].toStdString();
            EXPECT_TRUE(messages_.questions[0].endsWith(fileQuestion.arg(openDialog_.path)));
        } else {
            EXPECT_TRUE(messages_.questions.isEmpty());
        }
        EXPECT_TRUE(messages_.errors.isEmpty());
        EXPECT_FALSE(gauge_.isVisible());
        timers_.Advance(2000);  // an unanswered start ends the upload before the next case
        EXPECT_EQ(Upload().State(), UploadState::Idle);
    }
}

TEST_F(VersionPanelTest, TheVersionReplyFillsLabelVerinfo) {
    const struct {
        const char* reply;
        const char* label;
        bool maroon;
        const char* status;
    } cases[] = {
        {"83 C2 E5 F0 20 31", "Вер 1", true, " OK"},
        {"83", "", false, " Нет данных ..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        timers_.Advance(2000);  // the colours of the last case are back
        Click(F().ButtonVersion);
        Reply(c.reply);
        EXPECT_EQ(F().LabelVerinfo->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(Maroon(F().LabelVerinfo), c.maroon);
        EXPECT_EQ(Status(), QString::fromUtf8(c.status));
    }
}

TEST_F(VersionPanelTest, TheLinesGoOutWhileTheProgressWindowCountsDown) {
    StartUpload();
    EXPECT_EQ(pause_.pauses.back(), 100);
    const std::size_t commandPauses = pause_.pauses.size();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(gauge_.isVisible());

    Reply("7A");
    EXPECT_EQ(Status(), " OK") << "the start was answered";
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(gauge_.isVisible());
    EXPECT_EQ(gauge_.windowTitle(), "three.hex");
    EXPECT_EQ(LinesLeft(), "3");
    EXPECT_TRUE(LinesSent().empty()) << "never sent from inside the reply";
    timers_.Advance(0);
    ASSERT_EQ(LinesSent().size(), 1u);

    // Each acknowledgement is handled from the receive notification, without a TimerRX tick,
    // and the next line follows from the step after it.
    const char* const left[] = {"2", "1", "0"};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        Arrive("7E");
        EXPECT_EQ(LinesLeft(), left[k]);
        EXPECT_EQ(LinesSent().size(), std::min<std::size_t>(k + 2, 3));
    }
    EXPECT_EQ(LinesSent(), (std::vector<std::string>{":0100000041BE", ":0100010042BC", ":00000001FF"}));
    EXPECT_TRUE(MainWindowBack());
    EXPECT_EQ(Status(), " OK");
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_EQ(Upload().Outcome(), firmware::UploadOutcome::Complete);
    for (std::size_t i = commandPauses; i < pause_.pauses.size(); ++i) {
        EXPECT_EQ(pause_.pauses[i], 0) << "line requests go without the command pause";
    }
}

// Ends that leave lines unacknowledged, each after line 1 of three was acknowledged: one box that
// says how many of how many lines went through, the main window back, nothing more sent.
TEST_F(VersionPanelTest, EveryEndShortOfTheLastLineSaysSoInOneBox) {
    const QString portLost = QStringLiteral(
        "\r\n\r\nВНИМАНИЕ! Связь с коммуникационным портом потеряна (device removed).\n"
        "Проверьте подключение и выберите порт заново.");
    const struct {
        const char* what;
        std::function<void()> cut;
        int sendsOfLine2;
        QString message;
    } cases[] = {
        {"ten timeouts, each after the port timeout exactly",
         [this] {
             for (int i = 0; i < 10; ++i) {
                 timers_.Advance(1999);
                 ASSERT_EQ(LinesSent().size(), 2u + i) << "sent again before the port timeout";
                 timers_.Advance(1);
             }
         },
         10,
         "Прошивка прервана: концентратор не подтвердил строку 2 после 10 попыток.\r\n"
         "Подтверждено строк: 1 из 3."},
        {"ten refusals open no box of their own",
         [this] {
             for (int i = 0; i < 10; ++i) {
                 ASSERT_TRUE(messages_.errors.isEmpty());
                 Arrive("40");
             }
         },
         10,
         "Прошивка прервана: концентратор не подтвердил строку 2 после 10 попыток.\r\n"
         "Ответ концентратора: Команда недоступна, введите пароль!\r\n"
         "Подтверждено строк: 1 из 3."},
        {"Отменить, after Esc left the progress window where it was",
         [this] {
             QTest::keyClick(&gauge_, Qt::Key_Escape);
             ASSERT_TRUE(gauge_.isVisible());
             gauge_.Form().ButtonAbort->click();
         },
         1, "Прошивка отменена.\r\nПодтверждено строк: 1 из 3."},
        {"the adapter pulled: at once, not after ten timeouts",
         [this] {
             port_.Close();  // the Qt port closes itself before it reports
             port_.Vanish("device removed");
             QApplication::processEvents();
         },
         1, "Прошивка прервана: связь с концентратором потеряна.\r\nПодтверждено строк: 1 из 3." + portLost},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.errors.clear();
        port_.failWrite = false;
        if (!port_.IsOpen()) {
            Connect();
        }
        StartLinePhase();
        Arrive("7E");
        ASSERT_EQ(LinesSent().size(), 2u);

        c.cut();
        EXPECT_THAT(messages_.errors, ::testing::ElementsAre(c.message));
        EXPECT_TRUE(MainWindowBack());
        EXPECT_EQ(Upload().State(), UploadState::Idle);
        const std::vector<std::string> sent = LinesSent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), ":0100010042BC"), c.sendsOfLine2);
        timers_.Advance(30000);
        Arrive("7E");
        EXPECT_EQ(LinesSent(), sent) << "nothing more after the end";
        EXPECT_EQ(messages_.errors.size(), 1);
    }
}

TEST_F(VersionPanelTest, ARefusedStartIsSaidByTheRefusalsOwnBox) {
    StartUpload();
    Reply("40");
    EXPECT_THAT(messages_.errors, ::testing::ElementsAre("Команда недоступна, введите пароль!"));
    EXPECT_EQ(Upload().State(), UploadState::Idle);
    EXPECT_FALSE(gauge_.isVisible());
    timers_.Advance(30000);
    EXPECT_EQ(Written(), (Frames{"to 2FFF: 7A 03 00"}));
}

// Another request (a timer of another page, a click while the start is awaited) takes over the
// upload's reply wait and is answered: the upload does not wait for ever for a reply that cannot
// come any more, it takes it as a timeout.
TEST_F(VersionPanelTest, AReplyWaitTakenOverByAnotherRequestCountsAsATimeout) {
    const auto takeOver = [this] {
        window_->Connection().Sender().Send(commands::request::Plain(commands::RequestType::ConfigRead));
        Reply("80 00 01 35");
        timers_.Advance(app::VersionPanel::kWatchIntervalMs);
    };
    // While a line is awaited: it goes again, and the upload carries on.
    StartLinePhase();
    takeOver();
    EXPECT_EQ(LinesSent(), (std::vector<std::string>{":0100000041BE", ":0100000041BE"}));
    Arrive("7E");
    EXPECT_EQ(LinesSent().back(), ":0100010042BC");
    gauge_.Form().ButtonAbort->click();

    // While the start is awaited: the upload ends unstarted, and a new one can begin.
    StartUpload();
    takeOver();
    EXPECT_EQ(Upload().State(), UploadState::Idle);
    EXPECT_FALSE(gauge_.isVisible());
    StartUpload();
    EXPECT_EQ(Written(), (Frames{"to 2FFF: 7A 03 00"}));
}

}  // namespace
}  // namespace lumvaris::testing
