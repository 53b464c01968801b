#include <gtest/gtest.h>

#include "UploadHarness.h"

#include <optional>
#include <random>

namespace lumvaris::firmware::test {
namespace {

// What the upload must do, in the fewest words: a line counts as acknowledged only after it has
// gone out; a failed try counts only for a send still awaited; a due send goes out at the next
// step, and the tenth failed try ends the upload unless an acknowledgement came first.
struct Model {
    int total = 0;
    int acked = 0;
    int tries = 0;
    bool sent = false;
    bool waiting = false;
    bool due = true;
    bool giveUp = false;
    std::optional<UploadOutcome> end;
    std::vector<int> sends;

    void Step() {
        if (end) {
            return;
        }
        if (giveUp) {
            end = UploadOutcome::TriesExhausted;
        } else if (due && acked == total) {
            end = UploadOutcome::Complete;
        } else if (due) {
            sends.push_back(acked);
            sent = waiting = true;
            due = false;
        }
    }
    void Acknowledge() {
        if (!end && sent) {
            ++acked;
            tries = 0;
            sent = waiting = giveUp = false;
            due = true;
        }
    }
    void Fail() {
        if (!end && waiting) {
            waiting = false;
            giveUp = ++tries == kMaxTries;
            due = !giveUp;
        }
    }
};

// Random bursts of acknowledgements, timeouts, refusals and odd line replies, now and then an
// abort or a pulled adapter, against the model; plus what holds whatever the model says.
TEST(FirmwareUploadModelTest, RandomRepliesAgainstTheModel) {
    int completed = 0, exhausted = 0, cut = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };

        Model model;
        model.total = 1 + static_cast<int>(random() % 15);  // a file with nothing to send is refused
        UploadHarness h;
        ASSERT_TRUE(h.Start(NumberedLines(model.total)));
        h.Reply(kFirmwareBeginType);
        model.Step();

        // Now and then a link that almost never answers, to reach the tenth failed try.
        const int failPercent = random() % 4 == 0 ? 97 : static_cast<int>(random() % 70);
        for (int round = 0; round < 500 && !model.end; ++round) {
            if (chance(1)) {
                h.upload.Abort();
                model.end = UploadOutcome::Aborted;
                break;
            }
            if (chance(1)) {
                h.LosePort();
                model.end = UploadOutcome::PortLost;
                break;
            }
            const int burst = 1 + static_cast<int>(random() % 3);
            for (int i = 0; i < burst; ++i) {
                if (!chance(failPercent)) {
                    ASSERT_TRUE(h.Acknowledge(false));
                    model.Acknowledge();
                } else if (h.requester.WaitInProgress() && chance(50)) {
                    h.TimeOut(false);
                    model.Fail();
                } else {
                    ASSERT_TRUE(chance(50) ? h.Reply(kAccessDeniedType, 1, false)
                                           : h.Reply(kFirmwareLineType, 3, false));
                    model.Fail();
                }
            }
            h.RunSteps();
            model.Step();

            ASSERT_LE(h.upload.AcknowledgementCount(), model.total);
            ASSERT_EQ(h.upload.AcknowledgementCount(), model.acked);
            if (!model.end) {
                // Never stuck: while lines remain, one is out and its reply wait runs.
                ASSERT_TRUE(h.requester.WaitInProgress());
                ASSERT_TRUE(h.upload.MainWindowHidden());
                ASSERT_EQ(h.upload.LinesLeft(), model.total - model.acked);
            }
        }
        ASSERT_TRUE(model.end.has_value()) << "500 rounds without an end";
        EXPECT_EQ(h.upload.Outcome(), *model.end);
        EXPECT_FALSE(h.upload.MainWindowHidden());

        std::vector<int> sent;
        for (const QByteArray& line : h.LinesSent()) {
            sent.push_back(line.mid(1).toInt());
        }
        EXPECT_EQ(sent, model.sends);
        // In file order, none skipped, none past the end, at most kMaxTries sends in a row.
        int run = 0;
        for (std::size_t k = 0; k < sent.size(); ++k) {
            const int previous = k == 0 ? 0 : sent[k - 1];
            ASSERT_TRUE(sent[k] == previous || sent[k] == previous + 1) << k;
            ASSERT_LT(sent[k], model.total);
            run = (k > 0 && sent[k] == previous) ? run + 1 : 1;
            ASSERT_LE(run, kMaxTries);
        }
        if (*model.end == UploadOutcome::Complete) {
            EXPECT_TRUE(h.messages.empty());
            EXPECT_EQ(model.total == 0 ? 0 : sent.back(), std::max(0, model.total - 1));
            ++completed;
        } else {
            ASSERT_EQ(h.messages.size(), 1u);
            EXPECT_TRUE(h.messages[0].endsWith(
                QStringLiteral("Подтверждено строк: %1 из %2.").arg(model.acked).arg(model.total)))
                << h.messages[0].toStdString();
            ++(*model.end == UploadOutcome::TriesExhausted ? exhausted : cut);
        }
    }
    // The seeds reach every kind of end.
    EXPECT_GT(completed, 50);
    EXPECT_GT(exhausted, 10);
    EXPECT_GT(cut, 10);
}

}  // namespace
}  // namespace lumvaris::firmware::test
