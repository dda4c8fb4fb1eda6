// One streaming pass worth of samples (80000) from the sine generator and from a sound file.
#include "SineGenerator.h"
#include "SoundFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr int kPassSamples = 80000;

void BM_SineGenerate(benchmark::State& state) {
    SineGenerator sine;
    sine.Init(16000, 32500, 1000);
    std::vector<int16_t> buffer(kPassSamples);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sine.Generate(kPassSamples, buffer.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPassSamples);
}
BENCHMARK(BM_SineGenerate)->Unit(benchmark::kMicrosecond);

void BM_SoundFileReadSamples(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "veltrin-bench-read.dat";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const unsigned char header[4] = {0x80, 0x3E, 0, 0};
        out.write(reinterpret_cast<const char*>(header), 4);
        std::vector<int16_t> samples(kPassSamples, 1234);
        out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(2 * samples.size()));
    }
    CSoundFile file;
    if (!file.OpenForReading(path.string())) {
        state.SkipWithError("cannot open the sample file");
        return;
    }
    std::vector<int16_t> buffer(kPassSamples);
    for (auto _ : state) {
        file.Rewind();
        benchmark::DoNotOptimize(file.ReadSamples(kPassSamples, buffer.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPassSamples);
    file.Close();
    std::filesystem::remove(path);
}
BENCHMARK(BM_SoundFileReadSamples)->Unit(benchmark::kMicrosecond);

} // namespace
