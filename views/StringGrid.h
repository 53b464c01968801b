#pragma once

#include <QString>

class QFontMetrics;
class QModelIndex;
class QTableView;

namespace lumvaris::views {

inline constexpr int kStringGridRowHeight = 16;

// Makes a table view look and behave like the program's string grids: whole-row single selection,
// no editing, no row header, rows kStringGridRowHeight (16) pixels high, one line per cell painted by a light
// delegate, columns widened by dragging a header border or fitted by double-clicking it, and a
// text cut off by its column shown whole in a tooltip. With rowColours the delegate paints a
// cell's text in the model's ForegroundRole colour where it gives one.
void SetUpStringGrid(QTableView* grid, bool rowColours = false);

// Whether a cell's text shows whole in a column of this width.
bool TextFits(const QFontMetrics& metrics, const QString& text, int columnWidth);
// The text of a cell that its column cuts off (its tooltip), or empty when it shows whole.
QString CutOffText(const QTableView& grid, const QModelIndex& index);

}  // namespace lumvaris::views
