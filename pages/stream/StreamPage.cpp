// The streaming page base: Start and Stop through the channel runs, the slider and mute, the source and
// file of a playing channel, the worker's figures and reports, and the page's bounded end.
#include "StreamPage.h"

#include "ChannelGroup.h"
#include "Helpers.h"
#include "Prompts.h"
#include "Settings.h"
#include "StreamPageSteps.h"
#include "StreamRequests.h"
#include "StreamWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <utility>

CStreamPage::CStreamPage(int32_t board, CDevice* cfg, QWidget* parent) : CPageDlg(parent), m_board(board), m_cfg(cfg) {}

bool CStreamPage::OpenChannels() {
    for (int channel : {0, 1})
        if (!OpenChannel(channel))
            return false;
    m_started = true;
    return true;
}

void CStreamPage::StartWorker() {
    if (m_started && !m_shutDown)
        m_worker.Start();
}

void CStreamPage::showEvent(QShowEvent* event) {
    CPageDlg::showEvent(event);
    StartWorker();
}

bool CStreamPage::MayStart(int channel) {
    StartWorker();
    return !Channel(channel).running.load(std::memory_order_relaxed);
}

bool CStreamPage::PrepareStart(int channel, uint32_t* rate) {
    CChannelGroup& g = Group(channel);
    if (!ReadNumberField(this, g.rate, "Cann't get sampling rate", rate))
        return false;
    return !g.sine || PrepareOutputSource(this, Channel(channel), *rate, g.sineFreq, g.sineAmpl);
}

void CStreamPage::FinishStart(int channel, const RunStatus& status) {
    if (status.actualRate)
        Group(channel).rate->setText(QString::number(*status.actualRate));
    if (!status.error.empty()) {
        ShowError(this, QString::fromStdString(status.error));
        return;
    }
    if (status.changed)
        Group(channel).SetRunning(true);
}

void CStreamPage::Stop(int channel) {
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Stop();
    if (!status.error.empty())
        ShowError(this, QString::fromStdString(status.error));
    else if (!status.notice.empty())
        ShowError(this, QString::fromStdString(status.notice), QStringLiteral("Recording"));
    if (!status.changed)
        return;
    Group(channel).SetRunning(false);
    RestoreAfterMeasurement(channel);
    Stopped(channel);
}

int CStreamPage::OutputBeside(const StreamChannel& input) {
    if (input.direction != StreamDirection::Input)
        return -1;
    for (int channel : {0, 1})
        if (&Channel(1 - channel) == &input && Channel(channel).direction == StreamDirection::Output &&
            m_groups[static_cast<size_t>(channel)] && Group(channel).sine)
            return channel;
    return -1;
}

QString CStreamPage::PlayMeasurement(int channel, const std::string& path, uint32_t rate) {
    StreamChannel& s = Channel(channel);
    if (!m_started || m_shutDown || !s.device)
        return QStringLiteral("The line's output is not open");
    if (s.running.load(std::memory_order_relaxed))
        return QStringLiteral("The line's output is playing: stop it first, the sweep plays its own tones on it");
    if (State(channel).mute != 0)
        return QStringLiteral("The line's output is muted: unmute it, or the sweep plays nothing");
    StartWorker();
    Measurement m;
    m.channel = channel;
    m.source = s.source.load(std::memory_order_relaxed);
    if (s.file.IsOpen())
        m.file = s.file.Path();
    if (!s.file.OpenForReading(path)) {
        const QString why = QString::fromStdString(s.file.LastError());
        if (!m.file.empty())
            s.file.OpenForReading(m.file);
        return QStringLiteral("Cannot read the sweep's signal: ") + why;
    }
    s.source.store(StreamChannel::kSourceFile, std::memory_order_relaxed);
    m_measurement = m;
    StartRequest request;
    request.rate = rate;
    request.rateApplied = true; // the line runs at it already
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Start(request);
    if (!status.error.empty() || !status.changed) {
        RestoreAfterMeasurement(channel);
        return status.error.empty() ? QStringLiteral("The line's output did not start")
                                    : QString::fromStdString(status.error);
    }
    m_measurement->run = s.runId.load(std::memory_order_relaxed);
    Group(channel).SetRunning(true);
    return {};
}

bool CStreamPage::MeasurementPlaying(int channel) const {
    return m_measurement && m_measurement->channel == channel &&
           m_runs[static_cast<size_t>(channel)].IsCurrent(m_measurement->run);
}

void CStreamPage::EndMeasurement(int channel) {
    if (MeasurementPlaying(channel))
        Stop(channel);
}

void CStreamPage::RestoreAfterMeasurement(int channel) {
    if (!m_measurement || m_measurement->channel != channel)
        return;
    StreamChannel& s = Channel(channel);
    s.file.Close();
    // A file that no longer opens leaves the channel without one, as a stored file that does not open.
    if (!m_measurement->file.empty())
        s.file.OpenForReading(m_measurement->file);
    s.source.store(m_measurement->source, std::memory_order_relaxed);
    m_measurement.reset();
}

void CStreamPage::TakeReport(int channel, const PassEvent& event) {
    if (!m_runs[static_cast<size_t>(channel)].IsCurrent(event.run))
        return; // a report of an earlier run
    if (!event.text.empty())
        ShowError(this, QString::fromStdString(event.text));
    if (event.kind == PassEvent::Kind::PlayedToEnd || event.kind == PassEvent::Kind::PlaybackFailed)
        Stop(channel);
}

void CStreamPage::ShowFigures(int channel, const ChannelFigures& figures) {
    CChannelGroup& g = Group(channel);
    if (figures.buffer)
        g.ShowBuffer(figures.buffer->length, figures.buffer->space, figures.freeSpacePeak);
    if (figures.counters)
        ShowCounters(*figures.counters, figures.rate, g.meter, g.level, g.count, g.time);
}

