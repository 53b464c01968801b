#pragma once

#include <array>

#include "commands/Records.h"

class QChartView;
class QCategoryAxis;
class QLineSeries;
class QTableWidget;
class QTableWidgetItem;
class QValueAxis;

namespace lumvaris::app {

// The grid and the chart of the line state: column 0 of the grid names the frequencies ("20 kHz"
// ... "95 kHz", then "Corr."), columns 1..3 and the red, green and blue lines show the three
// phases. A redraw writes only the cells whose text changed, replaces each line's 16 points in one
// call and lays the level axis out again only when its range changes; the repaint that follows
// costs far more than the redraw (bench/app).
class LineStateView {
  public:
    static constexpr int kRows = 17;  // 16 frequencies and the correction
    static constexpr int kColumnWidths[4] = {70, 40, 40, 40};
    static constexpr int kRowHeight = 16;

    // Sets up both widgets: the fixed column, the widths, the axes and the three series.
    LineStateView(QTableWidget* grid, QChartView* chart);

    void Show(const commands::LineState& state);

    // 0 red (the phase of column 1), 1 green, 2 blue.
    QLineSeries* Series(int phase) const;
    QCategoryAxis* AxisX() const { return axisX_; }
    QValueAxis* AxisY() const { return axisY_; }
    // The top of the level axis for the highest level shown: 5 steps of 1, 2 or 5 times a power
    // of ten, at least 100.
    static int AxisTop(int highestLevel);

  private:
    void SetUpGrid();
    void SetUpChart();

    QTableWidget* grid_;
    QChartView* chart_;
    std::array<QLineSeries*, commands::LineState::kPhases> series_{};
    QCategoryAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    int axisTop_ = 0;
};

}  // namespace lumvaris::app
