// The production self-test: identity, memory read-back, watchdog, every line's state, every stream
// channel playing and, where a line's input hears its output, looping back; a pass/fail report per step.
#include "BoardMaintenance.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliStreams.h"
#include "LineRequests.h"
#include "Loopback.h"

#include <QTemporaryDir>

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

enum class Outcome { Pass, Fail, Skip };

struct Step {
    std::string name;
    Outcome outcome = Outcome::Pass;
    std::string detail;
};

class CSelfTest {
public:
    CSelfTest(const OpenBoard& board, double seconds, bool loopbackRequired)
        : m_board(board), m_seconds(seconds), m_loopbackRequired(loopbackRequired) {}

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
        try {
            step = body();
        } catch (const CliError& error) {
            step.outcome = Outcome::Fail;
            step.detail = error.what();
        }
        step.name = name;
        m_steps.push_back(step);
    }

    static Step Fail(const std::string& detail) { return {"", Outcome::Fail, detail}; }
    static Step Pass(const std::string& detail) { return {"", Outcome::Pass, detail}; }

    Step Identity() {
        const BoardIdReading id = ReadBoardId(m_board.Cfg(), m_board.model->newFamily);
        if (id.failure)
            return Fail(id.failure->toStdString());
        if (id.id != m_board.found.record.boardId)
            return Fail("the board reads ID " + std::to_string(id.id) + " but reported " +
                        std::to_string(m_board.found.record.boardId));
        return Pass("ID " + std::to_string(id.id));
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
        if (got != kScratchWords * 2 || back != pattern)
            return Fail("the words read back differ from those written");
        if (restored)
            return Fail("cannot restore the memory: " + restored->toStdString());
        return Pass(std::to_string(kScratchWords) + " words written and read back");
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
        if (refused > 0)
            return Fail(std::to_string(refused) + " of " + std::to_string(kWatchdogKicks) + " kicks refused");
        return Pass("started, kicked, stopped");
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
        return Pass(std::string(hook) + ", " + std::to_string(state->voltage) + " V");
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
        Check("streams", [&] {
            CDevice& cfg = m_board.Cfg();
            const PlaySource tone{"", kOutputFrequency, kToneAmplitude};
            if (m_board.left)
                outputs.push_back({"stream left", run.AddOutput(*m_board.left, tone, ApplyOutputRate(cfg, 0, {}))});
            if (m_board.right)
                outputs.push_back({"stream right", run.AddOutput(*m_board.right, tone, ApplyOutputRate(cfg, 1, {}))});
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
        for (const Output& o : outputs)
            Check(o.name, [&] { return Played(run, o.index); });
        for (const LoopbackLeg& leg : legs) {
            Check("stream line " + std::to_string(leg.line), [&] { return Played(run, leg.output); });
            Check("loopback line " + std::to_string(leg.line), [&] { return Loopback(run, leg); });
        }
    }

    static Step Played(CStreamRun& run, int index) {
        const uint64_t written = run.Channel(index).bytesWritten.load();
        const ChannelFigures figures = run.Figures(index);
        if (written == 0)
            return Fail("the device took no samples");
        if (!figures.counters || figures.counters->bytes == 0)
            return Fail("the board counted no bytes played");
        return Pass(std::to_string(figures.counters->bytes) + " bytes played");
    }

    Step Loopback(CStreamRun& run, const LoopbackLeg& leg) {
        const LoopbackReport r = AnalyseLoopback(run, leg);
        const std::string figures = std::to_string(static_cast<int>(std::lround(r.measured))) + " Hz at " +
                                    QString::number(r.rmsDb, 'f', 1).toStdString() + " dB";
        if (r.toneFound)
            return Pass(figures + (r.unbroken ? ", one unbroken run" : ", not sample-exact"));
        if (r.recorded == 0)
            return Fail("nothing recorded");
        if (m_loopbackRequired)
            return Fail("the played " + std::to_string(leg.tone.frequency) + " Hz tone did not come back (heard " +
                        figures + ")");
        return {"", Outcome::Skip, "the input does not hear the output (heard " + figures + ")"};
    }

    const OpenBoard& m_board;
    double m_seconds;
    bool m_loopbackRequired;
    std::vector<Step> m_steps;
};

const char* OutcomeText(Outcome o) {
    switch (o) {
    case Outcome::Pass:
        return "pass";
    case Outcome::Fail:
        return "fail";
    case Outcome::Skip:
        break;
    }
    return "skip";
}

} // namespace

int RunSelfTest(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const double seconds = args.Real("for").value_or(1.0);
    const bool loopbackRequired = args.Has("loopback");
    CBoardSet& set = c.Boards();
    std::vector<size_t> numbers;
    if (args.Words().size() > 1) {
        set.Board(args.Words()[1]);
        numbers.push_back(NumberWord(args.Words()[1], "board number"));
    } else {
        for (size_t n = 0; n < set.Boards().size(); ++n)
            numbers.push_back(n);
    }
    if (numbers.empty())
        throw UsageError("no boards found");

    bool allPassed = true;
    std::vector<CRecord> boards;
    QString text;
    for (size_t number : numbers) {
        const FoundBoard& found = set.Boards()[number];
        const auto board = OpenBoardDevices(set, found);
        StatusLine("selftest: board " + std::to_string(number) + " (" + std::to_string(boards.size() + 1) + " of " +
                   std::to_string(numbers.size()) + ")");
        const std::vector<Step> steps = CSelfTest(*board, seconds, loopbackRequired).Run();
        StatusLine("");
        bool passed = true;
        std::vector<CRecord> rows;
        text += QStringLiteral("board %1 %2 type %3 id %4\n")
                    .arg(number)
                    .arg(QString::fromLatin1(found.record.name.c_str()), Hex(found.record.type))
                    .arg(found.record.boardId);
        for (const Step& s : steps) {
            passed = passed && s.outcome != Outcome::Fail;
            CRecord row;
            row.Add("step", QString::fromStdString(s.name));
            row.Add("result", QString::fromLatin1(OutcomeText(s.outcome)));
            row.Add("detail", QString::fromStdString(s.detail));
            rows.push_back(row);
            text += QStringLiteral("  %1 %2: %3\n")
                        .arg(QString::fromLatin1(OutcomeText(s.outcome)).toUpper(), QString::fromStdString(s.name),
                             QString::fromStdString(s.detail));
            if (s.outcome == Outcome::Fail)
                Diagnostic("board " + std::to_string(number) + ": " + s.name + " failed: " + s.detail);
        }
        text += QStringLiteral("  result: %1\n").arg(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        CRecord b;
        b.Add("board", QJsonValue(static_cast<int>(number)), QString::number(number));
        b.Add("name", QString::fromLatin1(found.record.name.c_str()));
        b.Add("type", QJsonValue(static_cast<double>(found.record.type)), Hex(found.record.type));
        b.Add("id", QJsonValue(static_cast<double>(found.record.boardId)), QString::number(found.record.boardId));
        b.Add("passed", passed);
        b.Add("steps", rows);
        boards.push_back(b);
        allPassed = allPassed && passed;
    }
    if (c.Json()) {
        CRecord all;
        all.Add("passed", allPassed);
        all.Add("boards", boards);
        PrintRecord(all, true);
    } else {
        text += QStringLiteral("selftest: %1\n").arg(allPassed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        std::fputs(text.toUtf8().constData(), stdout);
    }
    return allPassed ? kExitPass : kExitFailed;
}
