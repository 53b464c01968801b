#include "sinks/SinkQueue.h"

#include <algorithm>
#include <vector>

namespace lumvaris::sinks {

using Clock = std::chrono::steady_clock;

SinkQueue::SinkQueue(std::unique_ptr<ISink> sink, Options options, QObject* parent)
    : QObject(parent), sink_(std::move(sink)), options_(std::move(options)), url_(sink_->Url()) {
    worker_ = std::thread([this] { Run(); });
}

SinkQueue::~SinkQueue() {
    Stop(std::chrono::milliseconds(0));
}

bool SinkQueue::Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source,
                        const QString& site, const QString& uartId) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return false;
        }
        if (queue_.size() + inFlight_ >= static_cast<std::size_t>(options_.Capacity)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        wake = queue_.empty();
        queue_.push_back(Entry{record, source, site, uartId});
    }
    // Only an empty queue can have left the worker waiting.
    if (wake) {
        work_.notify_one();
    }
    return true;
}

qint64 SinkQueue::Queued() const {
    std::lock_guard lock(mutex_);
    return static_cast<qint64>(queue_.size() + inFlight_);
}

bool SinkQueue::WaitUntilWritten(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return queue_.empty() && inFlight_ == 0; });
}

qint64 SinkQueue::Stop(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            stopping_ = true;
            deadline_ = Clock::now() + timeout;
        }
    }
    work_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
    return left_;
}

void SinkQueue::SetReachable(bool reachable, const QString& why) {
    if (reachable_.exchange(reachable) == reachable) {
        return;
    }
    if (reachable) {
        emit ReachabilityChanged(
            true, QStringLiteral("Связь с «%1» восстановлена: показания из очереди записываются.").arg(url_));
    } else {
        emit ReachabilityChanged(
            false,
            why + QStringLiteral("\nПоказания ждут в очереди и будут записаны, когда связь восстановится."));
    }
}

void SinkQueue::ReportOverflow() {
    const qint64 dropped = dropped_.load();
    if (dropped == droppedReported_) {
        return;
    }
    droppedReported_ = dropped;
    if (!overflowSaid_) {
        overflowSaid_ = true;
        emit Overflowed(
            QStringLiteral("Очередь записи в «%1» заполнена (%2 показаний): новые показания в неё не "
                           "попадают и остаются только в локальной базе данных порта. Экспорт базы "
                           "порта позже допишет недостающие.")
                .arg(url_)
                .arg(options_.Capacity));
    }
}

bool SinkQueue::PauseBeforeRetry(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !work_.wait_for(lock, pause, [this] { return stopping_; });
}

void SinkQueue::Run() {
    ReadingBuilder builder(options_.Locale);
    std::vector<Entry> batch;
    std::vector<Reading> readings;
    std::chrono::milliseconds pause = options_.FirstRetry;
    bool open = false;
    bool built = false;

    while (true) {
        if (batch.empty()) {
            std::unique_lock lock(mutex_);
            if (queue_.size() <= static_cast<std::size_t>(options_.Capacity) / 2) {
                overflowSaid_ = false;
            }
            idle_.notify_all();
            work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty() || (stopping_ && Clock::now() >= deadline_)) {
                break;
            }
            const std::size_t take = std::min<std::size_t>(queue_.size(), std::max(options_.BatchSize, 1));
            batch.assign(std::make_move_iterator(queue_.begin()),
                         std::make_move_iterator(queue_.begin() + take));
            queue_.erase(queue_.begin(), queue_.begin() + take);
            inFlight_ = batch.size();
            built = false;
        }
        ReportOverflow();

        if (!open) {
            open = sink_->Open();
        }
        if (open && !built) {
            readings.clear();
            readings.reserve(batch.size());
            Reading reading;
            for (const Entry& entry : batch) {
                if (builder.Build(entry.Record, entry.Source, entry.Site, entry.UartId, reading)) {
                    readings.push_back(reading);
                }
            }
            built = true;
        }
        if (open && sink_->Write(readings)) {
            written_.fetch_add(static_cast<qint64>(batch.size()));
            batch.clear();
            {
                std::lock_guard lock(mutex_);
                inFlight_ = 0;
            }
            SetReachable(true, QString());
            pause = options_.FirstRetry;
            continue;
        }

        SetReachable(false, sink_->LastError());
        sink_->Close();
        open = false;
        if (!PauseBeforeRetry(pause)) {
            break;  // stopping: nobody waits for a sink that does not take writes
        }
        pause = std::min(pause * 2, options_.LongestRetry);
    }

    {
        std::lock_guard lock(mutex_);
        left_ = static_cast<qint64>(queue_.size() + batch.size());
        queue_.clear();
        inFlight_ = 0;
    }
    idle_.notify_all();
    if (open && !sink_->Finish()) {
        SetReachable(false, sink_->LastError());
    }
    sink_->Close();
}

void FiledRecordsFeed::SetUartId(std::uint16_t uartId) {
    uartId_ = UartIdText(uartId);
}

void FiledRecordsFanOut::Add(meterdata::IFiledRecords* listener) {
    if (listener != nullptr &&
        std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void FiledRecordsFanOut::Remove(meterdata::IFiledRecords* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void FiledRecordsFanOut::RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) {
    for (meterdata::IFiledRecords* listener : listeners_) {
        listener->RecordFiled(record, source);
    }
}

}  // namespace lumvaris::sinks
