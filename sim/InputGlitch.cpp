// The glitch fault's schedule and its edits of an input's samples.
#include "InputGlitch.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kShortestMs = 2.0;
constexpr double kLongestMs = 10.0;
// Holds a longest block at the highest rate the simulator runs (96 kHz).
constexpr size_t kHistory = 2048;

} // namespace

void InputGlitch::Set(uint32_t everyMs, GlitchKind kind, uint64_t seed) {
    m_everyMs = everyMs;
    m_kind = kind;
    m_seed = seed;
    m_history.assign(kHistory, 0);
    Restart();
}

void InputGlitch::Restart() {
    m_state = m_seed;
    m_scheduled = false;
    m_made = 0;
}

double InputGlitch::Uniform() {
    // splitmix64, the top 53 bits as a number in [0, 1).
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 9007199254740992.0;
}

void InputGlitch::Schedule(uint32_t rate) {
    const double gapMs = m_everyMs * (0.5 + Uniform());
    const double lengthMs = kShortestMs + (kLongestMs - kShortestMs) * Uniform();
    m_length = std::clamp<uint64_t>(static_cast<uint64_t>(std::llround(lengthMs * rate / 1000.0)), 2, kHistory / 2);
    // A shifted block reaches back half its length: it starts no sooner than a block's length in.
    m_start = m_made + std::max(m_length, static_cast<uint64_t>(std::llround(gapMs * rate / 1000.0)));
    m_scheduled = true;
}

std::span<const int16_t> InputGlitch::Pass(int16_t sample, uint32_t rate) {
    m_out.clear();
    if (!On()) {
        m_out.push_back(sample);
        return m_out;
    }
    if (!m_scheduled)
        Schedule(rate);
    const uint64_t k = m_made++;
    m_history[k % kHistory] = sample;
    const bool inBlock = k >= m_start && k < m_start + m_length;
    switch (m_kind) {
    case GlitchKind::Drop:
        if (!inBlock)
            m_out.push_back(sample);
        break;
    case GlitchKind::Repeat:
        m_out.push_back(sample);
        if (k + 1 == m_start + m_length)
            for (uint64_t i = m_start; i <= k; ++i)
                m_out.push_back(m_history[i % kHistory]);
        break;
    case GlitchKind::Shift:
        m_out.push_back(inBlock ? m_history[(k - m_length / 2) % kHistory] : sample);
        break;
    }
    if (k + 1 >= m_start + m_length)
        Schedule(rate);
    return m_out;
}

} // namespace sim
