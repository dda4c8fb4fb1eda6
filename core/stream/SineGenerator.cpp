// SineGenerator: a continuous sine tone as signed 16-bit samples.
#include "SineGenerator.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

bool SineGenerator::Init(uint32_t rate, uint32_t amplitude, uint32_t frequency) {
    // The pages hand over the number typed in; only its low 16 bits are the amplitude.
    const auto peak = static_cast<int16_t>(static_cast<uint16_t>(amplitude));
    // A frequency of 0 is no tone and would divide by zero in the period below.
    if (frequency == 0 || frequency >= rate / 2 || peak < 0)
        return false;
    m_amplitude = peak;
    m_step = kTwoPi * frequency / rate;
    m_period = rate / frequency;
    m_phase = 0.0;
    m_counter = 0;
    m_ready = 1;
    return true;
}

int32_t SineGenerator::Generate(int32_t count, int16_t* buffer) {
    if (!m_ready || count <= 0 || buffer == nullptr)
        return 0;
    for (int32_t i = 0; i < count; ++i) {
        // |amplitude * sin| never exceeds 32767, so the truncated value always fits.
        buffer[i] = static_cast<int16_t>(static_cast<int>(m_amplitude * std::sin(m_phase)));
        // The phase runs on without a restart, so the tone stays continuous across periods and across
        // Generate calls even when the rate is not a multiple of the frequency. Folding it back by one
        // turn keeps it small, so a tone that plays for hours loses no precision.
        m_phase += m_step;
        if (m_phase >= kTwoPi)
            m_phase -= kTwoPi;
        ++m_counter;
    }
    return count;
}
