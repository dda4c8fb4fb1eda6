// CCodecPage: one AIC10 codec line. An input channel that records what the codec receives (into a file
// when asked) and an output channel that plays a sound file or a sine tone, each with gain, mute, the
// codec sampling rate, Start and Stop, live DMA figures, counters and a level meter.
#pragma once

#include "AnalyserWindow.h"
#include "ChannelRun.h"
#include "PageDlg.h"
#include "PageWorker.h"
#include "StreamChannel.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CDevice;
class CLevelMeter;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

class CCodecPage : public CPageDlg {
    Q_OBJECT
public:
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;
    static constexpr int32_t kDefaultRate = 16000;

    CCodecPage(uint32_t type, int32_t board, int32_t line, CDevice* input, CDevice* output, CDevice* cfg,
               QWidget* parent = nullptr);
    ~CCodecPage() override;

    bool OnInitDialog() override;
    void BeginShutdown() override;
    void CancelStuckRequests() override;
    // Stops the worker (serving its last reports) and stores the settings; once.
    void Shutdown() override;
    bool LeftWorkBehind() const override { return m_worker.LeftBehind(); }

    // The page's operations, as the buttons and sliders start them.
    void Start(int channel);
    void Stop(int channel);
    void SelectOutputFile();
    void SelectInputFile();
    void SinToggled();
    void MuteToggled(int channel);
    void SliderMoved(int channel);
    // Opens the analyser window of the line's input, or raises it when it is open.
    void OpenAnalyser();
    CAnalyserWindow* Analyser() const { return m_analyser; }

    bool SecondRequestSet() const { return m_secondSet; }
    bool RateSettable() const { return m_rateSettable; }
    int32_t Line() const { return m_line; }
    StreamChannel& Channel(int channel) { return (*m_channels)[static_cast<size_t>(channel)]; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct ChannelControls {
        QGroupBox* group = nullptr;
        QPushButton* file = nullptr;
        QLineEdit* fileName = nullptr;
        QCheckBox* writeFile = nullptr; // input
        QCheckBox* synchro = nullptr;   // input
        QPushButton* sine = nullptr;    // output
        QLineEdit* sineFreq = nullptr;  // output
        QLineEdit* sineAmpl = nullptr;  // output
        QLineEdit* rate = nullptr;
        QLabel* gainText = nullptr;
        QSlider* slider = nullptr;
        QPushButton* mute = nullptr;
        QPushButton* start = nullptr;
        QPushButton* stop = nullptr;
        QPushButton* analyser = nullptr; // input
        QLabel* count = nullptr;
        QLabel* totalCount = nullptr; // output
        QLabel* time = nullptr;
        QLabel* totalTime = nullptr; // output
        QLabel* dmaSize = nullptr;
        QLabel* dmaCount = nullptr;
        QProgressBar* progress = nullptr;
        CLevelMeter* meter = nullptr;
        QLabel* level = nullptr;
    };
    // What the user-interface thread alone keeps of a channel.
    struct ChannelExtras {
        int16_t gainMax = 0;
        int16_t gainMin = 0;
        int16_t gainValue = 0;
        int32_t mute = 0;
        QString section;
    };

    void BuildControls();
    QGroupBox* BuildChannel(int channel);
    bool OpenChannel(int channel);
    void ShowOutputFile();
    // The channel's rate field as a number, written back; false after a message.
    bool ReadRateField(int channel, uint32_t* rate);
    void SetRunningControls(int channel, bool running);
    void ShowFigures(int channel, const ChannelFigures& figures);
    // A worker's report: the end of a file stops the output, a failed recording is shown.
    void TakeReport(int channel, const PassEvent& event);
    void SaveSettings();
    // Starts the worker once, unless the page did not start or is closing.
    void StartWorker();
    ChannelControls& Controls(int channel) { return m_controls[static_cast<size_t>(channel)]; }
    ChannelExtras& Extras(int channel) { return m_extras[static_cast<size_t>(channel)]; }

    uint32_t m_type;
    int32_t m_board;
    int32_t m_line;
    CDevice* m_cfg;
    // On the heap: a worker left behind in a hung driver request keeps them (see Shutdown).
    std::unique_ptr<std::array<StreamChannel, 2>> m_channels = std::make_unique<std::array<StreamChannel, 2>>();
    std::vector<CChannelRun> m_runs;
    std::array<ChannelExtras, 2> m_extras;
    std::array<ChannelControls, 2> m_controls;
    bool m_secondSet = false;
    bool m_rateSettable = true;
    bool m_started = false; // the page start read the settings, so closing may write them back
    bool m_shutDown = false;

    QPointer<CAnalyserWindow> m_analyser;
    // Made when the page is first shown or a channel first started: a page nobody has seen polls nothing.
    CPageWorker m_worker{this,
                         {&Channel(kInput), &Channel(kOutput)},
                         [this](int channel, const ChannelFigures& figures) { ShowFigures(channel, figures); },
                         [this](int channel, const PassEvent& event) { TakeReport(channel, event); }};
};
