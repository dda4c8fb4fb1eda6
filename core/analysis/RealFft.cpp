// The windowed real FFT on FFTW3, plans made and destroyed under one lock (FFTW's planner is not
// thread-safe; executing a plan is).
#include "RealFft.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <new>
#include <numbers>
#include <stdexcept>

namespace {
std::mutex g_plannerLock;
}

CRealFft::CRealFft(size_t size) : m_size(size), m_window(size), m_power(size / 2 + 1) {
    if (size < 16)
        throw std::invalid_argument("an FFT block holds at least 16 samples");
    constexpr double a[] = {0.35875, 0.48829, 0.14128, 0.01168};
    const double step = 2.0 * std::numbers::pi / static_cast<double>(size);
    for (size_t i = 0; i < size; ++i) {
        const double x = step * static_cast<double>(i);
        m_window[i] = a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
        m_windowSum += m_window[i];
        m_windowPower += m_window[i] * m_window[i];
    }
    std::lock_guard lock(g_plannerLock);
    m_input = fftw_alloc_real(size);
    m_output = reinterpret_cast<double*>(fftw_alloc_complex(size / 2 + 1));
    if (m_input == nullptr || m_output == nullptr) {
        fftw_free(m_input);
        fftw_free(m_output);
        throw std::bad_alloc();
    }
    m_plan = fftw_plan_dft_r2c_1d(static_cast<int>(size), m_input, reinterpret_cast<fftw_complex*>(m_output),
                                  FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
}

CRealFft::~CRealFft() {
    std::lock_guard lock(g_plannerLock);
    fftw_destroy_plan(m_plan);
    fftw_free(m_input);
    fftw_free(m_output);
}

void CRealFft::Transform(std::span<const double> samples) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the FFT's sample count");
    for (size_t i = 0; i < m_size; ++i)
        m_input[i] = samples[i] * m_window[i];
    fftw_execute(m_plan);
    const double scale = 1.0 / (static_cast<double>(m_size) * m_windowPower);
    for (size_t k = 0; k < m_power.size(); ++k) {
        const double re = m_output[2 * k];
        const double im = m_output[2 * k + 1];
        const double sides = (k == 0 || 2 * k == m_size) ? 1.0 : 2.0;
        m_power[k] = sides * (re * re + im * im) * scale;
    }
}

double CRealFft::Amplitude(size_t k) const {
    return 2.0 * std::hypot(m_output[2 * k], m_output[2 * k + 1]) / m_windowSum;
}
