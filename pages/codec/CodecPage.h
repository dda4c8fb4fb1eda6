// CCodecPage: one AIC10 codec line. An input channel that records what the codec receives (into a file
// when asked) and an output channel that plays a sound file or a sine tone, each with gain, mute, the
// codec sampling rate, Start and Stop, live DMA figures, counters and a level meter.
#pragma once

#include "AnalyserWindow.h"
#include "StreamPage.h"

#include <QPointer>

#include <cstdint>

class QCheckBox;
class QPushButton;

class CCodecPage : public CStreamPage {
    Q_OBJECT
public:
    // The line's channels, as the page's operations take them.
    enum Channels : int { kInput, kOutput };
    static constexpr int32_t kDefaultRate = 16000;

    CCodecPage(uint32_t type, int32_t board, int32_t line, CDevice* input, CDevice* output, CDevice* cfg,
               QWidget* parent = nullptr);
    ~CCodecPage() override;

    bool OnInitDialog() override;

    // The page's operations, as the buttons and sliders start them.
    void Start(int channel);
    void SelectOutputFile();
    void SelectInputFile();
    void SinToggled();
    // Opens the analyser window of the line's input, or raises it when it is open.
    void OpenAnalyser();
    CAnalyserWindow* Analyser() const { return m_analyser; }

    bool RateSettable() const { return m_rateSettable; }
    int32_t Line() const { return m_line; }

protected:
    std::string SliderText(int16_t value, int16_t max) const override;
    QString WorkerName(int channel) const override;
    void SaveSettings() override;
    bool OpenChannel(int channel) override;
    void Stopped(int channel) override;
    void BeforeWorkerEnds() override;

private:
    void BuildControls();
    CChannelGroup* BuildChannel(int channel);

    uint32_t m_type;
    int32_t m_line;
    bool m_rateSettable = true;
    // The input's own controls.
    QCheckBox* m_writeFile = nullptr;
    QCheckBox* m_synchro = nullptr;
    QPushButton* m_analyserButton = nullptr;

    QPointer<CAnalyserWindow> m_analyser;
};
