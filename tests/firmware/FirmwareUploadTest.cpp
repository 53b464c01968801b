#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UploadHarness.h"

namespace lumvaris::firmware::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<QByteArray>;

// Uploads that the concentrator acknowledges line by line: the start frame, every line in file
// order, the lines-left countdown, and the end with the main window back and "OK".
struct CompleteCase {
    const char* name;
    QByteArray file;
    const char* begin;  // FirmwareBegin payload
    Lines lines;
};

TEST(FirmwareUploadTest, CompleteUploadsSendEveryLineInOrderAndEndWithOk) {
    const std::vector<CompleteCase> cases = {
        {"three lines, CR LF", ":00000001FF\r\n:10\r\nX\r\n", "7A 03 00", {":00000001FF", ":10", "X"}},
        {"LF, CR and a last line without its end", "a\nb\rc", "7A 03 00", {"a", "b", "c"}},
        {"an empty line goes out too", "a\r\n\r\nb\r\n", "7A 03 00", {"a", "", "b"}},
    };
    for (const CompleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        UploadHarness h;
        ASSERT_TRUE(h.Start(c.file));
        EXPECT_THAT(h.Payloads(), ElementsAre(c.begin));
        EXPECT_THAT(h.pauses, ElementsAre(100));
        EXPECT_FALSE(h.progressShown);

        ASSERT_TRUE(h.Reply(kFirmwareBeginType));
        for (std::size_t k = 0; k < c.lines.size(); ++k) {
            ASSERT_TRUE(h.progressShown);
            ASSERT_TRUE(h.upload.MainWindowHidden());
            // The next line is out and its own reply wait runs: the wait the reply handler ended
            // after the previous acknowledgement was not this one.
            ASSERT_EQ(h.LinesSent().size(), k + 1);
            ASSERT_TRUE(h.requester.WaitInProgress());
            EXPECT_EQ(h.upload.State(), UploadState::AwaitingAcknowledgement);
            ASSERT_TRUE(h.Acknowledge());
        }
        EXPECT_THAT(h.LinesSent(), ElementsAreArray(c.lines));
        std::vector<qsizetype> countdown;
        for (qsizetype left = static_cast<qsizetype>(c.lines.size()); left >= 0; --left) {
            countdown.push_back(left);
        }
        EXPECT_THAT(h.linesLeftShown, ElementsAreArray(countdown));
        EXPECT_THAT(h.windowEvents, ElementsAre("gauge shown", "gauge hidden"));
        EXPECT_EQ(h.progressCaption, "image.hex");
        EXPECT_FALSE(h.upload.MainWindowHidden());
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Complete);
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
        EXPECT_EQ(h.statusPanel, " OK");
        EXPECT_TRUE(h.messages.empty());
        for (std::size_t k = 1; k < h.pauses.size(); ++k) {
            EXPECT_EQ(h.pauses[k], 0) << "line frames go out without the command pause";
        }
    }
}

TEST(FirmwareUploadTest, MoreThan65535LinesAnnounceTheLowSixteenBitsAndSendEveryLine) {
    constexpr int kLines = 70001;  // 0x11171
    UploadHarness h;
    h.duringLineSend = [&h] { h.Acknowledge(false); };
    ASSERT_TRUE(h.Start(NumberedLines(kLines)));
    EXPECT_EQ(h.Payloads().front(), "7A 71 11");
    h.Reply(kFirmwareBeginType);

    const Lines sent = h.LinesSent();
    ASSERT_EQ(sent.size(), std::size_t{kLines});
    for (int k = 0; k < kLines; k += 9999) {
        EXPECT_EQ(sent[k], "L" + QByteArray::number(k));
    }
    EXPECT_EQ(sent.back(), "L70000");
    EXPECT_EQ(h.upload.AcknowledgementCount(), kLines);
    EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Complete);
}

TEST(FirmwareUploadTest, AnAcknowledgementDuringTheSendCountsAndTheNextLineFollowsAtOnce) {
    UploadHarness h;
    ASSERT_TRUE(h.Start(NumberedLines(3)));
    h.Reply(kFirmwareBeginType);
    ASSERT_EQ(h.LinesSent().size(), 1u);

    // Line 1's acknowledgement comes back before its send has returned.
    h.duringLineSend = [&h] {
        h.duringLineSend = nullptr;
        h.Acknowledge(false);
    };
    h.Acknowledge();
    EXPECT_THAT(h.LinesSent(), ElementsAre("L0", "L1", "L2"));
    EXPECT_THAT(h.linesLeftShown, ElementsAre(3, 2, 1));
    EXPECT_TRUE(h.requester.WaitInProgress());
    h.Acknowledge();
    EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Complete);
}

