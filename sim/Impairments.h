// What a simulated line input hears besides its signal: white noise, a second harmonic on the loopback
// and the neighbouring lines' outputs, each at a level in dB; and the line's own band filter and
// compressor, each a known curve so that a channel's measured response can be checked against it.
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
    // What a line input hears passes a second-order Butterworth high-pass at lowHz and low-pass at highHz
    // (a low edge of 0 or a high edge at or above half the rate leaves that side out).
    struct Band {
        double lowHz = 0.0;
        double highHz = 0.0;
    };
    std::optional<Band> response;
    // Above this level in dBFS (the RMS of what the line hears against a full-scale sine) the gain falls
    // by half of the excess: 2:1 compression.
    std::optional<double> compressDbfs;

    bool Any() const { return noiseDbfs || harmonicDb || crosstalkDb || response || compressDbfs; }
};

// "noise:DBFS,harmonic:DB,crosstalk:DB,response:LOW_HZ-HIGH_HZ,compress:DBFS", any of them in any order.
// On a fault returns nothing and says what is wrong.
std::optional<Impairments> ParseImpairments(const std::string& text, std::string* error);

// A line input's band filter and compressor with their state, one per input, run sample by sample in
// the order the input hears them.
class LineShaper {
public:
    void Set(const Impairments& impairments);
    // What the line passes on of `x` (in sample units) at `rate`; x itself when neither is set.
    double Next(double x, uint32_t rate);
    // The compressor's gain in dB for a steady input at `levelDbfs`.
    static double CompressionDb(double point, double levelDbfs);

private:
    struct Biquad {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        double Next(double x);
    };
    void Design(uint32_t rate);

    std::optional<Impairments::Band> m_band;
    std::optional<double> m_compress;
    uint32_t m_rate = 0;
    bool m_highPass = false, m_lowPass = false;
    Biquad m_hp, m_lp;
    double m_alpha = 0.0;                  // the level detector's smoothing per sample
    double m_power1 = 0.0, m_power2 = 0.0; // two smoothing stages of the squared signal
};

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
