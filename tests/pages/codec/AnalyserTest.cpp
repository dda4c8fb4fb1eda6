// The input tap and the analyser window: the tap sees every sample the engine reads from a codec input,
// recording or not, and the window shows the simulated board's tone live and keeps its figures after
// the input stops.
#include "AnalyserWindow.h"
#include "CodecPage.h"
#include "DeviceNames.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"
#include "SettingsSandbox.h"
#include "SimDevice.h"
#include "Simulator.h"
#include "StreamBlocks.h"

#include <QAccessible>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <atomic>

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
    auto open = [&](const std::string& leaf) {
        return SimDevice::Open(simulator, simulator.BaseName(0) + "\\" + leaf);
    };
    const auto cfg = open(kConfigLeaf);
    const auto in = open(LineInLeaf(1));
    const auto out = open(LineOutLeaf(1));
    CCodecPage page(0x330, 0, 1, in.get(), out.get(), cfg.get());
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
