// The database files at the largest settings (4096 meters, depth 1000: 98 MB per file) against a
// plain sequential write and read of the same number of bytes, and the text of records.
//
//   build/default/bench/meterdata/meterdata_bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#ifdef __unix__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lumvaris::meterdata {
namespace {

constexpr int kRows = 4096 + 1;
constexpr int kCols = 1000 + 1;

class FixedClock : public IClock {
  public:
    QDateTime Now() const override { return QDateTime(QDate(2024, 3, 15), QTime(12, 0)); }
};

struct Fixture {
    QTemporaryDir dir;
    QString storeFile = dir.filePath("COM1-PACKETS.bin");
    QString plainFile = dir.filePath("plain.bin");
    std::unique_ptr<TMatrixInterface> store;
    std::vector<char> bytes;

    Fixture() {
        store = std::make_unique<TMatrixInterface>(storeFile);
        store->SetRowCount(kRows);
        store->SetColCount(kCols);
        std::mt19937 rng(1);
        MeterRecord r;
        r.Valid = 0xFF;
        for (int row = 0; row < kRows; ++row) {
            for (int col = 1; col < kCols; col += 3) {
                r.Meter = std::uint16_t(row);
                r.WordA = std::uint16_t(rng());
                r.Time = 45000 + col / 24.0;
                store->PutMeterRecord(r, col, row);
            }
        }
        bytes.assign(8 + std::size_t(store->Count()) * MeterRecord::kSize, 'x');
        store->SaveToFile();
        QFile plain(plainFile);
        plain.open(QIODevice::WriteOnly);
        plain.write(bytes.data(), qint64(bytes.size()));
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void BM_SaveToFile(benchmark::State& state) {
    Fixture& f = Files();
    for (auto _ : state) {
        if (!f.store->SaveToFile())
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f.bytes.size()));
}

// The same bytes written in one go to a file truncated first: no temporary file, no rename.
void PlainWrite(benchmark::State& state, bool sync) {
    Fixture& f = Files();
    const QByteArray name = f.plainFile.toLocal8Bit();
    for (auto _ : state) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::size_t done = 0;
        while (done < f.bytes.size()) {
            const ssize_t n = ::write(fd, f.bytes.data() + done, f.bytes.size() - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        if (sync)
            ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f.bytes.size()));
}

void BM_PlainWrite(benchmark::State& state) {
    PlainWrite(state, false);
}
void BM_PlainWriteFsync(benchmark::State& state) {
    PlainWrite(state, true);
}

void BM_LoadFromFile(benchmark::State& state) {
    Fixture& f = Files();
    f.store->SaveToFile();
    for (auto _ : state) {
        TMatrixInterface loaded(f.storeFile);
        if (loaded.LoadFromFile().Status != LoadStatus::Loaded)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.Data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f.bytes.size()));
}

// The same number of bytes read in one go into a freshly allocated buffer.
void BM_PlainRead(benchmark::State& state) {
    Fixture& f = Files();
    const QByteArray name = f.plainFile.toLocal8Bit();
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[f.bytes.size()]);
        const int fd = ::open(name.constData(), O_RDONLY);
        std::size_t done = 0;
        while (done < f.bytes.size()) {
            const ssize_t n = ::read(fd, buffer.get() + done, f.bytes.size() - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f.bytes.size()));
}

// Records of every family and kind, stamped from a few seconds to a few days ago.
void BM_RecordToTexts(benchmark::State& state) {
    FixedClock clock;
    RecordTextFormatter formatter(clock, QLocale(QLocale::Russian, QLocale::Russia));
    const double now = formatter.Now();
    std::mt19937 rng(7);
    std::vector<MeterRecord> records(4096);
    for (std::size_t i = 0; i < records.size(); ++i) {
        MeterRecord& r = records[i];
        r.Meter = std::uint16_t(i);
        r.Type = std::uint8_t(i % 256);
        r.WordA = std::uint16_t(rng());
        r.WordB = (i % 2) ? std::uint16_t(rng()) : std::uint16_t(rng() % 256 | 0x0000);
        r.Level = std::uint8_t(rng());
        r.Valid = (i % 16 == 15) ? 0 : 0xFF;
        r.Time = now - (rng() % 300000) / 86400.0;
    }
    QStringList texts;
    std::size_t i = 0;
    for (auto _ : state) {
        formatter.RecordToTexts(records[i], now, texts);
        benchmark::DoNotOptimize(texts);
        i = (i + 1) % records.size();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainWriteFsync)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RecordToTexts);

}  // namespace
}  // namespace lumvaris::meterdata
