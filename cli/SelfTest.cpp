// The production self-test: identity, memory read-back, watchdog, every line's state, every stream
// channel playing and recording and, where the fixture loops the lines back, each line's loopback; one
// step each, every request checked, every step under a deadline.
#include "BoardMaintenance.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "CliStreams.h"
#include "LineRequests.h"
#include "Loopback.h"
#include "SelfTestReport.h"
#include "StepDeadline.h"
#include "StreamJudge.h"
#include "StreamRequests.h"

#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A scratch range of the DSP memory: written with a pattern, read back, then restored.
constexpr uint32_t kScratchStart = 0x0100;
constexpr uint32_t kScratchWords = 16;
constexpr uint32_t kWatchdogInterval = 1000; // ms, far longer than the test's kicks are apart
constexpr int kWatchdogKicks = 10;
constexpr uint32_t kOutputFrequency = 1000;
constexpr uint32_t kToneAmplitude = 8000;
// A step of plain requests answers within this; the streams get their time on top of it.
constexpr std::chrono::milliseconds kRequestBudget{2000};
constexpr int kCountersApartMs = 100;

std::string NoFixture() { return "no loopback fixture declared (--loopback)"; }

class CSelfTest {
public:
    CSelfTest(const OpenBoard& board, const SelfTestPlan& plan, CStallWatch& stall,
              const std::function<void(Step)>& out)
        : m_board(board), m_plan(plan), m_stall(stall), m_out(out), m_watch(BoardDevices(board)) {}

    void Run() {
        Check("identity", kRequestBudget, [this] { return Identity(); });
        Check("memory", kRequestBudget, [this] { return Memory(); });
        Check("watchdog", kRequestBudget + 10ms * kWatchdogKicks, [this] { return Watchdog(); });
        for (int line = 0; line < m_board.Lines(); ++line)
            Check("line " + std::to_string(line), kRequestBudget, [this, line] { return LineStateStep(line); });
        Streams();
        if (m_plan.channel)
            for (int line = 0; line < m_board.Lines(); ++line)
                Channel(line);
    }

private:
    // Why a step did not run or did not end: a stop signal, or the board's requests being cancelled.
    static std::string Unanswered(std::chrono::milliseconds budget) { return CRequestWatch::Why(budget); }

    // Runs one step under its deadline; a thrown error ends that step as an error. Once a deadline has
    // passed the board is not asked anything more: its later steps are errors without a request.
    Step Check(const std::string& name, std::chrono::milliseconds budget, const std::function<Step()>& body) {
        Step step;
        const auto begin = Clock::now();
        if (m_watch.Expired()) {
            step = MakeStep(name, Outcome::Error,
                            StopSignal() ? Unanswered(budget) : "not run: the board stopped answering");
        } else {
            m_watch.Arm(budget);
            try {
                step = body();
            } catch (const std::exception& error) {
                step = MakeStep("", Outcome::Error, error.what());
            }
            m_watch.Disarm();
            if (m_watch.Expired())
                step = MakeStep("", Outcome::Error, Unanswered(budget));
        }
        step.name = name;
        step.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        m_out(step);
        return step;
    }

    static Step Error(const std::string& detail) { return MakeStep("", Outcome::Error, detail); }

    Step Identity() {
        const BoardIdReading id = ReadBoardId(m_board.Cfg(), m_board.model->newFamily);
        if (id.failure)
            return Error(id.failure->toStdString());
        const double reported = m_board.found.record.boardId;
        return Judged("", id.id, "", reported, reported,
                      id.id == m_board.found.record.boardId
                          ? "ID " + std::to_string(id.id)
                          : "the board reads ID " + std::to_string(id.id) + " but reported " +
                                std::to_string(m_board.found.record.boardId),
                      0);
    }

