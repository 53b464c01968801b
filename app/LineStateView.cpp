#include "app/LineStateView.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLineSeries>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QValueAxis>

#include <algorithm>

namespace lumvaris::app {
namespace {

constexpr int kAxisSteps = 5;
constexpr int kSmallestAxisTop = 100;

// Paints a cell as a string grid does: its background and its text on one line, two pixels in,
// never elided, so "100%" and five-digit levels stay readable in the 40-pixel columns; lighter
// than the styled delegate too.
class LineStateCellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>()) {
            painter->fillRect(option.rect, background.value<QBrush>());
        }
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(option.rect.adjusted(2, 0, -1, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }
};

void SetText(QTableWidget* grid, int row, int column, const QString& text) {
    QTableWidgetItem* item = grid->item(row, column);
    if (item->text() != text) {
        item->setText(text);
    }
}

}  // namespace

LineStateView::LineStateView(QTableWidget* grid, QChartView* chart) : grid_(grid), chart_(chart) {
    SetUpGrid();
    SetUpChart();
}

void LineStateView::SetUpGrid() {
    grid_->setItemDelegate(new LineStateCellDelegate(grid_));
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->setRowCount(kRows);
    grid_->setColumnCount(4);
    for (int c = 0; c < 4; ++c) {
        grid_->setColumnWidth(c, kColumnWidths[c]);
    }
    const QBrush fixed = grid_->palette().brush(QPalette::Button);
    for (int r = 0; r < kRows; ++r) {
        grid_->setRowHeight(r, kRowHeight);
        const QString text = r < commands::LineState::kFrequencies ? commands::LineState::FrequencyText(r)
                                                                   : QStringLiteral("Corr.");
        auto* item = new QTableWidgetItem(text);
        item->setBackground(fixed);  // column 0 is the fixed column
        item->setFlags(Qt::ItemIsEnabled);
        grid_->setItem(r, 0, item);
        for (int c = 1; c < 4; ++c) {
            auto* value = new QTableWidgetItem;
            value->setFlags(Qt::ItemIsEnabled);
            grid_->setItem(r, c, value);
        }
    }
}

void LineStateView::SetUpChart() {
    QChart* chart = chart_->chart();
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    // The chart repaints once per reply; animations would spread that over many frames.
    chart->setAnimationOptions(QChart::NoAnimation);
    axisX_ = new QCategoryAxis(chart);
    // The labels are the grid's frequency texts, each on its point.
    for (int r = 0; r < commands::LineState::kFrequencies; ++r) {
        axisX_->append(commands::LineState::FrequencyText(r), r);
    }
    axisX_->setRange(0, commands::LineState::kFrequencies - 1);
    axisX_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axisX_->setLabelsAngle(-90);
    axisX_->setTruncateLabels(false);
    QFont labels = axisX_->labelsFont();
    labels.setPointSize(7);
    axisX_->setLabelsFont(labels);
    axisY_ = new QValueAxis(chart);
    axisY_->setLabelFormat(QStringLiteral("%d"));
    axisY_->setTickCount(kAxisSteps + 1);
    axisY_->setLabelsFont(labels);
    axisTop_ = kSmallestAxisTop;
    axisY_->setRange(0, axisTop_);
    chart->addAxis(axisX_, Qt::AlignBottom);
    chart->addAxis(axisY_, Qt::AlignLeft);
    const QColor colours[commands::LineState::kPhases] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < commands::LineState::kPhases; ++i) {
        auto* series = new QLineSeries(chart);
        series->setObjectName(QStringLiteral("Series%1").arg(i + 1));
        series->setColor(colours[i]);
        series->setPointsVisible(false);
        chart->addSeries(series);
        series->attachAxis(axisX_);
        series->attachAxis(axisY_);
        series_[i] = series;
    }
    chart_->setRenderHint(QPainter::Antialiasing);
}

int LineStateView::AxisTop(int highestLevel) {
    for (long long power = 1;; power *= 10) {
        for (const int factor : {1, 2, 5}) {
            const long long top = kAxisSteps * factor * power;
            if (top >= std::max(highestLevel, kSmallestAxisTop)) {
                return static_cast<int>(top);
            }
        }
    }
}

QLineSeries* LineStateView::Series(int phase) const {
    return phase >= 0 && phase < commands::LineState::kPhases ? series_[phase] : nullptr;
}

void LineStateView::Show(const commands::LineState& state) {
    int highest = 0;
    for (int phase = 0; phase < commands::LineState::kPhases; ++phase) {
        QList<QPointF> points;
        points.reserve(commands::LineState::kFrequencies);
        for (int r = 0; r < commands::LineState::kFrequencies; ++r) {
            const int level = state.Level(phase, r);
            SetText(grid_, r, phase + 1, QString::number(level));
            points.append(QPointF(r, level));
            highest = std::max(highest, level);
        }
        SetText(grid_, commands::LineState::kFrequencies, phase + 1, state.CorrectionText(phase));
        series_[phase]->replace(points);
    }
    // A new range lays the axis out again: only when it changes.
    if (const int top = AxisTop(highest); top != axisTop_) {
        axisTop_ = top;
        axisY_->setRange(0, top);
    }
}

}  // namespace lumvaris::app
