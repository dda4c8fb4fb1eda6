// Block analysis: find the fundamental in the windowed spectrum, fit it, take it and its harmonics out
// of the samples, and sum what is left over the band.
#include "AudioAnalyser.h"

#include "SineFit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Bins on each side of the peak whose power centre gives the fit its starting frequency: the window's
// main lobe spans +-4 bins.
constexpr size_t kLobe = 4;
constexpr int kLastHarmonic = 10;
// A tone stands this far above the median bin (30 dB): white noise's highest bin of a few thousand
// lies about 11 dB above their median, so noise never passes for a tone.
constexpr double kToneRatio = 1000.0;
// Nor does the rounding left of an offset taken out of a block (bins some 300 dB down): a tone's bin
// holds at least this (-160 dBFS).
constexpr double kToneFloor = 1e-16;
// Bins on each side of a harmonic whose mean tells the noise under it.
constexpr size_t kNoiseSpan = 12;

double PowerDb(double meanSquare) {
    return meanSquare > 0.0 ? std::max(kAnalysisFloorDb, 10.0 * std::log10(meanSquare)) : kAnalysisFloorDb;
}

double RatioDb(double power, double reference) {
    return reference > 0.0 ? PowerDb(power / reference) : kAnalysisFloorDb;
}

double Sum(std::span<const double> power, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t k = from; k <= to && k < power.size(); ++k)
        sum += power[k];
    return sum;
}

} // namespace

CAudioAnalyser::CAudioAnalyser(size_t blockSize)
    : m_size(blockSize), m_fft(std::max<size_t>(blockSize, 64)), m_block(blockSize), m_work(blockSize),
      m_scratch(blockSize / 2 + 1), m_spectrumDb(blockSize / 2 + 1, kAnalysisFloorDb) {
    if (blockSize < 64)
        throw std::invalid_argument("an analysis block holds at least 64 samples");
}

std::optional<std::string> CAudioAnalyser::Refusal(size_t count, uint32_t rate) {
    if (rate == 0)
        return "a sample rate of zero";
    if (static_cast<double>(count) * kBandLowHz < static_cast<double>(rate)) {
        const auto needed = static_cast<size_t>(std::ceil(rate / kBandLowHz));
        return std::to_string(count) + " samples at " + std::to_string(rate) +
               " Hz are too short to analyse: the band from " + std::to_string(static_cast<int>(kBandLowHz)) +
               " Hz needs one period of it, " + std::to_string(needed) + " samples";
    }
    return std::nullopt;
}

const AudioFigures& CAudioAnalyser::Analyse(std::span<const int16_t> samples, uint32_t rate) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the analyser's sample count");
    for (size_t i = 0; i < m_size; ++i)
        m_block[i] = samples[i] / 32768.0;
    Run(rate);
    return m_figures;
}

const AudioFigures& CAudioAnalyser::Analyse(std::span<const double> samples, uint32_t rate) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the analyser's sample count");
    std::copy(samples.begin(), samples.end(), m_block.begin());
    Run(rate);
    return m_figures;
}

void CAudioAnalyser::NoTone(size_t lowBin, size_t highBin) {
    const std::span<const double> power = m_fft.Power();
    m_figures.levelDb = PowerDb(2.0 * Sum(power, lowBin, power.size() - 1));
    m_figures.noiseDb = PowerDb(2.0 * Sum(power, lowBin, highBin));
}

