#pragma once

#include <functional>
#include <memory>
#include <string>

namespace lumvaris::session {

// A repeating timer of the user-interface thread (the event loop's thread of either program).
class ITimer {
  public:
    virtual ~ITimer() = default;
    // Starts the timer, or restarts it when it runs: it fires one interval from now.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
    virtual int Interval() const = 0;
};

// Makes the timers of a connection and of the window; tests pass one whose time they advance by hand.
class ITimerFactory {
  public:
    virtual ~ITimerFactory() = default;
    virtual std::unique_ptr<ITimer> Create(const std::string& name, int intervalMs,
                                           std::function<void()> onTimeout) = 0;
};

}  // namespace lumvaris::session
