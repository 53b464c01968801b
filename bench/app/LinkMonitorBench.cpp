// The traffic monitor open and following the newest row while the line is busy: 100 ms of traffic
// at 38,400 bit/s is 384 bytes in (a buffer reply and 22 meter packets, each behind a garbage byte,
// so 45 rows) and the request out.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QWindow>

#include <vector>

#include "app/IMessageBox.h"
#include "app/TFormLinkMonitor.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "meterdata/SystemClock.h"
#include "session/ITimer.h"
#include "support/BytesSerialPort.h"
#include "support/QtBench.h"
#include "support/QuietLink.h"
#include "ui_FormLinkMonitor.h"

namespace lumvaris::app {
namespace {

QApplication& App() {
    return bench::BenchApplication("monitor_bench");
}

// Timers that never fire: the benchmark runs the monitor's tick itself.
struct StillTimer final : session::ITimer {
    void Start() override {}
    void Stop() override {}
    bool IsActive() const override { return false; }
    int Interval() const override { return 0; }
};
struct StillTimers final : session::ITimerFactory {
    std::unique_ptr<session::ITimer> Create(const std::string&, int, std::function<void()>) override {
        return std::make_unique<StillTimer>();
    }
};
struct NoMessages final : IMessageBox {
    void Error(QWidget*, const QString&) override {}
    void Inform(QWidget*, const QString&) override {}
    bool Confirm(QWidget*, const QString&) override { return true; }
    bool Warning(QWidget*, const QString&) override { return true; }
    bool Retry(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&) override { return std::nullopt; }
};

std::vector<std::uint8_t> Frame(std::uint16_t source, const std::vector<std::uint8_t>& payload) {
    link::FrameBuffer f{};
    link::FillHeader(f, source, link::kWorkstationAddress, static_cast<std::uint8_t>(payload.size()),
                     payload[0]);
    std::copy(payload.begin(), payload.end(), link::Payload(f));
    const std::size_t n = link::CompleteFrame(f);
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n)};
}

// 100 ms of what a 38,400 bit/s line brings in at most, as rows go: 384 bytes.
std::vector<std::uint8_t> HundredMilliseconds() {
    std::vector<std::uint8_t> bytes =
        Frame(0x2FFF, {0x82, 0x07, 0x00, 0x40, 0x34, 0x12, 0x01, 0xD4, 0x23, 0x05, 0x0A, 0x06, 0x0B, 0x1A});
    for (int m = 1; bytes.size() + 16 <= 384; ++m) {
        bytes.push_back(0x00);  // a garbage byte: a row of its own
        const std::vector<std::uint8_t> packet =
            Frame(static_cast<std::uint16_t>(0x1000 + m),
                  {0x40, static_cast<std::uint8_t>(m), 0x12, 0x01, 0xD4, 0x23});
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    return bytes;
}

// Each iteration is 100 ms of traffic, taken from the line as TimerRX does, and the event
// processing that follows; the monitor's tick (TimerMonitor) comes once per kPublishIntervalMs of
// traffic, so the time per iteration is the window's cost per 100 ms of a busy line.
// Arguments: (rows already recorded, mode) with mode 0: no monitor, the receive path alone;
// 1: the monitor open and following the newest row; 2: the monitor open and paused.
void BM_LinkMonitorFollowing(benchmark::State& state) {
    App();
    const std::vector<std::uint8_t> traffic = HundredMilliseconds();
    testing::BytesSerialPort port(traffic.data(), traffic.size(), 4096);
    testing::NoPause pause;
    link::Requester requester(port, pause);
    link::Receiver receiver(port);
    meterdata::SystemClock clock;
    StillTimers timers;
    NoMessages messages;
    TFormLinkMonitor monitor(requester, receiver, clock, timers, messages);
    link::FrameBuffer request{};
    link::FillHeader(request, link::kWorkstationAddress, 0x2FFF, 3, 0x82);
    request[link::kOffsetPayload + 1] = 0x07;

    const int mode = static_cast<int>(state.range(1));
    const auto hundredMilliseconds = [&] {
        requester.SendRequest(request, 0x82, 0);
        port.Rewind();
        receiver.Step();
    };
    if (mode != 0) {
        monitor.resize(980, 520);
        monitor.show();
        QElapsedTimer exposing;
        exposing.start();
        while ((monitor.windowHandle() == nullptr || !monitor.windowHandle()->isExposed()) &&
               exposing.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        while (monitor.Log().Size() < static_cast<std::size_t>(state.range(0))) {
            hundredMilliseconds();
        }
        monitor.TimerMonitorTimer();
        if (mode == 2) {
            monitor.Form().ButtonMonitorPause->click();
        }
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    bench::PaintCounter paints;
    monitor.Form().StringGridMonitor->viewport()->installEventFilter(&paints);
    const std::uint64_t before = monitor.Log().EndSequence();
    int sinceTick = 0;
    long ticks = 0;
    for (auto _ : state) {
        hundredMilliseconds();
        sinceTick += 100;
        if (mode != 0 && sinceTick >= TFormLinkMonitor::kPublishIntervalMs) {
            sinceTick -= TFormLinkMonitor::kPublishIntervalMs;
            monitor.TimerMonitorTimer();
            ++ticks;
        }
        QApplication::processEvents();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["rows_per_100ms"] = static_cast<double>(monitor.Log().EndSequence() - before) / iterations;
    state.counters["rows_kept"] = static_cast<double>(monitor.Log().Size());
    state.counters["ticks_per_100ms"] = static_cast<double>(ticks) / iterations;
    state.counters["paints_per_100ms"] = static_cast<double>(paints.paints) / iterations;
}

BENCHMARK(BM_LinkMonitorFollowing)
    ->Args({0, 0})
    ->Args({1000, 1})
    ->Args({100000, 1})
    ->Args({100000, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumvaris::app
