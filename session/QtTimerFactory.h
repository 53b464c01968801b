#pragma once

#include "session/ITimer.h"

namespace lumvaris::session {

// Timers of the event loop: every timer of a thread shares one QTimer.
class QtTimerFactory final : public ITimerFactory {
  public:
    std::unique_ptr<ITimer> Create(const std::string& name, int intervalMs,
                                   std::function<void()> onTimeout) override;
};

}  // namespace lumvaris::session
