#include "app/Highlights.h"

#include <algorithm>

#include "session/ITimer.h"
#include "ui/WidgetColours.h"

namespace lumvaris::app {
namespace {

constexpr int kTimerResetColorInterval = 2000;

}  // namespace

Highlights::Highlights(session::ITimerFactory& timers) {
    timer_ = timers.Create("TimerResetColor", kTimerResetColorInterval, [this] { TimerResetColorTimer(); });
}

Highlights::~Highlights() = default;

void Highlights::Highlight(QWidget* control) {
    ui::SetFontColour(control, ui::kHighlightColour);
    if (!IsHighlighted(control)) {
        painted_.emplace_back(control);
    }
    // Starting a running timer would restart it: only a new reply wait does that.
    if (!timer_->IsActive()) {
        timer_->Start();
    }
}

bool Highlights::IsHighlighted(const QWidget* control) const {
    return std::any_of(painted_.begin(), painted_.end(),
                       [control](const QPointer<QWidget>& w) { return w.data() == control; });
}

void Highlights::RestartReset() {
    timer_->Stop();
    timer_->Start();
}

void Highlights::TimerResetColorTimer() {
    for (const QPointer<QWidget>& control : painted_) {
        if (control != nullptr) {
            ui::ResetFontColour(control);
        }
    }
    painted_.clear();
    timer_->Stop();
}

}  // namespace lumvaris::app
