#include "monitor/TrafficModel.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "monitor/TrafficText.h"

namespace lumvaris::monitor {

TrafficModel::TrafficModel(const TrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), next_(log.FirstSequence()) {}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTrafficColumns;
}

const TrafficEntry* TrafficModel::Entry(int row) const {
    if (row < 0 || row >= rowCount()) {
        return nullptr;
    }
    const std::uint64_t sequence = rows_[static_cast<std::size_t>(row)];
    return sequence >= log_.FirstSequence() && sequence < log_.EndSequence() ? &log_.At(sequence) : nullptr;
}

const QStringList* TrafficModel::Texts(int row) const {
    const TrafficEntry* entry = Entry(row);
    if (entry == nullptr) {
        return nullptr;
    }
    const std::uint64_t sequence = rows_[static_cast<std::size_t>(row)];
    CachedTexts& cached = cache_[sequence % kCacheSize];
    if (cached.sequence != sequence) {
        cached.texts = TrafficTexts(*entry);
        cached.sequence = sequence;
    }
    return &cached.texts;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= kTrafficColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        const QStringList* texts = Texts(index.row());
        return texts != nullptr ? texts->value(index.column()) : QString();
    }
    if (role == Qt::ForegroundRole) {
        const TrafficEntry* entry = Entry(index.row());
        if (entry != nullptr &&
            (entry->kind == TrafficKind::BadChecksum || entry->kind == TrafficKind::Discarded)) {
            return QBrush(QColor(128, 0, 0));
        }
    }
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    return orientation == Qt::Horizontal ? QVariant(TrafficHeaders().value(section)) : QVariant(section + 1);
}

int TrafficModel::Publish() {
    const std::uint64_t first = log_.FirstSequence();
    const auto gone = static_cast<int>(std::lower_bound(rows_.begin(), rows_.end(), first) - rows_.begin());
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        rows_.erase(rows_.begin(), rows_.begin() + gone);
        endRemoveRows();
    }
    next_ = std::max(next_, first);
    if (paused_) {
        return 0;
    }
    std::vector<std::uint64_t> added;
    for (std::uint64_t sequence = next_; sequence < log_.EndSequence(); ++sequence) {
        if (filter_.Passes(log_.At(sequence))) {
            added.push_back(sequence);
        }
    }
    next_ = log_.EndSequence();
    if (!added.empty()) {
        const int at = rowCount();
        beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
        rows_.insert(rows_.end(), added.begin(), added.end());
        endInsertRows();
    }
    return static_cast<int>(added.size());
}

void TrafficModel::SetFilter(const TrafficFilter& filter) {
    beginResetModel();
    filter_ = filter;
    rows_.clear();
    next_ = std::max(next_, log_.FirstSequence());
    for (std::uint64_t sequence = log_.FirstSequence(); sequence < next_; ++sequence) {
        if (filter_.Passes(log_.At(sequence))) {
            rows_.push_back(sequence);
        }
    }
    endResetModel();
}

}  // namespace lumvaris::monitor
