#include "sinks/SinkQueue.h"

#include <QCoreApplication>
#include <algorithm>
#include <vector>

namespace lumvaris::sinks {

using Clock = std::chrono::steady_clock;

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

SinkQueue::SinkQueue(std::unique_ptr<ISink> sink, Options options, QObject* parent)
    : QObject(parent), sink_(std::move(sink)), options_(std::move(options)), url_(sink_->Url()) {
    worker_ = std::thread([this] { Run(); });
    watchdog_ = std::thread([this] { Watch(); });
}

SinkQueue::~SinkQueue() {
    Stop(std::chrono::milliseconds(0));
}

void SinkQueue::Attach(std::shared_ptr<IOutbox> outbox) {
    if (outbox) {
        // The outbox's writer tells the worker when entries are on the disk.
        outbox->SetReadyCallback([this] {
            std::lock_guard lock(mutex_);
            work_.notify_all();
        });
    }
    {
        std::lock_guard lock(mutex_);
        outbox_ = std::move(outbox);
        detaching_ = false;
    }
    work_.notify_all();
}

qint64 SinkQueue::Detach(std::chrono::milliseconds wait) {
    BeginDetach(Clock::now() + wait);
    return EndDetach();
}

void SinkQueue::BeginDetach(Clock::time_point deadline) {
    {
        std::lock_guard lock(mutex_);
        if (!outbox_ || finished_) {
            return;
        }
        detaching_ = true;
        if (!stopping_) {
            deadline_ = deadline;
        }
    }
    work_.notify_all();
    watch_.notify_all();
}

qint64 SinkQueue::EndDetach() {
    std::shared_ptr<IOutbox> outbox;
    {
        std::unique_lock lock(mutex_);
        if (!outbox_) {
            return 0;
        }
        // A last try that hangs (a connection to a server that does not answer) is not waited for
        // beyond the deadline: the outbox is taken from the worker, whose late acknowledgements then
        // find it closed, and what it was writing comes again at the next run.
        idle_.wait_until(lock, deadline_ + std::chrono::milliseconds(500),
                         [this] { return !detaching_ || finished_; });
        outbox = std::move(outbox_);
        outbox_.reset();
        detaching_ = false;
    }
    work_.notify_all();
    outbox->SetReadyCallback({});
    outbox->GiveBack();
    return outbox->Pending();
}

bool SinkQueue::Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source,
                        const QString& site, const QString& uartId) {
    std::shared_ptr<IOutbox> outbox;
    {
        std::lock_guard lock(mutex_);
        outbox = outbox_;
    }
    return outbox && AddRecord(*outbox, record, source, site, uartId);
}

SinkQueue::Answer SinkQueue::WaitForFirstAnswer(std::chrono::milliseconds wait, QString& message) {
    std::unique_lock lock(mutex_);
    idle_.wait_for(lock, wait, [this] { return answer_ != Answer::None; });
    message = answerText_;
    return answer_;
}

qint64 SinkQueue::Queued() const {
    std::lock_guard lock(mutex_);
    return outbox_ ? outbox_->Pending() : 0;
}

qint64 SinkQueue::Dropped() const {
    std::lock_guard lock(mutex_);
    return outbox_ ? outbox_->Dropped() : 0;
}

bool SinkQueue::WaitUntilWritten(std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (true) {
        if (!outbox_ || (outbox_->Pending() == 0 && inHand_ == 0)) {
            return true;
        }
        if (idle_.wait_until(lock, std::min(until, Clock::now() + std::chrono::milliseconds(20))) ==
                std::cv_status::timeout &&
            Clock::now() >= until) {
            return !outbox_ || (outbox_->Pending() == 0 && inHand_ == 0);
        }
    }
}

void SinkQueue::RequestStop(Clock::time_point deadline) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        deadline_ = deadline;
    }
    work_.notify_all();
    watch_.notify_all();
}

