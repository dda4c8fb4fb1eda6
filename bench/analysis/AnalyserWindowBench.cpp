// The analyser window's cost on whatever display Qt is given (an X server: QT_QPA_PLATFORM=xcb): the
// window open over a 48 kHz input fed 50 times a second with a tone, white noise or a wideband multitone,
// for a number of seconds; prints the process's CPU time as a share of one core. With "closed" the same
// input is fed without a window, the baseline to subtract.
//   bench_analyser_window tone|noise|wideband SECONDS [closed]
#include "AnalyserWindow.h"
#include "StreamChannel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr uint32_t kRate = 48000;
constexpr int kFeedMs = 20;

// Two seconds of the signal, played round and round.
std::vector<int16_t> Signal(const std::string& kind) {
    std::vector<double> x(2 * kRate, 0.0);
    std::mt19937 random(7);
    if (kind == "tone") {
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = 0.25 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / kRate);
    } else if (kind == "noise") {
        std::normal_distribution<double> gauss(0.0, 0.1);
        for (double& v : x)
            v = gauss(random);
    } else {
        // 200 tones spread evenly on a logarithmic scale from 20 Hz to 20 kHz, random phases.
        std::uniform_real_distribution<double> phase(0.0, 2 * std::numbers::pi);
        for (int k = 0; k < 200; ++k) {
            const double hz = 20.0 * std::pow(1000.0, k / 199.0);
            const double p = phase(random);
            for (size_t i = 0; i < x.size(); ++i)
                x[i] += 0.005 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate + p);
        }
    }
    std::vector<int16_t> samples(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        samples[i] = static_cast<int16_t>(std::lround(std::clamp(x[i], -1.0, 32767.0 / 32768.0) * 32768.0));
    return samples;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s tone|noise|wideband SECONDS [closed]\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const double seconds = std::atof(argv[2]);
    const bool closed = argc > 3 && std::strcmp(argv[3], "closed") == 0;
    const std::vector<int16_t> signal = Signal(kind);

    StreamChannel input;
    input.actualRate.store(kRate);
    std::unique_ptr<CAnalyserWindow> window;
    if (!closed) {
        window = std::make_unique<CAnalyserWindow>(input, QStringLiteral("Analyser"), nullptr);
        window->show();
    }
    input.ResetTap(kRate);
    size_t position = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const size_t count = kRate * kFeedMs / 1000;
        if (position + count > signal.size())
            position = 0;
        input.TapSamples(std::span<const int16_t>(signal.data() + position, count));
        position += count;
    });
    feed.start(kFeedMs);
    // The first second (start-up, first paints) is not counted.
    double cpuAtStart = 0;
    QElapsedTimer wall;
    QTimer::singleShot(1000, [&] {
        cpuAtStart = CpuSeconds();
        wall.start();
    });
    QTimer::singleShot(static_cast<int>(1000 + seconds * 1000), [&] { app.quit(); });
    app.exec();
    const double cpu = CpuSeconds() - cpuAtStart;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    std::printf("%s %s: %.2f %% of one core (%.2f s CPU over %.1f s)\n", kind.c_str(),
                closed ? "without the window" : "window open", 100.0 * cpu / elapsed, cpu, elapsed);
    std::fflush(stdout);
    // The window deletes itself once closed; it is left to the process's end rather than deleted twice.
    (void)window.release();
    return 0;
}
