// COutputPage: the stereo output page. Two channels (left, right), each playing a sound file or a sine
// tone through its own streaming device, with attenuation, mute, live DMA figures and a level meter; a
// routing grid chooses which input each output carries.
#pragma once

#include "ChannelRun.h"
#include "PageDlg.h"
#include "PageWorker.h"
#include "StreamChannel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CDevice;
class CGridBox;
class CLevelMeter;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QProgressBar;

class COutputPage : public CPageDlg {
    Q_OBJECT
public:
    static constexpr int kLeft = 0;
    static constexpr int kRight = 1;
    static constexpr int32_t kDefaultWorkMode = 10;
    static constexpr int32_t kInitialRate = 16000;

    COutputPage(uint32_t type, int32_t board, CDevice* cfg, CDevice* left, CDevice* right, QWidget* parent = nullptr);
    ~COutputPage() override;

    bool OnInitDialog() override;
    void BeginShutdown() override;
    void CancelStuckRequests() override;
    // Stops the worker (serving its last reports) and stores the settings; once.
    void Shutdown() override;
    bool LeftWorkBehind() const override { return m_worker.LeftBehind(); }

    // The page's operations, as the buttons, the slider and the grid start them.
    void Start(int channel);
    void Stop(int channel);
    void SelectFile(int channel);
    void SourceToggled(int channel);
    void MuteToggled(int channel);
    void ResetPeak(int channel);
    void SliderMoved(int channel);
    void WorkModeChanged(int row);

    bool SecondRequestSet() const { return m_secondSet; }
    int32_t WorkMode() const { return m_workMode; }
    StreamChannel& Channel(int channel) { return (*m_channels)[static_cast<size_t>(channel)]; }
    bool WorkerRunning() const { return m_worker.Running(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The controls of one channel group.
    struct ChannelControls {
        QGroupBox* group = nullptr;
        QPushButton* file = nullptr;
        QLineEdit* fileName = nullptr;
        QPushButton* sine = nullptr;
        QLineEdit* sineFreq = nullptr;
        QLineEdit* sineAmpl = nullptr;
        QLineEdit* rate = nullptr;
        QLabel* attText = nullptr;
        QSlider* slider = nullptr;
        QPushButton* mute = nullptr;
        QPushButton* start = nullptr;
        QPushButton* stop = nullptr;
        QLabel* count = nullptr;
        QLabel* totalCount = nullptr;
        QLabel* playTime = nullptr;
        QLabel* totalTime = nullptr;
        QLabel* dmaLength = nullptr;
        QLabel* freeSpace = nullptr;
        QPushButton* reset = nullptr;
        QProgressBar* progress = nullptr;
        CLevelMeter* meter = nullptr;
        QLabel* level = nullptr;
    };
    // What the user-interface thread alone keeps of a channel.
    struct ChannelExtras {
        int16_t attMax = 0;
        int16_t attMin = 0;
        int16_t attValue = 0;
        int32_t mute = 0;
        int32_t initialRate = kInitialRate;
        QString section;
    };

    void BuildControls();
    QGroupBox* BuildChannel(int channel, const QString& title, const char* prefix);
    bool OpenChannel(int channel);
    void ShowFile(int channel);
    void SetRunningControls(int channel, bool running);
    void ShowFigures(int channel, const ChannelFigures& figures);
    // A worker's report: the end of a file stops its channel (when it is still the run reported).
    void TakeReport(int channel, const PassEvent& event);
    void SaveSettings();
    // Starts the worker once, unless the page did not start or is closing.
    void StartWorker();
    ChannelControls& Controls(int channel) { return m_controls[static_cast<size_t>(channel)]; }
    ChannelExtras& Extras(int channel) { return m_extras[static_cast<size_t>(channel)]; }

    uint32_t m_type;
    int32_t m_board;
    CDevice* m_cfg;
    // On the heap: a worker left behind in a hung driver request keeps them (see Shutdown).
    std::unique_ptr<std::array<StreamChannel, 2>> m_channels = std::make_unique<std::array<StreamChannel, 2>>();
    std::vector<CChannelRun> m_runs;
    std::array<ChannelExtras, 2> m_extras;
    std::array<ChannelControls, 2> m_controls;
    bool m_secondSet = false;
    int32_t m_workMode = kDefaultWorkMode;
    bool m_started = false; // the page start read the settings, so closing may write them back
    bool m_shutDown = false;
    CGridBox* m_grid = nullptr;
    QWidget* m_gridPlace = nullptr;
    QCheckBox* m_stereo = nullptr;

    // Made when the page is first shown or a channel first started: a page nobody has seen polls nothing.
    CPageWorker m_worker{this,
                         {&Channel(kLeft), &Channel(kRight)},
                         [this](int channel, const ChannelFigures& figures) { ShowFigures(channel, figures); },
                         [this](int channel, const PassEvent& event) { TakeReport(channel, event); }};
};
