// Throughput of the receive path: notification into the ring, then the assembler step, over a
// stream that is half random garbage and half valid frames.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "link/Receiver.h"
#include "support/BytesSerialPort.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
// The replacement new above takes its memory from malloc, so free is its partner; GCC cannot see
// that through the replacement and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace lumvaris::link {
namespace {

struct CountingConsumer final : IFrameConsumer {
    void HandleReply(FrameBuffer& f) override { bytes += FrameLength(f); }
    void HandleMeterPacket(const FrameBuffer& f) override { bytes += FrameLength(f); }
    void ShowByteCounter(std::uint32_t) override { ++frames; }
    std::size_t bytes = 0;
    std::size_t frames = 0;
};

std::vector<std::uint8_t> MakeStream(std::size_t size) {
    std::mt19937 rng(42);
    std::vector<std::uint8_t> out;
    out.reserve(size + 300);
    while (out.size() < size) {
        // A frame of random length, then about as many garbage bytes.
        FrameBuffer f{};
        const auto n = static_cast<std::uint8_t>(1 + rng() % 64);
        const bool meter = rng() % 2;
        FillHeader(f, meter ? 0x1001 + rng() % 100 : 0x2FFF, 0xFFFF, meter ? 6 : n, 0x81);
        for (std::size_t i = 1; i < PayloadLength(f); ++i) {
            f[kOffsetPayload + i] = static_cast<std::uint8_t>(rng());
        }
        const std::size_t len = CompleteFrame(f);
        out.insert(out.end(), f.begin(), f.begin() + static_cast<std::ptrdiff_t>(len));
        for (std::size_t i = 0; i < len; ++i) {
            out.push_back(static_cast<std::uint8_t>(rng()));
        }
    }
    return out;
}

void BM_FrameAssembler(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = MakeStream(4 << 20);
    testing::BytesSerialPort port(stream.data(), stream.size(), 4096);  // a driver's piece
    CountingConsumer consumer;
    Receiver receiver(port);
    receiver.SetConsumer(&consumer);
    long allocationsInLoop = 0;
    for (auto _ : state) {
        port.Rewind();
        const long before = allocations.load();
        while (!port.Done()) {
            receiver.ReceiveNotification();
            receiver.Step();
        }
        allocationsInLoop += allocations.load() - before;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["frames_per_pass"] = static_cast<double>(consumer.frames) / state.iterations();
    state.counters["allocations"] = static_cast<double>(allocationsInLoop);
}
BENCHMARK(BM_FrameAssembler)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumvaris::link
