// CStreamPage: what the streaming pages share: two channels in their groups, run through the engine's
// channel runs, a worker made on demand whose figures and reports reach the groups, the slider and mute
// of each channel, and the bounded end of the worker when the page goes away.
#pragma once

#include "ChannelRun.h"
#include "PageDlg.h"
#include "PageWorker.h"
#include "StreamChannel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CChannelGroup;
class CDevice;

class CStreamPage : public CPageDlg {
    Q_OBJECT
public:
    CStreamPage(int32_t board, CDevice* cfg, QWidget* parent);

    void BeginShutdown() override;
    void CancelStuckRequests() override;
    // Stops the worker (serving its last reports) and stores the settings; once. A page's destructor
    // calls it, while the page's own parts still stand.
    void Shutdown() override;
    bool LeftWorkBehind() const override { return m_worker.LeftBehind(); }

    void Stop(int channel);
    void MuteToggled(int channel);
    void ResetPeak(int channel);
    void SliderMoved(int channel);

    // A signal played on an output for a view of the page's input (the analyser's sweep), through the
    // output's channel run as its own Start plays a file. The output channel beside `input` on this page,
    // or -1 when there is none.
    int OutputBeside(const StreamChannel& input);
    // Plays the sound file `path` (at the rate the line runs at) on output `channel`. Refused, with the
    // reason and nothing changed, while the channel runs or is muted; a failed Start gives its message.
    // The group shows the channel running and its Stop ends the play, as does the end of the file; when
    // it ends the channel has its own file and source again.
    QString PlayMeasurement(int channel, const std::string& path, uint32_t rate);
    bool MeasurementPlaying(int channel) const;
    // Stops what PlayMeasurement started (within the channel run's bound); nothing when it has ended.
    void EndMeasurement(int channel);

    bool SecondRequestSet() const { return m_secondSet; }
    StreamChannel& Channel(int channel) { return (*m_channels)[static_cast<size_t>(channel)]; }
    bool WorkerRunning() const { return m_worker.Running(); }

protected:
    // What the user-interface thread alone keeps of a channel: the slider's range and value, the mute and
    // the settings section.
    struct ChannelState {
        int16_t max = 0;
        int16_t min = 0;
        int16_t value = 0;
        int32_t mute = 0;
        QString section;
    };

    void showEvent(QShowEvent* event) override;

    // The slider's value as the page words it.
    virtual std::string SliderText(int16_t value, int16_t max) const = 0;
    // How the shutdown names a channel whose worker is stuck.
    virtual QString WorkerName(int channel) const = 0;
    virtual void SaveSettings() = 0;
    // Reads a channel's settings and the device's state onto its group; false ends the page start.
    virtual bool OpenChannel(int channel) = 0;
    // After a channel stopped.
    virtual void Stopped(int /*channel*/) {}
    // Before the worker ends (nothing may tap the channels after it).
    virtual void BeforeWorkerEnds() {}

    // Opens both channels; after that, closing the page stores its settings.
    bool OpenChannels();
    // Starts the worker once, unless the page did not start or is closing.
    void StartWorker();
    // The first steps of a Start: the worker, and no second Start of a running channel.
    bool MayStart(int channel);
    // The rate field as a number (written back) and, for a playing channel, its source made ready.
    bool PrepareStart(int channel, uint32_t* rate);
    // Shows what a channel run's Start did: the actual rate, the error, the running controls.
    void FinishStart(int channel, const RunStatus& status);

    // Puts a device's attenuation (or gain) reply on the group: range, value, slider text and mute.
    void TakeAttenuation(int channel, const AttenuationBlock& now);
    // A playing channel's stored source and file; a stored name whose file does not open now stays in the
    // field, so closing the page keeps it unless the user chooses another.
    void LoadSource(int channel);
    void LoadSineFields(int channel);
    // The open file's rate and length on the group.
    void ShowFile(int channel);
    // Asks for a file to play and opens it; false when none was chosen or it did not open (after a message).
    bool ChooseFileToPlay(int channel);
    // Sets the channel's source from its Sin button while it is stopped.
    void TakeSource(int channel);
    // Stores the channel's attenuation and mute, and a playing channel's source, file and sine fields.
    void SaveChannel(int channel);

    CChannelGroup& Group(int channel) { return *m_groups[static_cast<size_t>(channel)]; }
    ChannelState& State(int channel) { return m_states[static_cast<size_t>(channel)]; }

    int32_t m_board;
    CDevice* m_cfg;
    std::vector<CChannelRun> m_runs;
    std::array<CChannelGroup*, 2> m_groups{};
    std::array<ChannelState, 2> m_states;
    bool m_secondSet = false;
    bool m_started = false; // the page start read the settings, so closing may write them back

private:
    void ShowFigures(int channel, const ChannelFigures& figures);
    // A worker's report: the end of a file stops its channel (when it is still the run reported).
    void TakeReport(int channel, const PassEvent& event);

    // Gives the channel a measurement played back its own file and source.
    void RestoreAfterMeasurement(int channel);

    // The output lent to a measurement: its run, and what the user had chosen to play on it.
    struct Measurement {
        int channel = -1;
        uint32_t run = 0;
        int32_t source = StreamChannel::kSourceSine;
        std::string file; // the file that was open, or empty
    };
    std::optional<Measurement> m_measurement;
    bool m_shutDown = false;
    // On the heap: a worker left behind in a hung driver request keeps them (see Shutdown).
    std::unique_ptr<std::array<StreamChannel, 2>> m_channels = std::make_unique<std::array<StreamChannel, 2>>();
    // Made when the page is first shown or a channel first started: a page nobody has seen polls nothing.
    CPageWorker m_worker{this,
                         {&Channel(0), &Channel(1)},
                         [this](int channel, const ChannelFigures& figures) { ShowFigures(channel, figures); },
                         [this](int channel, const PassEvent& event) { TakeReport(channel, event); }};
};