    Step Memory() {
        CDevice& cfg = m_board.Cfg();
        const auto daram = static_cast<uint16_t>(MemoryKind::Daram);
        const uint32_t bytes = kScratchWords * 2;
        std::vector<uint8_t> saved(bytes), pattern(bytes), back(bytes);
        uint32_t got = 0;
        const MemoryOperation read{kScratchStart, kScratchWords, MemoryOperation::kRead, daram};
        const MemoryOperation write{kScratchStart, kScratchWords, MemoryOperation::kWrite, daram};
        if (const Failure f = ReadMemory(cfg, read, saved.data(), bytes, &got))
            return Error(f->toStdString());
        if (got != bytes)
            return Error("the memory read was answered with " + std::to_string(got) + " bytes of " +
                         std::to_string(bytes));
        for (uint32_t i = 0; i < kScratchWords; ++i)
            PutMemoryWord(pattern.data(), i, static_cast<uint16_t>(0xA55A ^ (i * 0x1111)));
        if (const Failure f = WriteMemory(cfg, write, pattern.data(), bytes))
            return Error(f->toStdString());
        got = 0;
        const Failure readBack = ReadMemory(cfg, read, back.data(), bytes, &got);
        const Failure restored = WriteMemory(cfg, write, saved.data(), bytes);
        if (readBack)
            return Error(readBack->toStdString());
        if (got != bytes)
            return Error("the read-back was answered with " + std::to_string(got) + " bytes of " +
                         std::to_string(bytes));
        if (restored)
            return Error("cannot restore the memory: " + restored->toStdString());
        uint32_t same = 0;
        for (uint32_t i = 0; i < kScratchWords; ++i)
            same += GetMemoryWord(back.data(), i) == GetMemoryWord(pattern.data(), i) ? 1 : 0;
        return Judged("", same, "words", kScratchWords, kScratchWords,
                      same == kScratchWords
                          ? std::to_string(kScratchWords) + " words written and read back"
                          : std::to_string(kScratchWords - same) + " words read back differ from those written",
                      0);
    }

    Step Watchdog() {
        CDevice& cfg = m_board.Cfg();
        if (!StartWatchdog(cfg, kWatchdogInterval))
            return Error("the board refused to start the watchdog");
        int refused = 0;
        for (int i = 0; i < kWatchdogKicks && !m_watch.Expired(); ++i) {
            refused += KickWatchdog(cfg) ? 0 : 1;
            std::this_thread::sleep_for(10ms);
        }
        const bool stopped = StopWatchdog(cfg);
        if (refused != 0)
            return Error(std::to_string(refused) + " of " + std::to_string(kWatchdogKicks) + " kicks refused");
        if (!stopped)
            return Error("the board refused to stop the watchdog");
        return Judged("", kWatchdogKicks, "kicks", kWatchdogKicks, kWatchdogKicks,
                      std::to_string(kWatchdogKicks) + " kicks taken", 0);
    }

    Step LineStateStep(int line) {
        CDevice& device = m_board.LineIn(line);
        const auto state = GetLineState(device);
        if (!state)
            return Error("the line state request failed or was answered short");
        if (m_board.model->lineOptions && !GetLineStateShort(device))
            return Error("the short line state request failed or was answered short");
        const char* hook = (state->state & LineState::kOffHook)  ? "off hook"
                           : (state->state & LineState::kOnHook) ? "on hook"
                                                                 : "hook unknown";
        return Judged("", state->voltage, "V", {}, {}, std::string(hook) + ", " + std::to_string(state->voltage) + " V",
                      0);
    }

