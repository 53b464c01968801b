#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "session/ITimer.h"

namespace lumvaris::testing {

class FakeTimerFactory;

// A timer that fires only when the test advances the factory's clock.
class FakeTimer final : public session::ITimer {
  public:
    FakeTimer(FakeTimerFactory& factory, std::string name, int intervalMs, std::function<void()> handler);
    ~FakeTimer() override;
    void Start() override;
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }
    int Interval() const override { return interval_; }

    const std::string& Name() const { return name_; }

  private:
    friend class FakeTimerFactory;
    FakeTimerFactory& factory_;
    std::string name_;
    int interval_;
    std::function<void()> handler_;
    bool active_ = false;
    long long deadline_ = 0;
};

// Driven time: Advance fires every due timer in deadline order, as often as it falls due.
class FakeTimerFactory final : public session::ITimerFactory {
  public:
    std::unique_ptr<session::ITimer> Create(const std::string& name, int intervalMs,
                                            std::function<void()> onTimeout) override;
    void Advance(int milliseconds);
    // Lets time pass to the deadline of the named timer, firing every timer due before it, then
    // fires that one once: a test can act between two firings of a 0 ms timer. False when the
    // timer is not running.
    bool FireNext(const std::string& name);
    long long Now() const { return now_; }
    FakeTimer* Find(const std::string& name) const;

  private:
    friend class FakeTimer;
    FakeTimer* FirstDue(long long target) const;
    void Fire(FakeTimer& timer);
    std::vector<FakeTimer*> timers_;
    long long now_ = 0;
};

}  // namespace lumvaris::testing
