#include "views/HealthTableModel.h"

#include <QBrush>
#include <QColor>
#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "meterdata/NetworkHealth.h"
#include "meterdata/RecordTextFormatter.h"

namespace lumvaris::views {

// Made anew each time: the language is the one in effect.
QStringList HealthTableModel::Headers() {
    return {tr("Сч.#"),    tr("Пакетов"), tr("За час"), tr("Прошло"),
            tr("Уровень"), tr("Мин."),    tr("Макс."),  tr("Отметка")};
}

HealthTableModel::HealthTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int HealthTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HealthTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString HealthTableModel::ElapsedText(std::int64_t elapsedMs) {
    if (elapsedMs < 0) {
        return QStringLiteral("???");
    }
    const std::int64_t seconds = elapsedMs / 1000;
    return QString::asprintf("%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

QString HealthTableModel::Text(const Row& row, int column) const {
    switch (column) {
        case kMeter:
            return QString::number(row.meter);
        case kPackets:
            return QString::number(row.packets);
        case kLastHour:
            return QString::number(row.lastHour);
        case kElapsed:
            return ElapsedText(row.elapsedMs);
        case kLevel:
            return meterdata::LevelText(row.level);
        case kMinLevel:
            return QStringLiteral("%1%").arg(row.minLevel * 25);
        case kMaxLevel:
            return QStringLiteral("%1%").arg(row.maxLevel * 25);
        case kMark:
            return row.silent ? tr("не слышен") : QString();
        default:
            return {};
    }
}

QVariant HealthTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return Text(row, index.column());
    }
    if (role == Qt::ForegroundRole && row.silent) {
        return QBrush(QColor(128, 0, 0));
    }
    return {};
}

QVariant HealthTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    return orientation == Qt::Horizontal ? QVariant(Headers().value(section)) : QVariant(section + 1);
}

int HealthTableModel::MeterOfRow(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].meter : 0;
}

void HealthTableModel::Order(std::vector<Row>& rows) const {
    const auto key = [column = sortColumn_](const Row& r) -> std::tuple<std::int64_t, int> {
        switch (column) {
            case kPackets:
                return {r.packets, 0};
            case kLastHour:
                return {r.lastHour, 0};
            case kElapsed:
                return {r.elapsedMs, 0};
            case kLevel:
                return {r.level & 0x0F, r.level >> 4};
            case kMinLevel:
                return {r.minLevel, 0};
            case kMaxLevel:
                return {r.maxLevel, 0};
            case kMark:
                return {r.silent ? 1 : 0, 0};
            default:
                return {r.meter, 0};
        }
    };
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const auto ka = key(a);
        const auto kb = key(b);
        if (ka != kb) {
            return descending ? kb < ka : ka < kb;
        }
        return a.meter < b.meter;
    });
}

void HealthTableModel::Apply(std::vector<Row> next) {
    const int old = rowCount();
    const int count = static_cast<int>(next.size());
    // The row count first; the rows appended or cut here take their places in the layout below.
    if (count > old) {
        beginInsertRows({}, old, count - 1);
        rows_.insert(rows_.end(), next.begin() + old, next.end());
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows({}, count, old - 1);
        rows_.resize(static_cast<std::size_t>(count));
        endRemoveRows();
    }
    const bool sameOrder = std::equal(rows_.begin(), rows_.end(), next.begin(), next.end(),
                                      [](const Row& a, const Row& b) { return a.meter == b.meter; });
    if (sameOrder) {
        rows_ = std::move(next);
        if (count > 0) {
            emit dataChanged(index(0, 0), index(count - 1, kColumnCount - 1),
                             {Qt::DisplayRole, Qt::ForegroundRole});
        }
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::unordered_map<int, int> rowOfMeter;
    for (int r = 0; r < count; ++r) {
        rowOfMeter[next[static_cast<std::size_t>(r)].meter] = r;
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before) {
        const auto found = rowOfMeter.find(MeterOfRow(i.row()));
        after << (found != rowOfMeter.end() ? index(found->second, i.column()) : QModelIndex());
    }
    rows_ = std::move(next);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void HealthTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = std::clamp(column, 0, kColumnCount - 1);
    sortOrder_ = order;
    std::vector<Row> next = rows_;
    Order(next);
    Apply(std::move(next));
}

void HealthTableModel::Show(const meterdata::NetworkHealth& health, int meters, std::int64_t nowMs,
                            std::int64_t silentAfterMs) {
    std::vector<Row> next;
    for (const auto& [meter, h] : health.Meters()) {
        if (meter < 1 || meter > meters) {
            continue;  // outside the network store
        }
        Row row;
        row.meter = meter;
        row.packets = h.packets;
        row.lastHour = meterdata::NetworkHealth::PacketsInLastHour(h, nowMs);
        row.elapsedMs = nowMs - h.lastHeard;
        row.level = h.lastLevel;
        row.minLevel = h.minLevel;
        row.maxLevel = h.maxLevel;
        row.silent = row.elapsedMs > silentAfterMs;
        next.push_back(row);
    }
    Order(next);
    Apply(std::move(next));
}

}  // namespace lumvaris::views
