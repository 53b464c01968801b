#pragma once

#include <QString>

class QAbstractItemModel;

namespace lumvaris::views {

// The whole table, the header row first, as tab-separated text, each row ended by lineEnd: with
// CR LF, the way a spreadsheet pastes a table.
QString TableText(const QAbstractItemModel& table, const QString& lineEnd = QStringLiteral("\r\n"));

}  // namespace lumvaris::views
