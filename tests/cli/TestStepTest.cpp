// The test-step model in-process: outcomes to verdicts and exit codes, limits on the value shown, the
// command line's durations and output paths, a board whose requests hang, and the JUnit report's shape.
#include "TestStep.h"
#include "CliArgs.h"
#include "OutputPath.h"
#include "SelfTestReport.h"
#include "StepDeadline.h"
#include "StreamJudge.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

Step Of(Outcome outcome) { return MakeStep("s", outcome, "why"); }

TEST(TestStep, VerdictIsTheWorstOutcomeAndItsExitCodeIsTheSameForEveryCommand) {
    struct Case {
        std::vector<Outcome> outcomes;
        bool strict;
        Verdict verdict;
        int exit;
        const char* summary;
    };
    using O = Outcome;
    const Case cases[] = {
        {{}, false, Verdict::Pass, 0, "0 passed, 0 failed, 0 errors, 0 skipped"},
        {{O::Pass, O::Skip}, false, Verdict::Pass, 0, "1 passed, 0 failed, 0 errors, 1 skipped"},
        {{O::Pass, O::Skip}, true, Verdict::Fail, 1, "1 passed, 1 failed, 0 errors, 0 skipped"},
        {{O::Fail, O::Pass}, false, Verdict::Fail, 1, "1 passed, 1 failed, 0 errors, 0 skipped"},
        {{O::Fail, O::Error, O::Pass}, false, Verdict::Error, 3, "1 passed, 1 failed, 1 errors, 0 skipped"},
        {{O::Skip, O::Error}, true, Verdict::Error, 3, "0 passed, 1 failed, 1 errors, 0 skipped"},
    };
    for (const Case& c : cases) {
        std::vector<Step> steps;
        for (Outcome o : c.outcomes)
            steps.push_back(Of(o));
        const Tally t = Count(steps, c.strict);
        EXPECT_EQ(VerdictOf(t), c.verdict) << c.summary;
        EXPECT_EQ(ExitOf(VerdictOf(t)), c.exit) << c.summary;
        EXPECT_EQ(SummaryText(t), c.summary);
    }
}

// Seeded: whatever the value, the step passes exactly when the value it reports lies within the limits.
TEST(TestStep, LimitsAreInclusiveAndComparedOnTheValueReported) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-100.0, 100.0);
    for (int i = 0; i < 2000; ++i) {
        const double v = value(random);
        const double low = Shown(value(random));
        const double high = low + Shown(std::abs(value(random)));
        const Step s = Judged("x", v, "dB", low, high, "");
        ASSERT_EQ(*s.value, Shown(v)) << "seed " << seed;
        ASSERT_EQ(s.outcome == Outcome::Pass, Shown(v) >= low && Shown(v) <= high) << "seed " << seed << " v " << v;
        // The limit itself, as shown, always passes.
        ASSERT_EQ(Judged("x", low, "", low, high, "").outcome, Outcome::Pass) << "seed " << seed;
    }
    EXPECT_EQ(Judged("x", std::nan(""), "", {}, {}, "").outcome, Outcome::Fail) << "no number passes";
    EXPECT_EQ(StepText(Judged("thd", -35.204, "dB", {}, -40.0, "too high")),
              "thd failed: too high (measured -35.20 dB)");
}

// A stream is held to what its rate and time demand, read back fresh from the board.
TEST(StreamJudge, BytesMovedAreHeldToRateTimesTimeAndToWhatWasSent) {
    struct Case {
        bool output;
        uint64_t boardBytes;
        uint64_t sent;
        Outcome outcome;
    };
    // 16000 samples/s for 1 s: 32000 bytes due.
    const Case cases[] = {
        {true, 32000, 64000, Outcome::Pass}, {true, 32, 64000, Outcome::Fail},    // a thousand times too slow
        {true, 1, 64000, Outcome::Fail},     {true, 32000, 16000, Outcome::Fail}, // more than it was given
        {true, 60000, 64000, Outcome::Fail}, {false, 32000, 0, Outcome::Pass},    // too fast
        {false, 100, 0, Outcome::Fail},      {false, 80000, 0, Outcome::Fail},
    };
    for (const Case& c : cases) {
        const Step s = JudgeStream("stream", c.output, 16000, {c.boardBytes, 1.0}, c.sent);
        EXPECT_EQ(s.outcome, c.outcome) << c.output << " " << c.boardBytes << " of " << c.sent << ": " << s.detail;
    }
    const auto counters = [](uint32_t bytes) { return std::optional<StreamCounters>(StreamCounters{0, bytes, 0}); };
    EXPECT_NO_THROW(Compare(counters(10), counters(20), 100, 1.0));
    EXPECT_THROW(Compare(counters(10), counters(10), 100, 1.0), StepError) << "stale: the count did not move";
    EXPECT_THROW(Compare(counters(20), counters(10), 100, 1.0), StepError) << "the count went back";
    EXPECT_THROW(Compare(std::nullopt, counters(10), 100, 1.0), StepError) << "a failed or short answer";
}

