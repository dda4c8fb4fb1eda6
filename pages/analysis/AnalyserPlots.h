// The analyser window's two pictures: the waveform, triggered on a rising zero crossing so a steady tone
// stands still, and the spectrum in dBFS over a logarithmic frequency axis. Each draws what its pixels can
// show (a pixel column's span of samples, or its loudest bin) with a one-pixel line over a picture of its
// frame, grid and labels made once per size and scale, so a refresh costs little whatever the signal.
#pragma once

#include <QPixmap>
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
    void MakeBackground(double full);

    std::vector<int16_t> m_shown;
    QPixmap m_background;
    double m_backgroundFull = 0.0; // the scale the background's labels show
};

class CSpectrumView : public QWidget {
public:
    explicit CSpectrumView(QWidget* parent = nullptr);
    // `spectrumDb` holds bins from 0 Hz to half of `rate`, evenly spaced.
    void SetSpectrum(std::span<const double> spectrumDb, uint32_t rate);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void MakeBackground();

    std::vector<double> m_db;
    uint32_t m_rate = 0;
    QPixmap m_background;
    uint32_t m_backgroundRate = 0;
    // Per bin from kLowHz up: the pixel column it falls in, worked out once per size, rate and bin count.
    std::vector<int> m_binColumn;
    size_t m_firstBin = 0;
};