    // One run of every stream channel at once: the stereo outputs and every line play a tone, every
    // line's input records. Returns its steps; run again once when the process itself stalled.
    std::vector<Step> StreamTrial() {
        std::vector<Step> steps;
        CStepRunner runner;
        CStreamRun run;
        struct Channel {
            std::string name;
            int index;
            bool output;
            uint32_t rate;
            CDevice* device;
        };
        std::vector<Channel> channels;
        std::vector<LoopbackLeg> legs;
        QTemporaryDir dir;
        const std::pair<const char*, CDevice*> stereo[] = {{"stream left", m_board.left.get()},
                                                           {"stream right", m_board.right.get()}};
        // Every board has the two stereo outputs: one that does not open is an error of its step.
        for (const auto& [name, device] : stereo)
            if (!device)
                steps.push_back(MakeStep(name, Outcome::Error, "cannot open the stereo output device"));
        Clock::time_point began;
        const Step& prepared = runner.Run("streams", [&] {
            CDevice& cfg = m_board.Cfg();
            const PlaySource tone{"", kOutputFrequency, kToneAmplitude};
            for (int channel = 0; channel < 2; ++channel)
                if (CDevice* device = stereo[channel].second) {
                    const uint32_t rate = ApplyOutputRate(cfg, channel, {});
                    channels.push_back({stereo[channel].first, run.AddOutput(*device, tone, rate), true, rate, device});
                }
            if (m_board.Lines() > 0) {
                if (!dir.isValid())
                    throw StepError("cannot create a temporary folder for the recordings");
                const uint32_t rate = ApplyCodecRate(cfg, {});
                const PlaySource lineTone{"", kLoopbackFrequency, kToneAmplitude};
                for (int line = 0; line < m_board.Lines(); ++line) {
                    legs.push_back(AddLoopback(run, m_board, line, rate, lineTone, dir.path().toStdString()));
                    const std::string n = std::to_string(line);
                    channels.push_back({"stream line " + n, legs.back().output, true, rate, &m_board.LineOut(line)});
                    channels.push_back({"record line " + n, legs.back().input, false, rate, &m_board.LineIn(line)});
                }
            }
            began = Clock::now();
            run.Start();
            run.Wait(m_plan.seconds, nullptr, "self-test streams");
            return MakeStep("", Outcome::Pass, "");
        });
        if (prepared.outcome != Outcome::Pass) {
            steps.push_back(prepared);
            return steps;
        }
        const double prepareSeconds = prepared.seconds;
        // Read back while every channel still runs, then stop them all.
        std::vector<Step> judged;
        std::vector<std::optional<StreamCounters>> first;
        for (const Channel& c : channels)
            first.push_back(GetStreamCounters(*c.device));
        std::this_thread::sleep_for(std::chrono::milliseconds(kCountersApartMs));
        for (size_t i = 0; i < channels.size(); ++i) {
            const Channel& c = channels[i];
            Step s = MakeStep(c.name, Outcome::Error, "");
            try {
                const auto second = first[i] ? GetStreamCounters(*c.device) : std::nullopt;
                const double since = std::chrono::duration<double>(Clock::now() - began).count();
                const StreamReading reading = Compare(first[i], second, kCountersApartMs, since);
                const uint64_t sent = c.output ? run.Channel(c.index).bytesWritten.load() : 0;
                s = JudgeStream(c.name, c.output, c.rate, reading, sent);
            } catch (const std::exception& error) {
                s.detail = error.what();
            }
            judged.push_back(s);
        }
        try {
            run.Stop();
        } catch (const std::exception& error) {
            steps.push_back(MakeStep("stream stop", Outcome::Error, error.what()));
        }
        // The run's own time is shared by its channels, so that the steps' times add up to the board's.
        if (!judged.empty())
            for (Step& s : judged)
                s.seconds += prepareSeconds / static_cast<double>(judged.size());
        for (size_t i = 0; i < judged.size(); ++i) {
            // What a recording's end had to say belongs to its step.
            if (const std::string notice = run.Notice(channels[i].index); !notice.empty())
                judged[i].detail += (judged[i].detail.empty() ? "" : "; ") + notice;
            steps.push_back(std::move(judged[i]));
        }
        for (const LoopbackLeg& leg : legs)
            for (Step& s : LoopbackSteps(run, leg))
                steps.push_back(std::move(s));
        return steps;
    }

