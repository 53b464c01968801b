// The window's side of the request wait, over the real reply wait on a fake port: the status
// panel, the gauge, the locked connection inputs and a long operation's progress and summary.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "AppTestDoubles.h"
#include "app/RequestStatusView.h"
#include "link/Requester.h"
#include "support/FakeSerialPort.h"
#include "support/QuietLink.h"

namespace lumvaris::testing {
namespace {

class RequestStatusViewTest : public ::testing::Test {
  protected:
    RequestStatusViewTest() {
        port.Open();
        gauge.show();  // as in the window, where a style sheet colours what the gauge shows
    }

    link::FrameBuffer Request(std::uint8_t type) {
        link::FrameBuffer f{};
        link::FillHeader(f, link::kWorkstationAddress, 0x2FFF, 1, type);
        return f;
    }
    void Send(std::uint8_t type = 0x81) { requester.SendRequest(Request(type), type, 100); }
    void Answer(link::RequestStatus status) {
        requester.SetRequestStatus(status);
        requester.EndReplyWait(true);
    }
    // "chunk on background" of the gauge's style: "#008000 on #f0f0f0".
    QString Colours() const {
        const QString style = gauge.styleSheet();
        auto after = [&style](const QString& key) {
            const qsizetype at = style.indexOf(key);
            return at < 0 ? QString() : style.mid(at + key.size(), 7);
        };
        return after(QStringLiteral("chunk { background-color: ")) + QStringLiteral(" on ") +
               after(QStringLiteral("QProgressBar { border: 0px; background-color: "));
    }
    bool InputsEnabled() const { return port_.isEnabled() && address.isEnabled(); }

    // The gauge's ticks of 100 ms, as the connection's TimerGauge gives them.
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            requester.GaugeTick();
        }
    }

    FakeSerialPort port;
    NoPause pause;
    link::Requester requester{port, pause};
    QLabel panel;
    QProgressBar gauge;
    const QString face = gauge.palette().color(QPalette::Button).name();
    QLineEdit port_;
    QLineEdit address;
    int colourRestarts = 0;
    app::RequestStatusView view{requester,
                                {&panel, &gauge, {&port_, &address}, [this] { ++colourRestarts; }}};
};

TEST_F(RequestStatusViewTest, TheGaugeCountsTheWaitAndTheEndPaintsItsOutcome) {
    Send();
    EXPECT_EQ(gauge.maximum(), 20);
    EXPECT_EQ(gauge.value(), 0);
    EXPECT_EQ(Colours(), QStringLiteral("#000000 on #ffff00")) << "black on yellow while counting";
    EXPECT_FALSE(InputsEnabled());
    EXPECT_EQ(colourRestarts, 1);
    EXPECT_EQ(panel.text(), QStringLiteral(" "));

    // A reply before the first tick leaves a green stub of a tenth, on the gauge's own face.
    Answer(link::RequestStatus::Ok);
    EXPECT_EQ(gauge.value(), 2);
    EXPECT_EQ(Colours(), QStringLiteral("#008000 on ") + face);
    EXPECT_EQ(panel.text(), QStringLiteral(" OK"));
    EXPECT_TRUE(InputsEnabled());

    // A reply after some ticks leaves the bar where the count was.
    Send();
    Ticks(7);
    EXPECT_EQ(gauge.value(), 7);
    Answer(link::RequestStatus::Ok);
    EXPECT_EQ(gauge.value(), 7);

    // A second request replaces the first wait and starts the colour reset again.
    Send();
    Ticks(5);
    Send(0x88);
    EXPECT_EQ(gauge.value(), 0);
    EXPECT_EQ(colourRestarts, 4);

    // No reply: maroon, "Ошибка!", the inputs free again, the gauge timer stopped.
    Ticks(19);
    EXPECT_FALSE(InputsEnabled());
    Ticks(1);
    EXPECT_EQ(gauge.value(), 20);
    EXPECT_EQ(Colours(), QStringLiteral("#800000 on ") + face);
    EXPECT_EQ(panel.text(), QStringLiteral(" Ошибка!"));
    EXPECT_TRUE(InputsEnabled());

    // A request without a reply clears the status and leaves gauge, colour reset and inputs.
    const QString colours = Colours();
    requester.SendRequest(Request(0xD8), link::Requester::kNoWait, 100);
    EXPECT_EQ(panel.text(), QStringLiteral(" "));
    EXPECT_EQ(Colours(), colours);
    EXPECT_EQ(gauge.value(), 20);
    EXPECT_EQ(colourRestarts, 4);
    EXPECT_TRUE(InputsEnabled());
}

// A long operation (a read of all buffers): its progress stands in the panel for the whole run,
// the inputs stay locked between its requests, and its summary is the last word until the next
// request, whatever replies or timeouts of its own requests come after it.
TEST_F(RequestStatusViewTest, ALongOperationsProgressAndSummaryOutliveItsRequestsStatuses) {
    view.BeginLongOperation();
    EXPECT_FALSE(InputsEnabled());
    for (int meter = 1; meter <= 3; ++meter) {
        Send(0x82);
        view.ShowProgress(QStringLiteral("%1 / 256").arg(meter));
        Ticks(3);
        if (meter == 2) {
            Answer(link::RequestStatus::NoData);
        }
        EXPECT_EQ(panel.text(), QStringLiteral(" %1 / 256").arg(meter));
        EXPECT_FALSE(InputsEnabled()) << "between two requests of the loop too";
    }
    view.EndLongOperation(QStringLiteral("Стоп 3/256: без ответа 2, записи 0, без данных 1"));
    EXPECT_FALSE(InputsEnabled()) << "the last request's wait still runs";

    Ticks(20);  // the last request times out after the stop
    EXPECT_EQ(panel.text(), QStringLiteral(" Стоп 3/256: без ответа 2, записи 0, без данных 1"));
    EXPECT_TRUE(InputsEnabled());
    Answer(link::RequestStatus::Ok);  // and a late reply
    EXPECT_EQ(panel.text(), QStringLiteral(" Стоп 3/256: без ответа 2, записи 0, без данных 1"));

    Send();  // the engineer's next request speaks for itself again
    Answer(link::RequestStatus::Ok);
    EXPECT_EQ(panel.text(), QStringLiteral(" OK"));
}

}  // namespace
}  // namespace lumvaris::testing
