// A key set by a new name, from the click on "Записать" to the KeyWrite frame on the port: the
// computation window's TimerStart and two 1000 ms pauses, 1,000,001 hashes and the window's 100
// repaints, on the real Qt timers and event loop (under Xvfb, so it paints as on a desktop). The
// peer is libgcrypt's GOST R 34.11-94 doing the same 1,000,001 hashes; repetitions of the two are
// interleaved, and the medians of the window's work (the whole time less the time its TimerStart
// and pause timers were waited for, as measured) and of the peer are compared.
#include <benchmark/benchmark.h>
#include <gcrypt.h>
#include <time.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/IMessageBox.h"
#include "app/QtModifierKeys.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormMain.h"
#include "link/Frame.h"
#include "link/SerialPort.h"
#include "session/ITimer.h"
#include "session/QtTimerFactory.h"
#include "support/Interleaved.h"
#include "support/QtBench.h"
#include "ui_FormHashCalculate.h"
#include "ui_FormMain.h"

namespace lumvaris {
namespace {

QApplication& App() {
    return bench::BenchApplication("app_bench");
}

// A port that is always there and notes when a KeyWrite frame is written.
class KeyWritePort final : public link::ISerialPort {
  public:
    std::vector<std::string> ListPorts() override { return {"bench"}; }
    void SetName(const std::string& name) override { name_ = name; }
    std::string Name() const override { return name_; }
    void SetLineSettings(const link::LineSettings& settings) override { settings_ = settings; }
    link::LineSettings Settings() const override { return settings_; }
    void SetReceiveNotification(std::function<void()>) override {}
    void SetErrorNotification(std::function<void(const std::string&)>) override {}
    void Open() override { open_ = true; }
    void RaiseRts() override {}
    void RaiseDtr() override {}
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override {
        if (count > 8 && bytes[7] == 33 && bytes[8] == 0x0D) {
            keyWritten = true;
            std::copy(bytes + 9, bytes + 9 + key.size(), key.begin());
        }
        return count;
    }
    std::size_t ReadAvailable(std::uint8_t*, std::size_t) override { return 0; }
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }

    bool keyWritten = false;
    std::array<std::uint8_t, 32> key{};

  private:
    std::string name_;
    link::LineSettings settings_;
    bool open_ = false;
};

// Qt's timers, timing how long the computation window's TimerStart and TimerPause run before they
// fire: that is the time the window waits on purpose.
class WaitTimingTimers final : public session::ITimerFactory {
  public:
    std::unique_ptr<session::ITimer> Create(const std::string& name, int intervalMs,
                                            std::function<void()> onTimeout) override {
        if (name != "TimerStart" && name != "TimerPause") {
            return qt_.Create(name, intervalMs, std::move(onTimeout));
        }
        auto timer = std::make_unique<Timed>(*this);
        timer->inner = qt_.Create(name, intervalMs, [t = timer.get(), handler = std::move(onTimeout)] {
            t->owner.waitedNs += t->since.nsecsElapsed();
            handler();
        });
        return timer;
    }
    qint64 waitedNs = 0;

