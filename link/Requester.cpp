#include "Requester.h"

namespace lumvaris::link {

std::string RequestStatusText(RequestStatus status, const std::string& customText) {
    switch (status) {
        case RequestStatus::Ok:
            return "OK";
        case RequestStatus::Error:
            return "Ошибка!";
        case RequestStatus::NoData:
            return "Нет данных ...";
        case RequestStatus::MemoryCleared:
            return "Память очищена";
        case RequestStatus::Text:
            return customText;
        case RequestStatus::None:
        case RequestStatus::Blank:
            break;
    }
    return {};
}

Requester::Requester(ISerialPort& port, IPause& pause, IRequestView& view)
    : port_(port), pause_(pause), view_(view) {}

void Requester::SendRequest(const FrameBuffer& frame, int expectedReplyType, int pauseMilliseconds,
                            bool usesUpAccess) {
    SetRequestStatus(RequestStatus::None);
    ShowRequestStatus();

    sendBuffer_ = frame;
    const std::size_t length = CompleteFrame(sendBuffer_);
    port_.Write(sendBuffer_.data(), length);  // throws on a lost or closed port
    if (observer_ != nullptr) {
        observer_->FrameSent(sendBuffer_.data(), length);
    }

    if (expectedReplyType != kNoWait) {
        expectedReplyType_ = expectedReplyType;
        StartReplyWait();
    }
    if (pauseMilliseconds != 0) {
        pause_.Pause(pauseMilliseconds);
    }
    if (usesUpAccess && view_.AccessControlOn()) {
        view_.DisableProtectedButtons();
    }
}

void Requester::StartReplyWait() {
    gauge_.maximum = view_.PortTimeoutSeconds() * kTicksPerSecond;
    countdown_ = gauge_.maximum;
    gauge_.background = GaugeColor::Yellow;
    gauge_.foreground = GaugeColor::Black;
    gauge_.progress = 0;
    waiting_ = true;
    view_.ShowGauge(gauge_);
    view_.SetGaugeTimerEnabled(true);
    view_.RestartColorResetTimer();
    view_.SetConnectionInputsEnabled(false);
}

void Requester::GaugeTick() {
    if (!waiting_) {
        view_.SetGaugeTimerEnabled(false);
        return;
    }
    --countdown_;
    gauge_.progress = gauge_.maximum - countdown_;
    view_.ShowGauge(gauge_);
    if (countdown_ <= 0) {
        EndReplyWait(false);
    }
}

void Requester::EndReplyWait(bool answered) {
    waiting_ = false;
    outcome_ = answered ? WaitOutcome::Answered : WaitOutcome::TimedOut;
    gauge_.background = GaugeColor::ButtonFace;
    if (answered) {
        gauge_.foreground = GaugeColor::Green;
        if (gauge_.progress < 1) {
            gauge_.progress = gauge_.maximum / 10;  // a green stub for a reply before the first tick
        }
        view_.ShowGauge(gauge_);
        ShowRequestStatus();
    } else {
        gauge_.foreground = GaugeColor::Maroon;
        view_.ShowGauge(gauge_);
        SetRequestStatus(RequestStatus::Error);
        ShowRequestStatus();
    }
    view_.SetGaugeTimerEnabled(false);
    view_.SetConnectionInputsEnabled(true);
}

void Requester::ShowRequestStatus() {
    view_.ShowRequestStatusText(" " + RequestStatusText(status_, statusText_));
}

}  // namespace lumvaris::link
