// The stop signals as the event loop tells them: each one, in the order they came, also when
// several came before the loop looked (a SIGHUP and a SIGTERM sent back to back).
#include "session/StopSignals.h"

#include "support/EventPump.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace lumvaris::session {
namespace {

TEST(StopSignals, EverySignalIsToldInTheOrderItCame) {
    testing::EnsureApplication("session_tests");
    const std::vector<std::vector<int>> cases = {
        {SIGTERM}, {SIGHUP, SIGTERM}, {SIGTERM, SIGHUP}, {SIGHUP, SIGHUP, SIGINT}};
    for (const std::vector<int>& sent : cases) {
        std::vector<int> told;
        const StopSignals stop([&](int signal) { told.push_back(signal); });
        // raise() runs the handler at once in this thread: all are written before the loop reads.
        for (const int signal : sent) {
            std::raise(signal);
        }
        testing::RunUntil([&] { return told.size() >= sent.size(); }, 2000);
        EXPECT_EQ(told, sent);
        EXPECT_EQ(stop.Received(), sent.back());
    }
}

}  // namespace
}  // namespace lumvaris::session
