// The key derivation loop (1,000,000 re-hashes of a 32-byte buffer) run by our hash and by
// libgcrypt's GOST R 34.11-94 side by side in one run. Repetitions of the two are interleaved;
// at the end the ratio of the median times is printed.
#include <benchmark/benchmark.h>
#include <gcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "keys/CryptoUtils.h"
#include "keys/GostHashUnit.h"
#include "support/Interleaved.h"

namespace {

using lumvaris::keys::BinaryKey;

constexpr int kDerivationHashes = 1000000;
constexpr int kRehashCalls = kDerivationHashes / lumvaris::keys::kRehashCount;

BinaryKey StartKey() {
    BinaryKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return key;
}

void BM_KeyDerivation_Lumvaris(benchmark::State& state) {
    BinaryKey& key = lumvaris::keys::BinaryKeyBuffer();
    key = StartKey();
    for (auto _ : state) {
        for (int i = 0; i < kRehashCalls; ++i) {
            lumvaris::keys::RehashKey();
        }
        benchmark::DoNotOptimize(key);
    }
    state.SetItemsProcessed(state.iterations() * kDerivationHashes);
}

void BM_KeyDerivation_Libgcrypt(benchmark::State& state) {
    gcry_md_hd_t handle = nullptr;
    if (gcry_md_open(&handle, GCRY_MD_GOSTR3411_94, 0) != 0) {
        state.SkipWithError("libgcrypt has no GOST R 34.11-94");
        return;
    }
    BinaryKey key = StartKey();
    for (auto _ : state) {
        for (int i = 0; i < kDerivationHashes; ++i) {
            gcry_md_reset(handle);
            gcry_md_write(handle, key.data(), key.size());
            std::memcpy(key.data(), gcry_md_read(handle, GCRY_MD_GOSTR3411_94), key.size());
        }
        benchmark::DoNotOptimize(key);
    }
    gcry_md_close(handle);
    state.SetItemsProcessed(state.iterations() * kDerivationHashes);
}

BENCHMARK(BM_KeyDerivation_Lumvaris)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_KeyDerivation_Libgcrypt)->Unit(benchmark::kMillisecond)->Iterations(1);

// Prints the usual table and keeps the time of every repetition, for the medians and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
            }
        }
    }

    void PrintRatio() {
        const double ours = Median("BM_KeyDerivation_Lumvaris");
        const double peer = Median("BM_KeyDerivation_Libgcrypt");
        if (ours <= 0 || peer <= 0) {
            return;
        }
        std::printf("\nkey derivation, 1,000,000 hashes, median: lumvaris %.0f ms, libgcrypt %.0f ms\n", ours,
                    peer);
        std::printf("ratio lumvaris / libgcrypt: %.3f (target at most 0.67)\n", ours / peer);
    }

  private:
    double Median(const std::string& name) {
        std::vector<double>& times = times_[name];
        if (times.empty()) {
            return 0;
        }
        std::sort(times.begin(), times.end());
        const std::size_t n = times.size();
        return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    }

    std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

    if (!lumvaris::bench::InitialiseInterleaved(argc, argv, 9)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}
