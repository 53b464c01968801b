#pragma once

namespace lumvaris::meterdata {
class TMatrixInterface;
}

namespace lumvaris::views {

// Sorts every meter row (1 .. RowCount-1) of a store over its slots 1 .. ColCount-1: first the
// duplicates (same Type and exactly the same Time) are cleared, keeping the one in the lowest slot;
// then the remaining records are ordered by ascending Type, each type newest first. Empty slots keep
// their places; the records move around them. Only records that hold a packet take part.
void SortStore(meterdata::TMatrixInterface& store);

}  // namespace lumvaris::views
