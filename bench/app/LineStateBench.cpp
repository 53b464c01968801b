// One line-state redraw as the automatic reading does it every second: the grid's 51 values and
// the chart's three lines of 16 points, in the main window's own form, then the event processing
// that repaints what changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QMainWindow>
#include <QTableWidget>
#include <QWindow>

#include <cmath>
#include <vector>

#include "app/LineStateView.h"
#include "ui_FormMain.h"
#include "support/QtBench.h"

namespace lumvaris::app {
namespace {

QApplication& App() {
    return bench::BenchApplication("app_bench");
}

// Readings one second apart: per phase a band of good reception that wanders, with some ripple,
// so every reply changes most cells and every point.
std::vector<commands::LineState> Readings(int count) {
    std::vector<commands::LineState> readings(static_cast<std::size_t>(count));
    for (int t = 0; t < count; ++t) {
        commands::LineState& s = readings[static_cast<std::size_t>(t)];
        for (int g = 0; g < 3; ++g) {
            const double centre = 3.0 + 5.0 * g + 2.0 * std::sin(t / 4.0 + g);
            for (int k = 0; k < 16; ++k) {
                const double band = 600.0 * std::exp(-(k - centre) * (k - centre) / 6.0);
                s.values[17 * g + k] =
                    static_cast<std::uint16_t>(120.0 + band + 40.0 * std::sin(t + k * 0.7 + g));
            }
            s.values[17 * g + 16] = static_cast<std::uint16_t>(256 + 24 * std::sin(t / 3.0 + g));
        }
    }
    return readings;
}

void BM_LineStateRedraw(benchmark::State& state) {
    App();
    QMainWindow window;
    Ui::TFormMain form;
    form.setupUi(&window);
    form.PageControl->show();  // the window shows its pages once connected
    form.PageControl->setCurrentWidget(form.TabSheetLineState);
    window.show();
    // Nothing paints before the server has shown the window.
    QElapsedTimer exposing;
    exposing.start();
    while ((window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) &&
           exposing.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    LineStateView view(form.StringGridLineState, form.ChartSweep);
    const std::vector<commands::LineState> readings = Readings(60);
    for (const commands::LineState& r : readings) {  // the axis has seen its range
        view.Show(r);
    }
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    bench::PaintCounter chartPaints, gridPaints;
    form.ChartSweep->viewport()->installEventFilter(&chartPaints);
    form.StringGridLineState->viewport()->installEventFilter(&gridPaints);
    // Mode 0: the redraw and its repaint; 1: the redraw alone; 2: the event processing alone; 3: for
    // comparison, the plain way with its repaint: each line emptied and given its points one by
    // one, every cell written.
    const int mode = static_cast<int>(state.range(0));
    std::size_t next = 0;
    for (auto _ : state) {
        const commands::LineState& reading = readings[next];
        next = (next + 1) % readings.size();
        if (mode == 0 || mode == 1) {
            view.Show(reading);
        } else if (mode == 3) {
            for (int g = 0; g < 3; ++g) {
                QLineSeries* series = view.Series(g);
                series->clear();
                for (int k = 0; k < 16; ++k) {
                    series->append(k, reading.Level(g, k));
                    form.StringGridLineState->item(k, g + 1)->setText(QString::number(reading.Level(g, k)));
                }
                form.StringGridLineState->item(16, g + 1)->setText(reading.CorrectionText(g));
            }
        }
        if (mode != 1) {
            QApplication::processEvents();
        }
    }
    state.counters["chart_paints_per_redraw"] = static_cast<double>(chartPaints.paints) / state.iterations();
    state.counters["grid_paints_per_redraw"] = static_cast<double>(gridPaints.paints) / state.iterations();
}

BENCHMARK(BM_LineStateRedraw)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumvaris::app
