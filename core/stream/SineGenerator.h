// SineGenerator: the test tone a stream channel plays when its source is the sine.
#pragma once

#include <cstdint>

class SineGenerator {
public:
    // Refuses (returns false, state unchanged) a frequency of 0, a frequency of at least half the rate,
    // and an amplitude whose low 16 bits, taken as a signed value, are negative.
    bool Init(uint32_t rate, uint32_t amplitude, uint32_t frequency);
    // Writes count samples and returns count; writes nothing and returns 0 before a successful Init.
    int32_t Generate(int32_t count, int16_t* buffer);

    bool IsReady() const { return m_ready != 0; }
    double Step() const { return m_step; }
    double Phase() const { return m_phase; }
    int16_t Amplitude() const { return m_amplitude; }
    uint32_t Period() const { return m_period; }
    uint32_t Counter() const { return m_counter; }

private:
    double m_step = 0.0;
    double m_phase = 0.0;
    int16_t m_amplitude = 0;
    uint32_t m_period = 0;
    uint32_t m_counter = 0;
    int16_t m_ready = 0;
};
