#include "StoreGridView.h"

#include <QTabWidget>
#include <QTableView>

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"

namespace lumvaris::views {

StoreGridView::StoreGridView(QTabWidget* pages, QWidget* page, QTableView* grid, int columnCount,
                             const meterdata::RecordTextFormatter& formatter, const meterdata::IClock& clock)
    : pages_(pages), page_(page), grid_(grid), clock_(clock), model_(columnCount, formatter) {
    grid_->setModel(&model_);
    SetUpStringGrid(grid_);
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