    std::vector<Step> LoopbackSteps(CStreamRun& run, const LoopbackLeg& leg) {
        const std::string name = "loopback line " + std::to_string(leg.line);
        const char* figures[] = {"level", "THD+N", "noise", "continuity"};
        std::vector<Step> steps;
        if (!m_plan.loopbackFixture) {
            // Said before anything was measured: no figure is reported, so none passes by default.
            steps.push_back(MakeStep(name, Outcome::Skip, NoFixture()));
            for (const char* f : figures)
                steps.push_back(MakeStep(name + " " + f, Outcome::Skip, NoFixture()));
            return steps;
        }
        const auto begin = Clock::now();
        const LoopbackReport r = AnalyseLoopback(run, leg);
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (!r.analysed) {
            const std::string why =
                "the recording holds " + std::to_string(r.recorded) + " samples, too few to analyse";
            steps.push_back(MakeStep(name, Outcome::Error, why));
            for (const char* f : figures)
                steps.push_back(MakeStep(name + " " + f, Outcome::Error, why));
            return steps;
        }
        const std::vector<Measurement> ms = LoopbackMeasurements(r, m_plan.limits);
        const Measurement& f = ms.front();
        const std::string heard = std::to_string(static_cast<int>(std::lround(r.measured))) + " Hz at " +
                                  QString::number(r.rmsDb, 'f', 1).toStdString() + " dB";
        Step tone = Judged(name, f.value, "Hz", f.low, f.high,
                           r.toneFound ? heard + (r.unbroken ? ", one unbroken run" : "")
                                       : "the played " + std::to_string(leg.tone.frequency) +
                                             " Hz tone did not come back (heard " + heard + ")",
                           1);
        tone.seconds = seconds;
        steps.push_back(tone);
        for (auto m = ms.begin() + 1; m != ms.end(); ++m)
            steps.push_back(Judged(name + " " + m->figure, m->value, m->unit, m->low, m->high, m->FailureText()));
        steps.push_back(ContinuityStep(name + " continuity", r));
        return steps;
    }

    void Streams() {
        const auto budget = std::chrono::milliseconds(static_cast<long long>(m_plan.seconds * 1000)) + kRequestBudget;
        if (m_watch.Expired()) {
            Check("streams", budget, [] { return Step(); });
            return;
        }
        const auto anyFailed = [](const std::vector<Step>& steps) {
            for (const Step& s : steps)
                if (s.outcome == Outcome::Fail)
                    return true;
            return false;
        };
        std::vector<Step> steps;
        std::string stalledMs;
        for (int trial = 0; trial < 2; ++trial) {
            m_stall.Reset();
            m_watch.Arm(budget);
            steps = StreamTrial();
            m_watch.Disarm();
            // A failure while the process stood still is the host's loss: once more, then an error.
            if (!anyFailed(steps) || !m_stall.Stalled() || m_watch.Expired()) {
                if (trial == 1)
                    for (Step& s : steps)
                        if (s.outcome == Outcome::Pass && s.unit == "bytes")
                            s.detail += " (measured again: the process had stood still for " + stalledMs + " ms)";
                break;
            }
            stalledMs = std::to_string(m_stall.LongestMs());
            if (trial == 1)
                for (Step& s : steps)
                    if (s.outcome == Outcome::Fail) {
                        s.outcome = Outcome::Error;
                        s.detail += "; the process stood still for " + stalledMs +
                                    " ms, so the data was lost by the host, not the board";
                    }
        }
        if (m_watch.Expired())
            for (Step& s : steps)
                if (s.outcome != Outcome::Skip) {
                    s.outcome = Outcome::Error;
                    s.detail = Unanswered(budget) + (s.detail.empty() ? "" : " (" + s.detail + ")");
                }
        for (Step& s : steps)
            m_out(std::move(s));
    }

    // The line's telephone channel suite, its steps as they came, under one deadline.
    void Channel(int line) {
        const std::string name = "channel line " + std::to_string(line);
        if (!m_plan.loopbackFixture) {
            m_out(MakeStep(name, Outcome::Skip, NoFixture()));
            return;
        }
        const auto budget = ChannelSuiteBudget();
        std::vector<Step> steps;
        if (m_watch.Expired()) {
            steps.push_back(Error("not run: the board stopped answering"));
        } else {
            m_watch.Arm(budget);
            try {
                steps = RunChannelSuite(m_board, line, *m_plan.channel);
            } catch (const std::exception& error) {
                steps.push_back(Error(error.what()));
            }
            m_watch.Disarm();
            if (m_watch.Expired())
                steps = {Error(Unanswered(budget))};
        }
        for (Step& s : steps) {
            if (s.name.empty())
                s.name = name;
            m_out(std::move(s));
        }
    }

    const OpenBoard& m_board;
    const SelfTestPlan& m_plan;
    CStallWatch& m_stall;
    const std::function<void(Step)>& m_out;
    CRequestWatch m_watch;
};

} // namespace

void RunBoardSelfTest(const OpenBoard& board, const SelfTestPlan& plan, CStallWatch& stall,
                      const std::function<void(Step)>& out) {
    CSelfTest(board, plan, stall, out).Run();
}
