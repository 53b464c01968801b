// The receive tick's filing at the line's full packet rate, with the database's journal and
// without it, side by side in one run. At 38400 bit/s a meter packet frame (8-byte header, 6-byte
// payload, checksum: 15 bytes of 10 bits) takes 3.9 ms, so a 100 ms tick files 25.6 packets: 25 or
// 26 here, as the ticks run. With the journal, the tick files through the database (each record is
// also handed to the journal) and commits; without it, the same packets go into stores of the same
// size through the intake alone. Each tick is timed on its own, and the benchmark then waits for
// the rest of the 100 ms as the window does, so the journal's writer appends and syncs between the
// ticks as it would in the program. The files lie on a real file system: /var/tmp, or the
// directory in LUMVARIS_BENCH_DIR.
//
//   build/default/bench/meterdata/meterdata_journal_bench
#include "bench/support/Interleaved.h"
#include "meterdata/IClock.h"
#include "meterdata/MeterDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace lumvaris::meterdata {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr int kTicks = 50;
constexpr int kMeters = 256;

class FixedClock : public IClock {
  public:
    QDateTime Now() const override { return QDateTime(QDate(2024, 3, 15), QTime(12, 0)); }
};

QString BenchDirectory() {
    const char* dir = std::getenv("LUMVARIS_BENCH_DIR");
    return QString::fromLocal8Bit(dir != nullptr ? dir : "/var/tmp");
}

struct Databases {
    FixedClock clock;
    QTemporaryDir dir{BenchDirectory() + QStringLiteral("/lumvaris-journal-bench-XXXXXX")};
    MeterDatabase on{dir.filePath("on"), clock};
    MeterDatabase off{dir.filePath("off"), clock};
    std::uint32_t next = 0;
    long tick = 0;

    Databases() {
        QDir(dir.path()).mkdir("on");
        QDir(dir.path()).mkdir("off");
        on.Open("COM1");
        off.Open("COM1");
    }
};

Databases& Shared() {
    static Databases databases;
    return databases;
}

std::map<std::string, std::vector<double>>& TickTimes() {
    static std::map<std::string, std::vector<double>> times;
    return times;
}

// One tick's packets: live frames of meters 1 .. 256 in turn.
template <typename File>
void Tick(Databases& d, File file) {
    for (long k = d.tick * 256 / 10; k < (d.tick + 1) * 256 / 10; ++k, ++d.next) {
        const std::uint8_t payload[] = {0x01, std::uint8_t(d.next), std::uint8_t(d.next >> 8), 0x12, 0x34,
                                        0x24};
        file(PacketFrame{std::uint16_t(0x1000 + 1 + d.next % kMeters), payload, sizeof payload});
    }
    ++d.tick;
}

template <typename Run>
void TimeTicks(benchmark::State& state, const char* name, Run run) {
    std::vector<double>& times = TickTimes()[name];
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        run();
        const Clock::time_point end = Clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1e6);
        std::this_thread::sleep_until(start + kTick);
    }
}

void BM_ReceiveTick_JournalOn(benchmark::State& state) {
    Databases& d = Shared();
    TimeTicks(state, "on", [&] {
        Tick(d, [&](const PacketFrame& frame) { d.on.StoreMeterPacket(frame); });
        d.on.CommitJournal();
    });
    if (!d.on.JournalProblem().isEmpty()) {
        state.SkipWithError(qPrintable(d.on.JournalProblem()));
    }
}

void BM_ReceiveTick_JournalOff(benchmark::State& state) {
    Databases& d = Shared();
    TimeTicks(state, "off", [&] {
        Tick(d, [&](const PacketFrame& frame) { StoreMeterPacket(d.off.Stores(), frame, d.clock, nullptr); });
    });
}

// How long after a tick's commit its records are on the disk (written and synced by the writer):
// what a power cut may take.
void BM_JournalOnDisk(benchmark::State& state) {
    Databases& d = Shared();
    std::vector<double>& times = TickTimes()["disk"];
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        Tick(d, [&](const PacketFrame& frame) { d.on.StoreMeterPacket(frame); });
        const Clock::time_point committed = Clock::now();
        d.on.FlushJournal();
        const double seconds = std::chrono::duration<double>(Clock::now() - committed).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1e6);
        std::this_thread::sleep_until(start + kTick);
    }
}

BENCHMARK(BM_ReceiveTick_JournalOn)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kTicks);
BENCHMARK(BM_ReceiveTick_JournalOff)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kTicks);
BENCHMARK(BM_JournalOnDisk)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kTicks);

double Quantile(std::vector<double> v, double q) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

void PrintFigures() {
    const std::vector<double>& on = TickTimes()["on"];
    const std::vector<double>& off = TickTimes()["off"];
    if (on.empty() || off.empty()) {
        return;
    }
    std::printf("\nreceive tick, 25.6 packets, %zu and %zu ticks: median, 90th percentile, largest (µs)\n",
                on.size(), off.size());
    std::printf("  journal on:  %7.1f %7.1f %7.1f\n", Quantile(on, 0.5), Quantile(on, 0.9),
                Quantile(on, 1.0));
    std::printf("  journal off: %7.1f %7.1f %7.1f\n", Quantile(off, 0.5), Quantile(off, 0.9),
                Quantile(off, 1.0));
    std::printf(
        "extra per tick with the journal: %.1f µs median (target at most 200 µs); ratio on / off %.2f\n",
        Quantile(on, 0.5) - Quantile(off, 0.5), Quantile(on, 0.5) / Quantile(off, 0.5));
    const std::vector<double>& disk = TickTimes()["disk"];
    if (!disk.empty()) {
        std::printf(
            "a tick's records on the disk after its commit: %.1f µs median, %.1f 90th percentile, %.1f "
            "largest\n",
            Quantile(disk, 0.5), Quantile(disk, 0.9), Quantile(disk, 1.0));
    }
}

void PrintFileSystem() {
    const QString dir = BenchDirectory();
#ifdef __linux__
    struct statfs fs;
    if (statfs(QFile::encodeName(dir).constData(), &fs) == 0) {
        constexpr long kTmpfs = 0x01021994;
        std::printf("files in %s (%s)\n", qPrintable(dir),
                    static_cast<long>(fs.f_type) == kTmpfs
                        ? "tmpfs: the disk is never reached, figures do not count"
                        : "a disk file system");
        return;
    }
#endif
    std::printf("files in %s\n", qPrintable(dir));
}

}  // namespace
}  // namespace lumvaris::meterdata

int main(int argc, char** argv) {
    if (!lumvaris::bench::InitialiseInterleaved(argc, argv, 7)) {
        return 1;
    }
    lumvaris::meterdata::PrintFileSystem();
    benchmark::RunSpecifiedBenchmarks();
    lumvaris::meterdata::PrintFigures();
    benchmark::Shutdown();
    return 0;
}
