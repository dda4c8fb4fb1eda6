// The windowed real FFT on FFTW3, plans made and destroyed under one lock (FFTW's planner is not
// thread-safe; executing a plan is). FFTW is loaded with the first transform made, so that a start that
// analyses nothing never waits for it.
#include "RealFft.h"

#include "DriverLibrary.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <new>
#include <numbers>
#include <stdexcept>

namespace {
std::mutex g_plannerLock;

// The FFTW functions the transform calls, found once; `problem` says why the library is unusable.
struct Fftw {
    decltype(&fftw_alloc_real) allocReal = nullptr;
    decltype(&fftw_alloc_complex) allocComplex = nullptr;
    decltype(&fftw_free) free = nullptr;
    decltype(&fftw_plan_dft_r2c_1d) plan = nullptr;
    decltype(&fftw_execute) execute = nullptr;
    decltype(&fftw_destroy_plan) destroy = nullptr;
    std::string problem;
};

const Fftw& Library() {
    static const Fftw api = [] {
        Fftw found;
        std::string why;
        // Kept loaded for the rest of the run: transforms may live on any thread until the end.
        static const CDriverLibrary* const library = LoadDriverLibrary(VELTRIN_FFTW_LIBRARY, &why).release();
        if (!library) {
            found.problem = "the FFT library " VELTRIN_FFTW_LIBRARY " cannot be loaded: " + why;
            return found;
        }
        found.allocReal = library->Function<decltype(found.allocReal)>("fftw_alloc_real");
        found.allocComplex = library->Function<decltype(found.allocComplex)>("fftw_alloc_complex");
        found.free = library->Function<decltype(found.free)>("fftw_free");
        found.plan = library->Function<decltype(found.plan)>("fftw_plan_dft_r2c_1d");
        found.execute = library->Function<decltype(found.execute)>("fftw_execute");
        found.destroy = library->Function<decltype(found.destroy)>("fftw_destroy_plan");
        if (!found.allocReal || !found.allocComplex || !found.free || !found.plan || !found.execute || !found.destroy)
            found.problem = "the FFT library " VELTRIN_FFTW_LIBRARY " lacks functions this program transforms with";
        return found;
    }();
    return api;
}
} // namespace

std::string FftProblem() { return Library().problem; }

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
    const Fftw& fftw = Library();
    if (!fftw.problem.empty())
        throw std::runtime_error(fftw.problem);
    std::lock_guard lock(g_plannerLock);
    m_input = fftw.allocReal(size);
    m_output = reinterpret_cast<double*>(fftw.allocComplex(size / 2 + 1));
    if (m_input == nullptr || m_output == nullptr) {
        fftw.free(m_input);
        fftw.free(m_output);
        throw std::bad_alloc();
    }
    m_plan = fftw.plan(static_cast<int>(size), m_input, reinterpret_cast<fftw_complex*>(m_output),
                       FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
}

CRealFft::~CRealFft() {
    const Fftw& fftw = Library();
    std::lock_guard lock(g_plannerLock);
    fftw.destroy(m_plan);
    fftw.free(m_input);
    fftw.free(m_output);
}

void CRealFft::Transform(std::span<const double> samples) {
    if (samples.size() != m_size)
        throw std::invalid_argument("the block does not hold the FFT's sample count");
    for (size_t i = 0; i < m_size; ++i)
        m_input[i] = samples[i] * m_window[i];
    Library().execute(m_plan);
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
