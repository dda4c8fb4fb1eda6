// The cost of analysing a line continuously: one block per iteration, at the block sizes a live view
// uses. A 48 kHz line analysed ten times a second costs ten iterations of the 4096-sample block a second;
// and the long-signal passes: a 60-minute file's tone located, a minute's recording judged for glitches.
#include "AudioAnalyser.h"
#include "GlitchDetector.h"
#include "ToneLocator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

void BM_AnalyseBlock(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    const auto rate = static_cast<uint32_t>(state.range(1));
    std::vector<int16_t> block(size);
    for (size_t i = 0; i < size; ++i)
        block[i] = static_cast<int16_t>(
            std::lround(16000.0 * std::sin(2 * std::numbers::pi * 997.0 * static_cast<double>(i) / rate)));
    CAudioAnalyser analyser(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyser.Analyse(block, rate));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Block size and rate: a telephone line's 1024 samples at 8 kHz, a 48 kHz line's 4096 and 8192.
BENCHMARK(BM_AnalyseBlock)->Args({1024, 8000})->Args({4096, 48000})->Args({8192, 48000})->Unit(benchmark::kMicrosecond);

// One period's worth of a 997 Hz tone's samples at 48 kHz, repeated: the signal a long file feeds.
std::vector<int16_t> Chunk() {
    std::vector<int16_t> chunk(48000);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<int16_t>(
            std::lround(16000.0 * std::sin(2 * std::numbers::pi * 997.0 * static_cast<double>(i) / 48000.0)));
    return chunk;
}

// Finding the steady tone in a 60-minute 48 kHz file fed a second at a time; the locator keeps one
// record per 2048-sample frame (about 84000 of them).
void BM_LocateSixtyMinutes(benchmark::State& state) {
    const std::vector<int16_t> chunk = Chunk();
    for (auto _ : state) {
        CToneLocator locator(48000);
        for (int second = 0; second < 3600; ++second)
            locator.Feed(chunk);
        benchmark::DoNotOptimize(locator.AnalysisRange(65536));
    }
    state.SetItemsProcessed(state.iterations() * 3600 * 48000);
}
BENCHMARK(BM_LocateSixtyMinutes)->Unit(benchmark::kMillisecond)->Iterations(1);

// The glitch detector over a minute of a 48 kHz recording.
void BM_GlitchMinute(benchmark::State& state) {
    const std::vector<int16_t> chunk = Chunk();
    for (auto _ : state) {
        CGlitchDetector detector(48000, 997.0);
        for (int second = 0; second < 60; ++second)
            detector.Feed(chunk);
        benchmark::DoNotOptimize(detector.Finish());
    }
    state.SetItemsProcessed(state.iterations() * 60 * 48000);
}
BENCHMARK(BM_GlitchMinute)->Unit(benchmark::kMillisecond);

} // namespace
