// CAnalyserWindow: a codec line input's live analysis, from the samples the streaming engine reads (its
// tap): the waveform, the spectrum, the response (loss against frequency of the tones heard) and the
// figures frequency, level, THD+N and noise.
#pragma once

#include "AudioAnalyser.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class CSampleTap;
class CResponseSweep;
class CResponseView;
class CSpectrumView;
class CWaveformView;
class QLabel;
class QPushButton;
struct StreamChannel;

class CAnalyserWindow : public QWidget {
    Q_OBJECT
public:
    // Samples analysed at a time, and how many the tap keeps.
    static constexpr size_t kBlock = 4096;
    // The sweep reads every sample: a third of a second even at 96 kHz between two reads.
    static constexpr size_t kTapSamples = 32768;
    static constexpr int kRefreshMs = 100;

    // A window of its own (not modal) over `input`, whose tap it attaches until it closes. The channel
    // must outlive the window.
    CAnalyserWindow(StreamChannel& input, const QString& title, QWidget* parent);
    ~CAnalyserWindow() override;

    // Analyses the tap's latest block when new samples came since the last time; else the figures stay.
    void Refresh();
    // The Response view's own sweep over the line's output: started (a refusal shown with its reason)
    // and stopped, as its buttons do.
    void StartSweep();
    void StopSweep();
    CResponseSweep* Sweep() const { return m_sweep; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    StreamChannel& m_input;
    std::shared_ptr<CSampleTap> m_tap;
    CAudioAnalyser m_analyser{kBlock};
    std::vector<int16_t> m_samples = std::vector<int16_t>(kBlock);
    uint64_t m_seen = 0;
    uint64_t m_sweepEnd = 0; // the tap's count when the last sweep ended
    QTimer m_timer;
    CWaveformView* m_waveform = nullptr;
    CSpectrumView* m_spectrum = nullptr;
    CResponseView* m_response = nullptr;
    CResponseSweep* m_sweep = nullptr;
    QPushButton* m_sweepButton = nullptr;
    QPushButton* m_stopSweepButton = nullptr;
    QLabel* m_sweepState = nullptr;
    QLabel* m_frequency = nullptr;
    QLabel* m_level = nullptr;
    QLabel* m_thdn = nullptr;
    QLabel* m_noise = nullptr;
};
