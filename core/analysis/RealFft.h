// A windowed real FFT of a fixed size whose plan and buffers are made once: the power each bin holds
// of a block's mean square, for the analyser, the tone locator and the noise weighting.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

struct fftw_plan_s;

// Why no transform can be made (the FFT library cannot be loaded), or an empty text when it can.
std::string FftProblem();

class CRealFft {
public:
    // size samples (at least 16); the 4-term Blackman-Harris window (92 dB side lobes, main lobe +-4 bins).
    // Throws std::runtime_error when FftProblem() is not empty.
    explicit CRealFft(size_t size);
    ~CRealFft();
    CRealFft(const CRealFft&) = delete;
    CRealFft& operator=(const CRealFft&) = delete;

    size_t Size() const { return m_size; }
    size_t Bins() const { return m_size / 2 + 1; }
    // The window's equivalent noise bandwidth in bins (about 2.0): how many bins' worth of white noise a
    // power read at one exact frequency holds.
    double NoiseBandwidthBins() const {
        return static_cast<double>(m_size) * m_windowPower / (m_windowSum * m_windowSum);
    }
    double WindowSum() const { return m_windowSum; }
    std::span<const double> Window() const { return m_window; }

    // Windows `samples` (Size() of them) and transforms them. Power(k) is then bin k's share of the
    // block's mean square (white noise sums to its variance over all bins, a sine's main lobe to its
    // amplitude squared over two); Amplitude(k) reads a sine centred on bin k as its amplitude.
    void Transform(std::span<const double> samples);
    std::span<const double> Power() const { return m_power; }
    double Amplitude(size_t k) const;

private:
    size_t m_size;
    double* m_input = nullptr;
    double* m_output = nullptr; // interleaved real and imaginary parts
    fftw_plan_s* m_plan = nullptr;
    std::vector<double> m_window;
    double m_windowPower = 0.0;
    double m_windowSum = 0.0;
    std::vector<double> m_power;
};
