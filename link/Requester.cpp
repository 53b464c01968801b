#include "Requester.h"

#include <algorithm>

namespace lumvaris::link {

Requester::Requester(ISerialPort& port, IPause& pause) : port_(port), pause_(pause) {}

void Requester::AddListener(IRequestListener* listener) {
    if (listener != nullptr &&
        std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void Requester::RemoveListener(IRequestListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Requester::SendRequest(const FrameBuffer& frame, int expectedReplyType, int pauseMilliseconds) {
    Tell([](IRequestListener& l) { l.RequestStarting(); });
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
        pauseMs_ = pauseMilliseconds;
        ticks_ = timeoutSeconds_ * kTicksPerSecond;
        countdown_ = ticks_;
        waiting_ = true;
        Tell([this](IRequestListener& l) { l.WaitStarted(ticks_); });
    }
    if (pauseMilliseconds != 0) {
        pause_.Pause(pauseMilliseconds);
    }
}

void Requester::GaugeTick() {
    if (!waiting_) {
        return;
    }
    --countdown_;
    Tell([this](IRequestListener& l) { l.WaitTicked(ElapsedTicks(), ticks_); });
    if (countdown_ <= 0) {
        EndReplyWait(false);
    }
}

void Requester::EndReplyWait(bool answered) {
    waiting_ = false;
    outcome_ = answered ? WaitOutcome::Answered : WaitOutcome::TimedOut;
    if (!answered) {
        SetRequestStatus(RequestStatus::Error);
    }
    // The status first: what hears the end (a firmware line sent again) may set its own.
    ShowRequestStatus();
    Tell([this](IRequestListener& l) { l.WaitEnded(outcome_, ElapsedTicks(), ticks_); });
}

void Requester::ShowRequestStatus() {
    Tell([this](IRequestListener& l) { l.StatusShown(status_, statusText_); });
}

}  // namespace lumvaris::link
