// The stream model's timing: whole samples due from the clock, rebasing at a rate change, and each
// advance playing the outputs' buffers before the inputs hear them.
#include "StreamModel.h"

#include "StreamParts.h"

#include <algorithm>
#include <cmath>

namespace sim {

using namespace streams;

uint64_t StreamModel::Due(Channel& channel, uint32_t rate, Duration now) {
    // Whole samples due from the total time since counting began, so that no fraction of a sample is
    // lost however the time between advances is cut.
    const int64_t elapsed = std::max<int64_t>(0, (now - channel.since).count());
    constexpr int64_t kSecond = 1'000'000'000;
    const uint64_t total =
        static_cast<uint64_t>(elapsed / kSecond) * rate + static_cast<uint64_t>(elapsed % kSecond) * rate / kSecond;
    const uint64_t due = total > channel.accounted ? total - channel.accounted : 0;
    channel.accounted = std::max(total, channel.accounted);
    return due;
}

void StreamModel::Rebase(size_t first, size_t last, Duration now) {
    for (size_t i = first; i <= last; ++i) {
        m_channels[i].since = now;
        m_channels[i].accounted = 0;
    }
}

void StreamModel::Advance(Duration now) {
    // Outputs first, so that a loopback input hears what its line played in this same interval.
    for (size_t i = 0; i < kChannelCount; ++i) {
        Channel& c = m_channels[i];
        if (!c.output)
            continue;
        c.interval = 0;
        c.played.clear();
        if (c.running)
            AdvanceOutput(c, Due(c, RateOf(i), now));
    }
    for (size_t i = kFirstInput; i < kFirstLineOutput; ++i) {
        Channel& c = m_channels[i];
        if (!c.running)
            continue;
        uint64_t due = Due(c, RateOf(i), now);
        const Channel& out = m_channels[kFirstLineOutput + (i - kFirstInput)];
        if (m_signal == InputSignal::Loopback && out.running) {
            // A looped-back input moves in step with its line's output: two channels started at different
            // instants round their whole samples differently, which would drop or double a sample now and then.
            c.accounted = c.accounted - due + out.interval;
            due = out.interval;
        }
        AdvanceInput(i, due);
    }
}

void StreamModel::AdvanceOutput(Channel& c, uint64_t due) {
    if (due == 0)
        return; // no sample boundary passed: the level of the last advance stands
    const bool loopbackSource = &c != &m_channels[kLeft] && &c != &m_channels[kRight];
    const size_t play = static_cast<size_t>(std::min<uint64_t>(due, c.count));
    const double gain = Gain(c, !loopbackSource);
    int16_t peak = 0;
    double sumSquares = 0.0;
    c.interval = due;
    for (size_t n = 0; n < play; ++n) {
        const int16_t sample = Scale(c.ring[c.head], gain);
        c.head = (c.head + 1) % kRingSamples;
        peak = std::max(peak, Magnitude(sample));
        sumSquares += static_cast<double>(sample) * sample;
        if (loopbackSource)
            c.played.push_back(sample);
    }
    c.playedAmplitude = play > 0 ? std::sqrt(2.0 * sumSquares / static_cast<double>(play)) : 0.0;
    c.count -= play;
    c.level = peak;
    c.bytes += 2u * play;
    c.produced += play;
    c.stats.bytesPlayed += 2u * play;
    if (play < due) {
        if (!c.dry)
            ++c.stats.underruns;
        c.dry = true;
    }
}

} // namespace sim
