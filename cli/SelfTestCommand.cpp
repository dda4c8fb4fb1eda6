// The selftest command: the boards chosen, tested one after another or several at once, and the report
// on standard output (text or JSON) and optionally as a JUnit file. A stop signal or a board that never
// answers still ends in a report of what was measured.
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "OutputPath.h"
#include "SelfTestReport.h"
#include "StepDeadline.h"
#include "StepWarnings.h"

#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// What one board's thread has reported so far; the main thread reads it at any time.
struct BoardSlot {
    std::mutex mutex;
    BoardResult result;
    bool started = false;
    bool done = false;
    int64_t startedMs = 0; // UTC, for the board's record
    int64_t endedMs = 0;
};

void TestBoard(const CBoardSet& set, size_t number, const SelfTestPlan& plan, BoardSlot& slot) {
    {
        const std::lock_guard lock(slot.mutex);
        slot.result.number = number;
        slot.result.found = set.Boards()[number];
        slot.started = true;
        slot.startedMs = NowUtcMs();
    }
    const auto add = [&slot](Step step) {
        const std::lock_guard lock(slot.mutex);
        slot.result.steps.push_back(std::move(step));
    };
    const FoundBoard found = set.Boards()[number];
    const auto begin = Clock::now();
    const auto openStep = [&](const std::string& why) {
        Step s = MakeStep("open", Outcome::Error, why);
        s.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        add(s);
    };
    if (!found.error.empty()) {
        // A board that cannot be used errs as a whole: it is never left out of the report.
        openStep(found.error);
    } else {
        try {
            const auto board = OpenBoardDevices(set, found);
            CStallWatch stall;
            RunBoardSelfTest(*board, plan, stall, add);
        } catch (const std::exception& error) {
            openStep(error.what());
        }
    }
    const std::lock_guard lock(slot.mutex);
    slot.done = true;
    slot.endedMs = NowUtcMs();
}

// The longest a board's whole run may take: its steps' deadlines and some time to give up on them.
std::chrono::milliseconds BoardBound(const SelfTestPlan& plan, int lines) {
    return std::chrono::milliseconds(static_cast<long long>(plan.seconds * 1000)) +
           std::chrono::milliseconds(2000 * (lines + 8));
}

} // namespace

