#include <gtest/gtest.h>

#include "link/Requester.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::link {
namespace {

using testing::FakeSerialPort;
using testing::ToHex;

// What a listener hears, as text: "starting", "wait 20", "tick 3/20", "end timed out 20/20",
// "status 2 text".
struct RecordingListener : IRequestListener {
    void RequestStarting() override { heard.push_back("starting"); }
    void WaitStarted(int ticks) override { heard.push_back("wait " + std::to_string(ticks)); }
    void WaitTicked(int elapsed, int ticks) override {
        heard.push_back("tick " + std::to_string(elapsed) + "/" + std::to_string(ticks));
    }
    void WaitEnded(WaitOutcome outcome, int elapsed, int ticks) override {
        heard.push_back(std::string("end ") +
                        (outcome == WaitOutcome::Answered ? "answered " : "timed out ") +
                        std::to_string(elapsed) + "/" + std::to_string(ticks));
    }
    void StatusShown(RequestStatus status, const std::string& text) override {
        heard.push_back("status " + std::to_string(static_cast<int>(status)) +
                        (text.empty() ? "" : " " + text));
    }
    std::vector<std::string> heard;
};

struct RecordingPause : IPause {
    void Pause(int ms) override { pauses.push_back(ms); }
    std::vector<int> pauses;
};

class RequesterTest : public ::testing::Test {
  protected:
    RequesterTest() {
        port.Open();
        requester.AddListener(&listener);
    }

    FrameBuffer Request(std::uint8_t type, std::uint8_t length = 1) {
        FrameBuffer f{};
        FillHeader(f, kWorkstationAddress, 0x2FFF, length, type);
        return f;
    }

    FakeSerialPort port;
    RecordingListener listener;
    RecordingPause pause;
    Requester requester{port, pause};
};

TEST_F(RequesterTest, SendCompletesACopyWritesItOnceAndPauses) {
    FrameBuffer mine = Request(0x81);
    const FrameBuffer before = mine;
    requester.SendRequest(mine, 0x81, 100);

    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(ToHex(port.writes[0]), "63 E0 A7 FF FF FF 2F 01 81 80");
    EXPECT_EQ(mine, before);
    EXPECT_EQ(requester.SendBuffer()[9], 0x80);
    EXPECT_EQ(pause.pauses, std::vector<int>{100});
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"starting", "status 0", "wait 20"}));
    EXPECT_EQ(requester.ExpectedReplyType(), 0x81);
}

TEST_F(RequesterTest, ObserverHearsTheFrameAsWrittenAndNothingOfAFailedWrite) {
    struct : ILinkObserver {
        void FrameSent(const std::uint8_t* f, std::size_t n) override { sent.push_back(ToHex({f, f + n})); }
        void FrameReceived(const std::uint8_t*, std::size_t, bool) override {}
        void BytesDiscarded(const std::uint8_t*, std::size_t) override {}
        std::vector<std::string> sent;
    } observer;
    requester.SetObserver(&observer);
    requester.SendRequest(Request(0x81), 0x81, 100);
    EXPECT_EQ(observer.sent, std::vector<std::string>{"63 E0 A7 FF FF FF 2F 01 81 80"});
    port.failWrite = true;
    EXPECT_ANY_THROW(requester.SendRequest(Request(0x80), 0x80, 100));
    EXPECT_EQ(observer.sent.size(), 1u);
}

