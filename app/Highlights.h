#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace lumvaris::session {
class ITimer;
class ITimerFactory;
}  // namespace lumvaris::session

namespace lumvaris::app {

// Values the concentrator reports turn maroon for two seconds: this paints them and remembers
// what it painted, so the colour reset (TimerResetColor) puts back exactly those, and a page can
// ask whether a value is still fresh. Every reply wait restarts the two seconds.
class Highlights {
  public:
    explicit Highlights(session::ITimerFactory& timers);
    ~Highlights();

    void Highlight(QWidget* control);
    // Still maroon: highlighted since the last colour reset.
    bool IsHighlighted(const QWidget* control) const;
    // A reply wait began: the reset falls 2000 ms from now.
    void RestartReset();
    void TimerResetColorTimer();

  private:
    std::unique_ptr<session::ITimer> timer_;
    std::vector<QPointer<QWidget>> painted_;
};

}  // namespace lumvaris::app
