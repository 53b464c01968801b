#include "views/StringGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>

namespace lumvaris::views {
namespace {

// Paints a cell as a string grid does: its text on one line, left-aligned, two pixels in. Much
// lighter than the styled delegate, which matters for the once-a-second redraw.
class GridCellDelegate final : public QStyledItemDelegate {
  public:
    GridCellDelegate(bool rowColours, QObject* parent)
        : QStyledItemDelegate(parent), rowColours_(rowColours) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
        }
        QColor colour = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        if (rowColours_ && !selected) {
            const QVariant own = index.data(Qt::ForegroundRole);
            if (own.canConvert<QBrush>()) {
                colour = own.value<QBrush>().color();
            }
        }
        painter->setPen(colour);
        painter->drawText(option.rect.adjusted(2, 0, -2, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }

  private:
    bool rowColours_;
};

// A cell whose text does not fit its column shows it whole in a tooltip; one that fits shows none.
class CellToolTips final : public QObject {
  public:
    explicit CellToolTips(QTableView* grid) : QObject(grid), grid_(grid) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) {
            return false;
        }
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = grid_->indexAt(help->pos());
        const QString text = CutOffText(*grid_, index);
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, grid_->viewport(), grid_->visualRect(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }

  private:
    QTableView* grid_;
};

}  // namespace

void SetUpStringGrid(QTableView* grid, bool rowColours) {
    grid->setItemDelegate(new GridCellDelegate(rowColours, grid));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setCornerButtonEnabled(false);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setMinimumSectionSize(kStringGridRowHeight);
    grid->verticalHeader()->setDefaultSectionSize(kStringGridRowHeight);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(false);
    // As in a spreadsheet: drag a header border to widen a column, double-click it to fit the text.
    QObject::connect(grid->horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, grid,
                     [grid](int column) { grid->resizeColumnToContents(column); });
    grid->viewport()->installEventFilter(new CellToolTips(grid));
}

bool TextFits(const QFontMetrics& metrics, const QString& text, int columnWidth) {
    // The delegate paints two pixels in from each side.
    return metrics.horizontalAdvance(text) + 4 <= columnWidth;
}

QString CutOffText(const QTableView& grid, const QModelIndex& index) {
    const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
    return TextFits(grid.fontMetrics(), text, grid.columnWidth(index.column())) ? QString() : text;
}

}  // namespace lumvaris::views
