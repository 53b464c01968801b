#include <gtest/gtest.h>

#include "link/Requester.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::link {
namespace {

using testing::FakeSerialPort;
using testing::ToHex;

struct RecordingView : IRequestView {
    void ShowRequestStatusText(const std::string& text) override { statusPanel = text; }
    void ShowGauge(const GaugeState& g) override { gauge = g; }
    void SetGaugeTimerEnabled(bool on) override { gaugeTimer = on; }
    void RestartColorResetTimer() override { ++colorRestarts; }
    void SetConnectionInputsEnabled(bool on) override { inputsEnabled = on; }
    bool AccessControlOn() const override { return accessControl; }
    void DisableProtectedButtons() override { protectedEnabled = false; }
    int PortTimeoutSeconds() const override { return timeout; }

    std::string statusPanel = "?";
    GaugeState gauge;
    bool gaugeTimer = false;
    int colorRestarts = 0;
    bool inputsEnabled = true;
    bool accessControl = false;
    bool protectedEnabled = true;
    int timeout = 2;
};

struct RecordingPause : IPause {
    void Pause(int ms) override { pauses.push_back(ms); }
    std::vector<int> pauses;
};

class RequesterTest : public ::testing::Test {
  protected:
    RequesterTest() { port.Open(); }

    FrameBuffer Request(std::uint8_t type, std::uint8_t length = 1) {
        FrameBuffer f{};
        FillHeader(f, kWorkstationAddress, 0x2FFF, length, type);
        return f;
    }

    FakeSerialPort port;
    RecordingView view;
    RecordingPause pause;
    Requester requester{port, pause, view};
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
    EXPECT_EQ(view.statusPanel, " ");
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
        view.timeout = seconds;
        requester.SendRequest(Request(0x81), 0x81, 100);
        const int ticks = seconds * 10;
        EXPECT_EQ(requester.Countdown(), ticks);
        EXPECT_EQ(view.gauge.background, GaugeColor::Yellow);
        EXPECT_EQ(view.gauge.foreground, GaugeColor::Black);
        EXPECT_TRUE(view.gaugeTimer);
        EXPECT_FALSE(view.inputsEnabled);

        for (int i = 1; i < ticks; ++i) {
            requester.GaugeTick();
            ASSERT_TRUE(requester.WaitInProgress()) << seconds << " s, tick " << i;
            ASSERT_EQ(view.gauge.progress, i);
        }
        requester.GaugeTick();
        EXPECT_FALSE(requester.WaitInProgress());
        EXPECT_EQ(requester.Outcome(), WaitOutcome::TimedOut);
        EXPECT_EQ(view.gauge.progress, ticks);
        EXPECT_EQ(view.gauge.foreground, GaugeColor::Maroon);
        EXPECT_EQ(view.gauge.background, GaugeColor::ButtonFace);
        EXPECT_EQ(view.statusPanel, " Ошибка!");
        EXPECT_FALSE(view.gaugeTimer);
        EXPECT_TRUE(view.inputsEnabled);
    }
}

TEST_F(RequesterTest, ReplyBeforeFirstTickLeavesGreenStubOfOneTenth) {
    view.timeout = 2;
    requester.SendRequest(Request(0x81), 0x81, 100);
    requester.SetRequestStatus(RequestStatus::Ok);
    requester.EndReplyWait(true);
    EXPECT_EQ(view.gauge.progress, 2);
    EXPECT_EQ(view.gauge.foreground, GaugeColor::Green);
    EXPECT_EQ(view.statusPanel, " OK");
    EXPECT_EQ(requester.Outcome(), WaitOutcome::Answered);

    // A reply after some ticks leaves the bar where the countdown left it.
    requester.SendRequest(Request(0x81), 0x81, 100);
    for (int i = 0; i < 7; ++i) {
        requester.GaugeTick();
    }
    requester.EndReplyWait(true);
    EXPECT_EQ(view.gauge.progress, 7);
}

