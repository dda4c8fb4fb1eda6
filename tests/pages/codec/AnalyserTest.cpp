// The input tap and the analyser window: the tap sees every sample the engine reads from a codec input,
// recording or not, the window shows the simulated board's tone live and keeps its figures after the
// input stops, and its sweep measures a looped-back line's response.
#include "AnalyserWindow.h"
#include "ChannelPlan.h"
#include "CodecPage.h"
#include "DeviceNames.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"
#include "ResponseSweep.h"
#include "ResponseView.h"
#include "Settings.h"
#include "SettingsSandbox.h"
#include "SimDevice.h"
#include "Simulator.h"
#include "StreamBlocks.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <numbers>

namespace {

// One codec line whose input delivers the samples 0, 1, 2 ... in every read while data is available.
struct SequenceLine {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice cfg{"cfg", log};
    RecordingDevice in{"in0", log};
    RecordingDevice out{"out0", log};
    std::atomic<uint16_t> next{0};

    SequenceLine() {
        cfg.SetHandler([](const RecordedCall&) -> ScriptedAnswer { return {1, Le32({16000})}; });
        auto line = [this](const RecordedCall& call) -> ScriptedAnswer {
            if (call.op == RecordedCall::Op::Read) {
                std::vector<uint8_t> bytes;
                for (uint32_t i = 0; i + 1 < call.outputSize; i += 2) {
                    const uint16_t sample = next++;
                    bytes.push_back(static_cast<uint8_t>(sample));
                    bytes.push_back(static_cast<uint8_t>(sample >> 8));
                }
                return {1, bytes};
            }
            if (call.code == req::kGetAttenuation)
                return {1, Vec(AttenuationBlock{0, 0, 0, 14, 0}.Encode())};
            if (call.code == req::kGetBufferState)
                return {1, Vec(BufferState{32768, call.device[0] == 'i' ? 2048u : 0u}.Encode())};
            if (call.code == req::kGetAttenuation2)
                return {0, {}};
            return {1, std::vector<uint8_t>(call.outputSize, 0)};
        };
        in.SetHandler(line);
        out.SetHandler(line);
    }
};

QString SpokenName(QLabel* label) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(label);
    return face ? face->text(QAccessible::Name) : QString();
}

// A codec line's configuration, input and output devices on a simulator's first board.
struct AnalyserSimLine {
    std::unique_ptr<CDevice> cfg, in, out;

    AnalyserSimLine(sim::Simulator& simulator, int line)
        : cfg(Open(simulator, kConfigLeaf)), in(Open(simulator, LineInLeaf(line))),
          out(Open(simulator, LineOutLeaf(line))) {}
    static std::unique_ptr<CDevice> Open(sim::Simulator& simulator, const std::string& leaf) {
        return SimDevice::Open(simulator, simulator.BaseName(0) + "\\" + leaf);
    }
};

} // namespace

TEST(InputTap, HoldsEverySampleTheEngineReadWhileRecordingOrNot) {
    for (const bool record : {false, true}) {
        SCOPED_TRACE(record ? "recording" : "draining");
        QTemporaryDir dir;
        SequenceLine line;
        CCodecPage page(0x330, 0, 0, &line.in, &line.out, &line.cfg);
        ASSERT_TRUE(page.OnInitDialog());
        if (record) {
            line.prompts.fileAnswers = {dir.filePath(QStringLiteral("record.raw"))};
            page.SelectInputFile();
        }
        auto tap = std::make_shared<CSampleTap>(1 << 15);
        page.Channel(CCodecPage::kInput).AttachTap(tap);
        page.Start(CCodecPage::kInput);
        ASSERT_TRUE(QTest::qWaitFor([&] { return tap->Total() >= 3 * 1024; }, 5000));
        page.Stop(CCodecPage::kInput);
        QTest::qWait(150);
        page.Channel(CCodecPage::kInput).AttachTap(nullptr);

        const uint64_t read = line.next.load();
        ASSERT_EQ(tap->Total(), read);
        ASSERT_LE(read, tap->Capacity());
        std::vector<int16_t> samples(read);
        ASSERT_EQ(tap->Latest(samples), read);
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(static_cast<uint16_t>(samples[i]), static_cast<uint16_t>(i)) << "at sample " << i;
        if (record) {
            EXPECT_EQ(QFile(dir.filePath(QStringLiteral("record.raw"))).size(), static_cast<qint64>(4 + 2 * read));
        }
    }
}

