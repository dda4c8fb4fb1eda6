// The sine fit: normal equations summed in one pass with the sine and cosine rotated sample by sample
// (computed afresh every 1024 samples so rounding does not build up), solved by elimination.
#include "SineFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr size_t kReseed = 1024;

// Solves m * x = v in place (n unknowns) with partial pivoting; an unknown whose pivot vanishes (the
// sine at exactly half the rate, where sin is zero at every sample) is left at zero.
template <size_t n> std::array<double, n> Solve(std::array<std::array<double, n>, n> m, std::array<double, n> v) {
    double scale = 0.0;
    for (size_t i = 0; i < n; ++i)
        scale = std::max(scale, std::abs(m[i][i]));
    std::array<double, n> x{};
    std::array<bool, n> dead{};
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        std::swap(m[col], m[pivot]);
        std::swap(v[col], v[pivot]);
        if (std::abs(m[col][col]) <= scale * 1e-13) {
            dead[col] = true;
            continue;
        }
        for (size_t r = col + 1; r < n; ++r) {
            const double f = m[r][col] / m[col][col];
            for (size_t c = col; c < n; ++c)
                m[r][c] -= f * m[col][c];
            v[r] -= f * v[col];
        }
    }
    for (size_t i = n; i-- > 0;) {
        if (dead[i])
            continue;
        double s = v[i];
        for (size_t c = i + 1; c < n; ++c)
            s -= m[i][c] * x[c];
        x[i] = s / m[i][i];
    }
    return x;
}

// Calls f(n, t, cos(omega t), sin(omega t)) for every sample.
template <typename F> void Rotate(size_t count, double omega, double centre, F&& f) {
    const double stepC = std::cos(omega);
    const double stepS = std::sin(omega);
    double c = 0.0;
    double s = 0.0;
    for (size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) - centre;
        if (n % kReseed == 0) {
            c = std::cos(omega * t);
            s = std::sin(omega * t);
        }
        f(n, t, c, s);
        const double next = c * stepC - s * stepS;
        s = s * stepC + c * stepS;
        c = next;
    }
}

} // namespace

double SineFit::Amplitude() const { return std::hypot(cosine, sine); }

double SineFit::At(size_t n) const {
    const double t = static_cast<double>(n) - centre;
    return cosine * std::cos(omega * t) + sine * std::sin(omega * t) + dc;
}

SineFit FitSineAt(std::span<const double> x, double omega, std::span<const double> weights) {
    SineFit fit;
    fit.omega = omega;
    fit.centre = (static_cast<double>(x.size()) - 1.0) / 2.0;
    std::array<std::array<double, 3>, 3> m{};
    std::array<double, 3> v{};
    Rotate(x.size(), omega, fit.centre, [&](size_t n, double, double c, double s) {
        const double w = weights.empty() ? 1.0 : weights[n];
        const double b[3] = {c, s, 1.0};
        for (size_t i = 0; i < 3; ++i) {
            for (size_t j = i; j < 3; ++j)
                m[i][j] += w * b[i] * b[j];
            v[i] += w * b[i] * x[n];
        }
    });
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < i; ++j)
            m[i][j] = m[j][i];
    const auto p = Solve(m, v);
    fit.cosine = p[0];
    fit.sine = p[1];
    fit.dc = p[2];
    return fit;
}

SineFit FitSine(std::span<const double> x, double omega, std::span<const double> weights) {
    const double bin = 2.0 * std::numbers::pi / static_cast<double>(x.size());
    SineFit fit = FitSineAt(x, omega, weights);
    double lastStep = 0.0;
    for (int iteration = 0; iteration < 12; ++iteration) {
        std::array<std::array<double, 4>, 4> m{};
        std::array<double, 4> v{};
        const double a = fit.cosine;
        const double b = fit.sine;
        Rotate(x.size(), fit.omega, fit.centre, [&](size_t n, double t, double c, double s) {
            const double w = weights.empty() ? 1.0 : weights[n];
            const double basis[4] = {c, s, 1.0, t * (b * c - a * s)};
            for (size_t i = 0; i < 4; ++i) {
                for (size_t j = i; j < 4; ++j)
                    m[i][j] += w * basis[i] * basis[j];
                v[i] += w * basis[i] * x[n];
            }
        });
        for (size_t i = 0; i < 4; ++i)
            for (size_t j = 0; j < i; ++j)
                m[i][j] = m[j][i];
        // Linearised about the current frequency: the cosine and sine terms absorb the amplitudes, the
        // fourth the frequency's correction.
        const auto p = Solve(m, v);
        const double step = std::clamp(p[3], -bin / 2, bin / 2);
        fit.omega = std::clamp(fit.omega + step, 0.0, std::numbers::pi);
        fit.cosine = p[0];
        fit.sine = p[1];
        fit.dc = p[2];
        if (std::abs(step) < bin * 1e-9)
            break;
        // A tone the block is made of converges within a few steps, each far smaller than the one
        // before; steps that stop shrinking mean no one tone dominates (many tones, a wideband signal),
        // where more steps only wander and cost.
        if (iteration >= 3 && std::abs(step) > 0.7 * std::abs(lastStep))
            break;
        lastStep = step;
    }
    if (!(std::abs(fit.omega - omega) <= 2 * bin))
        return FitSineAt(x, omega, weights);
    return FitSineAt(x, fit.omega, weights);
}

void SubtractSine(std::span<double> x, const SineFit& fit) {
    Rotate(x.size(), fit.omega, fit.centre,
           [&](size_t n, double, double c, double s) { x[n] -= fit.cosine * c + fit.sine * s + fit.dc; });
}

SineFit ProjectSine(std::span<const double> x, std::span<const double> window, double windowSum, double omega) {
    SineFit fit;
    fit.omega = omega;
    fit.centre = (static_cast<double>(x.size()) - 1.0) / 2.0;
    double sumC = 0.0;
    double sumS = 0.0;
    Rotate(x.size(), omega, fit.centre, [&](size_t n, double, double c, double s) {
        sumC += window[n] * x[n] * c;
        sumS += window[n] * x[n] * s;
    });
    fit.cosine = 2.0 * sumC / windowSum;
    fit.sine = 2.0 * sumS / windowSum;
    return fit;
}
