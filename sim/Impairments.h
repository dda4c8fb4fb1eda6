// What a simulated line input hears besides its signal: white noise, a second harmonic on the loopback
// and the neighbouring lines' outputs, each at a level in dB.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct Impairments {
    // White noise of this RMS level in dBFS (0 dBFS: the RMS of a full-scale sine) on every line input.
    std::optional<double> noiseDbfs;
    // A second harmonic of the tone a line's input hears from its own output, in dB against that tone.
    std::optional<double> harmonicDb;
    // Each line input also hears the outputs of the lines just below and above it, this many dB down.
    std::optional<double> crosstalkDb;

    bool Any() const { return noiseDbfs || harmonicDb || crosstalkDb; }
};

// "noise:DBFS,harmonic:DB,crosstalk:DB", any of them in any order. On a fault returns nothing and says
// what is wrong.
std::optional<Impairments> ParseImpairments(const std::string& text, std::string* error);

// Gaussian white noise from a seed, the same sequence on every platform (the standard library's
// distributions are not).
class NoiseSource {
public:
    explicit NoiseSource(uint64_t seed = 0) : m_state(seed) {}
    void Seed(uint64_t seed) { m_state = seed; }
    // A sample of mean 0 and standard deviation 1.
    double Next();

private:
    double Uniform();
    uint64_t m_state;
    std::optional<double> m_spare;
};

} // namespace sim
