#include "StoreGridModel.h"

#include <algorithm>

#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"

namespace lumvaris::views {

using meterdata::MeterRecord;

// Made anew each time: the language is the one in effect.
QStringList StoreGridModel::Headers() {
    return {tr("Сч.#"),    tr("Пакет"), tr("Текущее"), tr("Срез"),
            tr("Уровень"), tr("Дата"),  tr("Время"),   tr("Прошло")};
}

StoreGridModel::StoreGridModel(int columnCount, const meterdata::RecordTextFormatter& formatter,
                               QObject* parent)
    : QAbstractTableModel(parent), columns_(columnCount), formatter_(formatter) {
    ShowEmpty();
}

int StoreGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StoreGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant StoreGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columns_) {
        return {};
    }
    return RowTexts(index.row()).value(index.column());
}

QVariant StoreGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
        return Headers().value(section);  // a narrow column's label, read whole
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return Headers().value(section);
    }
    return section + 1;
}

const QStringList& StoreGridModel::RowTexts(int row) const {
    Texts& cached = cache_[static_cast<std::size_t>(row)];
    if (cached.generation == generation_) {
        return cached.texts;
    }
    const Row& source = rows_[static_cast<std::size_t>(row)];
    cached.texts.clear();
    if (source.blank) {
        for (int c = 0; c < columns_; ++c) {
            cached.texts.append(QString());
        }
    } else {
        formatter_.RecordToTexts(source.record, now_, cached.texts);
        if (source.number >= 0) {
            cached.texts[0] = QString::number(source.number);
        }
        // The 7-column grids have no elapsed-time column.
        while (cached.texts.size() > columns_) {
            cached.texts.removeLast();
        }
    }
    cached.generation = generation_;
    return cached.texts;
}

void StoreGridModel::Resize(int rows) {
    const int old = rowCount();
    if (rows > old) {
        beginInsertRows({}, old, rows - 1);
        rows_.resize(static_cast<std::size_t>(rows));
        cache_.resize(static_cast<std::size_t>(rows));
        endInsertRows();
    } else if (rows < old) {
        beginRemoveRows({}, rows, old - 1);
        rows_.resize(static_cast<std::size_t>(rows));
        cache_.resize(static_cast<std::size_t>(rows));
        endRemoveRows();
    }
}

void StoreGridModel::Show(const meterdata::TMatrixInterface& store, int storeRow, bool showAll,
                          bool numberRows, double now) {
    std::vector<Row> next;
    const int slotCount = store.ColCount() - 1;
    if (showAll) {
        next.resize(static_cast<std::size_t>(std::max(slotCount, 0)));
        for (int slot = 1; slot <= slotCount; ++slot) {
            Row& row = next[static_cast<std::size_t>(slot - 1)];
            if (!store.GetMeterRecord(row.record, slot, storeRow)) {
                row.record = MeterRecord{};  // outside the store: an empty record of meter 0
            }
            if (numberRows) {
                row.number = slot;
            }
        }
    } else {
        MeterRecord record;
        for (int slot = 1; slot <= slotCount; ++slot) {
            if (store.GetMeterRecord(record, slot, storeRow) && record.IsPresent()) {
                next.push_back({record, -1, false});
            }
        }
    }
    if (next.empty()) {
        next.push_back({MeterRecord{}, -1, true});
    }

    Resize(static_cast<int>(next.size()));
    rows_ = std::move(next);
    now_ = now;
    ++generation_;
}

void StoreGridModel::ShowEmpty() {
    Resize(1);
    rows_.assign(1, Row{MeterRecord{}, -1, true});
    ++generation_;
    PublishRows(0, 0);
}

void StoreGridModel::PublishRows(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    QStringList shown;
    for (int row = first; row <= last; ++row) {
        // The cache holds what the views were last given for this row.
        shown = cache_[static_cast<std::size_t>(row)].texts;
        const QStringList& now = RowTexts(row);
        int from = -1;
        for (int c = 0; c <= columns_; ++c) {
            const bool changed = c < columns_ && (c >= shown.size() || shown[c] != now.value(c));
            if (changed && from < 0) {
                from = c;
            } else if (!changed && from >= 0) {
                emit dataChanged(index(row, from), index(row, c - 1), {Qt::DisplayRole});
                from = -1;
            }
        }
    }
}

int StoreGridModel::RowMeter(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || rows_[static_cast<std::size_t>(row)].blank) {
        return 0;
    }
    const Row& source = rows_[static_cast<std::size_t>(row)];
    return source.number >= 0 ? source.number : source.record.Meter;
}

QString StoreGridModel::Cell(int column, int gridRow) const {
    if (column < 0 || column >= columns_ || gridRow < 0 || gridRow > rowCount()) {
        return {};
    }
    if (gridRow == 0) {
        return Headers().value(column);
    }
    return RowTexts(gridRow - 1).value(column);
}

}  // namespace lumvaris::views