TEST(AnalyserWindow, ShowsTheSimulatedToneLiveAndKeepsItsFiguresAfterTheStop) {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    sim::Simulator simulator({{0x330, 1, 4, "", ""}}, std::make_shared<sim::SteadyClock>());
    const AnalyserSimLine line(simulator, 1);
    CCodecPage page(0x330, 0, 1, line.in.get(), line.out.get(), line.cfg.get());
    ASSERT_TRUE(page.OnInitDialog());
    page.OpenAnalyser();
    CAnalyserWindow* window = page.Analyser();
    ASSERT_NE(window, nullptr);
    page.OpenAnalyser();
    EXPECT_EQ(page.Analyser(), window) << "a second open raises the first window";
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Analyser \u2014 Board 0, line 1"));

    page.Start(CCodecPage::kInput);
    const std::array<std::pair<const char*, QString>, 4> figures{{{"analyserFrequency", QStringLiteral("Frequency")},
                                                                  {"analyserLevel", QStringLiteral("Level")},
                                                                  {"analyserThdn", QStringLiteral("THD+N")},
                                                                  {"analyserNoise", QStringLiteral("Noise")}}};
    auto* frequency = window->findChild<QLabel*>(QLatin1String(figures[0].first));
    ASSERT_NE(frequency, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frequency->text().endsWith(QLatin1String(" Hz")); }, 5000));
    EXPECT_NEAR(frequency->text().section(QLatin1Char(' '), 0, 0).toDouble(), 1000.0, 1.0);
    QStringList shown;
    for (const auto& [name, caption] : figures) {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(SpokenName(label), caption + QLatin1Char(' ') + label->text());
        shown << label->text();
    }
    EXPECT_TRUE(shown[1].endsWith(QLatin1String(" dBFS"))) << shown[1].toStdString();
    // The simulator's 1 kHz tone is one tone of the response, not its 1020 Hz reference.
    auto* response = window->findChild<QWidget*>(QStringLiteral("analyserResponse"));
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->accessibleName(), QStringLiteral("Response: 1 tones, no 1020 Hz reference yet"));

    page.Stop(CCodecPage::kInput);
    QTest::qWait(3 * CAnalyserWindow::kRefreshMs);
    QStringList held;
    for (const auto& [name, caption] : figures)
        held << window->findChild<QLabel*>(QLatin1String(name))->text();
    QTest::qWait(3 * CAnalyserWindow::kRefreshMs);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(window->findChild<QLabel*>(QLatin1String(figures[static_cast<size_t>(i)].first))->text(), held[i]);
    EXPECT_TRUE(held[0].endsWith(QLatin1String(" Hz"))) << "the figures stay after the stop";
}

