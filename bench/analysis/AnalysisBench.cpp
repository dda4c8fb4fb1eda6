// The cost of analysing a line continuously: one block per iteration, at the block sizes a live view
// uses. A 48 kHz line analysed ten times a second costs ten iterations of the 4096-sample block a second.
#include "AudioAnalyser.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

void BM_AnalyseBlock(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    std::vector<int16_t> block(size);
    for (size_t i = 0; i < size; ++i)
        block[i] = static_cast<int16_t>(
            std::lround(16000.0 * std::sin(2 * std::numbers::pi * 997.0 * static_cast<double>(i) / 48000.0)));
    CAudioAnalyser analyser(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyser.Analyse(block, 48000));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AnalyseBlock)->Arg(1024)->Arg(4096)->Arg(8192)->Unit(benchmark::kMicrosecond);

} // namespace
