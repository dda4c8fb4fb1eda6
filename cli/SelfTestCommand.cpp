// The selftest command: the boards chosen, tested one after another or several at once, and the report
// on standard output (text or JSON) and optionally as a JUnit file.
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "SelfTestReport.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

BoardResult TestBoard(const CBoardSet& set, size_t number, double seconds, bool loopbackRequired,
                      const FigureLimits& limits) {
    BoardResult result;
    result.number = number;
    result.found = set.Boards()[number];
    if (!result.found.error.empty()) {
        // A board that cannot be used fails as a whole: it is never left out of the report.
        result.deviceError = true;
        result.steps.push_back(MakeStep("open", Outcome::Fail, result.found.error));
        return result;
    }
    try {
        const auto board = OpenBoardDevices(set, result.found);
        result.steps = RunBoardSelfTest(*board, seconds, loopbackRequired, limits);
    } catch (const std::exception& error) {
        result.deviceError = true;
        result.steps.push_back(MakeStep("open", Outcome::Fail, error.what()));
    }
    return result;
}

// "board N: PASS, K steps" for -v.
std::string Verdict(const BoardResult& result) {
    return "board " + std::to_string(result.number) + ": " + (result.Passed() ? "PASS" : "FAIL") + ", " +
           std::to_string(result.steps.size()) + " steps";
}

} // namespace

int RunSelfTest(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const double seconds = args.Real("for").value_or(1.0);
    const bool loopbackRequired = args.Has("loopback");
    const FigureLimits limits = ReadFigureLimits(args, kLoopbackLimits);
    const uint32_t jobs = args.Number("jobs").value_or(1);
    if (jobs == 0)
        throw UsageError("--jobs must be 1 or more");
    const auto junit = args.Value("junit");
    if (junit) {
        const QFileInfo folder(QFileInfo(QFile::decodeName(junit->c_str())).absolutePath());
        if (!folder.isDir() || !folder.isWritable())
            throw UsageError("--junit: cannot write a file in " + folder.filePath().toStdString());
    }
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
    const bool countFound = c.ExpectedBoardsFound();

    std::vector<BoardResult> results(numbers.size());
    std::atomic<size_t> next{0};
    const bool verbose = c.Verbose();
    std::mutex said;
    const auto worker = [&] {
        for (size_t i = next++; i < numbers.size() && !StopSignal(); i = next++) {
            results[i] = TestBoard(set, numbers[i], seconds, loopbackRequired, limits);
            if (verbose) {
                const std::lock_guard<std::mutex> lock(said);
                Diagnostic(Verdict(results[i]));
            }
        }
    };
    const size_t threads = std::min<size_t>(jobs, numbers.size());
    if (threads <= 1) {
        for (size_t i = 0; i < numbers.size() && !StopSignal(); ++i) {
            StatusLine("selftest: board " + std::to_string(numbers[i]) + " (" + std::to_string(i + 1) + " of " +
                       std::to_string(numbers.size()) + ")");
            results[i] = TestBoard(set, numbers[i], seconds, loopbackRequired, limits);
            StatusLine("");
            if (verbose)
                Diagnostic(Verdict(results[i]));
        }
    } else {
        std::vector<std::thread> pool;
        for (size_t t = 0; t < threads; ++t)
            pool.emplace_back(worker);
        for (std::thread& t : pool)
            t.join();
    }
    if (StopSignal())
        return kExitFailed; // main reports the signal

    bool allPassed = countFound;
    bool deviceError = false;
    std::vector<CRecord> boards;
    QString text;
    for (const BoardResult& b : results) {
        for (const Step& s : b.steps)
            if (s.outcome == Outcome::Fail)
                Diagnostic("board " + std::to_string(b.number) + ": " + FailureText(s));
        allPassed = allPassed && b.Passed();
        deviceError = deviceError || b.deviceError;
        boards.push_back(BoardResultRecord(b));
        text += BoardResultText(b);
    }
    if (junit)
        WriteFileReplacing(*junit, JUnitReport(results));
    if (c.Json()) {
        CRecord all;
        all.Add("passed", allPassed);
        all.Add("boards", boards);
        PrintRecord(all, true);
    } else if (!c.Quiet()) {
        text += QStringLiteral("selftest: %1\n").arg(allPassed ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        WriteStdout(text.toUtf8());
    }
    if (deviceError)
        return kExitDevice;
    return allPassed ? kExitPass : kExitFailed;
}