void CStreamPage::MuteToggled(int channel) {
    State(channel).mute = Group(channel).mute->isChecked() ? 1 : 0;
    SliderMoved(channel);
}

void CStreamPage::ResetPeak(int channel) { Channel(channel).freeSpacePeak.store(0, std::memory_order_relaxed); }

void CStreamPage::SliderMoved(int channel) {
    StreamChannel& s = Channel(channel);
    CChannelGroup& g = Group(channel);
    ChannelState& x = State(channel);
    if (!s.device)
        return;
    const auto now = ApplySlider(*s.device, m_secondSet, {x.max, x.min}, x.mute, g.slider, g.mute);
    if (!now)
        return;
    x.value = now->value;
    g.valueText->setText(QString::fromStdString(SliderText(now->value, x.max)));
}

void CStreamPage::TakeAttenuation(int channel, const AttenuationBlock& now) {
    CChannelGroup& g = Group(channel);
    ChannelState& x = State(channel);
    x.max = now.max;
    x.min = now.min;
    x.value = now.value;
    x.mute = now.mute;
    PlaceSlider(g.slider, now);
    SliderMoved(channel);
    const QSignalBlocker blocker(g.mute);
    g.mute->setChecked(now.mute != 0);
}

void CStreamPage::LoadSource(int channel) {
    StreamChannel& s = Channel(channel);
    CChannelGroup& g = Group(channel);
    const QString& section = State(channel).section;
    const bool sine = ReadBoardInt(m_board, section, QStringLiteral("SOURCE_SEL"), 1) != 0;
    s.source.store(sine ? StreamChannel::kSourceSine : StreamChannel::kSourceFile, std::memory_order_relaxed);
    {
        const QSignalBlocker blocker(g.sine);
        g.sine->setChecked(sine);
    }
    const QString file = ReadBoardFile(m_board, section);
    g.fileName->setText(file);
    if (!file.isEmpty() && s.file.OpenForReading(LocalPath(file)))
        ShowFile(channel);
}

void CStreamPage::LoadSineFields(int channel) {
    CChannelGroup& g = Group(channel);
    const QString& section = State(channel).section;
    g.sineFreq->setText(QString::number(ReadBoardInt(m_board, section, QStringLiteral("SINE_FREQ"), 1000)));
    g.sineAmpl->setText(QString::number(ReadBoardInt(m_board, section, QStringLiteral("SINE_AMPL"), 32500)));
}

void CStreamPage::ShowFile(int channel) {
    const CSoundFile& file = Channel(channel).file;
    CChannelGroup& g = Group(channel);
    const auto length = static_cast<uint32_t>(file.DataLength());
    g.rate->setText(QString::number(file.SampleRate()));
    g.totalCount->setText(QString::number(length));
    g.totalTime->setText(FormatPlayTime(length, file.SampleRate()));
}

bool CStreamPage::ChooseFileToPlay(int channel) {
    StreamChannel& s = Channel(channel);
    if (s.running.load(std::memory_order_relaxed))
        return false;
    QString path;
    if (!ChooseFile(this, true, Group(channel).fileName, &path, false))
        return false;
    s.file.Close();
    if (!s.file.OpenForReading(LocalPath(path))) {
        // The file layer's reason (an encoding it does not read, a header cut short, ...) goes on the
        // next line, so the user learns what to change.
        QString text = QStringLiteral("Cann't open TRN file");
        if (const std::string why = s.file.LastError(); !why.empty())
            text += QLatin1Char('\n') + QString::fromStdString(why);
        ShowError(this, text);
        return false;
    }
    return true;
}

void CStreamPage::TakeSource(int channel) {
    StreamChannel& s = Channel(channel);
    if (s.running.load(std::memory_order_relaxed))
        return;
    s.source.store(Group(channel).sine->isChecked() ? StreamChannel::kSourceSine : StreamChannel::kSourceFile,
                   std::memory_order_relaxed);
}

void CStreamPage::SaveChannel(int channel) {
    CChannelGroup& g = Group(channel);
    const ChannelState& x = State(channel);
    WriteBoardInt(m_board, x.section, QStringLiteral("ATT"), x.value);
    WriteBoardInt(m_board, x.section, QStringLiteral("MUTE"), x.mute);
    if (!g.sine)
        return;
    const bool sine = Channel(channel).source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine;
    WriteBoardInt(m_board, x.section, QStringLiteral("SOURCE_SEL"), sine ? 1 : 0);
    WriteBoardFile(m_board, x.section, g.fileName->text());
    uint32_t number = 0;
    if (ParseUnsigned(&number, g.sineFreq->text()))
        WriteBoardInt(m_board, x.section, QStringLiteral("SINE_FREQ"), static_cast<int32_t>(number));
    if (ParseUnsigned(&number, g.sineAmpl->text()))
        WriteBoardInt(m_board, x.section, QStringLiteral("SINE_AMPL"), static_cast<int32_t>(number));
}

void CStreamPage::BeginShutdown() {
    if (!m_shutDown)
        m_worker.AskToStop();
}

void CStreamPage::CancelStuckRequests() {
    if (!m_shutDown)
        m_worker.CancelIfBusy();
}

void CStreamPage::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    BeforeWorkerEnds();
    const bool ended = m_worker.Finish([this](int channel) { return WorkerName(channel); });
    if (!ended) {
        // The worker may still touch the channels: they are never freed, so the settings (which read them)
        // are stored first.
        if (std::exchange(m_started, false))
            SaveSettings();
        (void)m_channels.release();
    }
    if (m_started)
        SaveSettings();
}
