// Polling cost of the phone line page. Every page polls its eight lines each millisecond on the
// user-interface thread; with ten boards that is 80 requests a millisecond, and the window must stay
// responsive. The boards are the simulator reached through its driver library, as in the demo.
//
// BM_PollOneBoard: the cost of one poll of eight lines (one timer tick of one page).
// BM_PollingWindow/boards/allVisible: the pages run their own timers for two seconds in one window,
//   either as tabs (one visible, as in the main window) or all visible at once. Counters:
//   ui_cpu_share   CPU time of the user-interface thread per second of wall time (1.0 = one full core)
//   latency_p50_us / latency_p99_us   delay of an event posted from another thread every millisecond
//                  until the event loop runs it: how long a click or a repaint would wait
//   polls_per_line_per_s   line state reads per line and second (1000 when the 1 ms period holds)
#include "Device.h"
#include "DriverLibrary.h"
#include "PageContext.h"
#include "PhoneLinePage.h"
#include "RequestCodes.h"

#include <QApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QTabWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace {

constexpr int kMaxBoards = 10;
constexpr auto kRunTime = std::chrono::seconds(2);

using Clock = std::chrono::steady_clock;

// Counts the line state reads passing through to the real device.
class CountingDevice final : public CDevice {
public:
    explicit CountingDevice(std::unique_ptr<CDevice> inner) : m_inner(std::move(inner)) {}
    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override { return m_inner->Read(buffer, size, done); }
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override {
        return m_inner->Write(buffer, size, done);
    }
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override {
        if (code == req::kGetLineState)
            ++reads;
        return m_inner->DevIoControl(code, input, inputSize, output, outputSize, returned);
    }
    uint32_t Cancel() override { return m_inner->Cancel(); }

    uint64_t reads = 0; // user-interface thread only

private:
    std::unique_ptr<CDevice> m_inner;
};

CDriverLibrary* Library() {
    static std::unique_ptr<CDriverLibrary> library = [] {
        QString path = qEnvironmentVariable("VELTRIN_SIM_LIBRARY");
        if (path.isEmpty()) {
#if defined(_WIN32)
            path = QCoreApplication::applicationDirPath() + QStringLiteral("/veltrin-sim.dll");
#else
            path = QCoreApplication::applicationDirPath() + QStringLiteral("/libveltrin-sim.so");
#endif
        }
        std::string why;
        auto loaded = LoadDriverLibrary(path.toStdString(), &why);
        if (!loaded)
            std::fprintf(stderr, "cannot load the simulator library %s: %s\n", qPrintable(path), why.c_str());
        return loaded;
    }();
    return library.get();
}

// The eight line devices of the first `boards` simulated boards.
struct Boards {
    std::vector<std::unique_ptr<CountingDevice>> devices;
    std::vector<PageContext> contexts;

    explicit Boards(int boards) {
        for (int b = 0; b < boards; ++b) {
            PageContext context;
            context.type = 0x310;
            context.index = -1;
            context.channels = 8;
            for (int line = 0; line < 8; ++line) {
                auto device =
                    OpenDevice(Library(), "VSIM" + std::to_string(b), "PHONE_LINE" + std::to_string(line) + "_IN_DEV");
                if (!device)
                    continue;
                devices.push_back(std::make_unique<CountingDevice>(std::move(device)));
                context.lineIn[static_cast<size_t>(line)] = devices.back().get();
            }
            contexts.push_back(context);
        }
    }
    uint64_t Reads() const {
        uint64_t total = 0;
        for (const auto& device : devices)
            total += device->reads;
        return total;
    }
};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

void BM_PollOneBoard(benchmark::State& state) {
    Boards boards(1);
    CPhoneLinePage page(boards.contexts[0], nullptr);
    for (auto _ : state)
        page.OnTimer();
    state.counters["requests_per_poll"] =
        benchmark::Counter(static_cast<double>(boards.Reads()) / static_cast<double>(state.iterations()));
}

void BM_PollingWindow(benchmark::State& state) {
    const int boardCount = static_cast<int>(state.range(0));
    const bool allVisible = state.range(1) != 0;
    for (auto _ : state) {
        Boards boards(boardCount);
        QWidget window;
        window.setObjectName(QStringLiteral("benchWindow"));
        std::vector<CPhoneLinePage*> pages;
        QTabWidget* tabs = nullptr;
        auto* grid = new QGridLayout(&window);
        if (!allVisible) {
            tabs = new QTabWidget(&window);
            tabs->setObjectName(QStringLiteral("boardTabs"));
            grid->addWidget(tabs, 0, 0);
        }
        for (int b = 0; b < boardCount; ++b) {
            auto* page = new CPhoneLinePage(boards.contexts[static_cast<size_t>(b)], &window);
            pages.push_back(page);
            if (tabs)
                tabs->addTab(page, QStringLiteral("Board %1").arg(b));
            else
                grid->addWidget(page, b, 0);
        }
        window.show();
        for (CPhoneLinePage* page : pages)
            page->OnInitDialog();
        QCoreApplication::processEvents();

        // A probe thread posts an event every millisecond; the event loop notes how late it ran.
        std::vector<double> latencies;
        latencies.reserve(4096);
        QObject sink;
        std::atomic<bool> probing{true};
        std::thread probe([&] {
            while (probing.load()) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(
                    &sink,
                    [&latencies, posted] {
                        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - posted).count());
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });

        const uint64_t readsBefore = boards.Reads();
        const double cpuBefore = ThreadCpuSeconds();
        const auto wallBefore = Clock::now();
        QEventLoop loop;
        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(kRunTime), &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        const uint64_t reads = boards.Reads() - readsBefore;

        probing = false;
        probe.join();
        QCoreApplication::processEvents(); // runs the probes still queued before `sink` goes
        state.SetIterationTime(wall);
        state.counters["ui_cpu_share"] = cpu / wall;
        state.counters["latency_p50_us"] = Percentile(latencies, 0.50);
        state.counters["latency_p99_us"] = Percentile(latencies, 0.99);
        state.counters["polls_per_line_per_s"] =
            static_cast<double>(reads) / (wall * static_cast<double>(boards.devices.size()));
    }
}

} // namespace

BENCHMARK(BM_PollOneBoard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollingWindow)
    ->ArgNames({"boards", "allVisible"})
    ->ArgsProduct({{1, 4, kMaxBoards}, {0, 1}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Ten eight-line boards of the old family; the simulator reads this when the library is first used.
    if (qEnvironmentVariableIsEmpty("VELTRIN_SIM_BOARDS")) {
        QByteArray boards;
        for (int b = 0; b < kMaxBoards; ++b)
            boards += (b ? "," : "") + QByteArray("0x310:") + QByteArray::number(100 + b) + ":8";
        qputenv("VELTRIN_SIM_BOARDS", boards);
    }
    QApplication app(argc, argv);
    if (!Library())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
