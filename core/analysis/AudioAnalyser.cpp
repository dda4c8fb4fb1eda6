// Block analysis: a Blackman-Harris window, one real FFT, then sums of bin powers for the
// fundamental, its harmonics and the rest of the band.
#include "AudioAnalyser.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <stdexcept>

namespace {

// FFTW's planner is not thread-safe: plans are made and destroyed under this lock (executing one is).
std::mutex g_plannerLock;

// Bins on each side of a peak counted to it: the window's main lobe spans +-4 bins.
constexpr size_t kLobe = 5;
constexpr int kLastHarmonic = 10;
constexpr size_t kDcBins = 4;

double PowerDb(double meanSquare) {
    return meanSquare > 0.0 ? std::max(kAnalysisFloorDb, 10.0 * std::log10(meanSquare)) : kAnalysisFloorDb;
}

double RatioDb(double power, double reference) {
    return reference > 0.0 ? PowerDb(power / reference) : kAnalysisFloorDb;
}

} // namespace

CAudioAnalyser::CAudioAnalyser(size_t blockSize)
    : m_size(blockSize), m_window(blockSize), m_power(blockSize / 2 + 1), m_claimed(blockSize / 2 + 1),
      m_spectrumDb(blockSize / 2 + 1, kAnalysisFloorDb) {
    if (blockSize < 64)
        throw std::invalid_argument("an analysis block holds at least 64 samples");
    // The 4-term Blackman-Harris window (92 dB side lobes).
    constexpr double a[] = {0.35875, 0.48829, 0.14128, 0.01168};
    const double step = 2.0 * std::numbers::pi / static_cast<double>(blockSize);
    for (size_t i = 0; i < blockSize; ++i) {
        const double x = step * static_cast<double>(i);
        m_window[i] = a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
        m_windowSum += m_window[i];
        m_windowPower += m_window[i] * m_window[i];
    }
    std::lock_guard lock(g_plannerLock);
    m_input = fftw_alloc_real(blockSize);
    m_output = reinterpret_cast<double*>(fftw_alloc_complex(blockSize / 2 + 1));
    if (m_input == nullptr || m_output == nullptr) {
        fftw_free(m_input);
        fftw_free(m_output);
        throw std::bad_alloc();
    }
    m_plan = fftw_plan_dft_r2c_1d(static_cast<int>(blockSize), m_input, reinterpret_cast<fftw_complex*>(m_output),
                                  FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
}

CAudioAnalyser::~CAudioAnalyser() {
    std::lock_guard lock(g_plannerLock);
    fftw_destroy_plan(m_plan);
    fftw_free(m_input);
    fftw_free(m_output);
}

const AudioFigures& CAudioAnalyser::Analyse(std::span<const int16_t> samples, uint32_t rate) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the analyser's sample count");
    for (size_t i = 0; i < m_size; ++i)
        m_input[i] = samples[i] / 32768.0;
    Run(rate);
    return m_figures;
}

const AudioFigures& CAudioAnalyser::Analyse(std::span<const double> samples, uint32_t rate) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the analyser's sample count");
    std::copy(samples.begin(), samples.end(), m_input);
    Run(rate);
    return m_figures;
}

double CAudioAnalyser::Claim(size_t centre, size_t halfWidth) {
    const size_t last = m_power.size() - 1;
    if (centre > last)
        return 0.0;
    double sum = 0.0;
    for (size_t k = centre - std::min(centre, halfWidth); k <= std::min(last, centre + halfWidth); ++k) {
        if (!m_claimed[k]) {
            sum += m_power[k];
            m_claimed[k] = 1;
        }
    }
    return sum;
}

void CAudioAnalyser::Run(uint32_t rate) {
    if (rate == 0)
        throw std::invalid_argument("a sample rate of zero");
    const double count = static_cast<double>(m_size);
    for (size_t i = 0; i < m_size; ++i)
        m_input[i] *= m_window[i];
    m_figures = AudioFigures{};

    fftw_execute(m_plan);

    // Each bin's share of the block's mean square (white noise sums to its variance, a sine's main lobe
    // to its amplitude squared over two), and its amplitude for the spectrum.
    const size_t last = m_power.size() - 1;
    for (size_t k = 0; k <= last; ++k) {
        const double re = m_output[2 * k];
        const double im = m_output[2 * k + 1];
        const double magnitude2 = re * re + im * im;
        const double sides = (k == 0 || 2 * k == m_size) ? 1.0 : 2.0;
        m_power[k] = sides * magnitude2 / (count * m_windowPower);
        const double amplitude = 2.0 * std::sqrt(magnitude2) / m_windowSum;
        m_spectrumDb[k] = amplitude > 0.0 ? std::max(kAnalysisFloorDb, 20.0 * std::log10(amplitude)) : kAnalysisFloorDb;
    }
    std::fill(m_claimed.begin(), m_claimed.end(), 0);
    // The level from the spectrum above the DC bins: the DC offset does not count, and a block holding
    // part of a period of a low tone still reads the tone's level. A full-scale sine has a mean square
    // of 1/2.
    double total = 0.0;
    for (size_t k = kDcBins; k <= last; ++k)
        total += m_power[k];
    m_figures.levelDb = PowerDb(2.0 * total);

    const double binHz = static_cast<double>(rate) / count;
    const double top = std::min(kBandHighHz, rate / 2.0);
    // The window is a sum of cosines at bins 0 to 3, so what is left of a DC offset lies in bins 0 to 3
    // and nowhere else: the band starts above them.
    const size_t low = std::max<size_t>(kDcBins, static_cast<size_t>(std::ceil(kBandLowHz / binHz)));
    const size_t high = std::min(last, static_cast<size_t>(std::floor(top / binHz)));
    if (low > high)
        return;
    size_t peak = low;
    for (size_t k = low; k <= high; ++k)
        if (m_power[k] > m_power[peak])
            peak = k;
    if (m_power[peak] <= 0.0) {
        m_figures.thdDb = m_figures.thdnDb = m_figures.noiseDb = kAnalysisFloorDb;
        return;
    }
    // The centre of the main lobe's power is the tone's frequency: the window's lobe is symmetric and
    // narrow enough that sampling it at whole bins keeps its centre.
    double weighted = 0.0;
    double lobe = 0.0;
    for (size_t k = peak - std::min(peak, kLobe); k <= std::min(last, peak + kLobe); ++k) {
        weighted += static_cast<double>(k) * m_power[k];
        lobe += m_power[k];
    }
    m_figures.tone = true;
    m_figures.frequency = weighted / lobe * binHz;

    const double fundamental = Claim(peak, kLobe);
    double harmonics = 0.0;
    for (int h = 2; h <= kLastHarmonic; ++h) {
        const double f = h * m_figures.frequency;
        if (f > top)
            break;
        harmonics += Claim(static_cast<size_t>(std::lround(f / binHz)), kLobe);
    }
    double noise = 0.0;
    size_t noiseBins = 0;
    for (size_t k = low; k <= high; ++k) {
        if (!m_claimed[k]) {
            noise += m_power[k];
            ++noiseBins;
        }
    }
    m_figures.thdDb = RatioDb(harmonics, fundamental);
    m_figures.thdnDb = RatioDb(harmonics + noise, fundamental);
    // The noise under the fundamental and the harmonics is taken as the mean of the other bins, so the
    // noise figure covers the whole band.
    const double bandNoise =
        noiseBins > 0 ? noise * static_cast<double>(high - low + 1) / static_cast<double>(noiseBins) : 0.0;
    m_figures.noiseDb = PowerDb(2.0 * bandNoise);
}
