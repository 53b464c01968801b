#include "TableText.h"

#include "views/StoreGridModel.h"

namespace lumvaris::views {

QString TableText(const StoreGridModel& grid) {
    QString text;
    const int columns = grid.columnCount();
    for (int row = 0; row < grid.GridRowCount(); ++row) {
        for (int column = 0; column < columns; ++column) {
            text += grid.Cell(column, row);
            text += column + 1 < columns ? QStringLiteral("\t") : QStringLiteral("\r\n");
        }
    }
    return text;
}

}  // namespace lumvaris::views
