// The self-test's results: the steps of one board with their measured values and limits, and the forms
// they are reported in (text, JSON, a JUnit XML file).
#pragma once

#include "CliBoards.h"
#include "CliOutput.h"
#include "LineFigures.h"

#include <optional>
#include <string>
#include <vector>

enum class Outcome { Pass, Fail, Skip };

struct Step {
    std::string name;
    Outcome outcome = Outcome::Pass;
    std::string detail;
    std::optional<double> value; // what was measured, in `unit`
    std::string unit;
    std::optional<double> low; // the limits it was held to; none where there is no limit
    std::optional<double> high;
    double seconds = 0.0;
};

inline Step MakeStep(std::string name, Outcome outcome, std::string detail) {
    Step step;
    step.name = std::move(name);
    step.outcome = outcome;
    step.detail = std::move(detail);
    return step;
}

struct BoardResult {
    size_t number = 0;
    FoundBoard found;
    std::vector<Step> steps;
    bool deviceError = false; // the board could not be used at all
    bool Passed() const;
};

// The steps of one opened board; each loopback's level, THD+N and noise are held to `limits`.
std::vector<Step> RunBoardSelfTest(const OpenBoard& board, double seconds, bool loopbackRequired,
                                   const FigureLimits& limits);

const char* OutcomeText(Outcome outcome);
// "NAME failed: DETAIL (measured VALUE UNIT)" for standard error.
std::string FailureText(const Step& step);
CRecord BoardResultRecord(const BoardResult& board);
QString BoardResultText(const BoardResult& board);
// The JUnit XML report: one test suite per board, one test case per step.
QByteArray JUnitReport(const std::vector<BoardResult>& boards);
