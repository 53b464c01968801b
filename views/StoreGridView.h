#pragma once

#include <QPointer>
#include <functional>
#include <vector>

#include "meterdata/IClock.h"
#include "meterdata/IStoreView.h"
#include "views/StoreGridModel.h"
#include "views/StringGrid.h"

class QTabWidget;
class QTableView;
class QWidget;

namespace lumvaris::views {

// One table of the main window: a tab sheet of the page control with its string grid (set up by
// SetUpStringGrid), showing one store.
class StoreGridView final : public meterdata::IStoreView {
  public:
    static constexpr int kRowHeight = kStringGridRowHeight;

    // columnCount: 8 for the network table, 7 for the packet and day tables.
    StoreGridView(QTabWidget* pages, QWidget* page, QTableView* grid, int columnCount,
                  const meterdata::RecordTextFormatter& formatter, const meterdata::IClock& clock);

    // Runs after every fill: the grid click of the network table (the selected meter follows it).
    void SetAfterShow(std::function<void()> afterShow) { afterShow_ = std::move(afterShow); }
    // Column widths; the network table sets 36, 96, then 64.
    void SetColumnWidths(const std::vector<int>& widths);
    std::vector<int> ColumnWidths() const;

    void SetCaption(const QString& caption) override;
    void ShowInGrid(const meterdata::TMatrixInterface& store, int row, bool showAll,
                    bool numberRows) override;
    // One cleared data row (no database open).
    void Clear();

    bool IsShowing() const;
    StoreGridModel& Model() { return model_; }
    const StoreGridModel& Model() const { return model_; }
    QTableView* Grid() const { return grid_; }
    QWidget* Page() const { return page_; }

    // The grid's current row as the grid counts rows (1 = first data row).
    int CurrentRow() const;
    void SetCurrentRow(int gridRow);
    // The text of column 0 of the current row.
    QString CurrentMeterText() const;

  private:
    // Bounds the comparison when the grid has no size yet (not laid out).
    static constexpr int kMaxPublishedRows = 200;
    void PublishVisibleRows();

    QPointer<QTabWidget> pages_;
    QPointer<QWidget> page_;
    QPointer<QTableView> grid_;
    const meterdata::IClock& clock_;
    StoreGridModel model_;
    std::function<void()> afterShow_;
};

}  // namespace lumvaris::views
