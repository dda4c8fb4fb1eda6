// The test-step model every testing command reports through: a step's measurement held to inclusive
// limits, its one outcome, and the verdict and exit code of a run made of such steps. No Qt.
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// pass: measured inside the limits; fail: measured outside them; error: could not measure (a request
// failed or hung, an answer was short or stale, a stream made no progress); skip: not run, for a reason
// the command knew before measuring.
enum class Outcome { Pass, Fail, Error, Skip };

// Figures are reported with this many decimals and judged on exactly the value reported.
inline constexpr int kShownDecimals = 2;
// `value` rounded to what a report shows of it.
double Shown(double value, int decimals = kShownDecimals);

struct Step {
    std::string name;
    Outcome outcome = Outcome::Pass;
    std::string detail;          // what was measured or why it could not be; the reason of a non-pass
    std::optional<double> value; // what was measured, in `unit`, as reported
    std::string unit;
    std::optional<double> low; // inclusive limits; none where there is no limit
    std::optional<double> high;
    double seconds = 0.0;
    std::string warning; // the step's figures drift towards a failure (--warn-cpk); the outcome stands
};

Step MakeStep(std::string name, Outcome outcome, std::string detail);
// A step that measured `value`: rounded to what is shown, pass inside [low, high], fail outside.
Step Judged(std::string name, double value, std::string unit, std::optional<double> low, std::optional<double> high,
            std::string detail, int decimals = kShownDecimals);
bool Within(double value, std::optional<double> low, std::optional<double> high);

// Thrown inside a step when it cannot measure: the step ends as an error with this text.
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Verdict { Pass, Fail, Error };

struct Tally {
    int passed = 0;
    int failed = 0;
    int errors = 0;
    int skipped = 0;
    Tally& operator+=(const Tally& other);
};

// Skips count as failures when `strict`.
Tally Count(const std::vector<Step>& steps, bool strict);
// error when any step erred, else fail when any failed, else pass.
Verdict VerdictOf(const Tally& tally);
// 3, 1 and 0, whatever the command.
int ExitOf(Verdict verdict);
const char* VerdictText(Verdict verdict);
const char* OutcomeText(Outcome outcome);
// "12 passed, 1 failed, 0 errors, 2 skipped".
std::string SummaryText(const Tally& tally);
// "NAME failed: DETAIL (measured VALUE UNIT)", "NAME error: DETAIL", "NAME skipped: DETAIL".
std::string StepText(const Step& step);

// Runs steps one after another, timing each; a body that throws ends its step as an error.
class CStepRunner {
public:
    template <typename Body> Step& Run(const std::string& name, Body&& body) {
        const auto begin = std::chrono::steady_clock::now();
        Step step;
        try {
            step = body();
        } catch (const std::exception& error) {
            step = MakeStep("", Outcome::Error, error.what());
        }
        step.name = name;
        step.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        m_steps.push_back(std::move(step));
        return m_steps.back();
    }
    void Add(Step step) { m_steps.push_back(std::move(step)); }
    std::vector<Step>& Steps() { return m_steps; }

private:
    std::vector<Step> m_steps;
};