TEST(AnalyserWindow, SweepReadsTheLoopedBackLinesBandEdgesAndGivesTheOutputBack) {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    WriteBoardInt(0, QStringLiteral("AIC"), QStringLiteral("SampleRate"), 8000);
    qputenv("VELTRIN_SIM_BOARDS", "0x330:1:4");
    qputenv("VELTRIN_SIM_INPUT", "loopback");
    qputenv("VELTRIN_SIM_IMPAIR", "response:300-3400");
    const auto simulator = sim::Simulator::FromEnvironment();
    for (const char* name : {"VELTRIN_SIM_BOARDS", "VELTRIN_SIM_INPUT", "VELTRIN_SIM_IMPAIR"})
        qunsetenv(name);
    const AnalyserSimLine line(*simulator, 1);
    CCodecPage page(0x330, 0, 1, line.in.get(), line.out.get(), line.cfg.get());
    ASSERT_TRUE(page.OnInitDialog());
    page.OpenAnalyser();
    CAnalyserWindow* window = page.Analyser();
    auto* sweep = window->findChild<QPushButton*>(QStringLiteral("analyserSweep"));
    auto* stop = window->findChild<QPushButton*>(QStringLiteral("analyserStopSweep"));
    auto* outputStart = page.findChild<QPushButton*>(QStringLiteral("outputStartButton"));
    ASSERT_TRUE(sweep && stop && outputStart);
    EXPECT_EQ(sweep->accessibleName(), QStringLiteral("Sweep the line's response"));
    EXPECT_NE(sweep->focusPolicy() & Qt::TabFocus, 0);

    // Refused, with the reason, while the input is stopped and while the user's own tone plays.
    sweep->click();
    page.Start(CCodecPage::kInput);
    page.Start(CCodecPage::kOutput);
    sweep->click();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text,
              QStringLiteral("Start the line's input first: the sweep measures what it hears"));
    EXPECT_EQ(prompts.messages[1].text,
              QStringLiteral("The line's output is playing: stop it first, the sweep plays its own tones on it"));
    page.Stop(CCodecPage::kOutput);

    // A Stop ends the sweep at once and gives the output back, stopped, to its own sine source. The
    // output still holds the signal's start (silence and the reference), which plays before the next.
    sweep->click();
    EXPECT_FALSE(outputStart->isEnabled()) << "the output shows the sweep's run";
    QTest::qWait(250);
    ASSERT_TRUE(window->Sweep()->Running() && page.Channel(CCodecPage::kOutput).running);
    stop->click();
    EXPECT_FALSE(window->Sweep()->Running());
    EXPECT_FALSE(page.Channel(CCodecPage::kOutput).running.load());
    EXPECT_TRUE(outputStart->isEnabled());
    EXPECT_EQ(page.Channel(CCodecPage::kOutput).source.load(), StreamChannel::kSourceSine);

    // The full sweep: one point per frequency of the plan, each the filter's loss relative to 1020 Hz.
    QString ended;
    QObject::connect(window->Sweep(), &CResponseSweep::Ended, [&](const QString& text, bool) { ended = text; });
    const auto begun = std::chrono::steady_clock::now();
    sweep->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ended.isEmpty(); }, 15000));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    const std::vector<double> planned = PlanFrequencies(8000);
    EXPECT_EQ(ended, QStringLiteral("Sweep done: %1 frequencies").arg(planned.size())) << seconds << " s";
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_FALSE(page.Channel(CCodecPage::kOutput).running.load()) << "the output stops with the sweep";
    EXPECT_TRUE(outputStart->isEnabled());
    const auto curve = window->findChild<CResponseView*>(QStringLiteral("analyserResponse"))->Curve();
    ASSERT_TRUE(curve);
    ASSERT_EQ(curve->size(), planned.size());
    // The simulator's second-order Butterworth edges by the bilinear transform: each edge's analogue
    // (f / edge)^4 term with both frequencies warped to tan(pi f / rate); 3 dB down at each edge.
    const auto bandDb = [](double hz) {
        const auto w = [](double f) { return std::tan(std::numbers::pi * f / 8000); };
        const double h = std::pow(w(hz) / w(300), 4), l = std::pow(w(hz) / w(3400), 4);
        return 10 * std::log10(h / (1 + h)) - 10 * std::log10(1 + l);
    };
    for (size_t i = 0; i < planned.size(); ++i) {
        EXPECT_NEAR((*curve)[i].x, planned[i], 0.5);
        // The fit reads a clean tone's level to 0.01 dB; two of them make the loss.
        EXPECT_NEAR((*curve)[i].y, bandDb(1020) - bandDb(planned[i]), 0.02) << planned[i] << " Hz";
    }
    for (const double edge : {300.0, 3400.0}) {
        const auto at = std::find_if(curve->begin(), curve->end(), [&](const CurvePoint& p) { return p.x == edge; });
        ASSERT_NE(at, curve->end()) << edge;
        EXPECT_NEAR(at->y, 3.0, 0.1) << edge << " Hz is the band's 3 dB edge";
    }
}
