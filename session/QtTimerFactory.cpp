#include "QtTimerFactory.h"

#include <QTimer>

#include <chrono>
#include <map>

namespace lumvaris::session {
namespace {

using Clock = std::chrono::steady_clock;

constexpr Clock::duration kMostEarly = std::chrono::milliseconds(5);

class QtTimer;

// Every timer of a thread on one QTimer. Qt keeps its timers in a list sorted by a linear scan
// on every start, stop and repeat, which a collector of a thousand sites (four timers a site, two
// of them ticking every 100 ms) spent a quarter of its loop on; here a start or a stop is a
// lookup in a tree, and Qt sees one timer.
class Schedule {
  public:
    static Schedule& Acquire() {
        if (current_ == nullptr) {
            current_ = new Schedule;
        }
        ++current_->users_;
        return *current_;
    }

    void Release() {
        if (--users_ == 0) {
            wake_->stop();
            if (depth_ == 0) {
                Destroy(false);
            }
        }
    }

    using Entries = std::multimap<Clock::time_point, QtTimer*>;

    Entries::iterator Add(Clock::time_point due, QtTimer* timer) {
        const Entries::iterator at = entries_.emplace(due, timer);
        if (!wake_->isActive() || due < wakeAt_) {
            Wake();
        }
        return at;
    }

    // The wake-up stays as it was: one that comes too early finds nothing due and sets the next.
    void Remove(Entries::iterator at) { entries_.erase(at); }

  private:
    Schedule() : wake_(new QTimer) {
        wake_->setSingleShot(true);
        wake_->setTimerType(Qt::PreciseTimer);
        QObject::connect(wake_, &QTimer::timeout, [this] { Fire(); });
    }

    void Destroy(bool insideTimeout) {
        current_ = nullptr;
        if (insideTimeout) {
            wake_->deleteLater();
        } else {
            delete wake_;
        }
        delete this;
    }

    void Wake() {
        if (entries_.empty()) {
            wake_->stop();
            return;
        }
        const Clock::time_point now = Clock::now();
        const Clock::time_point due = entries_.begin()->first;
        const auto ms = due <= now ? 0 : std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
        wakeAt_ = now + std::chrono::milliseconds(ms);
        wake_->start(static_cast<int>(ms));
    }

    void Fire();

    static thread_local Schedule* current_;
    QTimer* wake_;
    Clock::time_point wakeAt_{};
    Entries entries_;
    int users_ = 0;
    int depth_ = 0;  // passes under way: a handler may run an event loop of its own (a message box)
};

thread_local Schedule* Schedule::current_ = nullptr;

class QtTimer final : public ITimer {
  public:
    QtTimer(int intervalMs, std::function<void()> onTimeout)
        : schedule_(Schedule::Acquire()), interval_(intervalMs), handler_(std::move(onTimeout)) {}

    ~QtTimer() override {
        if (gone_ != nullptr) {
            *gone_ = true;
        }
        Stop();
        schedule_.Release();
    }

    void Start() override { Arm(Clock::now() + std::chrono::milliseconds(interval_)); }

    void Stop() override {
        if (active_) {
            active_ = false;
            schedule_.Remove(at_);
        }
    }

    bool IsActive() const override { return active_; }
    int Interval() const override { return interval_; }
    Clock::duration Slack() const { return std::chrono::microseconds(interval_) * 50; }

    // The next round after one that was due at `due`; as QTimer does, a timer that fell behind
    // goes on from now instead of firing for every round it missed.
    void Repeat(Clock::time_point due, Clock::time_point now) {
        Clock::time_point next = due + std::chrono::milliseconds(interval_);
        if (next <= now) {
            next = now + std::chrono::milliseconds(interval_);
        }
        if (next <= now) {
            next = now + Clock::duration(1);  // an interval of 0: the next pass
        }
        Arm(next);
    }

    // As with a QTimer, a handler that opens an event loop is not run again from inside it.
    void Run() {
        if (gone_ != nullptr) {
            return;
        }
        bool gone = false;
        gone_ = &gone;
        handler_();
        if (!gone) {
            gone_ = nullptr;
        }
    }

  private:
    void Arm(Clock::time_point due) {
        Stop();
        at_ = schedule_.Add(due, this);
        active_ = true;
    }

    Schedule& schedule_;
    const int interval_;
    const std::function<void()> handler_;
    Schedule::Entries::iterator at_;
    bool active_ = false;
    bool* gone_ = nullptr;  // while its handler runs: set when the timer is deleted meanwhile
};

void Schedule::Fire() {
    ++depth_;
    const Clock::time_point now = Clock::now();
    // As Qt's coarse timers (its default), one may fire up to 5 % of its interval early, so that
    // timers due within a few milliseconds of each other take one pass of the loop, not one each.
    for (;;) {
        Entries::iterator next = entries_.begin();
        while (next != entries_.end() && next->first > now && next->first <= now + kMostEarly &&
               next->first - now > next->second->Slack()) {
            ++next;
        }
        if (next == entries_.end() || next->first > now + kMostEarly) {
            break;
        }
        const Clock::time_point due = next->first;
        QtTimer* timer = next->second;
        // Due again before its handler runs: the handler may stop it, restart it or delete it. The
        // wake-up, off inside its own timeout, is set again here: an event loop that a handler
        // opens (a message box) still fires the other timers, as separate QTimers would.
        timer->Repeat(due, now);
        timer->Run();
    }
    if (--depth_ == 0 && users_ == 0) {
        Destroy(true);
        return;
    }
    Wake();
}

}  // namespace

std::unique_ptr<ITimer> QtTimerFactory::Create(const std::string& /*name*/, int intervalMs,
                                               std::function<void()> onTimeout) {
    return std::make_unique<QtTimer>(intervalMs, std::move(onTimeout));
}

}  // namespace lumvaris::session
