#include "StoreSort.h"

#include <algorithm>
#include <compare>
#include <vector>

#include "meterdata/TMatrixInterface.h"

namespace lumvaris::views {

using meterdata::MeterRecord;

namespace {

// A total order even for the NaN or negative zero a damaged file may hold, so sorting stays defined.
bool TimeBefore(double a, double b) {
    return std::strong_order(a, b) < 0;
}

}  // namespace

void SortStore(meterdata::TMatrixInterface& store) {
    const int slotCount = store.ColCount() - 1;
    std::vector<int> present;
    std::vector<MeterRecord> records;
    std::vector<int> order;
    for (int row = 1; row < store.RowCount(); ++row) {
        present.clear();
        records.clear();
        MeterRecord record;
        for (int slot = 1; slot <= slotCount; ++slot) {
            if (store.GetMeterRecord(record, slot, row) && record.Valid != 0) {
                present.push_back(slot);
                records.push_back(record);
            }
        }
        if (present.size() < 2) {
            continue;
        }

        // Duplicates: equal Type and Time; the one in the lowest slot stays, the others are cleared
        // where they are.
        order.resize(records.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = static_cast<int>(i);
        }
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const MeterRecord& x = records[static_cast<std::size_t>(a)];
            const MeterRecord& y = records[static_cast<std::size_t>(b)];
            if (x.Type != y.Type) {
                return x.Type < y.Type;
            }
            if (x.Time != y.Time) {
                return TimeBefore(x.Time, y.Time);
            }
            return a < b;
        });
        std::vector<bool> duplicate(records.size(), false);
        for (std::size_t k = 1; k < order.size(); ++k) {
            const MeterRecord& previous = records[static_cast<std::size_t>(order[k - 1])];
            const MeterRecord& current = records[static_cast<std::size_t>(order[k])];
            if (current.Type == previous.Type && current.Time == previous.Time) {
                duplicate[static_cast<std::size_t>(order[k])] = true;
            }
        }
        std::vector<int> keptSlots;
        std::vector<MeterRecord> kept;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (duplicate[i]) {
                store.ClearRecord(present[i], row);
            } else {
                keptSlots.push_back(present[i]);
                kept.push_back(records[i]);
            }
        }

        // Ascending Type, newest first within a type. Keys are unique now, so any sort gives the
        // one result.
        std::sort(kept.begin(), kept.end(), [](const MeterRecord& x, const MeterRecord& y) {
            if (x.Type != y.Type) {
                return x.Type < y.Type;
            }
            return TimeBefore(y.Time, x.Time);
        });
        for (std::size_t i = 0; i < kept.size(); ++i) {
            store.PutMeterRecord(kept[i], keptSlots[i], row);
        }
    }
}

}  // namespace lumvaris::views
