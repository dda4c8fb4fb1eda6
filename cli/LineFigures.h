// The analysis figures of a line's recorded tone (frequency, level, THD+N, noise) as measurements held
// to limits, shared by analyse, loopback, crosstalk and the self-test.
#pragma once

#include "AudioAnalyser.h"
#include "CliArgs.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

struct FigureLimits {
    std::optional<double> minLevel, maxLevel, maxThdn, maxNoise; // dBFS, dB, dBFS
};

// What a line looping its own 8000-amplitude tone back (-12.2 dBFS) is held to unless told otherwise:
// the tone comes back no more than about 18 dB down, undistorted and over a quiet input.
inline constexpr FigureLimits kLoopbackLimits{-30.0, std::nullopt, -40.0, -60.0};

// A level or ratio option in dB: any finite number, negative ones included; a usage error otherwise.
std::optional<double> Decibels(const CliArgs& args, const std::string& option);
// `defaults` with what --min-level, --max-level, --max-thdn and --max-noise set.
FigureLimits ReadFigureLimits(const CliArgs& args, FigureLimits defaults);

// The part of a recording to analyse: without the silence before the tone arrived and after it stopped
// (unless all of it is that quiet), then at most `maxCount` samples from the middle.
std::span<const int16_t> AnalysisBlock(std::span<const int16_t> samples, size_t maxCount);

struct Measurement {
    std::string figure; // "frequency", "level", "THD+N", "noise"
    double value = 0.0;
    std::string unit;
    std::optional<double> low, high;
    bool Passed() const { return (!low || value >= *low) && (!high || value <= *high); }
    // "THD+N -35.20 dB is over the maximum -40.00 dB" for standard error.
    std::string FailureText() const;
};

// The level, THD+N and noise of `f` with the limits of `limits`.
std::vector<Measurement> LevelMeasurements(const AudioFigures& f, const FigureLimits& limits);