int RunSelfTest(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    SelfTestPlan plan;
    plan.seconds = Duration(args, std::nullopt, true).value_or(1.0);
    plan.loopbackFixture = args.Has("loopback");
    plan.limits = ReadFigureLimits(args, kLoopbackLimits);
    const uint32_t jobs = args.Number("jobs").value_or(1);
    if (jobs == 0)
        throw UsageError("--jobs must be 1 or more");
    const WarnSettings warn = WarnSettingsFromArgs(args);
    const auto junit = args.Value("junit");
    if (junit)
        CheckOutputPath("--junit", *junit);
    SelfTestReport report;
    report.strict = args.Has("strict");
    report.started = QDateTime::currentDateTimeUtc();

    CBoardSet& set = c.Boards();
    std::vector<size_t> numbers;
    if (args.Words().size() > 1) {
        numbers.push_back(set.Number(args.Words()[1]));
    } else {
        for (size_t n = 0; n < set.Boards().size(); ++n)
            numbers.push_back(n);
    }
    if (numbers.empty() && !args.Has("expect-boards"))
        throw UsageError("no boards found");
    if (const auto expected = args.Number("expect-boards")) {
        const double found = static_cast<double>(set.Boards().size());
        Step s = Judged("boards found", found, "boards", *expected, *expected,
                        std::to_string(set.Boards().size()) + " found, " + std::to_string(*expected) + " expected", 0);
        report.runSteps.push_back(s);
    }

    // Every board runs on a thread of its own (at most --jobs at once); this thread only watches, so
    // that a stop signal or a board that never answers is seen at once.
    std::vector<std::unique_ptr<BoardSlot>> running;
    for (size_t i = 0; i < numbers.size(); ++i)
        running.push_back(std::make_unique<BoardSlot>());
    std::atomic<size_t> next{0};
    const bool verbose = c.Verbose();
    const auto worker = [&] {
        for (size_t i = next++; i < numbers.size() && !StopSignal(); i = next++)
            TestBoard(set, numbers[i], plan, *running[i]);
    };
    const size_t threads = std::max<size_t>(1, std::min<size_t>(jobs, numbers.size()));
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads && !numbers.empty(); ++t)
        pool.emplace_back(worker);
    const int maxLines = kMaxLines;
    const auto bound = BoardBound(plan, maxLines) * static_cast<long long>((numbers.size() + threads - 1) / threads);
    const auto giveUp = Clock::now() + bound;
    std::optional<Clock::time_point> signalled;
    std::vector<char> said(numbers.size(), 0);
    bool finished = numbers.empty();
    while (!finished) {
        finished = true;
        std::string status;
        for (size_t i = 0; i < running.size(); ++i) {
            const std::lock_guard lock(running[i]->mutex);
            finished = finished && running[i]->done;
            if (running[i]->started && !running[i]->done) {
                const auto& steps = running[i]->result.steps;
                status += (status.empty() ? "selftest: " : ", ") + std::string("board ") + std::to_string(numbers[i]) +
                          " after " + (steps.empty() ? std::string("opening") : steps.back().name);
            }
            if (running[i]->done && !said[i] && verbose) {
                said[i] = 1;
                const Tally t = running[i]->result.Counted(report.strict);
                Diagnostic("board " + std::to_string(numbers[i]) + ": " + VerdictText(VerdictOf(t)) + ", " +
                           SummaryText(t));
            }
        }
        if (finished)
            break;
        StatusLine(status);
        if (StopSignal() && !signalled)
            signalled = Clock::now();
        // After a stop signal the boards get half a second to end their step; a run past its bound is
        // given up the same way.
        if ((signalled && Clock::now() - *signalled > std::chrono::milliseconds(500)) || Clock::now() > giveUp)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    StatusLine("");
    if (finished)
        for (std::thread& t : pool)
            t.join();

    // What every board measured; a board still running gets its unfinished step as an error.
    const int signal = StopSignal();
    for (size_t i = 0; i < running.size(); ++i) {
        const std::lock_guard lock(running[i]->mutex);
        BoardResult r = running[i]->result;
        if (!running[i]->started) {
            r.number = numbers[i];
            r.found = set.Boards()[numbers[i]];
        }
        if (!running[i]->done)
            r.steps.push_back(MakeStep(
                "unfinished", Outcome::Error,
                signal ? "stopped by signal " + std::to_string(signal) + " before the board's steps ended"
                       : "the board did not end its steps within " + std::to_string(bound.count() / 1000) + " s"));
        if (running[i]->started)
            WarnSteps(args, warn, "selftest", r.steps, "board " + std::to_string(r.number) + ": ");
        // Every board that was tested keeps its record, its outcome from its own steps.
        if (running[i]->started && c.Records() && c.Records()->Keeping()) {
            const size_t place = c.Records()->Begin(r.number, r.found);
            c.Records()->SetSteps(place, r.steps, ExitOf(VerdictOf(r.Counted(report.strict))));
            c.Records()->SetTimes(place, running[i]->startedMs, running[i]->done ? running[i]->endedMs : NowUtcMs());
        }
        report.boards.push_back(std::move(r));
    }
    const Tally tally = report.Counted();
    const Verdict verdict = VerdictOf(tally);
    for (const std::string& reason : Reasons(report))
        if (reason.find(" skipped: ") == std::string::npos)
            Diagnostic(reason);
    std::vector<CRecord> boards;
    QString text;
    for (const BoardResult& b : report.boards) {
        boards.push_back(BoardResultRecord(b, report.strict));
        text += BoardResultText(b, report.strict);
    }
    std::string writeError;
    if (junit) {
        try {
            WriteFileReplacing(*junit, JUnitReport(report, QStringLiteral("veltrin-cli selftest")));
        } catch (const std::exception& error) {
            writeError = error.what();
        }
    }
    if (c.Json()) {
        CRecord all;
        all.Add("passed", verdict == Verdict::Pass);
        all.Add("verdict", QString::fromLatin1(VerdictText(verdict)));
        CRecord counts;
        counts.Add("passed", static_cast<double>(tally.passed));
        counts.Add("failed", static_cast<double>(tally.failed));
        counts.Add("errors", static_cast<double>(tally.errors));
        counts.Add("skipped", static_cast<double>(tally.skipped));
        all.Add("summary", QJsonValue(counts.Json()), QString::fromStdString(SummaryText(tally)));
        QJsonArray reasons;
        for (const std::string& reason : Reasons(report))
            reasons.append(QString::fromStdString(reason));
        all.Add("reasons", QJsonValue(reasons), QString());
        std::vector<CRecord> runSteps;
        for (const Step& s : report.runSteps)
            runSteps.push_back(StepRecord(s));
        all.Add("steps", runSteps);
        all.Add("boards", boards);
        if (signal)
            all.Add("signal", static_cast<double>(signal));
        PrintRecord(all, true);
    } else if (!c.Quiet()) {
        for (const Step& s : report.runSteps)
            text += QStringLiteral("%1 %2: %3\n")
                        .arg(QString::fromLatin1(OutcomeText(s.outcome)).toUpper(), QString::fromStdString(s.name),
                             QString::fromStdString(s.detail));
        text +=
            QStringLiteral("selftest: %1 (%2)\n")
                .arg(QString::fromLatin1(VerdictText(verdict)).toUpper(), QString::fromStdString(SummaryText(tally)));
        WriteStdout(text.toUtf8());
    }
    if (!finished) {
        // A board thread is still inside its driver: nothing it may touch can be freed, so the program
        // ends here, once everything said is out.
        const int code = signal ? 128 + signal : kExitDevice;
        if (!writeError.empty())
            Diagnostic(writeError);
        if (signal)
            Diagnostic("stopped by signal " + std::to_string(signal));
        if (c.Records())
            c.Records()->Finish(code);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    if (!writeError.empty())
        throw DeviceError(writeError);
    return ExitOf(verdict);
}