  private:
    struct Timed final : session::ITimer {
        explicit Timed(WaitTimingTimers& o) : owner(o) {}
        void Start() override {
            since.start();
            inner->Start();
        }
        void Stop() override { inner->Stop(); }
        bool IsActive() const override { return inner->IsActive(); }
        int Interval() const override { return inner->Interval(); }
        WaitTimingTimers& owner;
        std::unique_ptr<session::ITimer> inner;
        QElapsedTimer since;
    };
    session::QtTimerFactory qt_;
};

struct NoPause final : link::IPause {
    void Pause(int) override {}
};

struct CountingMessages final : app::IMessageBox {
    void Error(QWidget*, const QString& text) override { errors << text; }
    void Inform(QWidget*, const QString&) override {}
    bool Confirm(QWidget*, const QString&) override { return true; }
    bool Warning(QWidget*, const QString&) override { return true; }
    bool Retry(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    QStringList errors;
};

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QByteArray Cp1251(const QString& text) {
    QStringEncoder encode("windows-1251");
    return encode(text);
}

// A name of its own for every run, so each is derived.
QString RunName() {
    static int run = 0;
    return QStringLiteral("Ключ шифрования участка №%1").arg(++run);
}

struct KeyWindow {
    KeyWindow()
        : platform{port,
                   pause,
                   modifiers,
                   messages,
                   timers,
                   dir.path() + QStringLiteral("/"),
                   QStringLiteral("Lumvaris Rev.1.0"),
                   nullptr,
                   nullptr},
          window(platform) {
        window.SetDialogs({nullptr, nullptr, nullptr, nullptr, &hash});
        window.show();
        window.Form().ComboBoxPortName->setEditText(QStringLiteral("bench"));
        window.OpenConnection();
        window.Form().CheckBoxUseCrypto->setChecked(true);
        hash.Form().ProgressBar->installEventFilter(&progressPaints);
        hash.Form().LabelHash->installEventFilter(&labelPaints);
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    KeyWritePort port;
    NoPause pause;
    app::QtModifierKeys modifiers;
    CountingMessages messages;
    WaitTimingTimers timers;
    app::MainWindowPlatform platform;
    app::TFormMain window;
    app::TFormHashCalculate hash;
    bench::PaintCounter progressPaints;
    bench::PaintCounter labelPaints;
};

KeyWindow& Window() {
    App();
    static KeyWindow* window = new KeyWindow;
    return *window;
}

void BM_KeyWindow_ClickToKeyWrite(benchmark::State& state) {
    KeyWindow& w = Window();
    for (auto _ : state) {
        w.port.keyWritten = false;
        w.progressPaints.paints = 0;
        w.labelPaints.paints = 0;
        w.timers.waitedNs = 0;
        w.window.Form().ComboBoxKey->setEditText(RunName());
        QApplication::processEvents();
        QElapsedTimer clock;
        const double cpu0 = ThreadCpuMs();
        clock.start();
        w.window.Form().ButtonSetKey->click();
        while (!w.port.keyWritten && clock.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const double totalMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const double cpuMs = ThreadCpuMs() - cpu0;
        if (!w.port.keyWritten || !w.messages.errors.isEmpty()) {
            state.SkipWithError("no KeyWrite frame");
            return;
        }
        const double waitedMs = static_cast<double>(w.timers.waitedNs) / 1e6;
        state.SetIterationTime((totalMs - waitedMs) / 1e3);
        state.counters["total_ms"] = totalMs;
        state.counters["waited_ms"] = waitedMs;
        state.counters["ui_cpu_ms"] = cpuMs;
        state.counters["bar_paints"] = static_cast<double>(w.progressPaints.paints);
        state.counters["label_paints"] = static_cast<double>(w.labelPaints.paints);
    }
}

// 1,000,001 hashes: the name's bytes, then 1,000,000 times the 32 bytes before.
void BM_KeyWindow_Libgcrypt(benchmark::State& state) {
    gcry_md_hd_t handle = nullptr;
    if (gcry_md_open(&handle, GCRY_MD_GOSTR3411_94, 0) != 0) {
        state.SkipWithError("libgcrypt has no GOST R 34.11-94");
        return;
    }
    for (auto _ : state) {
        const QByteArray name = Cp1251(RunName());
        std::array<std::uint8_t, 32> key{};
        gcry_md_write(handle, name.constData(), static_cast<std::size_t>(name.size()));
        std::memcpy(key.data(), gcry_md_read(handle, GCRY_MD_GOSTR3411_94), key.size());
        for (int i = 0; i < 1000000; ++i) {
            gcry_md_reset(handle);
            gcry_md_write(handle, key.data(), key.size());
            std::memcpy(key.data(), gcry_md_read(handle, GCRY_MD_GOSTR3411_94), key.size());
        }
        gcry_md_reset(handle);
        benchmark::DoNotOptimize(key);
    }
    gcry_md_close(handle);
}

BENCHMARK(BM_KeyWindow_ClickToKeyWrite)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_KeyWindow_Libgcrypt)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Prints the usual table and keeps the time of every repetition, for the medians and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
            cpuTimes_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            for (const auto& [name, counter] : run.counters) {
                counters_[name].push_back(counter.value);
            }
        }
    }

    void PrintRatio() {
        const double ours = Median(times_["BM_KeyWindow_ClickToKeyWrite"]);
        const double peer = Median(times_["BM_KeyWindow_Libgcrypt"]);
        if (ours <= 0 || peer <= 0) {
            return;
        }
        std::printf(
            "\nclick to KeyWrite, median: %.0f ms in all, %.0f ms waited on TimerStart and the pauses, "
            "%.0f ms hashes and repaints (UI thread CPU %.0f ms); %.0f bar and %.0f label paints\n",
            Median(counters_["total_ms"]), Median(counters_["waited_ms"]), ours,
            Median(counters_["ui_cpu_ms"]), Median(counters_["bar_paints"]),
            Median(counters_["label_paints"]));
        const double peerCpu = Median(cpuTimes_["BM_KeyWindow_Libgcrypt"]);
        std::printf("libgcrypt, 1,000,001 hashes, median: %.0f ms (CPU %.0f ms)\n", peer, peerCpu);
        std::printf(
            "ratio window work / libgcrypt: %.3f (target at most 0.5); UI thread CPU / libgcrypt CPU: %.3f\n",
            ours / peer, Median(counters_["ui_cpu_ms"]) / peerCpu);
    }

  private:
    static double Median(std::vector<double> values) {
        if (values.empty()) {
            return 0;
        }
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, std::vector<double>> cpuTimes_;
    std::map<std::string, std::vector<double>> counters_;
};

}  // namespace
}  // namespace lumvaris

int main(int argc, char** argv) {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

    if (!lumvaris::bench::InitialiseInterleaved(argc, argv, 7)) {
        return 1;
    }
    lumvaris::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}
