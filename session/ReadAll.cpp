#include "session/ReadAll.h"

#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ReplyHandler.h"
#include "session/ITimer.h"

namespace lumvaris::session {

using commands::RequestType;
namespace request = commands::request;

ReadAll::ReadAll(commands::CommandSender& sender, link::Requester& requester, commands::ReplyHandler& replies,
                 const commands::IConnectionControl& connection, ITimerFactory& timers, Guard guard)
    : sender_(sender), requester_(requester), replies_(replies), connection_(connection) {
    auto guarded = [guard = std::move(guard)](std::function<void()> step) {
        return [guard, step = std::move(step)] {
            if (guard) {
                guard(step);
            } else {
                step();
            }
        };
    };
    stepTimer_ = timers.Create("TimerReadAll", kStepMs, guarded([this] { Step(); }));
    awaitTimer_ = timers.Create("TimerReadAllEnd", kAwaitTickMs, guarded([this] { AwaitTick(); }));
    gapTimer_ = timers.Create("TimerReadAllReply", kReplyGapMs, guarded([this] { Step(); }));
    requester_.AddListener(this);
}

ReadAll::~ReadAll() {
    requester_.RemoveListener(this);
    if (loop_.Running()) {
        replies_.SetBufferReplyObserver(nullptr);
    }
}

bool ReadAll::Start(RequestType type, int first, int last, ReadAllPace pace) {
    if (loop_.Running() || !connection_.IsOpen()) {
        return false;
    }
    loop_.Start(type, first, last);
    if (!loop_.Running()) {
        return false;
    }
    pace_ = pace;
    awaitingReply_ = false;
    replies_.SetBufferReplyObserver(&loop_);
    if (view_ != nullptr) {
        view_->ReadAllStarted(loop_);
    }
    Step();
    return true;
}

void ReadAll::Step() {
    stepTimer_->Stop();
    gapTimer_->Stop();
    if (loop_.CurrentState() != commands::ReadAllLoop::State::Sending) {
        return;
    }
    if (!connection_.IsOpen()) {
        loop_.Stop();
        Finish();
        return;
    }
    const int meter = loop_.Next();
    if (meter == 0) {
        if (pace_ == ReadAllPace::Reply) {
            // Every request has had its reply or its whole timeout already.
            Finish();
            return;
        }
        // Every request has gone out: the last replies have until the port timeout.
        awaitTicks_ = requester_.TimeoutSeconds() * link::Requester::kTicksPerSecond;
        AwaitTick();
        return;
    }
    if (view_ != nullptr) {
        view_->ReadAllSending(meter);
    }
    const commands::Request read = loop_.Type() == RequestType::PacketBufferRead
                                       ? request::PacketBufferRead(meter)
                                       : request::MonthBufferRead(meter);
    try {
        if (pace_ == ReadAllPace::Reply) {
            awaitingReply_ = true;
            sender_.SendWithoutPause(read);
        } else {
            sender_.Send(read);
        }
    } catch (...) {
        // A port lost in the middle: stop here, the summary says how far the loop came.
        awaitingReply_ = false;
        loop_.SendFailed();
        Finish();
        throw;
    }
    if (view_ != nullptr) {
        view_->ReadAllSent(loop_);
    }
    if (pace_ == ReadAllPace::Window) {
        stepTimer_->Start();
    }
}

void ReadAll::WaitEnded(link::WaitOutcome, int, int) {
    // Told from inside the reply handler or the gauge tick: the next request goes from the gap
    // timer, once they have returned.
    if (awaitingReply_ && loop_.CurrentState() == commands::ReadAllLoop::State::Sending) {
        awaitingReply_ = false;
        gapTimer_->Start();
    }
}

void ReadAll::AwaitTick() {
    if (loop_.CurrentState() != commands::ReadAllLoop::State::AwaitingLast) {
        awaitTimer_->Stop();
        return;
    }
    if (loop_.AllAnswered() || awaitTicks_-- <= 0) {
        Finish();
        return;
    }
    if (!awaitTimer_->IsActive()) {
        awaitTimer_->Start();
    }
}

bool ReadAll::Stop() {
    if (!loop_.Running()) {
        return false;
    }
    loop_.Stop();
    Finish();
    return true;
}

void ReadAll::Finish() {
    stepTimer_->Stop();
    awaitTimer_->Stop();
    gapTimer_->Stop();
    awaitingReply_ = false;
    if (!loop_.Running()) {
        return;
    }
    loop_.Finish();
    replies_.SetBufferReplyObserver(nullptr);
    if (view_ != nullptr) {
        view_->ReadAllFinished(loop_);
    }
}

}  // namespace lumvaris::session
