#pragma once

#include <QString>

namespace lumvaris::views {

class StoreGridModel;

// The whole grid, header row first, as tab-separated text with CR LF line ends, the way a
// spreadsheet pastes a table.
QString TableText(const StoreGridModel& grid);

}  // namespace lumvaris::views
