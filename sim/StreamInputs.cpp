// The stream model's input signals: the tone, the sequence and the loopback a line input captures, with
// the impairments (noise, second harmonic, crosstalk, band filter, compressor), the glitch fault and the
// loss of what nobody read in time.
#include "StreamModel.h"

#include "StreamParts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

using namespace streams;

namespace {

constexpr uint64_t kToneFrequency = 1000;
constexpr double kToneAmplitude = 8000.0;

} // namespace

std::optional<InputSignal> ParseInputSignal(const std::string& text) {
    if (text == "tone")
        return InputSignal::Tone;
    if (text == "sequence")
        return InputSignal::Sequence;
    if (text == "loopback")
        return InputSignal::Loopback;
    return std::nullopt;
}

const int16_t* StreamModel::PlayedAt(size_t outputIndex, uint64_t due, uint64_t j) const {
    // The output's interval and the input's end at the same instant; line up their ends.
    const Channel& out = m_channels[outputIndex];
    if (out.interval + j < due)
        return nullptr;
    const uint64_t position = out.interval + j - due;
    return position < out.played.size() ? &out.played[static_cast<size_t>(position)] : nullptr;
}

int16_t StreamModel::InputSample(size_t index, uint64_t k, uint64_t due, uint64_t j, double gain) {
    if (m_signal == InputSignal::Sequence)
        return static_cast<int16_t>(static_cast<uint16_t>(k & 0xFFFF));
    const size_t line = index - kFirstInput;
    double heard = 0.0;
    if (m_signal == InputSignal::Loopback) {
        const size_t own = kFirstLineOutput + line;
        if (const int16_t* played = PlayedAt(own, due, j)) {
            heard = *played;
            // x + r (2x^2/A - A) turns a sine of amplitude A into itself plus -r A cos(2 wt): a second
            // harmonic r below the tone, without a DC offset.
            const double amplitude = m_channels[own].playedAmplitude;
            if (m_harmonic > 0.0 && amplitude > 0.0)
                heard += m_harmonic * (2.0 * heard * heard / amplitude - amplitude);
        }
    } else {
        const uint32_t rate = RateOf(index);
        const uint64_t phase = (k % rate) * kToneFrequency % rate;
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(phase) / rate;
        heard = kToneAmplitude * std::sin(angle);
    }
    if (m_crosstalk > 0.0) {
        for (const size_t neighbour : {line - 1, line + 1}) {
            if (neighbour >= m_state.config.channels || neighbour >= 8)
                continue; // line 0 has no line below (the index wraps round to a huge number)
            if (const int16_t* played = PlayedAt(kFirstLineOutput + neighbour, due, j))
                heard += m_crosstalk * *played;
        }
    }
    // The line's filter and compressor run on every sample, muted or not, so their state stays whole.
    heard = m_channels[index].shaper.Next(heard, RateOf(index));
    if (gain == 0.0)
        return 0;
    double sample = heard * gain;
    if (m_noiseRms > 0.0)
        sample += m_noiseRms * m_channels[index].noise.Next();
    return Clamp(sample);
}

void StreamModel::AdvanceInput(size_t index, uint64_t due) {
    if (due == 0)
        return;
    Channel& c = m_channels[index];
    // Samples that would not fit are lost, the oldest first: first those already waiting, then the
    // earliest of the new ones (which are then never made).
    const uint64_t total = c.count + due;
    uint64_t skip = 0;
    if (total > kRingSamples) {
        const uint64_t drop = total - kRingSamples;
        const size_t fromBuffer = static_cast<size_t>(std::min<uint64_t>(drop, c.count));
        c.head = (c.head + fromBuffer) % kRingSamples;
        c.count -= fromBuffer;
        skip = drop - fromBuffer;
        c.stats.lostInputBytes += 2u * drop;
    }
    int16_t peak = 0;
    const double gain = Gain(c, false);
    const uint32_t rate = RateOf(index);
    AllocateRing(c);
    for (uint64_t j = skip; j < due; ++j) {
        const int16_t made = InputSample(index, c.produced + j, due, j, gain);
        // A glitch fault may deliver none, one or more samples for the one made; a repeated block that
        // overfills the buffer loses the oldest, as above.
        for (const int16_t sample : c.glitch.Pass(made, rate)) {
            if (c.count == kRingSamples) {
                c.head = (c.head + 1) % kRingSamples;
                --c.count;
                c.stats.lostInputBytes += 2;
            }
            c.ring[(c.head + c.count) % kRingSamples] = sample;
            ++c.count;
            peak = std::max(peak, Magnitude(sample));
        }
    }
    c.produced += due;
    c.bytes += 2u * due;
    c.level = gain == 0.0 ? int16_t{0} : peak;
}

void StreamModel::SetImpairments(const Impairments& impairments) {
    // A full-scale sine's RMS is 32768 / sqrt(2).
    m_noiseRms = impairments.noiseDbfs ? FromDb(*impairments.noiseDbfs) * 32768.0 / std::numbers::sqrt2 : 0.0;
    m_harmonic = impairments.harmonicDb ? FromDb(*impairments.harmonicDb) : 0.0;
    m_crosstalk = impairments.crosstalkDb ? FromDb(*impairments.crosstalkDb) : 0.0;
    for (Channel& c : m_channels)
        c.shaper.Set(impairments);
}

void StreamModel::AddGlitch(const FaultRule& rule, const std::string& base) {
    for (size_t i = kFirstInput; i < kFirstLineOutput; ++i)
        if (rule.Matches(base + "\\" + m_channels[i].leaf))
            m_channels[i].glitch.Set(rule.everyMs, rule.glitch, 0x611C0000u + i); // a fixed seed per line
}

} // namespace sim
