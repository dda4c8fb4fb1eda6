// The streaming soak: N simulated boards with both stereo channels (and, with --codec, every codec line
// recording and playing) running for T seconds inside the real pages and workers, on the simulator's
// real-time clock. Prints underruns, lost input bytes, CPU per channel (% of one core), the
// user-interface thread's event-loop latency p50/p99 and the peak memory. With --codec every line input
// captures the counting sequence (sample k is k) into a file, and each file is checked afterwards for
// lost or doubled samples.
//
//   bench_stream_soak [--boards N] [--seconds T] [--rate HZ] [--codec]
#include "Device.h"
#include "OutputPage.h"
#include "SimDevice.h"
#include "Simulator.h"
#ifdef VELTRIN_SOAK_CODEC
#include "CodecTabsPage.h"
#endif
#include "PageContext.h"
#include "Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A device handle on the in-process simulator.
struct Options {
    int boards = 10;
    int seconds = 10;
    uint32_t rate = 48000;
    bool codec = false;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--boards" && more)
            o.boards = std::max(1, std::atoi(argv[++i]));
        else if (a == "--seconds" && more)
            o.seconds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--rate" && more)
            o.rate = static_cast<uint32_t>(std::max(1000, std::atoi(argv[++i])));
        else if (a == "--codec")
            o.codec = true;
    }
    return o;
}

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// Sets a channel's rate text and presses its Start button.
int StartAll(QWidget& page, uint32_t rate) {
    int started = 0;
    for (QPushButton* start : page.findChildren<QPushButton*>()) {
        const QString name = start->objectName();
        if (!name.endsWith(QStringLiteral("StartButton")))
            continue;
        const QString prefix = name.left(name.size() - int(std::strlen("StartButton")));
        // The rate field next to this Start: every codec line has one of the same name.
        QWidget* group = start->parentWidget();
        for (const char* field : {"Rate", "RateEdit"})
            if (auto* edit = group->findChild<QLineEdit*>(prefix + QLatin1String(field)))
                edit->setText(QString::number(rate));
        start->click();
        // Between two clicks of a user the event loop runs; without it the workers already started would
        // wait for the user-interface thread through every later start.
        QCoreApplication::processEvents();
        ++started;
    }
    return started;
}

// Missing and repeated samples in a recording of the counting sequence, and its sample count.
struct SequenceCheck {
    uint64_t samples = 0;
    uint64_t lost = 0;
    uint64_t doubled = 0;
    int64_t firstFault = -1; // the sample where the first gap or repeat shows
};

