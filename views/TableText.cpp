#include "TableText.h"

#include <QAbstractItemModel>

namespace lumvaris::views {

QString TableText(const QAbstractItemModel& table, const QString& lineEnd) {
    QString text;
    const int columns = table.columnCount();
    const auto addRow = [&](const auto& cell) {
        for (int column = 0; column < columns; ++column) {
            text += cell(column);
            text += column + 1 < columns ? QStringLiteral("\t") : lineEnd;
        }
    };
    addRow([&](int column) { return table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(); });
    for (int row = 0; row < table.rowCount(); ++row) {
        addRow([&](int column) { return table.index(row, column).data(Qt::DisplayRole).toString(); });
    }
    return text;
}

}  // namespace lumvaris::views
