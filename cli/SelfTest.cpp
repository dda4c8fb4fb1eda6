// The production self-test: identity, memory read-back, watchdog, every line's state, every stream
// channel playing and, where a line's input hears its output, looping back; a pass/fail report per step.
#include "BoardMaintenance.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliStreams.h"
#include "LineRequests.h"
#include "Loopback.h"

#include "SelfTestReport.h"

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A scratch range of the DSP memory: written with a pattern, read back, then restored.
constexpr uint32_t kScratchStart = 0x0100;
constexpr uint32_t kScratchWords = 16;
constexpr uint32_t kWatchdogInterval = 1000; // ms, far longer than the test's kicks are apart
constexpr int kWatchdogKicks = 10;
constexpr uint32_t kOutputFrequency = 1000;
constexpr uint32_t kLoopbackFrequency = 1500;
constexpr uint32_t kToneAmplitude = 8000;

class CSelfTest {
public:
    CSelfTest(const OpenBoard& board, double seconds, bool loopbackRequired, const FigureLimits& limits)
        : m_board(board), m_seconds(seconds), m_loopbackRequired(loopbackRequired), m_limits(limits) {}

    std::vector<Step> Run() {
        Check("identity", [this] { return Identity(); });
        Check("memory", [this] { return Memory(); });
        Check("watchdog", [this] { return Watchdog(); });
        for (int line = 0; line < m_board.Lines(); ++line)
            Check("line " + std::to_string(line), [this, line] { return LineStateStep(line); });
        Streams();
        return m_steps;
    }

private:
    // Runs one step; a thrown error fails that step alone.
    void Check(const std::string& name, const std::function<Step()>& body) {
        Step step;
        const auto begin = std::chrono::steady_clock::now();
        try {
            step = body();
        } catch (const std::exception& error) {
            step.outcome = Outcome::Fail;
            step.detail = error.what();
        }
        step.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        step.name = name;
        m_steps.push_back(step);
    }

    static Step Fail(const std::string& detail) { return MakeStep("", Outcome::Fail, detail); }
    static Step Pass(const std::string& detail) { return MakeStep("", Outcome::Pass, detail); }
    // A result with its measured value and the limits it was held to.
    static Step Measured(bool passed, const std::string& detail, double value, const char* unit,
                         std::optional<double> low, std::optional<double> high) {
        Step step = MakeStep("", passed ? Outcome::Pass : Outcome::Fail, detail);
        step.value = value;
        step.unit = unit;
        step.low = low;
        step.high = high;
        return step;
    }

    Step Identity() {
        const BoardIdReading id = ReadBoardId(m_board.Cfg(), m_board.model->newFamily);
        if (id.failure)
            return Fail(id.failure->toStdString());
        const double reported = m_board.found.record.boardId;
        if (id.id != m_board.found.record.boardId)
            return Measured(false,
                            "the board reads ID " + std::to_string(id.id) + " but reported " +
                                std::to_string(m_board.found.record.boardId),
                            id.id, "", reported, reported);
        return Measured(true, "ID " + std::to_string(id.id), id.id, "", reported, reported);
    }