// Failed tries of line 0 of a two-line file: T a timeout, R a refusal (40h), W a line reply with
// N = 2, A an acknowledgement. Each failed try sends the line again; the tenth ends the upload.
struct TryCase {
    const char* events;
    int sendsOfLine0;
    UploadOutcome outcome;
    const char* message;
};

TEST(FirmwareUploadTest, FailedTriesResendTheLineAndTheTenthEndsTheUpload) {
    const char* const exhausted =
        "Прошивка прервана: концентратор не подтвердил строку 1 после 10 попыток.\r\n"
        "Подтверждено строк: 0 из 2.";
    // The refusals opened no box of their own: the end names them.
    const char* const refused =
        "Прошивка прервана: концентратор не подтвердил строку 1 после 10 попыток.\r\n"
        "Ответ концентратора: Команда недоступна, введите пароль!\r\n"
        "Подтверждено строк: 0 из 2.";
    const std::vector<TryCase> cases = {
        {"TA", 2, UploadOutcome::None, ""},  // a lost acknowledgement: the line goes again
        {"TTTTTTTTTA", 10, UploadOutcome::None, ""},
        {"TTTTTTTTTT", 10, UploadOutcome::TriesExhausted, exhausted},
        {"RRRRRRRRRR", 10, UploadOutcome::TriesExhausted, refused},
        {"WWWWWWWWWW", 10, UploadOutcome::TriesExhausted, exhausted},
        {"TRWTRWTRWA", 10, UploadOutcome::None, ""},
        {"RWTRWTRWTR", 10, UploadOutcome::TriesExhausted, refused},
    };
    for (const TryCase& c : cases) {
        SCOPED_TRACE(c.events);
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(2)));
        h.Reply(kFirmwareBeginType);
        for (const char* e = c.events; *e != '\0'; ++e) {
            switch (*e) {
                case 'T':
                    // Each try is bounded by the port timeout: 2 s, 20 gauge ticks.
                    EXPECT_EQ(h.TimeOut(), 20);
                    break;
                case 'R':
                    ASSERT_TRUE(h.Reply(kAccessDeniedType));
                    break;
                case 'W':
                    ASSERT_TRUE(h.Reply(kFirmwareLineType, 2));
                    break;
                case 'A':
                    ASSERT_TRUE(h.Acknowledge());
                    break;
            }
        }
        const Lines sent = h.LinesSent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), QByteArray("L0")), c.sendsOfLine0);
        EXPECT_EQ(h.upload.Outcome(), c.outcome);
        if (c.outcome == UploadOutcome::None) {
            EXPECT_EQ(sent.back(), "L1");
            EXPECT_EQ(h.upload.TryCount(), 0);
            EXPECT_TRUE(h.messages.empty());
        } else {
            EXPECT_THAT(h.messages, ElementsAre(QString::fromUtf8(c.message)));
            EXPECT_THAT(h.windowEvents, ElementsAre("gauge shown", "gauge hidden"));
            EXPECT_FALSE(h.upload.MainWindowHidden());
            EXPECT_EQ(h.FramesWritten(), 11u);
        }
    }
}

TEST(FirmwareUploadTest, LateAcknowledgementsNeverSkipALineNorCountPastTheTotal) {
    // Line 0 times out and goes again; both of its acknowledgements then come. Replies carry no
    // line number, so the late one is taken for line 1 once line 1 is out: still every line, in
    // file order, each sent before it is counted.
    {
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(3)));
        h.Reply(kFirmwareBeginType);
        h.TimeOut();
        h.Acknowledge();
        h.Acknowledge();
        h.Acknowledge();
        EXPECT_THAT(h.LinesSent(), ElementsAre("L0", "L0", "L1", "L2"));
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Complete);
    }
    // Both acknowledgements arrive in one frame-assembler step, before line 1 has gone out: the
    // second has no line to count for, and line 1 is not skipped.
    {
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(3)));
        h.Reply(kFirmwareBeginType);
        h.TimeOut();
        h.Acknowledge(false);
        h.Acknowledge(false);
        h.RunSteps();
        EXPECT_EQ(h.upload.AcknowledgementCount(), 1);
        EXPECT_THAT(h.LinesSent(), ElementsAre("L0", "L0", "L1"));
        EXPECT_THAT(h.linesLeftShown, ElementsAre(3, 2));
    }
    // A flood of acknowledgements at the last line ends the upload at the total, nothing more sent.
    {
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(2)));
        h.Reply(kFirmwareBeginType);
        h.Acknowledge();
        for (int i = 0; i < 5; ++i) {
            h.Acknowledge(false);
        }
        h.RunSteps();
        h.Acknowledge();
        EXPECT_THAT(h.LinesSent(), ElementsAre("L0", "L1"));
        EXPECT_EQ(h.upload.AcknowledgementCount(), 2);
        EXPECT_EQ(h.upload.LinesLeft(), 0);
        EXPECT_THAT(h.linesLeftShown, ElementsAre(2, 1, 0));
    }
}