qint64 SinkQueue::FinishStop() {
    if (worker_.joinable()) {
        worker_.join();
    }
    {
        std::lock_guard lock(mutex_);
        watchEnd_ = true;
    }
    watch_.notify_all();
    if (watchdog_.joinable()) {
        watchdog_.join();
    }
    std::shared_ptr<IOutbox> outbox;
    {
        std::lock_guard lock(mutex_);
        outbox = std::move(outbox_);
        outbox_.reset();
    }
    if (outbox) {
        outbox->SetReadyCallback({});
        outbox->GiveBack();
        left_ = outbox->Pending();
    }
    return left_;
}

qint64 SinkQueue::Stop(std::chrono::milliseconds timeout) {
    RequestStop(Clock::now() + timeout);
    return FinishStop();
}

bool SinkQueue::Leaving() const {
    return stopping_ || detaching_;
}

bool SinkQueue::DeadlinePassed() const {
    return Clock::now() >= deadline_;
}

void SinkQueue::SetReachable(bool reachable, const QString& why) {
    if (reachable_.exchange(reachable) == reachable) {
        return;
    }
    if (reachable) {
        emit ReachabilityChanged(
            true, QCoreApplication::translate(
                      "sinks::SinkQueue", "Связь с «%1» восстановлена: показания из очереди записываются.")
                      .arg(url_));
    } else {
        emit ReachabilityChanged(
            false, why + QCoreApplication::translate(
                             "sinks::SinkQueue",
                             "\nПоказания ждут в очереди и будут записаны, когда связь восстановится."));
    }
}

void SinkQueue::ReportOverflow(IOutbox& outbox) {
    const qint64 dropped = outbox.Dropped();
    if (dropped == droppedReported_) {
        return;
    }
    droppedReported_ = dropped;
    if (!overflowSaid_) {
        overflowSaid_ = true;
        emit Overflowed(
            QCoreApplication::translate("sinks::SinkQueue",
                                        "Очередь записи в «%1» на диске заполнена (%2): новые показания в "
                                        "неё не попадают и остаются только в локальной базе данных порта. "
                                        "Экспорт базы порта позже допишет недостающие.")
                .arg(url_)
                .arg(SizeText(outbox.MaxBytes())));
    }
}

void SinkQueue::Watch() {
    // A write or open that hangs past its time (or past the stop's deadline) is aborted once.
    std::unique_lock lock(mutex_);
    std::int64_t abortedFor = 0;
    while (!watchEnd_) {
        watch_.wait_for(lock, std::chrono::milliseconds(200));
        const std::int64_t since = busySinceMs_.load();
        if (since == 0 || since == abortedFor) {
            continue;
        }
        const bool tooLong = NowMs() - since >= options_.WriteTimeout.count();
        const bool pastStop = Leaving() && Clock::now() >= deadline_;
        if (tooLong || pastStop) {
            abortedFor = since;
            lock.unlock();
            sink_->Abort();
            lock.lock();
        }
    }
}

