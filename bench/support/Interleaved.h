#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace lumvaris::bench {

// Initialises Google Benchmark for a program that measures against a peer: the given number of
// repetitions of each benchmark, interleaved at random so that a noisy stretch of the shared
// machine hits both. Flags given on the command line come later and win. False: an unknown flag.
inline bool InitialiseInterleaved(int argc, char** argv, int repetitions) {
    std::vector<char*> args(argv, argv + argc);
    static std::string repeat;
    static std::string interleave = "--benchmark_enable_random_interleaving=true";
    repeat = "--benchmark_repetitions=" + std::to_string(repetitions);
    args.insert(args.begin() + 1, {repeat.data(), interleave.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    return !benchmark::ReportUnrecognizedArguments(count, args.data());
}

}  // namespace lumvaris::bench
