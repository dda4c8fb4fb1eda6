// The figures of a block of audio samples: the fundamental's frequency, the level, THD, THD+N, noise and
// the spectrum, from a sine fit of the fundamental and windowed FFTs whose plans are made once.
#pragma once

#include "RealFft.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// What the analysis reports for one block. Levels are dBFS with 0 dBFS the RMS of a full-scale sine
// (so a full-scale square wave reads +3.01 dBFS); ratios are dB relative to the fundamental. Nothing
// reads below kAnalysisFloorDb (silence reads exactly that).
struct AudioFigures {
    bool tone = false;      // a fundamental stands out of the block (not for noise, DC or silence)
    double frequency = 0.0; // Hz of the fitted fundamental; 0 without a tone
    double levelDb = 0.0;   // RMS of everything above the band's low edge (the DC offset does not count)
    double thdDb = 0.0;     // harmonics 2 to 10 inside the band, their power only, against the fundamental
    double thdnDb = 0.0;    // everything in the band but the fundamental, against the fundamental
    double noiseDb = 0.0;   // the band without the fundamental and its harmonics, in dBFS
    double dc = 0.0;        // the offset, as a fraction of full scale
    // Without a tone there is no frequency, THD or THD+N: thdDb and thdnDb then read 0 dB (the worst a
    // ratio to the fundamental can be), so no limit on them passes; these say so plainly.
    std::optional<double> Frequency() const { return tone ? std::optional(frequency) : std::nullopt; }
    std::optional<double> Thd() const { return tone ? std::optional(thdDb) : std::nullopt; }
    std::optional<double> Thdn() const { return tone ? std::optional(thdnDb) : std::nullopt; }
};

inline constexpr double kAnalysisFloorDb = -200.0;
// The band THD+N and noise are measured in: from this frequency to the lesser of kBandHighHz and half
// the rate. The fundamental is sought from kBandLowHz up to half the rate.
inline constexpr double kBandLowHz = 20.0;
inline constexpr double kBandHighHz = 20000.0;

// A block the analysis cannot measure (too short for the band's low edge); what() says why.
class CAnalysisRefused : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// How it measures: a 4-term Blackman-Harris FFT finds the fundamental (the highest bin from the low
// edge to half the rate, a tone only when it stands 30 dB above the median bin), a four-parameter
// least-squares sine fit (frequency, amplitude, phase, offset; each sample weighted by the same window,
// so the block's edges count as little as in the spectrum) then takes it out of the samples exactly,
// as a distortion analyser's notch does, and what is left is measured: harmonics at exactly their
// frequencies, and the rest through a second FFT. The fit leaves nothing of the fundamental behind, so
// the floor is the data's own: a clean 16-bit full-scale tone reads its quantisation, about -98 dB THD+N
// over 20 Hz-20 kHz at 48 kHz, wherever it falls between bins; what the arithmetic itself leaves lies near
// -190 dB.
class CAudioAnalyser {
public:
    // blockSize samples per analysis (at least 64); the FFT plans are made here, once.
    explicit CAudioAnalyser(size_t blockSize);
    CAudioAnalyser(const CAudioAnalyser&) = delete;
    CAudioAnalyser& operator=(const CAudioAnalyser&) = delete;

    size_t BlockSize() const { return m_size; }

    // Why `count` samples at `rate` Hz cannot be analysed (shorter than one period of the band's low
    // edge, or a rate of zero), or nothing when they can.
    static std::optional<std::string> Refusal(size_t count, uint32_t rate);

    // Analyses exactly BlockSize() samples taken at `rate` Hz; 16-bit samples are full scale at 32768,
    // real ones at 1.0. Throws std::invalid_argument for another count, CAnalysisRefused for a block
    // Refusal() refuses. Allocates nothing.
    const AudioFigures& Analyse(std::span<const int16_t> samples, uint32_t rate);
    const AudioFigures& Analyse(std::span<const double> samples, uint32_t rate);

    const AudioFigures& Figures() const { return m_figures; }
    // The last block's amplitude spectrum in dBFS, BlockSize() / 2 + 1 bins from 0 Hz to half the rate
    // (bin k at k * rate / BlockSize() Hz), scaled so a full-scale sine centred on a bin reads 0 dBFS
    // there.
    std::span<const double> SpectrumDb() const { return m_spectrumDb; }

private:
    void Run(uint32_t rate);
    void NoTone(size_t lowBin, size_t highBin);

    size_t m_size;
    CRealFft m_fft;
    std::vector<double> m_block;   // the samples, full scale 1.0
    std::vector<double> m_work;    // what is left once the fundamental (and the harmonics) are out
    std::vector<double> m_scratch; // bin powers, reordered to find their median
    std::vector<double> m_spectrumDb;
    AudioFigures m_figures;
};