TEST_F(RequesterTest, NoWaitMarkerClearsStatusLocksButLeavesGaugeAndInputs) {
    view.accessControl = true;
    requester.SendRequest(Request(0x89), 0x89, 100);
    requester.SetRequestStatus(RequestStatus::Ok);
    requester.EndReplyWait(true);
    const GaugeState gaugeBefore = view.gauge;
    const int restartsBefore = view.colorRestarts;
    view.protectedEnabled = true;

    requester.SendRequest(Request(0xD8, 5), Requester::kNoWait, 100);
    EXPECT_EQ(view.statusPanel, " ");
    EXPECT_EQ(view.gauge.foreground, gaugeBefore.foreground);
    EXPECT_EQ(view.gauge.progress, gaugeBefore.progress);
    EXPECT_EQ(view.colorRestarts, restartsBefore);
    EXPECT_TRUE(view.inputsEnabled);
    EXPECT_FALSE(requester.WaitInProgress());
    EXPECT_EQ(requester.ExpectedReplyType(), 0x89);  // the previous request's type stays in force
    EXPECT_FALSE(view.protectedEnabled);
}

TEST_F(RequesterTest, SecondRequestReplacesTheFirstWait) {
    requester.SendRequest(Request(0x81), 0x81, 100);
    for (int i = 0; i < 5; ++i) {
        requester.GaugeTick();
    }
    requester.SendRequest(Request(0x88), 0x88, 100);
    EXPECT_EQ(requester.Countdown(), 20);
    EXPECT_EQ(requester.ExpectedReplyType(), 0x88);
    EXPECT_EQ(view.gauge.progress, 0);
    EXPECT_EQ(view.colorRestarts, 2);
}

TEST_F(RequesterTest, ProtectedButtonsFollowAccessControlAndPasswordRequest) {
    struct Case {
        bool accessControl;
        std::uint8_t type;
        bool stillEnabled;
    };
    for (const Case c : {Case{false, 0x81, true}, Case{true, 0x81, false}, Case{true, 0x0B, true},
                         Case{false, 0x0B, true}}) {
        view.accessControl = c.accessControl;
        view.protectedEnabled = true;
        requester.SendRequest(Request(c.type), c.type, 0, /*usesUpAccess=*/c.type != 0x0B);
        EXPECT_EQ(view.protectedEnabled, c.stillEnabled) << int(c.type) << " access " << c.accessControl;
    }
    EXPECT_TRUE(pause.pauses.empty());  // a zero pause does not pause
}

TEST_F(RequesterTest, FailedWriteStartsNoWaitAndKeepsButtons) {
    view.accessControl = true;
    port.Close();
    EXPECT_THROW(requester.SendRequest(Request(0x81), 0x81, 100), SerialPortError);
    EXPECT_FALSE(requester.WaitInProgress());
    EXPECT_TRUE(view.protectedEnabled);
    EXPECT_TRUE(view.inputsEnabled);
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
    EXPECT_EQ(view.gauge.foreground, GaugeColor::Green);
    EXPECT_EQ(view.statusPanel, " Memory pages total: 512, memory test OK");
}

TEST(RequestStatusTextTest, Texts) {
    EXPECT_EQ(RequestStatusText(RequestStatus::None), "");
    EXPECT_EQ(RequestStatusText(RequestStatus::Ok), "OK");
    EXPECT_EQ(RequestStatusText(RequestStatus::Error), "Ошибка!");
    EXPECT_EQ(RequestStatusText(RequestStatus::NoData), "Нет данных ...");
    EXPECT_EQ(RequestStatusText(RequestStatus::MemoryCleared), "Память очищена");
    EXPECT_EQ(RequestStatusText(RequestStatus::Blank, "x"), "");
    EXPECT_EQ(RequestStatusText(RequestStatus::Text, "Ошибка! PLC-буфер концентратора переполнен."),
              "Ошибка! PLC-буфер концентратора переполнен.");
}

}  // namespace
}  // namespace lumvaris::link