TEST(CliArgs, DurationIsAPlainDecimalWithinItsRange) {
    struct Case {
        const char* text;
        std::optional<uint32_t> rate;
        bool ok;
    };
    const Case cases[] = {
        {"1", {}, true},
        {"0.5", {}, true},
        {"86400", {}, true},
        {"86400.1", {}, false},
        {"1e9", {}, false},
        {"0x1p3", {}, false},
        {"inf", {}, false},
        {"nan", {}, false},
        {"-1", {}, false},
        {"+1", {}, false},
        {"0", {}, false},
        {"0.0000", {}, false},
        {".5", {}, true},
        {"5.", {}, true},
        {"1.2.3", {}, false},
        {".", {}, false},
        {" 1", {}, false},
        {"1 ", {}, false},
        {"0.01", {}, true},
        {"0.009", {}, false},
        {"0.0001", 8000, false},
        {"0.000125", 8000, true},
        {"99999999999999999999", {}, false},
    };
    for (const Case& c : cases) {
        const CliArgs args = CliArgs::Parse({"--for", c.text});
        if (c.ok) {
            EXPECT_NO_THROW(Duration(args, c.rate, true)) << c.text;
        } else {
            try {
                Duration(args, c.rate, true);
                ADD_FAILURE() << c.text << " was accepted";
            } catch (const CliError& error) {
                EXPECT_EQ(error.Code(), kExitUsage) << c.text;
            }
        }
    }
}

TEST(OutputPath, FoldersMissingFoldersAndProtectedFilesAreRefusedBeforeAnyBoard) {
    QTemporaryDir dir;
    QFile locked(dir.filePath("locked.xml"));
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.close();
    locked.setPermissions(QFileDevice::ReadOwner);
    const bool root = QFileInfo(locked.fileName()).isWritable(); // root may write anything
    struct Case {
        QString path;
        bool ok;
    };
    const Case cases[] = {
        {dir.filePath("new.xml"), true}, {dir.path(), false}, {dir.filePath("missing/new.xml"), false},
        {locked.fileName(), root},       {"/dev/null", true}, {"", false},
    };
    for (const Case& c : cases) {
        const std::string path = c.path.toStdString();
        if (c.ok) {
            EXPECT_NO_THROW(CheckOutputPath("--junit", path)) << path;
        } else {
            EXPECT_THROW(CheckOutputPath("--junit", path), CliError) << path;
        }
    }
}

// A device whose every request blocks until it is cancelled (or 10 s pass, so a broken test ends).
class CHangingDevice final : public CDevice {
public:
    uint32_t Read(void*, uint32_t, uint32_t* done) override { return Hang(done); }
    uint32_t Write(const void*, uint32_t, uint32_t* done) override { return Hang(done); }
    uint32_t DevIoControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* returned) override {
        return Hang(returned);
    }
    uint32_t Cancel() override {
        m_cancelled.store(true);
        return 0;
    }

private:
    uint32_t Hang(uint32_t* done) {
        if (done)
            *done = 0;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_cancelled.load() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 0; // failed, as the driver says it
    }
    std::atomic<bool> m_cancelled{false};
};

