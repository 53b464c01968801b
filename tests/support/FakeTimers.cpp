#include "FakeTimers.h"

#include <algorithm>

namespace lumvaris::testing {

FakeTimer::FakeTimer(FakeTimerFactory& factory, std::string name, int intervalMs,
                     std::function<void()> handler)
    : factory_(factory), name_(std::move(name)), interval_(intervalMs), handler_(std::move(handler)) {
    factory_.timers_.push_back(this);
}

FakeTimer::~FakeTimer() {
    std::erase(factory_.timers_, this);
}

void FakeTimer::Start() {
    active_ = true;
    deadline_ = factory_.now_ + interval_;
}

std::unique_ptr<session::ITimer> FakeTimerFactory::Create(const std::string& name, int intervalMs,
                                                          std::function<void()> onTimeout) {
    return std::make_unique<FakeTimer>(*this, name, intervalMs, std::move(onTimeout));
}

FakeTimer* FakeTimerFactory::FirstDue(long long target) const {
    FakeTimer* due = nullptr;
    for (FakeTimer* t : timers_) {
        if (t->active_ && t->deadline_ <= target && (due == nullptr || t->deadline_ < due->deadline_)) {
            due = t;
        }
    }
    return due;
}

void FakeTimerFactory::Fire(FakeTimer& timer) {
    now_ = timer.deadline_;
    timer.deadline_ += timer.interval_;
    timer.handler_();
}

void FakeTimerFactory::Advance(int milliseconds) {
    const long long target = now_ + milliseconds;
    while (FakeTimer* due = FirstDue(target)) {
        Fire(*due);
    }
    now_ = target;
}

bool FakeTimerFactory::FireNext(const std::string& name) {
    FakeTimer* timer = Find(name);
    while (timer != nullptr && timer->active_) {
        FakeTimer* due = FirstDue(timer->deadline_);
        if (due == nullptr || due == timer || due->deadline_ == timer->deadline_) {
            Fire(*timer);
            return true;
        }
        Fire(*due);
    }
    return false;
}

FakeTimer* FakeTimerFactory::Find(const std::string& name) const {
    const auto found =
        std::find_if(timers_.begin(), timers_.end(), [&](FakeTimer* t) { return t->Name() == name; });
    return found == timers_.end() ? nullptr : *found;
}

}  // namespace lumvaris::testing
