#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

#include "session/ITimer.h"

namespace lumvaris::cli {

// The end of `listen --for`: any number of seconds ahead. A timer's interval is milliseconds in
// an int (24.8 days), so the deadline is kept apart and looked at every second; whole seconds
// from the start end on the second.
class ListenDeadline {
  public:
    // elapsedMs: the milliseconds since the start; onEnd is called once, at the deadline.
    ListenDeadline(session::ITimerFactory& timers, std::function<qint64()> elapsedMs, qint64 durationMs,
                   std::function<void()> onEnd);
    bool Ended() const { return ended_; }

  private:
    void Look();

    std::function<qint64()> elapsedMs_;
    qint64 durationMs_;
    std::function<void()> onEnd_;
    bool ended_ = false;
    std::unique_ptr<session::ITimer> timer_;
};

}  // namespace lumvaris::cli