TEST(RequestWatch, AHungBoardIsCancelledAtItsDeadlineAndEveryStepErrs) {
    OpenBoard board;
    board.found.record.type = 0x310;
    board.found.record.boardId = 7;
    board.found.record.channels = 2;
    board.model = &BoardModelFor(0x310);
    board.cfg = std::make_unique<CHangingDevice>();
    board.left = std::make_unique<CHangingDevice>();
    board.right = std::make_unique<CHangingDevice>();
    for (size_t line = 0; line < 2; ++line) {
        board.lineIn[line] = std::make_unique<CHangingDevice>();
        board.lineOut[line] = std::make_unique<CHangingDevice>();
    }
    SelfTestPlan plan;
    plan.seconds = 0.2;
    std::vector<Step> steps;
    CStallWatch stall;
    const auto begin = std::chrono::steady_clock::now();
    RunBoardSelfTest(board, plan, stall, [&steps](Step s) { steps.push_back(std::move(s)); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(seconds, 4.0) << "one request deadline, then nothing more is asked";
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front().name, "identity");
    EXPECT_NE(steps.front().detail.find("no answer within 2.0 s"), std::string::npos) << steps.front().detail;
    for (const Step& s : steps)
        EXPECT_EQ(s.outcome, Outcome::Error) << s.name << ": " << s.detail;
    EXPECT_EQ(ExitOf(VerdictOf(Count(steps, false))), 3);
}

// The JUnit report keeps the rules of the schema CI servers validate against (the widely used
// junit-10 schema): testsuites > testsuite (name, tests, failures, errors required; time a plain
// decimal) > testcase (name required) > at most failure, error or skipped; nothing else.
TEST(JUnitReport, KeepsTheSchemaOfCiServersAndItsCountsAddUp) {
    SelfTestReport report;
    report.started = QDateTime::currentDateTimeUtc();
    report.runSteps.push_back(Judged("boards found", 1, "boards", 2, 2, "1 found, 2 expected", 0));
    BoardResult board;
    board.number = 0;
    board.found.record.boardId = 200;
    const Outcome outcomes[] = {Outcome::Pass, Outcome::Fail, Outcome::Error, Outcome::Skip, Outcome::Pass};
    double total = 0;
    for (Outcome o : outcomes) {
        Step s = Of(o);
        s.name = "step " + std::to_string(board.steps.size()) + " <&\">";
        s.seconds = 0.1234 * static_cast<double>(board.steps.size() + 1);
        total += std::round(s.seconds * 1000) / 1000;
        board.steps.push_back(s);
    }
    report.boards.push_back(board);
    const QByteArray xml = JUnitReport(report, "veltrin-cli selftest");
    QXmlStreamReader r(xml);
    const QMap<QString, QStringList> allowed = {
        {"testsuites", {"name", "time", "tests", "failures", "errors"}},
        {"testsuite",
         {"name", "tests", "failures", "errors", "group", "time", "skipped", "timestamp", "hostname", "id", "package",
          "file", "log", "url"}},
        {"testcase", {"name", "time", "classname", "group"}},
        {"failure", {"type", "message"}},
        {"error", {"type", "message"}},
        {"skipped", {"type", "message"}},
    };
    const QMap<QString, QStringList> required = {{"testsuite", {"name", "tests", "failures", "errors"}},
                                                 {"testcase", {"name"}}};
    const QMap<QString, QString> parent = {{"testsuites", ""},        {"testsuite", "testsuites"},
                                           {"testcase", "testsuite"}, {"failure", "testcase"},
                                           {"error", "testcase"},     {"skipped", "testcase"}};
    const QRegularExpression time("^(([0-9]{0,3},)*[0-9]{3}|[0-9]{0,3})*(\\.[0-9]*)?$");
    QStringList open;
    QMap<QString, int> counted;
    double suiteTime = -1;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::EndElement)
            open.removeLast();
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = r.name().toString();
        ASSERT_TRUE(parent.contains(name)) << name.toStdString();
        ASSERT_EQ(open.isEmpty() ? QString() : open.last(), parent[name]) << name.toStdString();
        for (const QXmlStreamAttribute& a : r.attributes())
            EXPECT_TRUE(allowed[name].contains(a.name().toString()))
                << name.toStdString() << "@" << a.name().toString().toStdString();
        for (const QString& a : required.value(name))
            EXPECT_TRUE(r.attributes().hasAttribute(a)) << name.toStdString() << "@" << a.toStdString();
        if (r.attributes().hasAttribute("time")) {
            EXPECT_TRUE(time.match(r.attributes().value("time").toString()).hasMatch());
        }
        if (name == "testsuite" && r.attributes().value("name") == u"board 0 id 200") {
            EXPECT_EQ(r.attributes().value("tests").toInt(), 5);
            EXPECT_EQ(r.attributes().value("failures").toInt(), 1);
            EXPECT_EQ(r.attributes().value("errors").toInt(), 1);
            EXPECT_EQ(r.attributes().value("skipped").toInt(), 1);
            EXPECT_FALSE(r.attributes().value("timestamp").isEmpty());
            EXPECT_FALSE(r.attributes().value("hostname").isEmpty());
            suiteTime = r.attributes().value("time").toDouble();
        }
        if (name == "testsuites") {
            EXPECT_EQ(r.attributes().value("tests").toInt(), 6);
            EXPECT_EQ(r.attributes().value("failures").toInt(), 2) << "the board count is a failure of the run";
            EXPECT_EQ(r.attributes().value("errors").toInt(), 1);
        }
        if (name == "failure" || name == "error") {
            EXPECT_FALSE(r.attributes().value("type").isEmpty());
            EXPECT_FALSE(r.attributes().value("message").isEmpty());
        }
        ++counted[name];
        open << name;
    }
    ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
    EXPECT_EQ(counted["testcase"], 6);
    EXPECT_EQ(counted["failure"], 2);
    EXPECT_EQ(counted["error"], 1);
    EXPECT_EQ(counted["skipped"], 1);
    EXPECT_NEAR(suiteTime, total, 1e-9) << "the steps' times add up to the suite's";
}

} // namespace
