#include "commands/ReadAllLoop.h"

#include <QCoreApplication>
#include <algorithm>

namespace lumvaris::commands {

void ReadAllLoop::Start(RequestType type, int first, int last) {
    type_ = type;
    first_ = first;
    meters_ = std::max(last - first + 1, 0);
    sent_ = 0;
    stopped_ = false;
    delivered_ = 0;
    withoutData_ = 0;
    heard_.assign(static_cast<std::size_t>(meters_), kNoReply);
    state_ = meters_ > 0 ? State::Sending : State::Idle;
}

int ReadAllLoop::Next() {
    if (state_ != State::Sending) {
        return 0;
    }
    if (sent_ == meters_) {
        state_ = State::AwaitingLast;
        return 0;
    }
    return first_ + sent_++;
}

void ReadAllLoop::Stop() {
    if (state_ == State::Sending) {
        stopped_ = sent_ < meters_;
        state_ = State::AwaitingLast;
    }
}

void ReadAllLoop::SendFailed() {
    if (state_ == State::Sending && sent_ > 0) {
        --sent_;
    }
    stopped_ = true;
    state_ = State::AwaitingLast;
}

bool ReadAllLoop::AllAnswered() const {
    return delivered_ + withoutData_ >= sent_;
}

void ReadAllLoop::Finish() {
    state_ = State::Idle;
}

int ReadAllLoop::WithoutReply() const {
    return std::max(sent_ - delivered_ - withoutData_, 0);
}

void ReadAllLoop::BufferReply(RequestType type, int meter, bool delivered) {
    if (state_ == State::Idle || type != type_) {
        return;
    }
    if (meter < first_ || meter >= first_ + sent_) {
        // A reply that names no meter of this loop still answered one request.
        if (!delivered && delivered_ + withoutData_ < sent_) {
            ++withoutData_;
        }
        return;
    }
    std::uint8_t& seen = heard_[static_cast<std::size_t>(meter - first_)];
    const std::uint8_t now = delivered ? kRecords : kNoData;
    if (now <= seen) {
        return;  // the same meter again (a late duplicate)
    }
    if (seen == kNoData) {
        --withoutData_;
    }
    seen = now;
    ++(delivered ? delivered_ : withoutData_);
}

QString ReadAllLoop::ProgressText() const {
    return QStringLiteral("%1 / %2").arg(sent_).arg(meters_);
}

QString ReadAllLoop::SummaryText() const {
    // What did not answer first: the panel may be too narrow for the whole line (the tooltip
    // has it).
    const QString counts =
        QCoreApplication::translate("commands::ReadAllLoop", "без ответа %1, записи %2, без данных %3")
            .arg(WithoutReply())
            .arg(delivered_)
            .arg(withoutData_);
    if (stopped_) {
        return QCoreApplication::translate("commands::ReadAllLoop", "Стоп %1/%2: ").arg(sent_).arg(meters_) +
               counts;
    }
    return QCoreApplication::translate("commands::ReadAllLoop", "Все %1: ").arg(meters_) + counts;
}

}  // namespace lumvaris::commands
