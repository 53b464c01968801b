#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "meterdata/MeterRecord.h"

namespace lumvaris::meterdata {
class RecordTextFormatter;
class TMatrixInterface;
}  // namespace lumvaris::meterdata

namespace lumvaris::views {

// The string grid behind one table. A redraw takes a snapshot of the records the table shows (a
// few microseconds even for 4096 rows); the texts of a row are made only when the row is painted or
// read, and kept until the next redraw. So the once-a-second redraw of a large network table costs
// the visible rows, not all of them, and a row is repainted only when its texts change.
//
// Rows are data rows; the header row of the grid is the model's horizontal header.
class StoreGridModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kHeaderCount = 8;
    static QStringList Headers();  // "Сч.#", "Пакет", … "Прошло"

    StoreGridModel(int columnCount, const meterdata::RecordTextFormatter& formatter,
                   QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Fills the grid from one row of the store, as of `now` (a database time stamp):
    //  show-all on: one data row per slot 1 .. ColCount-1; with numberRows, text 0 is the slot;
    //  show-all off: one data row per present record, in slot order, or one cleared row if none.
    // Only a change of the row count is signalled; PublishRows then tells the views which cells of
    // the rows they show have new texts, and the other rows are made afresh when painted.
    void Show(const meterdata::TMatrixInterface& store, int storeRow, bool showAll, bool numberRows,
              double now);
    // One cleared data row, as before any database is open.
    void ShowEmpty();
    // Signals the cells of data rows first..last whose texts differ from what was last shown.
    void PublishRows(int first, int last);

    // The meter number a data row's first cell shows (the slot number where rows are numbered);
    // 0 when it shows none (a cleared row, an empty slot of no meter).
    int RowMeter(int row) const;

    // The text of a cell: row 0 is the header row, data rows follow (as the grid counts them).
    QString Cell(int column, int gridRow) const;
    int GridRowCount() const { return rowCount() + 1; }

  private:
    struct Row {
        meterdata::MeterRecord record;
        int number = -1;     // replaces text 0 when not -1
        bool blank = false;  // a cleared row: every cell empty
    };
    struct Texts {
        unsigned generation = 0;
        QStringList texts;
    };

    const QStringList& RowTexts(int row) const;
    void Resize(int rows);

    const int columns_;
    const meterdata::RecordTextFormatter& formatter_;
    std::vector<Row> rows_;
    mutable std::vector<Texts> cache_;
    unsigned generation_ = 1;
    double now_ = 0;
};

}  // namespace lumvaris::views