void CAudioAnalyser::Run(uint32_t rate) {
    if (const auto refusal = Refusal(m_size, rate))
        throw CAnalysisRefused(*refusal);
    m_figures = AudioFigures{};
    const double count = static_cast<double>(m_size);
    double mean = 0.0;
    for (const double x : m_block)
        mean += x;
    mean /= count;
    m_figures.dc = mean;
    for (size_t i = 0; i < m_size; ++i)
        m_work[i] = m_block[i] - mean;

    // The spectrum of the block without its offset (which the window would spread over bins 0 to 3 and
    // so over the lowest frequencies of the band); the offset is shown at 0 Hz on its own.
    m_fft.Transform(m_work);
    const std::span<const double> power = m_fft.Power();
    const size_t last = power.size() - 1;
    for (size_t k = 0; k <= last; ++k) {
        const double amplitude = k == 0 ? 2.0 * std::abs(mean) : m_fft.Amplitude(k);
        m_spectrumDb[k] = amplitude > 0.0 ? std::max(kAnalysisFloorDb, 20.0 * std::log10(amplitude)) : kAnalysisFloorDb;
    }

    const double binHz = static_cast<double>(rate) / count;
    const double top = std::min(kBandHighHz, rate / 2.0);
    const size_t lowBin = std::max<size_t>(1, static_cast<size_t>(std::ceil(kBandLowHz / binHz)));
    const size_t highBin = std::min(last, static_cast<size_t>(std::floor(top / binHz)));
    size_t peak = lowBin;
    for (size_t k = lowBin; k <= last; ++k)
        if (power[k] > power[peak])
            peak = k;
    const auto first = m_scratch.begin();
    const auto end = std::copy(power.begin() + static_cast<std::ptrdiff_t>(lowBin), power.end(), first);
    const auto middle = first + (end - first) / 2;
    std::nth_element(first, middle, end);
    if (!(power[peak] > kToneFloor) || power[peak] < kToneRatio * *middle) {
        NoTone(lowBin, highBin);
        return;
    }

    // The power centre of the main lobe starts the fit within a small part of a bin of the truth.
    double weighted = 0.0;
    double lobe = 0.0;
    for (size_t k = peak - std::min(peak, kLobe); k <= std::min(last, peak + kLobe); ++k) {
        weighted += static_cast<double>(k) * power[k];
        lobe += power[k];
    }
    const double omegaStart = 2.0 * std::numbers::pi * (weighted / lobe) / count;
    // Fitted through the window, as the rest is measured through it: a block that holds the start or end
    // of a tone, or a break at its edges, reads as the old windowed analysis read it.
    const SineFit fundamental = FitSine(m_block, omegaStart, m_fft.Window());
    const double fundamentalPower = fundamental.Power();
    m_figures.tone = true;
    m_figures.frequency = fundamental.omega * rate / (2.0 * std::numbers::pi);
    m_figures.dc = fundamental.dc;
    std::copy(m_block.begin(), m_block.end(), m_work.begin());
    SubtractSine(m_work, fundamental);

    // Each harmonic inside the band read at exactly its frequency and taken out as well, so that what
    // is left is the noise alone.
    struct Harmonic {
        double power;
        size_t bin;
    };
    Harmonic harmonics[kLastHarmonic] = {};
    int harmonicCount = 0;
    double harmonicsPower = 0.0;
    for (int h = 2; h <= kLastHarmonic; ++h) {
        const double omega = h * fundamental.omega;
        if (omega * rate / (2.0 * std::numbers::pi) > top || omega >= std::numbers::pi)
            break;
        const SineFit component = ProjectSine(m_work, m_fft.Window(), m_fft.WindowSum(), omega);
        SubtractSine(m_work, component);
        harmonics[harmonicCount++] = {component.Power(),
                                      static_cast<size_t>(std::lround(omega * count / (2.0 * std::numbers::pi)))};
        harmonicsPower += component.Power();
    }
    m_fft.Transform(m_work);
    const std::span<const double> rest = m_fft.Power();
    // A harmonic read through the window also holds the noise of about two bins around it; that share,
    // judged from the bins beside it, is not distortion.
    double distortion = 0.0;
    for (int i = 0; i < harmonicCount; ++i) {
        const size_t from = std::max(lowBin, harmonics[i].bin - std::min(harmonics[i].bin, kNoiseSpan));
        const size_t to = std::min(last, harmonics[i].bin + kNoiseSpan);
        const double noiseNear = to >= from ? Sum(rest, from, to) / static_cast<double>(to - from + 1) : 0.0;
        distortion += std::max(0.0, harmonics[i].power - noiseNear * m_fft.NoiseBandwidthBins());
    }
    const double bandNoise = Sum(rest, lowBin, highBin);
    m_figures.levelDb = PowerDb(2.0 * (fundamentalPower + harmonicsPower + Sum(rest, lowBin, last)));
    m_figures.thdDb = RatioDb(distortion, fundamentalPower);
    m_figures.thdnDb = RatioDb(harmonicsPower + bandNoise, fundamentalPower);
    m_figures.noiseDb = PowerDb(2.0 * bandNoise);
}
