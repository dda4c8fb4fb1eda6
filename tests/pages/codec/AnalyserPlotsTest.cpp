// The analyser's plots drawn for real (grabbed as pictures): however many samples or bins fall into a
// pixel column, a lone spike among them is still drawn, at the height it has.
#include "AnalyserPlots.h"

#include <QImage>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Whether any pixel of `image` in rows [top, bottom] is mostly the plot line's colour channel.
bool LineDrawnIn(const QImage& image, int top, int bottom, bool green) {
    for (int y = std::max(0, top); y <= std::min(image.height() - 1, bottom); ++y)
        for (int x = 40; x < image.width() - 8; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (green ? c.green() > 120 && c.green() > c.red() + 40 : c.blue() > 150 && c.blue() > c.red() + 40)
                return true;
        }
    return false;
}

TEST(AnalyserPlots, ASpikeAmongManySamplesOrBinsIsDrawn) {
    std::mt19937 random(31);
    for (const int width : {400, 523, 900})
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE("width " + std::to_string(width) + " round " + std::to_string(round));
            // Waveform: 1920 samples shown at 192 kHz (several per column), quiet but for one full-scale
            // spike; the scale then reaches full scale, and the spike's column reaches the top.
            std::vector<int16_t> samples(8192);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<int16_t>(i % 64 < 32 ? -300 : 300);
            std::uniform_int_distribution<size_t> where(200, 1800);
            samples[32 + where(random)] = 32767;
            CWaveformView waveform;
            waveform.resize(width, 200);
            waveform.SetSamples(samples, 192000);
            const QImage wave = waveform.grab().toImage();
            EXPECT_TRUE(LineDrawnIn(wave, 8, 14, true)) << "the spike's top is missing";

            // Spectrum: 4097 bins at -160 dBFS but one at -20 dBFS, somewhere in the top octaves where
            // many bins share a column.
            std::vector<double> bins(4097, -160.0);
            std::uniform_int_distribution<size_t> bin(1500, 4000);
            bins[bin(random)] = -20.0;
            CSpectrumView spectrum;
            spectrum.resize(width, 240);
            spectrum.SetSpectrum(bins, 48000);
            const QImage picture = spectrum.grab().toImage();
            // -20 dBFS is an eighth of the way down the plot area (8 px from the top, 212 px tall).
            const int y = 8 + 212 / 8;
            EXPECT_TRUE(LineDrawnIn(picture, y - 2, y + 2, false)) << "the loudest bin is missing";
        }
}

} // namespace