    Step Memory() {
        CDevice& cfg = m_board.Cfg();
        const auto daram = static_cast<uint16_t>(MemoryKind::Daram);
        std::vector<uint8_t> saved(kScratchWords * 2);
        std::vector<uint8_t> pattern(kScratchWords * 2);
        std::vector<uint8_t> back(kScratchWords * 2);
        uint32_t got = 0;
        const MemoryOperation read{kScratchStart, kScratchWords, MemoryOperation::kRead, daram};
        const MemoryOperation write{kScratchStart, kScratchWords, MemoryOperation::kWrite, daram};
        if (const Failure f = ReadMemory(cfg, read, saved.data(), kScratchWords * 2, &got))
            return Fail(f->toStdString());
        for (uint32_t i = 0; i < kScratchWords; ++i)
            PutMemoryWord(pattern.data(), i, static_cast<uint16_t>(0xA55A ^ (i * 0x1111)));
        if (const Failure f = WriteMemory(cfg, write, pattern.data(), kScratchWords * 2))
            return Fail(f->toStdString());
        const Failure readBack = ReadMemory(cfg, read, back.data(), kScratchWords * 2, &got);
        const Failure restored = WriteMemory(cfg, write, saved.data(), kScratchWords * 2);
        if (readBack)
            return Fail(readBack->toStdString());
        if (got != kScratchWords * 2)
            return Measured(false, "the read-back was answered with " + std::to_string(got) + " bytes", got / 2.0,
                            "words", kScratchWords, kScratchWords);
        uint32_t same = 0;
        for (uint32_t i = 0; i < kScratchWords; ++i)
            same += GetMemoryWord(back.data(), i) == GetMemoryWord(pattern.data(), i) ? 1 : 0;
        if (same != kScratchWords)
            return Measured(false, std::to_string(kScratchWords - same) + " words read back differ from those written",
                            same, "words", kScratchWords, kScratchWords);
        if (restored)
            return Fail("cannot restore the memory: " + restored->toStdString());
        return Measured(true, std::to_string(kScratchWords) + " words written and read back", same, "words",
                        kScratchWords, kScratchWords);
    }

    Step Watchdog() {
        CDevice& cfg = m_board.Cfg();
        if (!StartWatchdog(cfg, kWatchdogInterval))
            return Fail("the board refused to start the watchdog");
        int refused = 0;
        for (int i = 0; i < kWatchdogKicks; ++i) {
            refused += KickWatchdog(cfg) ? 0 : 1;
            std::this_thread::sleep_for(10ms);
        }
        if (!StopWatchdog(cfg))
            return Fail("the board refused to stop the watchdog");
        return Measured(refused == 0,
                        std::to_string(refused) + " of " + std::to_string(kWatchdogKicks) + " kicks refused", refused,
                        "kicks", 0, 0);
    }

    Step LineStateStep(int line) {
        CDevice& device = m_board.LineIn(line);
        const auto state = GetLineState(device);
        if (!state)
            return Fail("cannot get the line state");
        if (m_board.model->lineOptions && !GetLineStateShort(device))
            return Fail("cannot get the short line state");
        const char* hook = (state->state & LineState::kOffHook)  ? "off hook"
                           : (state->state & LineState::kOnHook) ? "on hook"
                                                                 : "hook unknown";
        return Measured(true, std::string(hook) + ", " + std::to_string(state->voltage) + " V", state->voltage, "V", {},
                        {});
    }

