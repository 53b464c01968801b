// One TimerRefresh redraw of the network table: the store view's model (texts made for the rows
// painted) against a QTableWidget whose items are all rewritten where their text changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"
#include "views/StoreGridView.h"
#include "support/QtBench.h"

namespace lumvaris::views {
namespace {

using meterdata::MeterRecord;

struct TickingClock : meterdata::IClock {
    QDateTime Now() const override { return now = now.addSecs(1); }
    mutable QDateTime now{QDate(2026, 12, 8), QTime(12, 0, 0)};
};

QApplication& App() {
    return bench::BenchApplication("views_bench");
}

// A network store of `meters` meters, the first `withPackets` of them holding a packet from the last
// hour, of mixed families.
void FillNetStore(meterdata::TMatrixInterface& store, int meters, int withPackets, const TickingClock& clock) {
    store.SetCaptionTexts("Ёмкость сети ", " счётчиков");
    store.SetRowCount(2);
    store.SetColCount(meters + 1);
    const int types[] = {0x01, 0x12, 0x40, 0x48, 0x80, 0xDA, 0xE1, 0x0F};
    for (int m = 1; m <= withPackets; ++m) {
        MeterRecord r;
        r.Meter = static_cast<std::uint16_t>(m);
        r.Type = static_cast<std::uint8_t>(types[m % 8]);
        r.WordA = static_cast<std::uint16_t>(m * 37);
        r.WordB = 0xD401;
        r.Level = 0x23;
        r.Valid = 0xFF;
        r.Time = meterdata::DaysFromDateTime(clock.now.addSecs(-m));
        store.PutMeterRecord(r, m, 1);
    }
}

void BM_NetworkRefresh_StoreView(benchmark::State& state) {
    App();
    const int meters = static_cast<int>(state.range(0));
    const int withPackets = static_cast<int>(state.range(1));
    const bool showAll = state.range(2) != 0;
    TickingClock clock;
    meterdata::RecordTextFormatter formatter(clock);
    meterdata::TMatrixInterface store{QString()};
    FillNetStore(store, meters, withPackets, clock);
    QTabWidget pages;
    auto* page = new QWidget;
    auto* grid = new QTableView(page);
    grid->resize(580, 480);
    pages.addTab(page, "NET");
    pages.resize(600, 520);
    pages.show();
    StoreGridView view(&pages, page, grid, 8, formatter, clock);
    view.SetColumnWidths({36, 96, 64, 64, 64, 64, 64, 64});
    store.SetView(&view);
    QApplication::processEvents();
    bench::PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    // Mode 0: the redraw and the paint it causes; 1: the redraw alone; 2: event processing alone
    // (what a processEvents call costs when nothing changed); 3: the smallest paint of the grid (one
    // pixel), the platform's floor for any repaint.
    const int mode = static_cast<int>(state.range(3));
    for (auto _ : state) {
        if (mode == 0 || mode == 1) {
            store.ShowInGrid(1, showAll, true);
        } else if (mode == 3) {
            grid->viewport()->update(QRect(0, 0, 1, 1));
        }
        if (mode != 1) {
            QApplication::processEvents();  // the paint the redraw causes, done now rather than later
        }
    }
    state.counters["rows"] = view.Model().rowCount();
    state.counters["paints_per_redraw"] = static_cast<double>(counter.paints) / state.iterations();
}

void BM_NetworkRefresh_TableWidget(benchmark::State& state) {
    App();
    const int meters = static_cast<int>(state.range(0));
    const int withPackets = static_cast<int>(state.range(1));
    const bool showAll = state.range(2) != 0;
    TickingClock clock;
    meterdata::RecordTextFormatter formatter(clock);
    meterdata::TMatrixInterface store{QString()};
    FillNetStore(store, meters, withPackets, clock);
    QTabWidget pages;
    auto* page = new QWidget;
    auto& grid = *new QTableWidget(0, 8, page);
    grid.verticalHeader()->setDefaultSectionSize(16);
    grid.resize(580, 480);
    pages.addTab(page, "NET");
    pages.resize(600, 520);
    pages.show();
    QApplication::processEvents();
    bench::PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);
    QStringList texts;
    for (auto _ : state) {
        // Every shown row's texts, written only where they changed.
        const double now = meterdata::DaysFromDateTime(clock.Now());
        int row = 0;
        for (int slot = 1; slot < store.ColCount(); ++slot) {
            MeterRecord r;
            store.GetMeterRecord(r, slot, 1);
            if (!showAll && !r.IsPresent()) {
                continue;
            }
            formatter.RecordToTexts(r, now, texts);
            if (showAll) {
                texts[0] = QString::number(slot);
            }
            if (grid.rowCount() <= row) {
                grid.setRowCount(row + 1);
            }
            for (int c = 0; c < 8; ++c) {
                QTableWidgetItem* item = grid.item(row, c);
                if (item == nullptr) {
                    grid.setItem(row, c, new QTableWidgetItem(texts[c]));
                } else if (item->text() != texts[c]) {
                    item->setText(texts[c]);
                }
            }
            ++row;
        }
        grid.setRowCount(std::max(row, 1));
        QApplication::processEvents();
    }
    state.counters["paints_per_redraw"] = static_cast<double>(counter.paints) / state.iterations();
}

// (meters, meters holding a packet, show-all, mode)
BENCHMARK(BM_NetworkRefresh_StoreView)
    ->Args({4096, 4096, 1, 0})
    ->Args({4096, 50, 0, 0})
    ->Args({4096, 4096, 1, 1})
    ->Args({4096, 50, 0, 1})
    ->Args({4096, 50, 0, 2})
    ->Args({4096, 50, 0, 3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetworkRefresh_TableWidget)->Args({4096, 4096, 1})->Args({4096, 50, 0})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumvaris::views
