// The read-all loop: one request per meter in order, replies counted as they come, a summary
// that never calls a partial read complete.
#include <gtest/gtest.h>

#include "commands/ReadAllLoop.h"

namespace lumvaris::commands {
namespace {

TEST(ReadAllLoopTest, SendsEveryMeterInOrderAndCountsWhatCameBack) {
    ReadAllLoop loop;
    loop.Start(RequestType::PacketBufferRead, 5);
    ASSERT_TRUE(loop.Running());
    std::vector<int> sent;
    for (int m = loop.Next(); m != 0; m = loop.Next()) {
        sent.push_back(m);
        if (m == 2) {
            EXPECT_EQ(loop.ProgressText(), QStringLiteral("2 / 5"));
        }
        // Meter 1 and 4 have records, 2 has none, 3 and 5 stay silent; 1 answers twice.
        if (m == 1 || m == 4) {
            loop.BufferReply(RequestType::PacketBufferRead, m, true);
        }
        if (m == 2) {
            loop.BufferReply(RequestType::PacketBufferRead, m, false);
            loop.BufferReply(RequestType::PacketBufferRead, 1, true);
        }
    }
    EXPECT_EQ(sent, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(loop.CurrentState(), ReadAllLoop::State::AwaitingLast);
    EXPECT_FALSE(loop.AllAnswered());
    // A reply of another buffer, or of a meter never asked for, is not this loop's.
    loop.BufferReply(RequestType::MonthBufferRead, 3, true);
    loop.BufferReply(RequestType::PacketBufferRead, 6, true);
    loop.Finish();
    EXPECT_FALSE(loop.Running());
    EXPECT_EQ(loop.SummaryText(), QStringLiteral("Все 5: без ответа 2, записи 2, без данных 1"));
    loop.BufferReply(RequestType::PacketBufferRead, 3, true);
    EXPECT_EQ(loop.Delivered(), 2) << "late replies after the end are not counted";
}

TEST(ReadAllLoopTest, ARecordAfterNoDataCountsOnceAsRecordsAndAllAnsweredEndsTheWait) {
    ReadAllLoop loop;
    loop.Start(RequestType::MonthBufferRead, 2);
    loop.Next();
    loop.Next();
    EXPECT_EQ(loop.Next(), 0);
    loop.BufferReply(RequestType::MonthBufferRead, 2, false);
    loop.BufferReply(RequestType::MonthBufferRead, 2, true);
    loop.BufferReply(RequestType::MonthBufferRead, 2, false);
    EXPECT_FALSE(loop.AllAnswered());
    loop.BufferReply(RequestType::MonthBufferRead, -1, false);  // a reply too short to name its meter
    EXPECT_TRUE(loop.AllAnswered());
    EXPECT_EQ(loop.Delivered(), 1);
    EXPECT_EQ(loop.WithoutData(), 1);
    EXPECT_EQ(loop.WithoutReply(), 0);
}

TEST(ReadAllLoopTest, StoppedPartWayTheSummarySaysWhere) {
    ReadAllLoop loop;
    loop.Start(RequestType::PacketBufferRead, 256);
    for (int i = 0; i < 17; ++i) {
        loop.Next();
    }
    loop.BufferReply(RequestType::PacketBufferRead, 1, true);
    loop.Stop();
    EXPECT_EQ(loop.Next(), 0) << "nothing more is sent";
    loop.Finish();
    EXPECT_EQ(loop.SummaryText(), QStringLiteral("Стоп 17/256: без ответа 16, записи 1, без данных 0"));

    loop.Start(RequestType::PacketBufferRead, 0);
    EXPECT_FALSE(loop.Running()) << "a meter count below 1 sends nothing";
    EXPECT_EQ(loop.Next(), 0);
}

}  // namespace
}  // namespace lumvaris::commands