void SinkQueue::Run() {
    ReadingBuilder builder(options_.Locale);
    std::vector<OutboxEntry> batch;
    std::vector<Reading> readings;
    std::chrono::milliseconds pause = options_.FirstRetry;
    bool open = false;
    bool built = false;
    bool lastTryMade = false;  // after a stop or detach was asked
    std::shared_ptr<IOutbox> outbox;

    auto busy = [this](bool on) {
        // Never 0 while busy: 0 means idle.
        busySinceMs_.store(on ? std::max<std::int64_t>(1, NowMs()) : 0);
    };
    auto answer = [this](Answer a, const QString& text) {
        std::lock_guard lock(mutex_);
        if (answer_ == Answer::None || a == Answer::Connected) {
            answer_ = a;
            answerText_ = text;
        }
        idle_.notify_all();
    };
    auto tryOpen = [&] {
        busy(true);
        open = sink_->Open();
        busy(false);
        if (open) {
            answer(Answer::Connected, QString());
        } else {
            answer(sink_->Refused() ? Answer::Refused : Answer::Unreachable, sink_->LastError());
        }
        return open;
    };

    // The first answer comes before any record, so a refused login is known before a port opens;
    // an unreachable sink is said with the first batch it cannot take (nobody listens yet).
    if (!tryOpen()) {
        sink_->Close();
    }

    while (true) {
        {
            std::unique_lock lock(mutex_);
            if (outbox_ != outbox) {
                // Attached or detached meanwhile: the batch in hand belongs to the old outbox.
                if (outbox) {
                    outbox->GiveBack();
                }
                batch.clear();
                inHand_ = 0;
                outbox = outbox_;
                overflowSaid_ = false;
                droppedReported_ = outbox ? outbox->Dropped() : 0;
            }
            if (batch.empty()) {
                if (outbox) {
                    lock.unlock();
                    outbox->Take(batch, static_cast<std::size_t>(std::max(options_.BatchSize, 1)));
                    lock.lock();
                    inHand_ = batch.size();
                    built = false;
                    if (outbox->Pending() <= 0) {
                        overflowSaid_ = false;
                    }
                }
                if (batch.empty()) {
                    idle_.notify_all();
                    // Records added a moment ago are on their way to the disk: a stop or a detach
                    // waits for them while it has time.
                    if (Leaving() && outbox && !DeadlinePassed() &&
                        (outbox->HasUnwritten() || outbox->HasReady())) {
                        work_.wait_until(lock,
                                         std::min(deadline_, Clock::now() + std::chrono::milliseconds(20)));
                        continue;
                    }
                    if (detaching_) {
                        detaching_ = false;  // nothing left to write: let go now
                        lastTryMade = false;
                        idle_.notify_all();
                        work_.wait(lock, [&] { return stopping_ || outbox_ != outbox; });
                        continue;
                    }
                    if (stopping_) {
                        break;
                    }
                    work_.wait(lock, [&] {
                        return stopping_ || detaching_ || outbox_ != outbox || (outbox && outbox->HasReady());
                    });
                    continue;
                }
            } else if (Leaving() && (DeadlinePassed() || lastTryMade)) {
                // Out of time, or the last try failed: what is left stays in the outbox.
                if (outbox) {
                    outbox->GiveBack();
                }
                batch.clear();
                inHand_ = 0;
                if (stopping_) {
                    break;
                }
                detaching_ = false;
                lastTryMade = false;
                idle_.notify_all();
                work_.wait(lock, [&] { return stopping_ || outbox_ != outbox; });
                continue;
            }
        }
        if (outbox) {
            ReportOverflow(*outbox);
        }

        if (!open) {
            tryOpen();
        }
        if (open && !built) {
            readings.clear();
            readings.reserve(batch.size());
            Reading reading;
            for (const OutboxEntry& entry : batch) {
                if (builder.BuildAt(entry.Record, entry.Source, entry.Site, entry.UartId, entry.UtcMs,
                                    reading)) {
                    readings.push_back(reading);
                }
            }
            built = true;
        }
        bool wrote = false;
        if (open) {
            busy(true);
            wrote = sink_->Write(readings);
            busy(false);
        }
        if (wrote) {
            outbox->Acknowledge(batch.size());
            written_.fetch_add(static_cast<qint64>(batch.size()));
            batch.clear();
            {
                std::lock_guard lock(mutex_);
                inHand_ = 0;
            }
            SetReachable(true, QString());
            pause = options_.FirstRetry;
            continue;
        }

        SetReachable(false, sink_->LastError());
        sink_->Close();
        open = false;
        std::unique_lock lock(mutex_);
        if (Leaving()) {
            lastTryMade = true;
            continue;
        }
        // The pause ends early for a stop or a detach, which then make one last try.
        work_.wait_for(lock, pause, [this] { return Leaving(); });
        pause = std::min(pause * 2, options_.LongestRetry);
    }

    {
        std::lock_guard lock(mutex_);
        inHand_ = 0;
        finished_ = true;
        detaching_ = false;
    }
    idle_.notify_all();
    if (open && !sink_->Finish()) {
        SetReachable(false, sink_->LastError());
    }
    sink_->Close();
}

}  // namespace lumvaris::sinks
