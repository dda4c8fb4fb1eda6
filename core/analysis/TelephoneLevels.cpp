// The weighting table as the recommendation prints it, and the weighted level summed bin by bin over
// a windowed spectrum.
#include "TelephoneLevels.h"

#include "RealFft.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ITU-T O.41 (10/94), clause 3.5, Table 1 (nominal weights; the table's tolerances are not used).
constexpr WeightingPoint kO41[] = {
    {16.66, -85.0}, {50, -63.0},  {100, -41.0},  {200, -21.0},  {300, -10.6},  {400, -6.3},
    {500, -3.6},    {600, -2.0},  {700, -0.9},   {800, 0.0},    {900, 0.6},    {1000, 1.0},
    {1200, 0.0},    {1400, -0.9}, {1600, -1.7},  {1800, -2.4},  {2000, -3.0},  {2500, -4.2},
    {3000, -5.6},   {3500, -8.5}, {4000, -15.0}, {4500, -25.0}, {5000, -36.0}, {6000, -43.0},
};

} // namespace

double FullScaleDbm0(CompandingLaw law) { return law == CompandingLaw::ALaw ? 3.14 : 3.17; }

bool ParseCompandingLaw(std::string_view text, CompandingLaw& law) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "a-law" || lower == "alaw" || lower == "a") {
        law = CompandingLaw::ALaw;
        return true;
    }
    if (lower == "mu-law" || lower == "mu" || lower == "ulaw" || lower == "u-law" || lower == "u" || lower == "mulaw") {
        law = CompandingLaw::MuLaw;
        return true;
    }
    return false;
}

std::span<const WeightingPoint> PsophometricTable() { return kO41; }

double PsophometricWeightDb(double hz) {
    const std::span<const WeightingPoint> table = kO41;
    if (!(hz > table.front().hz))
        return table.front().db;
    if (hz >= table.back().hz)
        return table.back().db;
    const auto upper =
        std::upper_bound(table.begin(), table.end(), hz, [](double f, const WeightingPoint& p) { return f < p.hz; });
    const WeightingPoint& a = *(upper - 1);
    const WeightingPoint& b = *upper;
    const double t = std::log(hz / a.hz) / std::log(b.hz / a.hz);
    return a.db + t * (b.db - a.db);
}

double PsophometricLevelDbfs(std::span<const double> samples, uint32_t rate) {
    if (samples.size() < 64 || rate == 0)
        throw std::invalid_argument("a weighted level needs at least 64 samples at a rate above zero");
    double mean = 0.0;
    for (const double x : samples)
        mean += x;
    mean /= static_cast<double>(samples.size());
    std::vector<double> block(samples.begin(), samples.end());
    for (double& x : block)
        x -= mean;
    CRealFft fft(block.size());
    fft.Transform(block);
    const std::span<const double> power = fft.Power();
    const double binHz = static_cast<double>(rate) / static_cast<double>(block.size());
    double weighted = 0.0;
    for (size_t k = 1; k < power.size(); ++k)
        weighted += power[k] * std::pow(10.0, PsophometricWeightDb(static_cast<double>(k) * binHz) / 10.0);
    return weighted > 0.0 ? std::max(-200.0, 10.0 * std::log10(2.0 * weighted)) : -200.0;
}

double PsophometricLevelDbfs(std::span<const int16_t> samples, uint32_t rate) {
    std::vector<double> block(samples.size());
    std::transform(samples.begin(), samples.end(), block.begin(), [](int16_t s) { return s / 32768.0; });
    return PsophometricLevelDbfs(block, rate);
}