TEST_F(RequesterTest, UnansweredRequestTimesOutAfterTimeoutTimesTenTicks) {
    for (int seconds : {1, 2, 4, 8, 16}) {
        requester.SetTimeoutSeconds(seconds);
        requester.SendRequest(Request(0x81), 0x81, 100);
        const int ticks = seconds * 10;
        EXPECT_EQ(requester.Countdown(), ticks);
        ASSERT_EQ(listener.heard.back(), "wait " + std::to_string(ticks));

        for (int i = 1; i < ticks; ++i) {
            requester.GaugeTick();
            ASSERT_TRUE(requester.WaitInProgress()) << seconds << " s, tick " << i;
            ASSERT_EQ(listener.heard.back(), "tick " + std::to_string(i) + "/" + std::to_string(ticks));
        }
        listener.heard.clear();
        requester.GaugeTick();
        EXPECT_FALSE(requester.WaitInProgress());
        EXPECT_EQ(requester.Outcome(), WaitOutcome::TimedOut);
        const std::string all = std::to_string(ticks) + "/" + std::to_string(ticks);
        // "Ошибка!" is the status a timeout leaves, told before the end of the wait.
        EXPECT_EQ(listener.heard,
                  (std::vector<std::string>{"tick " + all, "status 2", "end timed out " + all}));
        requester.GaugeTick();  // a tick after the end changes nothing
        EXPECT_EQ(listener.heard.size(), 3u);
    }
}

TEST_F(RequesterTest, AnAnsweredWaitEndsWithTheStatusTheReplyLeft) {
    requester.SendRequest(Request(0x81), 0x81, 100);
    requester.SetRequestStatus(RequestStatus::Ok);
    requester.EndReplyWait(true);
    EXPECT_EQ(listener.heard.back(), "end answered 0/20");
    EXPECT_EQ(listener.heard[listener.heard.size() - 2], "status 1");
    EXPECT_EQ(requester.Outcome(), WaitOutcome::Answered);

    // A reply after some ticks: the end says how many went by.
    requester.SendRequest(Request(0x81), 0x81, 100);
    for (int i = 0; i < 7; ++i) {
        requester.GaugeTick();
    }
    requester.EndReplyWait(true);
    EXPECT_EQ(listener.heard.back(), "end answered 7/20");
}

TEST_F(RequesterTest, NoWaitMarkerClearsTheStatusButStartsNoWait) {
    requester.SendRequest(Request(0x89), 0x89, 100);
    requester.SetRequestStatus(RequestStatus::Ok);
    requester.EndReplyWait(true);
    listener.heard.clear();

    requester.SendRequest(Request(0xD8, 5), Requester::kNoWait, 100);
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"starting", "status 0"}));
    EXPECT_FALSE(requester.WaitInProgress());
    EXPECT_EQ(requester.ExpectedReplyType(), 0x89);  // the previous request's type stays in force
}

TEST_F(RequesterTest, SecondRequestReplacesTheFirstWait) {
    requester.SendRequest(Request(0x81), 0x81, 100);
    for (int i = 0; i < 5; ++i) {
        requester.GaugeTick();
    }
    requester.SendRequest(Request(0x88), 0x88, 0);
    EXPECT_EQ(requester.Countdown(), 20);
    EXPECT_EQ(requester.ExpectedReplyType(), 0x88);
    EXPECT_EQ(listener.heard.back(), "wait 20");
    EXPECT_EQ(pause.pauses, std::vector<int>{100}) << "a zero pause does not pause";
}

TEST_F(RequesterTest, FailedWriteStartsNoWait) {
    port.Close();
    EXPECT_THROW(requester.SendRequest(Request(0x81), 0x81, 100), SerialPortError);
    EXPECT_FALSE(requester.WaitInProgress());
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"starting", "status 0"}));
    EXPECT_TRUE(pause.pauses.empty());
}

TEST_F(RequesterTest, LateReplyEndsTheWaitAgainAsAnswered) {
    requester.SendRequest(Request(0x79), 0x79, 100);
    for (int i = 0; i < 20; ++i) {
        requester.GaugeTick();
    }
    ASSERT_EQ(requester.Outcome(), WaitOutcome::TimedOut);
    requester.SetRequestStatus(RequestStatus::Text);
    requester.SetRequestStatusText("Memory pages total: 512, memory test OK");
    requester.EndReplyWait(true);
    EXPECT_EQ(requester.Outcome(), WaitOutcome::Answered);
    EXPECT_EQ(listener.heard[listener.heard.size() - 2], "status 6 Memory pages total: 512, memory test OK");
}

}  // namespace
}  // namespace lumvaris::link
