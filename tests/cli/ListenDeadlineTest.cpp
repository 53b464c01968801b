// The end of listen --for on driven time: on the second, however far ahead (a QTimer's int of
// milliseconds ends at 24.8 days, and wraps past 49.7).
#include <gtest/gtest.h>

#include "cli/ListenDeadline.h"
#include "support/FakeTimers.h"

namespace lumvaris::cli {
namespace {

constexpr int kDayMs = 24 * 3600 * 1000;

void AdvanceBy(testing::FakeTimerFactory& timers, qint64 milliseconds) {
    for (; milliseconds > kDayMs; milliseconds -= kDayMs) {
        timers.Advance(kDayMs);
    }
    timers.Advance(static_cast<int>(milliseconds));
}

TEST(ListenDeadline, EndsOnTheSecondHoweverFarAhead) {
    for (const qint64 seconds : {qint64{1}, qint64{3600}, qint64{2147484}, qint64{4294970}}) {
        testing::FakeTimerFactory timers;
        int ends = 0;
        ListenDeadline deadline(
            timers, [&timers] { return timers.Now(); }, seconds * 1000, [&ends] { ++ends; });
        AdvanceBy(timers, seconds * 1000 - 1);
        EXPECT_EQ(ends, 0) << seconds << " s: ended early";
        timers.Advance(1);
        EXPECT_EQ(ends, 1) << seconds << " s: not ended on the second";
        timers.Advance(10000);
        EXPECT_EQ(ends, 1) << seconds << " s: ended again";
        EXPECT_TRUE(deadline.Ended());
    }
}

}  // namespace
}  // namespace lumvaris::cli