// An upload cut short after line 0 of three was acknowledged: the main window comes back at
// once and the engineer reads how far it got; nothing more goes out, and a late reply changes
// nothing.
struct CutShortCase {
    const char* name;
    std::function<void(UploadHarness&)> cut;
    UploadOutcome outcome;
    const char* message;
};

TEST(FirmwareUploadTest, AnUploadCutShortSaysHowManyOfHowManyLinesWereAcknowledged) {
    const std::vector<CutShortCase> cases = {
        {"Отменить", [](UploadHarness& h) { h.upload.Abort(); }, UploadOutcome::Aborted,
         "Прошивка отменена.\r\nПодтверждено строк: 1 из 3."},
        {"adapter pulled", [](UploadHarness& h) { h.LosePort(); }, UploadOutcome::PortLost,
         "Прошивка прервана: связь с концентратором потеряна.\r\nПодтверждено строк: 1 из 3."},
        {"write fails on the next line",
         [](UploadHarness& h) {
             h.port.failWrite = true;
             h.TimeOut();
         },
         UploadOutcome::PortLost,
         "Прошивка прервана: связь с концентратором потеряна (write failed).\r\nПодтверждено строк: 1 из 3."},
    };
    for (const CutShortCase& c : cases) {
        SCOPED_TRACE(c.name);
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(3)));
        h.Reply(kFirmwareBeginType);
        h.Acknowledge();
        const std::size_t written = h.FramesWritten();
        c.cut(h);
        h.RunSteps();
        EXPECT_EQ(h.upload.Outcome(), c.outcome);
        EXPECT_THAT(h.messages, ElementsAre(QString::fromUtf8(c.message)));
        EXPECT_THAT(h.windowEvents, ElementsAre("gauge shown", "gauge hidden"));
        EXPECT_EQ(h.upload.State(), UploadState::Idle);

        h.port.failWrite = false;
        h.Acknowledge();
        h.RunSteps();
        EXPECT_EQ(h.FramesWritten(), written);
        EXPECT_EQ(h.messages.size(), 1u);
        EXPECT_TRUE(h.upload.Begin(UploadMode::New)) << "a new upload can start";
    }
}

TEST(FirmwareUploadTest, TheOutdatedModeStartsOnMemoryClearedAndThenSendsTheLines) {
    UploadHarness h;
    ASSERT_TRUE(h.Start(NumberedLines(2), UploadMode::Legacy));
    EXPECT_THAT(h.Payloads(), ElementsAre("7F"));
    EXPECT_THAT(h.expectedTypes, ElementsAre(0x7F));

    EXPECT_FALSE(h.Reply(kFirmwareBeginType)) << "0x7A answers only the new mode's start";
    EXPECT_FALSE(h.progressShown);
    ASSERT_TRUE(h.Reply(kFirmwareBeginLegacyType, 1, false));
    EXPECT_EQ(h.statusPanel, " Память очищена");
    EXPECT_TRUE(h.progressShown);
    h.RunSteps();
    EXPECT_EQ(h.LinesSent().size(), 1u);
    h.Acknowledge();
    h.Acknowledge();
    EXPECT_THAT(h.LinesSent(), ElementsAre("L0", "L1"));
    EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Complete);
}

// A start that is not answered as it should be: nothing more is sent, no progress window.
struct StartCase {
    const char* name;
    UploadMode mode;
    std::function<void(UploadHarness&)> answer;
    const char* status;
};

TEST(FirmwareUploadTest, AStartThatFailsSendsNoLine) {
    const std::vector<StartCase> cases = {
        {"timed out", UploadMode::New, [](UploadHarness& h) { h.TimeOut(); }, " Ошибка!"},
        {"refused", UploadMode::New, [](UploadHarness& h) { h.Reply(kAccessDeniedType); }, " OK"},
        {"outdated start with N = 2", UploadMode::Legacy,
         [](UploadHarness& h) { h.Reply(kFirmwareBeginLegacyType, 2); }, " Ошибка!"},
        {"outdated start timed out", UploadMode::Legacy, [](UploadHarness& h) { h.TimeOut(); }, " Ошибка!"},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(3), c.mode));
        c.answer(h);
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::NotStarted);
        EXPECT_EQ(h.FramesWritten(), 1u);
        EXPECT_TRUE(h.windowEvents.empty());
        EXPECT_TRUE(h.messages.empty());
        EXPECT_EQ(h.statusPanel, c.status);
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
    }
}

