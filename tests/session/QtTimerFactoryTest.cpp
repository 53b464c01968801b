// The event loop's timers on the real clock: what handlers do to their own and to other timers
// while a pass of the shared timer runs, and a handler that opens an event loop of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "session/QtTimerFactory.h"
#include "support/EventPump.h"

namespace lumvaris::session {
namespace {

using testing::RunUntil;

class QtTimerFactoryTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::EnsureApplication("session_tests"); }
    QtTimerFactory factory;
};

TEST_F(QtTimerFactoryTest, RepeatsUntilStoppedAndARestartPutsItOff) {
    int ticks = 0;
    auto repeating = factory.Create("a", 10, [&] { ++ticks; });
    int late = 0;
    auto putOff = factory.Create("b", 250, [&] { ++late; });
    auto restarter = factory.Create("c", 20, [&] { putOff->Start(); });
    repeating->Start();
    putOff->Start();
    restarter->Start();
    ASSERT_TRUE(RunUntil([&] { return ticks >= 5; }, 2000));
    EXPECT_TRUE(repeating->IsActive());
    repeating->Stop();
    const int stoppedAt = ticks;
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_EQ(late, 0) << "restarted every 20 ms, a 250 ms timer never comes due";
}

// Timers due in the same pass: a handler deletes or stops one that is due after it, or deletes its own.
TEST_F(QtTimerFactoryTest, AHandlerDeletesOrStopsTimersDueInTheSamePass) {
    std::vector<int> fired(3, 0);
    std::unique_ptr<ITimer> deleted;
    std::unique_ptr<ITimer> stopped;
    std::unique_ptr<ITimer> self;
    auto killer = factory.Create("killer", 20, [&] {
        deleted.reset();
        stopped->Stop();
    });
    deleted = factory.Create("deleted", 20, [&] { ++fired[0]; });
    stopped = factory.Create("stopped", 20, [&] { ++fired[1]; });
    self = factory.Create("self", 20, [&] {
        ++fired[2];
        self.reset();
    });
    killer->Start();
    deleted->Start();
    stopped->Start();
    self->Start();
    RunUntil([] { return false; }, 120);
    EXPECT_EQ(fired, (std::vector<int>{0, 0, 1}));
    EXPECT_FALSE(stopped->IsActive());
}

// A message box opened from a timer: the others go on inside its loop; the one whose handler
// opened it does not run again from inside it.
TEST_F(QtTimerFactoryTest, AHandlerThatRunsAnEventLoopLeavesTheOthersRunning) {
    int outer = 0;
    int inner = 0;
    int depth = 0;
    int deepest = 0;
    auto ticking = factory.Create("ticking", 5, [&] { ++inner; });
    auto modal = factory.Create("modal", 5, [&] {
        ++outer;
        deepest = std::max(deepest, ++depth);
        const int from = inner;
        EXPECT_TRUE(RunUntil([&] { return inner >= from + 5; }, 2000));
        --depth;
    });
    ticking->Start();
    modal->Start();
    ASSERT_TRUE(RunUntil([&] { return outer >= 2; }, 4000));
    EXPECT_GE(inner, 10);
    EXPECT_EQ(deepest, 1);
}

}  // namespace
}  // namespace lumvaris::session
