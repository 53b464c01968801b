#include "StoreGridView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"

namespace lumvaris::views {

namespace {

// Paints a cell as a string grid does: its text on one line, left-aligned, two pixels in. Much
// lighter than the styled delegate, which matters for the once-a-second redraw.
class GridCellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
        }
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(option.rect.adjusted(2, 0, -2, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }
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

bool TextFits(const QFontMetrics& metrics, const QString& text, int columnWidth) {
    // The delegate paints two pixels in from each side.
    return metrics.horizontalAdvance(text) + 4 <= columnWidth;
}

QString CutOffText(const QTableView& grid, const QModelIndex& index) {
    const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
    return TextFits(grid.fontMetrics(), text, grid.columnWidth(index.column())) ? QString() : text;
}

StoreGridView::StoreGridView(QTabWidget* pages, QWidget* page, QTableView* grid, int columnCount,
                             const meterdata::RecordTextFormatter& formatter, const meterdata::IClock& clock)
    : pages_(pages), page_(page), grid_(grid), clock_(clock), model_(columnCount, formatter) {
    grid_->setModel(&model_);
    grid_->setItemDelegate(new GridCellDelegate(grid_));
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setWordWrap(false);
    grid_->setCornerButtonEnabled(false);
    grid_->verticalHeader()->setVisible(false);
    grid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->horizontalHeader()->setStretchLastSection(false);
    // As in a spreadsheet: drag a header border to widen a column, double-click it to fit the text.
    QObject::connect(grid_->horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, grid_,
                     [grid = grid_](int column) { grid->resizeColumnToContents(column); });
    grid_->viewport()->installEventFilter(new CellToolTips(grid_));
    SetCurrentRow(1);
}

void StoreGridView::SetColumnWidths(const std::vector<int>& widths) {
    for (std::size_t c = 0; c < widths.size() && static_cast<int>(c) < model_.columnCount(); ++c) {
        grid_->setColumnWidth(static_cast<int>(c), widths[c]);
    }
}

std::vector<int> StoreGridView::ColumnWidths() const {
    std::vector<int> widths;
    for (int c = 0; c < model_.columnCount(); ++c) {
        widths.push_back(grid_->columnWidth(c));
    }
    return widths;
}

void StoreGridView::SetCaption(const QString& caption) {
    if (pages_ && page_) {
        const int index = pages_->indexOf(page_);
        // Setting a tab's text lays out the whole tab bar even when the text is the same, which
        // would cost more than the rest of a once-a-second redraw.
        if (index >= 0 && pages_->tabText(index) != caption) {
            pages_->setTabText(index, caption);
        }
    }
}

bool StoreGridView::IsShowing() const {
    return pages_ && page_ && pages_->currentWidget() == page_;
}

void StoreGridView::ShowInGrid(const meterdata::TMatrixInterface& store, int row, bool showAll,
                               bool numberRows) {
    SetCaption(store.Caption());
    if (!IsShowing()) {
        return;
    }
    const int remembered = CurrentRow();
    model_.Show(store, row, showAll, numberRows, meterdata::DaysFromDateTime(clock_.Now()));
    PublishVisibleRows();
    SetCurrentRow(remembered);
    if (afterShow_) {
        afterShow_();
    }
}

void StoreGridView::PublishVisibleRows() {
    // Rows out of sight are made afresh when they scroll in; only the visible ones are compared.
    const int top = grid_->rowAt(0);
    const int bottom = grid_->rowAt(grid_->viewport()->height() - 1);
    const int first = top < 0 ? 0 : top;
    const int last = bottom < 0 ? model_.rowCount() - 1 : bottom;
    model_.PublishRows(first, std::min(last, first + kMaxPublishedRows));
}

void StoreGridView::Clear() {
    const int remembered = CurrentRow();
    model_.ShowEmpty();
    SetCurrentRow(remembered);
}

int StoreGridView::CurrentRow() const {
    const QModelIndex current = grid_->currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void StoreGridView::SetCurrentRow(int gridRow) {
    const int rows = model_.rowCount();
    if (rows == 0) {
        return;
    }
    // A table that became shorter than the remembered row ends on its last row.
    const int dataRow = std::clamp(gridRow - 1, 0, rows - 1);
    const QModelIndex target = model_.index(dataRow, 0);
    if (grid_->currentIndex() != target) {
        grid_->selectionModel()->setCurrentIndex(
            target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else if (!grid_->selectionModel()->isRowSelected(dataRow, {})) {
        grid_->selectionModel()->select(target,
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

QString StoreGridView::CurrentMeterText() const {
    return model_.Cell(0, CurrentRow());
}

}  // namespace lumvaris::views
