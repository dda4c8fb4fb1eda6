// The self-test's results: the steps of one board with their measured values and limits, and the forms
// they are reported in (text, JSON, a JUnit XML file).
#pragma once

#include "ChannelSuite.h"
#include "CliBoards.h"
#include "CliOutput.h"
#include "LineFigures.h"
#include "TestStep.h"

#include <QDateTime>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct BoardResult {
    size_t number = 0;
    FoundBoard found;
    std::vector<Step> steps;
    Tally Counted(bool strict) const { return Count(steps, strict); }
};

// What the self-test is asked to do on each board.
struct SelfTestPlan {
    double seconds = 1.0;
    bool loopbackFixture = false; // every line's input hears its output
    FigureLimits limits;
    std::optional<ChannelOptions> channel; // every line measured as a telephone channel too
};

class CStallWatch;

// The steps of one opened board, appended to `out` as each ends (so that a run stopped half-way still
// reports what was measured); each loopback's level, THD+N and noise are held to the plan's limits.
void RunBoardSelfTest(const OpenBoard& board, const SelfTestPlan& plan, CStallWatch& stall,
                      const std::function<void(Step)>& out);

// The whole run's report: the boards, and the steps of the run itself (how many boards were found).
struct SelfTestReport {
    std::vector<BoardResult> boards;
    std::vector<Step> runSteps;
    bool strict = false;
    QDateTime started;
    Tally Counted() const;
};

CRecord BoardResultRecord(const BoardResult& board, bool strict);
QString BoardResultText(const BoardResult& board, bool strict);
CRecord StepRecord(const Step& s);
// "board N: NAME failed: ..." for every step that did not pass.
std::vector<std::string> Reasons(const SelfTestReport& report);
// The JUnit XML report: one test suite per board (and one for the run's own steps), one test case per
// step; failures, errors and skips with their reasons, the standard counts on every suite.
QByteArray JUnitReport(const SelfTestReport& report, const QString& suitesName);

// A command of one step: passed, verdict and the step's result, measurement and detail as fields.
void AddStepFields(CRecord& record, const Step& step);
// A command of several steps: passed, verdict, summary, the reasons of every non-pass and the steps.
void AddVerdictFields(CRecord& record, const std::vector<Step>& steps, const Tally& tally);
