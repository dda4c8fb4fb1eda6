// The test-step model: judging a measurement, counting outcomes, the verdict and its exit code.
#include "TestStep.h"

#include <cmath>
#include <cstdio>

double Shown(double value, int decimals) {
    if (!std::isfinite(value))
        return value;
    const double scale = std::pow(10.0, decimals);
    const double shown = std::round(value * scale) / scale;
    return shown == 0.0 ? 0.0 : shown; // never "-0"
}

Step MakeStep(std::string name, Outcome outcome, std::string detail) {
    Step step;
    step.name = std::move(name);
    step.outcome = outcome;
    step.detail = std::move(detail);
    return step;
}

bool Within(double value, std::optional<double> low, std::optional<double> high) {
    return std::isfinite(value) && (!low || value >= *low) && (!high || value <= *high);
}

Step Judged(std::string name, double value, std::string unit, std::optional<double> low, std::optional<double> high,
            std::string detail, int decimals) {
    Step step;
    step.name = std::move(name);
    step.value = Shown(value, decimals);
    step.unit = std::move(unit);
    step.low = low;
    step.high = high;
    step.outcome = Within(*step.value, low, high) ? Outcome::Pass : Outcome::Fail;
    step.detail = std::move(detail);
    return step;
}

Tally& Tally::operator+=(const Tally& other) {
    passed += other.passed;
    failed += other.failed;
    errors += other.errors;
    skipped += other.skipped;
    return *this;
}

Tally Count(const std::vector<Step>& steps, bool strict) {
    Tally tally;
    for (const Step& s : steps) {
        switch (s.outcome) {
        case Outcome::Pass:
            ++tally.passed;
            break;
        case Outcome::Fail:
            ++tally.failed;
            break;
        case Outcome::Error:
            ++tally.errors;
            break;
        case Outcome::Skip:
            ++(strict ? tally.failed : tally.skipped);
            break;
        }
    }
    return tally;
}

Verdict VerdictOf(const Tally& tally) {
    if (tally.errors > 0)
        return Verdict::Error;
    return tally.failed > 0 ? Verdict::Fail : Verdict::Pass;
}

int ExitOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return 0;
    case Verdict::Fail:
        return 1;
    case Verdict::Error:
        break;
    }
    return 3;
}

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return "pass";
    case Verdict::Fail:
        return "fail";
    case Verdict::Error:
        break;
    }
    return "error";
}

const char* OutcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Pass:
        return "pass";
    case Outcome::Fail:
        return "fail";
    case Outcome::Error:
        return "error";
    case Outcome::Skip:
        break;
    }
    return "skip";
}

std::string SummaryText(const Tally& t) {
    return std::to_string(t.passed) + " passed, " + std::to_string(t.failed) + " failed, " + std::to_string(t.errors) +
           " errors, " + std::to_string(t.skipped) + " skipped";
}

namespace {

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", value == std::floor(value) ? 0 : kShownDecimals, value);
    return text;
}

} // namespace

std::string StepText(const Step& s) {
    switch (s.outcome) {
    case Outcome::Pass:
        return s.name + " passed: " + s.detail;
    case Outcome::Error:
        return s.name + " error: " + s.detail;
    case Outcome::Skip:
        return s.name + " skipped: " + s.detail;
    case Outcome::Fail:
        break;
    }
    std::string text = s.name + " failed: " + s.detail;
    if (s.value)
        text += " (measured " + Number(*s.value) + (s.unit.empty() ? "" : " " + s.unit) + ")";
    return text;
}