    // Every stream channel at once: the stereo outputs play a tone, every line loops one back.
    void Streams() {
        CStreamRun run;
        struct Output {
            std::string name;
            int index;
        };
        std::vector<Output> outputs;
        std::vector<LoopbackLeg> legs;
        QTemporaryDir dir;
        // Every board has the two stereo outputs: one that does not open fails its step.
        const std::pair<const char*, CDevice*> stereo[] = {{"stream left", m_board.left.get()},
                                                           {"stream right", m_board.right.get()}};
        for (const auto& [name, device] : stereo)
            if (!device)
                Check(name, [] { return Fail("cannot open the stereo output device"); });
        Check("streams", [&] {
            CDevice& cfg = m_board.Cfg();
            const PlaySource tone{"", kOutputFrequency, kToneAmplitude};
            for (int channel = 0; channel < 2; ++channel)
                if (CDevice* device = stereo[channel].second)
                    outputs.push_back(
                        {stereo[channel].first, run.AddOutput(*device, tone, ApplyOutputRate(cfg, channel, {}))});
            if (m_board.Lines() > 0) {
                if (!dir.isValid())
                    throw DeviceError("cannot create a temporary folder for the recordings");
                const uint32_t rate = ApplyCodecRate(cfg, {});
                const PlaySource lineTone{"", kLoopbackFrequency, kToneAmplitude};
                for (int line = 0; line < m_board.Lines(); ++line)
                    legs.push_back(AddLoopback(run, m_board, line, rate, lineTone, dir.path().toStdString()));
            }
            run.Start();
            run.Wait(m_seconds, nullptr, "self-test streams");
            run.Stop();
            return Pass(std::to_string(outputs.size() + legs.size() * 2) + " channels started and stopped");
        });
        if (m_steps.back().outcome != Outcome::Pass)
            return;
        // The channels' own steps say how each one did; they all ran for the run's time.
        const double runSeconds = m_steps.back().seconds;
        m_steps.pop_back();
        const size_t first = m_steps.size();
        for (const Output& o : outputs)
            Check(o.name, [&] { return Played(run, o.index); });
        for (const LoopbackLeg& leg : legs) {
            Check("stream line " + std::to_string(leg.line), [&] { return Played(run, leg.output); });
            const std::string name = "loopback line " + std::to_string(leg.line);
            LoopbackReport report;
            Check(name, [&] {
                report = AnalyseLoopback(run, leg);
                return Loopback(report, leg);
            });
            // The tone's figures, each a step of its own; a line whose input does not hear its output
            // has none to measure.
            const Outcome toneOutcome = m_steps.back().outcome;
            const std::vector<Measurement> measurements = LoopbackMeasurements(report, m_limits);
            for (auto m = measurements.begin() + 1; m != measurements.end(); ++m)
                Check(name + " " + m->figure, [&] { return Figure(*m, toneOutcome); });
        }
        for (size_t i = first; i < m_steps.size(); ++i)
            m_steps[i].seconds += runSeconds;
    }

    static Step Played(CStreamRun& run, int index) {
        const uint64_t written = run.Channel(index).bytesWritten.load();
        const ChannelFigures figures = run.Figures(index);
        if (written == 0)
            return Measured(false, "the device took no samples", 0, "bytes", 1, {});
        if (!figures.counters)
            return Fail("the board reported no counters");
        const double played = static_cast<double>(figures.counters->bytes);
        return Measured(played > 0, std::to_string(figures.counters->bytes) + " bytes played", played, "bytes", 1, {});
    }

    static Step Figure(const Measurement& m, Outcome toneOutcome) {
        Step step = Measured(m.Passed(), m.FailureText(), m.value, m.unit.c_str(), m.low, m.high);
        if (toneOutcome == Outcome::Skip)
            step.outcome = Outcome::Skip;
        return step;
    }

    Step Loopback(const LoopbackReport& r, const LoopbackLeg& leg) {
        const std::string figures = std::to_string(static_cast<int>(std::lround(r.measured))) + " Hz at " +
                                    QString::number(r.rmsDb, 'f', 1).toStdString() + " dB";
        const double tolerance = FrequencyTolerance(leg.tone.frequency);
        const double low = leg.tone.frequency - tolerance;
        const double high = leg.tone.frequency + tolerance;
        const double measured = std::round(r.measured * 10) / 10;
        if (r.toneFound)
            return Measured(true, figures + (r.unbroken ? ", one unbroken run" : ", not sample-exact"), measured, "Hz",
                            low, high);
        if (r.recorded == 0)
            return Measured(false, "nothing recorded", 0, "Hz", low, high);
        if (m_loopbackRequired)
            return Measured(false,
                            "the played " + std::to_string(leg.tone.frequency) + " Hz tone did not come back (heard " +
                                figures + ")",
                            measured, "Hz", low, high);
        Step skipped =
            Measured(true, "the input does not hear the output (heard " + figures + ")", measured, "Hz", low, high);
        skipped.outcome = Outcome::Skip;
        return skipped;
    }

    const OpenBoard& m_board;
    double m_seconds;
    bool m_loopbackRequired;
    FigureLimits m_limits;
    std::vector<Step> m_steps;
};

} // namespace

std::vector<Step> RunBoardSelfTest(const OpenBoard& board, double seconds, bool loopbackRequired,
                                   const FigureLimits& limits) {
    return CSelfTest(board, seconds, loopbackRequired, limits).Run();
}
