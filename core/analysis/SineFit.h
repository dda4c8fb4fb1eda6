// Least-squares fit of one sine with an offset to a block of samples: amplitude, phase and offset at a
// given frequency (linear), or the frequency as well (Gauss-Newton from a starting estimate).
#pragma once

#include <cstddef>
#include <span>

// x[n] ~ cosine * cos(omega * t) + sine * sin(omega * t) + dc, with t = n - centre: the phase is read at
// the block's centre, where the frequency's error moves it least.
struct SineFit {
    double omega = 0.0; // radians per sample
    double cosine = 0.0;
    double sine = 0.0;
    double dc = 0.0;
    double centre = 0.0;
    double Amplitude() const;
    double Power() const { return (cosine * cosine + sine * sine) / 2.0; }
    double At(size_t n) const;
};

// The amplitude, phase and offset of a sine of exactly `omega` that fit `x` best; with `weights` (one
// per sample) the squared error of each sample counts that much, so a window keeps what happens at the
// block's edges (a tone starting or stopping) from pulling the fit.
SineFit FitSineAt(std::span<const double> x, double omega, std::span<const double> weights = {});
// Also the frequency, refined from `omega` (which should lie within a bin of the block's length of the
// truth): each step solves the problem linearised in the frequency. A refinement that wanders more than
// two bins away is given up for the fit at `omega`.
SineFit FitSine(std::span<const double> x, double omega, std::span<const double> weights = {});
// x[n] -= fit.At(n), for every n.
void SubtractSine(std::span<double> x, const SineFit& fit);
// The cosine and sine terms of a component of exactly `omega` in `x`, read through `window` (which
// keeps other components' leakage out): what a windowed DFT at that frequency shows. dc stays zero.
SineFit ProjectSine(std::span<const double> x, std::span<const double> window, double windowSum, double omega);
