// The analyser window's two pictures: the waveform, triggered on a rising zero crossing so a steady tone
// stands still, and the spectrum in dBFS over a logarithmic frequency axis.
#pragma once

#include <QWidget>

#include <cstdint>
#include <span>
#include <vector>

class CWaveformView : public QWidget {
public:
    explicit CWaveformView(QWidget* parent = nullptr);
    // Shows about ten milliseconds of `samples` (taken at `rate`) from their first rising zero crossing,
    // scaled to their peak.
    void SetSamples(std::span<const int16_t> samples, uint32_t rate);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int16_t> m_shown;
};

class CSpectrumView : public QWidget {
public:
    explicit CSpectrumView(QWidget* parent = nullptr);
    // `spectrumDb` holds bins from 0 Hz to half of `rate`, evenly spaced.
    void SetSpectrum(std::span<const double> spectrumDb, uint32_t rate);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<double> m_db;
    uint32_t m_rate = 0;
};
