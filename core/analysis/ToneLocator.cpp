// Per frame: the windowed spectrum's strongest component, its lobe's power and whether it stands out;
// the steady run is chosen once every frame is in.
#include "ToneLocator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double kLowHz = 20.0;
constexpr size_t kLobe = 4;
constexpr double kStandOut = 316.0; // the lobe's power over the other bins' average (25 dB)
constexpr double kStepDb = 1.0;
constexpr double kFloor = 1e-16;

size_t FrameSizeFor(uint32_t rate) {
    if (rate == 0)
        throw std::invalid_argument("a sample rate of zero");
    size_t size = 256;
    while (size * 25 < rate)
        size *= 2;
    return size;
}

} // namespace

CToneLocator::CToneLocator(uint32_t rate)
    : m_fft(FrameSizeFor(rate)),
      m_lowBin(std::max<size_t>(1, static_cast<size_t>(std::ceil(kLowHz * static_cast<double>(m_fft.Size()) / rate)))),
      m_frame(m_fft.Size()) {}

void CToneLocator::Feed(std::span<const int16_t> samples) {
    for (const int16_t s : samples) {
        m_frame[m_fill++] = s / 32768.0;
        if (m_fill == m_frame.size()) {
            CloseFrame();
            m_fill = 0;
        }
    }
    m_fed += samples.size();
}

void CToneLocator::CloseFrame() {
    double mean = 0.0;
    for (const double x : m_frame)
        mean += x;
    mean /= static_cast<double>(m_frame.size());
    for (double& x : m_frame)
        x -= mean;
    m_fft.Transform(m_frame);
    const std::span<const double> power = m_fft.Power();
    size_t peak = m_lowBin;
    double total = 0.0;
    for (size_t k = m_lowBin; k < power.size(); ++k) {
        total += power[k];
        if (power[k] > power[peak])
            peak = k;
    }
    double lobe = 0.0;
    for (size_t k = std::max(m_lowBin, peak - std::min(peak, kLobe)); k <= std::min(power.size() - 1, peak + kLobe);
         ++k)
        lobe += power[k];
    Frame frame;
    frame.bin = static_cast<uint32_t>(peak);
    // Against the other bins' average, not their sum: a quiet tone over a noise floor (dither) stands far
    // above every bin of the noise although the noise's whole power may be near its own.
    size_t lobeBins = 0;
    for (size_t k = std::max(m_lowBin, peak - std::min(peak, kLobe)); k <= std::min(power.size() - 1, peak + kLobe);
         ++k)
        ++lobeBins;
    const size_t otherBins = power.size() - m_lowBin - lobeBins;
    const double others = otherBins > 0 ? (total - lobe) / static_cast<double>(otherBins) : 0.0;
    frame.tone = lobe > kFloor && lobe >= kStandOut * others;
    frame.lobeDb = frame.tone ? static_cast<float>(10.0 * std::log10(lobe)) : 0.0f;
    m_frames.push_back(frame);
}

std::optional<SampleRange> CToneLocator::SteadyPart() const {
    size_t bestFirst = 0;
    size_t bestCount = 0;
    size_t runFirst = 0;
    for (size_t i = 0; i <= m_frames.size(); ++i) {
        const bool continues =
            i < m_frames.size() && m_frames[i].tone && i > runFirst &&
            std::abs(static_cast<int>(m_frames[i].bin) - static_cast<int>(m_frames[i - 1].bin)) <= 1 &&
            std::abs(m_frames[i].lobeDb - m_frames[i - 1].lobeDb) <= kStepDb;
        if (continues)
            continue;
        // The run from runFirst ends before i.
        if (i > runFirst && m_frames[runFirst].tone && i - runFirst > bestCount) {
            bestFirst = runFirst;
            bestCount = i - runFirst;
        }
        runFirst = i;
    }
    if (bestCount == 0)
        return std::nullopt;
    if (bestCount >= 3) {
        ++bestFirst;
        bestCount -= 2;
    }
    const uint64_t size = m_fft.Size();
    return SampleRange{bestFirst * size, bestCount * size};
}

std::optional<SampleRange> CToneLocator::AnalysisRange(size_t maxCount) const {
    const auto steady = SteadyPart();
    if (!steady)
        return std::nullopt;
    const uint64_t count = std::min<uint64_t>(steady->count, maxCount);
    return SampleRange{steady->first + (steady->count - count) / 2, count};
}

void CRangeCollector::Feed(std::span<const int16_t> samples) {
    const uint64_t start = m_position;
    m_position += samples.size();
    const uint64_t from = std::max(start, m_range.first);
    const uint64_t to = std::min(m_position, m_range.first + m_range.count);
    if (from < to)
        m_samples.insert(m_samples.end(), samples.begin() + static_cast<std::ptrdiff_t>(from - start),
                         samples.begin() + static_cast<std::ptrdiff_t>(to - start));
}

std::span<const int16_t> SteadyToneBlock(std::span<const int16_t> samples, uint32_t rate, size_t maxCount) {
    CToneLocator locator(rate);
    locator.Feed(samples);
    const auto range = locator.AnalysisRange(maxCount);
    if (!range)
        return {};
    return samples.subspan(static_cast<size_t>(range->first), static_cast<size_t>(range->count));
}
