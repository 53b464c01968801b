#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>

namespace lumvaris::collect {

class Metrics;

// A monotonic clock in milliseconds (std::chrono::steady_clock), or the test's.
using MonotonicClock = std::function<qint64()>;
qint64 SteadyMilliseconds();

// What the health endpoint answers, told from the collector's event loop and read from the
// endpoint's thread.
class Health {
  public:
    // stallSeconds: the event loop counts as stuck when its last tick is older; silenceSeconds:
    // unhealthy when no site was heard for so long (0: never).
    Health(int stallSeconds, int silenceSeconds, MonotonicClock clock = SteadyMilliseconds);

    void LoopTick() { lastTick_ = clock_(); }
    void SiteHeard() { lastHeard_ = clock_(); }

    // Empty when healthy, otherwise why not (Russian).
    QString Problem() const;

  private:
    int stallSeconds_;
    int silenceSeconds_;
    MonotonicClock clock_;
    std::atomic<qint64> lastTick_;
    std::atomic<qint64> lastHeard_;  // the start counts as heard
};

// Ticks `health` from a timer of the event loop it lives in and keeps the loop's lag (how late the
// timer fired) in lumvaris_event_loop_lag_seconds.
class LoopProbe : public QObject {
    Q_OBJECT
  public:
    LoopProbe(Health& health, Metrics& metrics, int intervalMs = 1000,
              MonotonicClock clock = SteadyMilliseconds);

  private:
    void Tick();
    Health& health_;
    Metrics& metrics_;
    MonotonicClock clock_;
    QTimer timer_;
    qint64 last_;
};

}  // namespace lumvaris::collect