TEST(FirmwareUploadTest, FileChoiceAndConfirmation) {
    // Cancelled dialog or question: nothing is sent.
    {
        UploadHarness h;
        ASSERT_TRUE(h.upload.Begin(UploadMode::New));
        EXPECT_EQ(h.upload.State(), UploadState::ChoosingFile);
        EXPECT_FALSE(h.upload.Begin(UploadMode::New));
        h.upload.FileDialogCancelled();
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
        ASSERT_TRUE(h.upload.Begin(UploadMode::New));
        h.upload.FileChosen(h.WriteFile(":0100000000FF\r\n:00000001FF\r\n"));
        EXPECT_EQ(h.upload.State(), UploadState::Confirming);
        h.upload.ConfirmationCancelled();
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::Cancelled);
        EXPECT_EQ(h.FramesWritten(), 0u);
    }
    // The question names the full path; the HEX check's findings stand above it.
    {
        UploadHarness h;
        h.upload.Begin(UploadMode::New);
        const QString path = h.WriteFile(":0100000000FF\r\n:00000001FF\r\n", QStringLiteral("good.hex"));
        h.upload.FileChosen(path);
        EXPECT_EQ(h.upload.ConfirmationText(), "Начать прошивку из файла\r\n'" + path + "'?");
        h.upload.ConfirmationCancelled();

        h.upload.Begin(UploadMode::New);
        const QString bad = h.WriteFile("L0\r\n", QStringLiteral("bad.hex"));
        h.upload.FileChosen(bad);
        EXPECT_EQ(h.upload.ConfirmationText(),
                  "Внимание! Файл не соответствует формату Intel-HEX:\r\n"
                  "строка 1: нет двоеточия в начале\r\n"
                  "строка 1: последняя запись не является записью конца файла :00000001FF\r\n\r\n"
                  "Начать прошивку из файла\r\n'" +
                      bad + "'?");
        h.upload.Confirmed();  // a warning does not stop an engineer who goes on
        EXPECT_THAT(h.Payloads(), ElementsAre("7A 01 00"));
    }
    // A line too long for one request refuses the file before anything is sent.
    {
        UploadHarness h;
        h.upload.Begin(UploadMode::New);
        h.upload.FileChosen(h.WriteFile("L0\r\n" + QByteArray(255, 'A') + "\r\n"));
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::FileRefused);
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
        ASSERT_EQ(h.messages.size(), 1u);
        EXPECT_TRUE(h.messages[0].startsWith("Строка 2 файла слишком длинная (длина 255)"))
            << h.messages[0].toStdString();
        EXPECT_EQ(h.FramesWritten(), 0u);
    }
    // A file with nothing to program is refused before the question and before any frame: the
    // start alone may make a concentrator erase its firmware.
    for (const QByteArray& empty : {QByteArray(), QByteArray("\r\n\r\n  \n"), QByteArray(":00000001FF\r\n"),
                                    QByteArray("\n:00000001ff\n:00000001FF\n\n")}) {
        UploadHarness h;
        h.upload.Begin(UploadMode::New);
        const QString path = h.WriteFile(empty, QStringLiteral("empty.hex"));
        h.upload.FileChosen(path);
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::FileRefused) << empty.toStdString();
        EXPECT_EQ(h.upload.State(), UploadState::Idle);
        EXPECT_THAT(h.messages,
                    ElementsAre("В файле '" + path +
                                "' нет ни одной записи данных: прошивать нечего.\r\n"
                                "Концентратору ничего не отправлено. Выберите файл с прошивкой."));
        EXPECT_EQ(h.FramesWritten(), 0u);
    }
    // A port gone before the question was answered: the upload does not start.
    {
        UploadHarness h;
        h.upload.Begin(UploadMode::New);
        h.upload.FileChosen(h.WriteFile("L0\r\n"));
        h.port.Close();
        h.upload.Confirmed();
        EXPECT_EQ(h.upload.Outcome(), UploadOutcome::PortLost);
        EXPECT_THAT(h.messages, ElementsAre("Прошивка не начата: связь с концентратором потеряна."));
        EXPECT_EQ(h.FramesWritten(), 0u);
    }
}

}  // namespace
}  // namespace lumvaris::firmware::test