SequenceCheck CheckSequence(const QString& path) {
    SequenceCheck check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return check;
    const QByteArray bytes = file.readAll();
    uint16_t expected = 0; // the line's first sample since its start
    for (qsizetype i = 4; i + 1 < bytes.size(); i += 2) {
        const auto sample =
            static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
        const auto step = static_cast<uint16_t>(sample - expected);
        if (step != 0 && check.firstFault < 0)
            check.firstFault = static_cast<int64_t>(check.samples);
        if (step < 0x8000)
            check.lost += step; // samples skipped on the way to this one
        else
            check.doubled += 0x10000u - step; // came back: these samples arrived twice
        expected = static_cast<uint16_t>(sample + 1);
        ++check.samples;
    }
    return check;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const Options options = Parse(argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir settings; // the pages store their settings; keep the user's own untouched
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    std::vector<sim::BoardConfig> configs;
    for (int b = 0; b < options.boards; ++b) {
        sim::BoardConfig config;
        config.type = 0x310;
        config.id = static_cast<uint32_t>(100 + b);
        configs.push_back(config);
    }
    sim::Simulator simulator(configs, std::make_shared<sim::SteadyClock>());
    for (size_t b = 0; b < simulator.BoardCount(); ++b) {
        auto lock = simulator.BoardAt(b).Lock();
        simulator.BoardAt(b).Streams().SetInputSignal(sim::InputSignal::Sequence);
    }
    QTemporaryDir recordings;
    std::vector<QString> recorded;

    std::vector<std::unique_ptr<CDevice>> devices;
    auto open = [&](int board, const std::string& leaf) -> CDevice* {
        const int32_t handle = simulator.Create(simulator.BaseName(static_cast<uint32_t>(board)) + "\\" + leaf);
        if (handle < 0)
            return nullptr;
        devices.push_back(std::make_unique<SimDevice>(simulator, handle));
        return devices.back().get();
    };

    QTabWidget window;
    std::vector<CPageDlg*> pages;
    int channels = 0;
    for (int b = 0; b < options.boards; ++b) {
        PageContext context;
        context.type = 0x310;
        context.index = b;
        context.channels = 8;
        context.cfg = open(b, "VELTRIN_CFG");
        context.left = open(b, "LINE_OUT_LEFT");
        context.right = open(b, "LINE_OUT_RIGHT");
        auto* board = new QTabWidget(&window);
        window.addTab(board, QStringLiteral("Board %1").arg(b));
        auto* output = new COutputPage(context.type, context.index, context.cfg, context.left, context.right, board);
        board->addTab(output, QStringLiteral("PCM1717 device"));
        if (!output->OnInitDialog()) {
            std::fprintf(stderr, "board %d: the output page did not start\n", b);
            return 1;
        }
        pages.push_back(output);
#ifdef VELTRIN_SOAK_CODEC
        if (options.codec) {
            for (int line = 0; line < 8; ++line) {
                context.lineIn[static_cast<size_t>(line)] = open(b, "PHONE_LINE" + std::to_string(line) + "_IN_DEV");
                context.lineOut[static_cast<size_t>(line)] = open(b, "PHONE_LINE" + std::to_string(line) + "_OUT_DEV");
            }
            auto* codec =
                new CCodecTabsPage(context.type, context.index, context.lineIn, context.lineOut, context.cfg, board);
            board->addTab(codec, QStringLiteral("Input/output device AIC10"));
            if (!codec->OnInitDialog()) {
                std::fprintf(stderr, "board %d: the codec page did not start\n", b);
                return 1;
            }
            for (int tab = 0; tab < codec->Tabs()->count(); ++tab) {
                QWidget* line = codec->Tabs()->widget(tab);
                auto* write = line->findChild<QCheckBox*>(QStringLiteral("inputWriteFile"));
                auto* name = line->findChild<QLineEdit*>(QStringLiteral("inputFileName"));
                if (!write || !name)
                    continue;
                recorded.push_back(recordings.filePath(QStringLiteral("board%1-line%2.raw").arg(b).arg(tab)));
                write->setChecked(true);
                name->setText(recorded.back());
            }
            pages.push_back(codec);
        }
#endif
    }
    window.resize(1200, 700);
    window.show();
    QCoreApplication::processEvents();
    for (CPageDlg* page : pages)
        channels += StartAll(*page, options.rate);

    // A probe thread posts an event every millisecond; the event loop notes how late it ran.
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(options.seconds) * 1100);
    QObject sink;
    std::atomic<bool> probing{true};
    std::thread probe([&] {
        while (probing.load() && !qEnvironmentVariableIsSet("SOAK_NO_PROBE")) {
            const auto posted = Clock::now();
            QMetaObject::invokeMethod(
                &sink,
                [&latencies, posted] {
                    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double uiBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto wallBefore = Clock::now();
    QEventLoop loop;
    QTimer::singleShot(std::chrono::seconds(options.seconds), &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
    const double uiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - uiBefore;
    probing = false;
    probe.join();
    QCoreApplication::processEvents();

    uint64_t underruns = 0;
    uint64_t lost = 0;
    uint64_t played = 0;
    for (size_t b = 0; b < simulator.BoardCount(); ++b) {
        sim::Board& board = simulator.BoardAt(b);
        auto lock = board.Lock();
        std::vector<sim::DeviceAddress> addresses = {{sim::DeviceKind::OutLeft, 0}, {sim::DeviceKind::OutRight, 0}};
        for (int line = 0; line < 8; ++line) {
            addresses.push_back({sim::DeviceKind::LineIn, line});
            addresses.push_back({sim::DeviceKind::LineOut, line});
        }
        for (const auto& address : addresses) {
            const sim::StreamStats stats = board.Streams().Stats(address);
            underruns += stats.underruns;
            lost += stats.lostInputBytes;
            played += stats.bytesPlayed;
        }
    }
    {
        // As the main window closes: the pages store their settings in one batch, so none of them holds
        // up the user-interface thread (and the workers reporting to it) with a disk flush per value.
        const SettingsBatch batch;
        for (CPageDlg* page : pages)
            page->Shutdown();
    }
    SequenceCheck sequence;
    for (const QString& path : recorded) {
        const SequenceCheck one = CheckSequence(path);
        if (one.firstFault >= 0)
            std::fprintf(stderr, "%s: %llu lost, %llu doubled, the first at sample %lld of %llu\n", qPrintable(path),
                         static_cast<unsigned long long>(one.lost), static_cast<unsigned long long>(one.doubled),
                         static_cast<long long>(one.firstFault), static_cast<unsigned long long>(one.samples));
        sequence.samples += one.samples;
        sequence.lost += one.lost;
        sequence.doubled += one.doubled;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("boards %d, channels %d, rate %u Hz, %.1f s\n", options.boards, channels, options.rate, wall);
    std::printf("underruns            %llu\n", static_cast<unsigned long long>(underruns));
    std::printf("lost input bytes     %llu\n", static_cast<unsigned long long>(lost));
    if (!recorded.empty())
        std::printf("recordings           %zu, %llu samples (%.0f per line and second), %llu lost, %llu doubled\n",
                    recorded.size(), static_cast<unsigned long long>(sequence.samples),
                    static_cast<double>(sequence.samples) / (wall * static_cast<double>(recorded.size())),
                    static_cast<unsigned long long>(sequence.lost), static_cast<unsigned long long>(sequence.doubled));
    std::printf("bytes played         %llu (%.0f per channel and second)\n", static_cast<unsigned long long>(played),
                static_cast<double>(played) / (wall * std::max(1, channels)));
    std::printf("cpu per channel      %.3f %% of one core (whole process incl. the simulated boards)\n",
                100.0 * cpu / wall / std::max(1, channels));
    std::printf("ui thread            %.1f %% of one core\n", 100.0 * uiCpu / wall);
    std::printf("ui latency p50/p99   %.2f / %.2f ms\n", Percentile(latencies, 0.50), Percentile(latencies, 0.99));
    std::printf("peak memory          %ld MiB\n", usage.ru_maxrss / 1024);
    return underruns == 0 && lost == 0 && sequence.lost == 0 && sequence.doubled == 0 ? 0 : 1;
}
