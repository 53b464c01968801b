#include "collect/Health.h"

#include <QCoreApplication>
#include <chrono>

#include "collect/FleetMetrics.h"

namespace lumvaris::collect {

qint64 SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Health::Health(int stallSeconds, int silenceSeconds, MonotonicClock clock)
    : stallSeconds_(stallSeconds), silenceSeconds_(silenceSeconds), clock_(std::move(clock)) {
    lastTick_ = clock_();
    lastHeard_ = lastTick_.load();
}

QString Health::Problem() const {
    const qint64 now = clock_();
    if (const qint64 stuck = now - lastTick_; stuck > qint64(stallSeconds_) * 1000) {
        return QCoreApplication::translate("collect::Health", "цикл событий не отвечает %1 с")
            .arg(stuck / 1000);
    }
    if (const qint64 silent = now - lastHeard_;
        silenceSeconds_ > 0 && silent > qint64(silenceSeconds_) * 1000) {
        return QCoreApplication::translate("collect::Health", "ни один концентратор не слышен %1 с")
            .arg(silent / 1000);
    }
    return {};
}

LoopProbe::LoopProbe(Health& health, Metrics& metrics, int intervalMs, MonotonicClock clock)
    : health_(health), metrics_(metrics), clock_(std::move(clock)), last_(clock_()) {
    timer_.setInterval(intervalMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &LoopProbe::Tick);
    timer_.start();
    health_.LoopTick();
}

void LoopProbe::Tick() {
    const qint64 now = clock_();
    const qint64 late = std::max<qint64>(0, now - last_ - timer_.interval());
    last_ = now;
    health_.LoopTick();
    metrics_.Set(metric::kEventLoopLag, {}, static_cast<double>(late) / 1000.0);
}

}  // namespace lumvaris::collect
