// The figures of a block of audio samples: the fundamental's frequency, the level, THD, THD+N, noise and
// the spectrum, from one windowed FFT whose plan and buffers are made once and reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct fftw_plan_s;

// What the analysis reports for one block. Levels are dBFS with 0 dBFS the RMS of a full-scale sine
// (so a full-scale square wave reads +3.01 dBFS); ratios are dB relative to the fundamental. Nothing
// reads below kAnalysisFloorDb (silence reads exactly that).
struct AudioFigures {
    bool tone = false;      // a fundamental was found (false for a silent block)
    double frequency = 0.0; // Hz of the fundamental, interpolated between bins; 0 without a tone
    double levelDb = 0.0;   // RMS of the block without its DC offset (from the windowed spectrum)
    double thdDb = 0.0;     // harmonics 2 to 10 (those inside the band) against the fundamental
    double thdnDb = 0.0;    // everything in the band but the fundamental, against the fundamental
    double noiseDb = 0.0;   // the band without the fundamental and its harmonics, in dBFS; the noise
                            // under those is taken to be like the rest, so white noise reads whole
};

inline constexpr double kAnalysisFloorDb = -200.0;
// The band THD+N and noise are measured in: from this frequency to the lesser of kBandHighHz and half
// the rate.
inline constexpr double kBandLowHz = 20.0;
inline constexpr double kBandHighHz = 20000.0;

// The analysis uses a 4-term Blackman-Harris window: its side lobes lie 92 dB down, so the leakage of a
// loud fundamental does not count as noise in the THD+N of a 16-bit signal (about -98 dB at full
// scale), and its main lobe of +-4 bins is summed whole, so a tone's power does not depend on where it
// falls between bins. What the window leaks past those bins sets a floor near -95 dB under THD+N (a
// 4096-sample block at 48 kHz; -87 dB for 1024 at 8 kHz). A Hann window's leakage (first side lobe at -31 dB) would
// reach into the bins counted as noise and raise the THD+N of a clean tone.
class CAudioAnalyser {
public:
    // blockSize samples per analysis (at least 64); the FFT plan is made here, once.
    explicit CAudioAnalyser(size_t blockSize);
    ~CAudioAnalyser();
    CAudioAnalyser(const CAudioAnalyser&) = delete;
    CAudioAnalyser& operator=(const CAudioAnalyser&) = delete;

    size_t BlockSize() const { return m_size; }

    // Analyses exactly BlockSize() samples taken at `rate` Hz; 16-bit samples are full scale at 32768,
    // real ones at 1.0. Throws std::invalid_argument for another count or a rate of zero. Allocates
    // nothing.
    const AudioFigures& Analyse(std::span<const int16_t> samples, uint32_t rate);
    const AudioFigures& Analyse(std::span<const double> samples, uint32_t rate);

    const AudioFigures& Figures() const { return m_figures; }
    // The last block's amplitude spectrum in dBFS, BlockSize() / 2 + 1 bins from 0 Hz to half the rate
    // (bin k at k * rate / BlockSize() Hz), scaled so a full-scale sine centred on a bin reads 0 dBFS
    // there.
    std::span<const double> SpectrumDb() const { return m_spectrumDb; }

private:
    void Run(uint32_t rate);
    // Sums the power of bins centre - halfWidth .. centre + halfWidth not yet claimed, and claims them.
    double Claim(size_t centre, size_t halfWidth);

    size_t m_size;
    double* m_input = nullptr;  // the windowed block (FFTW's aligned memory)
    double* m_output = nullptr; // the half spectrum, interleaved real and imaginary parts
    fftw_plan_s* m_plan = nullptr;
    std::vector<double> m_window;
    double m_windowPower = 0.0; // sum of the squared window
    double m_windowSum = 0.0;
    std::vector<double> m_power; // mean-square contribution of each bin
    std::vector<char> m_claimed; // bins already counted to the fundamental or a harmonic
    std::vector<double> m_spectrumDb;
    AudioFigures m_figures;
};
