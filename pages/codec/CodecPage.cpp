// The codec line page: page start, the channel operations, the recording hand-over and the live figures.
#include "CodecPage.h"

#include "BoardModels.h"
#include "Helpers.h"
#include "LevelMeter.h"
#include "Prompts.h"
#include "Settings.h"
#include "StreamPageSteps.h"
#include "StreamRequests.h"
#include "StreamTexts.h"
#include "StreamWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

#include <vector>

namespace {

constexpr int32_t kLevelMax = 32767;

QWidget* W(QWidget* widget) { return widget; }

} // namespace

CCodecPage::CCodecPage(uint32_t type, int32_t board, int32_t line, CDevice* input, CDevice* output, CDevice* cfg,
                       QWidget* parent)
    : CPageDlg(parent), m_type(type), m_board(board), m_line(line), m_cfg(cfg) {
    setObjectName(QStringLiteral("codecPage%1").arg(line));
    Channel(kInput).device = input;
    Channel(kInput).direction = StreamDirection::Input;
    Channel(kInput).source.store(StreamChannel::kNotRecording, std::memory_order_relaxed);
    Channel(kOutput).device = output;
    Channel(kOutput).direction = StreamDirection::Output;
    m_runs.reserve(2);
    // Both channels of every line share the codec's one rate; the line names the conflict.
    m_runs.emplace_back(Channel(kInput), ChannelKind::CodecInput, cfg, 0, line);
    m_runs.emplace_back(Channel(kOutput), ChannelKind::CodecOutput, cfg, 0, line);
    m_extras[kInput].section = QStringLiteral("AIC\\IN%1").arg(line);
    m_extras[kOutput].section = QStringLiteral("AIC\\OUT%1").arg(line);
    BuildControls();
}

CCodecPage::~CCodecPage() { Shutdown(); }

void CCodecPage::BuildControls() {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(BuildChannel(kInput));
    layout->addWidget(BuildChannel(kOutput));
}

QGroupBox* CCodecPage::BuildChannel(int channel) {
    ChannelControls& c = Controls(channel);
    const bool input = channel == kInput;
    const QString title = input ? QStringLiteral("Input") : QStringLiteral("Output");
    const QString p = input ? QStringLiteral("input") : QStringLiteral("output");
    auto* group = Named(new QGroupBox(title, this), p + QStringLiteral("Group"), title);
    c.group = group;
    auto named = [&](const char* suffix) { return p + QLatin1String(suffix); };
    auto spoken = [&](const QString& what) { return title + QLatin1Char(' ') + what; };

    c.file = PageButton(QStringLiteral("File"), named("FileButton"), title + QLatin1Char(' ') + QStringLiteral("File"),
                        group);
    c.fileName = Named(new QLineEdit(group), named("FileName"), spoken(QStringLiteral("file")));
    c.fileName->setReadOnly(true);
    c.rate =
        NumberEdit(named("Rate"), spoken(input ? QStringLiteral("Sampling rate") : QStringLiteral("Sampling")), group);
    c.slider = Named(new QSlider(Qt::Vertical, group), named("Slider"), spoken(QStringLiteral("gain")));
    // The top end is the lowest position, as on the output page: position 0 means the loudest.
    c.slider->setInvertedAppearance(true);
    c.slider->setInvertedControls(true);
    c.slider->setMinimumHeight(120);
    c.gainText = FigureText(QString(), named("GainText"), spoken(QStringLiteral("gain value")),
                            QStringLiteral("-100.0 dB"), group);
    c.mute = PageButton(QStringLiteral("Mute/unmute"), named("MuteButton"),
                        title + QLatin1Char(' ') + QStringLiteral("Mute/unmute"), group, true);
    c.start = PageButton(QStringLiteral("Start"), named("StartButton"),
                         title + QLatin1Char(' ') + QStringLiteral("Start"), group);
    c.stop = PageButton(QStringLiteral("Stop"), named("StopButton"), title + QLatin1Char(' ') + QStringLiteral("Stop"),
                        group);
    c.stop->setEnabled(false);
    if (input)
        c.analyser = PageButton(QStringLiteral("Analyser"), named("AnalyserButton"),
                                title + QLatin1Char(' ') + QStringLiteral("Analyser"), group);
    c.count =
        FigureText(QStringLiteral("0"), named("Count"), spoken(QStringLiteral("Byte count")), kLongestCount, group);
    c.time = FigureText(QStringLiteral("00:00:00:00"), named("Time"), spoken(QStringLiteral("Time count")),
                        kLongestTime, group);
    c.dmaSize = FigureText(QString(), named("DmaSize"), spoken(QStringLiteral("DMA size")), kLongestCount, group);
    c.dmaCount = FigureText(QString(), named("DmaCount"), spoken(QStringLiteral("DMA count")), kLongestCount, group);
    c.progress = Named(new QProgressBar(group), named("Progress"), spoken(QStringLiteral("level")));
    c.progress->setOrientation(Qt::Vertical);
    c.progress->setTextVisible(false);
    c.progress->setFixedWidth(18);
    c.level = FigureText(QString(), named("Level"), spoken(QStringLiteral("level number")), kLongestLevel, group);
    c.level->setAlignment(Qt::AlignHCenter);

    auto* form = new QGridLayout;
    int row = 0;
    form->addWidget(c.file, row, 0);
    form->addWidget(c.fileName, row++, 1, 1, 3);
    if (input) {
        c.writeFile = Named(new QCheckBox(QStringLiteral("write into file"), group), named("WriteFile"),
                            QStringLiteral("write into file"));
        c.synchro = Named(new QCheckBox(QStringLiteral("synchro mode"), group), named("Synchro"),
                          QStringLiteral("synchro mode"));
        form->addWidget(c.writeFile, row, 0, 1, 2);
        form->addWidget(c.synchro, row++, 2, 1, 2);
        form->addWidget(Caption(QStringLiteral("Sampling rate"), c.rate, group), row, 0);
        form->addWidget(c.rate, row++, 1);
        form->addWidget(Caption(QStringLiteral("Byte count :"), c.count, group), row, 0);
        form->addWidget(c.count, row++, 1, 1, 3);
        form->addWidget(Caption(QStringLiteral("Time count"), c.time, group), row, 0);
        form->addWidget(c.time, row++, 1, 1, 3);
    } else {
        c.sine = PageButton(QStringLiteral("Sin"), named("SineButton"),
                            title + QLatin1Char(' ') + QStringLiteral("Sin"), group, true);
        c.sineFreq = NumberEdit(named("SineFreq"), spoken(QStringLiteral("sine frequency")), group);
        c.sineAmpl = NumberEdit(named("SineAmpl"), spoken(QStringLiteral("ampl")), group);
        c.totalCount = FigureText(QStringLiteral("0"), named("TotalCount"), spoken(QStringLiteral("Total byte count")),
                                  kLongestCount, group);
        c.totalTime = FigureText(QStringLiteral("0"), named("TotalTime"), spoken(QStringLiteral("Total time count")),
                                 kLongestTime, group);
        form->addWidget(c.sine, row, 0);
        form->addWidget(c.sineFreq, row, 1);
        form->addWidget(Caption(QStringLiteral("ampl"), c.sineAmpl, group), row, 2, Qt::AlignRight);
        form->addWidget(c.sineAmpl, row++, 3);
        form->addWidget(Caption(QStringLiteral("Sampling"), c.rate, group), row, 0);
        form->addWidget(c.rate, row++, 1);
        form->addWidget(new QLabel(QStringLiteral("Current"), group), row, 1);
        form->addWidget(new QLabel(QStringLiteral("Total"), group), row++, 2);
        form->addWidget(Caption(QStringLiteral("Byte count :"), c.count, group), row, 0);
        form->addWidget(c.count, row, 1);
        form->addWidget(c.totalCount, row++, 2, 1, 2);
        form->addWidget(Caption(QStringLiteral("Time count"), c.time, group), row, 0);
        form->addWidget(c.time, row, 1);
        form->addWidget(c.totalTime, row++, 2, 1, 2);
    }
    form->addWidget(Caption(QStringLiteral("DMA size"), c.dmaSize, group), row, 0);
    form->addWidget(c.dmaSize, row++, 1, 1, 3);
    form->addWidget(Caption(QStringLiteral("DMA count :"), c.dmaCount, group), row, 0);
    form->addWidget(c.dmaCount, row++, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(c.start);
    buttons->addWidget(c.stop);
    buttons->addWidget(c.mute);
    if (c.analyser)
        buttons->addWidget(c.analyser);
    form->addLayout(buttons, row++, 0, 1, 4);
    form->setRowStretch(row, 1);

    auto* sliderColumn = new QVBoxLayout;
    sliderColumn->addWidget(c.gainText, 0, Qt::AlignHCenter);
    sliderColumn->addWidget(c.slider, 1, Qt::AlignHCenter);
    auto* meterColumn = new QVBoxLayout;
    meterColumn->addWidget(c.progress, 1, Qt::AlignHCenter);
    meterColumn->addWidget(c.level);

    auto* columns = new QHBoxLayout(group);
    columns->addLayout(form, 1);
    columns->addLayout(sliderColumn);
    columns->addLayout(meterColumn);

    // Tab follows the rows: the controls made after the others stand in the second row.
    const std::vector<QWidget*> rows = input
                                           ? std::vector<QWidget*>{c.fileName, c.writeFile, c.synchro, c.rate}
                                           : std::vector<QWidget*>{c.fileName, c.sine, c.sineFreq, c.sineAmpl, c.rate};
    for (size_t i = 1; i < rows.size(); ++i)
        QWidget::setTabOrder(rows[i - 1], rows[i]);

    if (input) {
        connect(c.file, &QPushButton::clicked, this, [this] { SelectInputFile(); });
        connect(c.analyser, &QPushButton::clicked, this, [this] { OpenAnalyser(); });
    } else {
        connect(c.file, &QPushButton::clicked, this, [this] { SelectOutputFile(); });
        connect(c.sine, &QPushButton::toggled, this, [this] { SinToggled(); });
    }
    connect(c.mute, &QPushButton::toggled, this, [this, channel] { MuteToggled(channel); });
    connect(c.start, &QPushButton::clicked, this, [this, channel] { Start(channel); });
    connect(c.stop, &QPushButton::clicked, this, [this, channel] { Stop(channel); });
    connect(c.slider, &QSlider::valueChanged, this, [this, channel] { SliderMoved(channel); });
    return group;
}

bool CCodecPage::OnInitDialog() {
    QCheckBox* synchro = Controls(kInput).synchro;
    synchro->setChecked(false);
    // Only the first line of some boards can start its input in step with the other lines.
    synchro->setVisible(m_line == 0 && BoardModelFor(m_type).synchroMode);

    if (!m_cfg)
        return false;
    if (CDevice* output = Channel(kOutput).device)
        m_secondSet = AnswersSecondSet(*output);

    // The output's source and file.
    StreamChannel& out = Channel(kOutput);
    ChannelControls& oc = Controls(kOutput);
    const QString outSection = Extras(kOutput).section;
    const bool sine = ReadBoardInt(m_board, outSection, QStringLiteral("SOURCE_SEL"), 1) != 0;
    out.source.store(sine ? StreamChannel::kSourceSine : StreamChannel::kSourceFile, std::memory_order_relaxed);
    {
        const QSignalBlocker blocker(oc.sine);
        oc.sine->setChecked(sine);
    }
    // A stored name whose file does not open now stays in the field, so closing the page keeps it.
    const QString outFile = ReadBoardFile(m_board, outSection);
    oc.fileName->setText(outFile);
    if (!outFile.isEmpty() && out.file.OpenForReading(LocalPath(outFile)))
        ShowOutputFile();

    // The input's recording choice; nothing is created before Start.
    ChannelControls& ic = Controls(kInput);
    const QString inSection = Extras(kInput).section;
    const bool record = ReadBoardInt(m_board, inSection, QStringLiteral("SOURCE_SEL"), 0) != 0;
    Channel(kInput).source.store(record ? StreamChannel::kRecording : StreamChannel::kNotRecording,
                                 std::memory_order_relaxed);
    ic.writeFile->setChecked(record);
    ic.fileName->setText(ReadBoardFile(m_board, inSection));

    // One rate for the whole codec; a board that refuses it keeps its own and the fields only show it.
    const int32_t stored = ReadBoardInt(m_board, QStringLiteral("AIC"), QStringLiteral("SampleRate"), kDefaultRate);
    if (!SetCodecRate(*m_cfg, static_cast<uint32_t>(stored))) {
        m_rateSettable = false;
        ic.rate->setEnabled(false);
        oc.rate->setEnabled(false);
        ShowError(this, QStringLiteral("Can not set sampling rate"));
    }

    for (int channel : {kInput, kOutput})
        if (!OpenChannel(channel))
            return false;
    m_started = true;

    return true;
}

bool CCodecPage::OpenChannel(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    ChannelExtras& x = Extras(channel);
    if (!s.device)
        return false;
    CDevice& device = *s.device;

    AttenuationBlock stored;
    stored.value = static_cast<int16_t>(ReadBoardInt(m_board, x.section, QStringLiteral("ATT"), 0));
    stored.mute = static_cast<int16_t>(ReadBoardInt(m_board, x.section, QStringLiteral("MUTE"), 0));
    SetAttenuation(device, m_secondSet, stored); // a refused set shows in the get that follows
    // A get that fails leaves no range to show: the start is abandoned as on the output page.
    const auto now = GetAttenuation(device, m_secondSet);
    if (!now)
        return false;
    x.gainMax = now->max;
    x.gainMin = now->min;
    x.gainValue = now->value;
    x.mute = now->mute;
    PlaceSlider(c.slider, *now);
    SliderMoved(channel);
    {
        const QSignalBlocker blocker(c.mute);
        c.mute->setChecked(now->mute != 0);
    }

    const auto rate = GetCodecRate(*m_cfg);
    if (!rate)
        return false;
    s.actualRate.store(static_cast<int32_t>(*rate), std::memory_order_relaxed);
    c.rate->setText(QString::number(*rate));
    // An output with a file shows the file's rate, which it plays at.
    if (channel == kOutput && s.file.IsOpen())
        ShowOutputFile();

    if (channel == kOutput) {
        c.sineFreq->setText(QString::number(ReadBoardInt(m_board, x.section, QStringLiteral("SINE_FREQ"), 1000)));
        c.sineAmpl->setText(QString::number(ReadBoardInt(m_board, x.section, QStringLiteral("SINE_AMPL"), 32500)));
    }
    c.start->setEnabled(true);
    c.stop->setEnabled(false);

    c.meter = Named(new CLevelMeter(c.group), c.progress->objectName() + QStringLiteral("Meter"),
                    c.progress->accessibleName());
    if (!c.meter->Attach(c.progress))
        return false;
    c.meter->SetMax(kLevelMax);
    c.meter->SetPos(0);
    return true;
}

void CCodecPage::ShowOutputFile() {
    CSoundFile& file = Channel(kOutput).file;
    ChannelControls& c = Controls(kOutput);
    const auto length = static_cast<uint32_t>(file.DataLength());
    c.rate->setText(QString::number(file.SampleRate()));
    c.totalCount->setText(QString::number(length));
    c.totalTime->setText(FormatPlayTime(length, file.SampleRate()));
}

bool CCodecPage::ReadRateField(int channel, uint32_t* rate) {
    return ReadNumberField(this, Controls(channel).rate, "Cann't get sampling rate", rate);
}

void CCodecPage::StartWorker() {
    if (m_started && !m_shutDown)
        m_worker.Start();
}

void CCodecPage::showEvent(QShowEvent* event) {
    CPageDlg::showEvent(event);
    StartWorker();
}

void CCodecPage::Start(int channel) {
    StartWorker();
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    if (s.running.load(std::memory_order_relaxed))
        return;
    // A file plays at the rate it was taken at, whatever the field was changed to.
    if (channel == kOutput && s.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile && s.file.IsOpen())
        c.rate->setText(QString::number(s.file.SampleRate()));
    uint32_t rate = 0;
    if (!ReadRateField(channel, &rate))
        return;

    if (channel == kOutput && !PrepareOutputSource(this, s, rate, c.sineFreq, c.sineAmpl))
        return;

    StartRequest request;
    request.rate = rate;
    request.setRate = m_rateSettable;
    if (channel == kInput) {
        request.record = c.writeFile->isChecked();
        request.recordingPath = LocalPath(c.fileName->text());
        request.synchro = c.synchro->isChecked();
    }
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Start(request);
    if (status.rateSet)
        WriteBoardInt(m_board, QStringLiteral("AIC"), QStringLiteral("SampleRate"), static_cast<int32_t>(rate));
    if (status.actualRate)
        c.rate->setText(QString::number(*status.actualRate));
    if (!status.error.empty()) {
        ShowError(this, QString::fromStdString(status.error));
        return;
    }
    if (status.changed)
        SetRunningControls(channel, true);
}

void CCodecPage::Stop(int channel) {
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Stop();
    if (!status.error.empty())
        ShowError(this, QString::fromStdString(status.error));
    else if (!status.notice.empty())
        ShowError(this, QString::fromStdString(status.notice), QStringLiteral("Recording"));
    if (!status.changed)
        return;
    SetRunningControls(channel, false);
    for (int other : {kInput, kOutput})
        Controls(other).rate->setEnabled(m_rateSettable);
}

void CCodecPage::TakeReport(int channel, const PassEvent& event) {
    if (!m_runs[static_cast<size_t>(channel)].IsCurrent(event.run))
        return; // a report of an earlier run
    if (!event.text.empty())
        ShowError(this, QString::fromStdString(event.text));
    if (event.kind == PassEvent::Kind::PlayedToEnd || event.kind == PassEvent::Kind::PlaybackFailed)
        Stop(channel);
}

void CCodecPage::SetRunningControls(int channel, bool running) {
    ChannelControls& c = Controls(channel);
    std::vector<QWidget*> idle = {W(c.rate), W(c.start), W(c.fileName), W(c.file)};
    if (channel == kInput) {
        idle.push_back(c.writeFile);
        idle.push_back(c.synchro);
    } else {
        idle.push_back(c.sine);
        idle.push_back(c.sineFreq);
        idle.push_back(c.sineAmpl);
    }
    for (QWidget* w : idle)
        w->setEnabled(!running);
    c.stop->setEnabled(running);
}

void CCodecPage::SelectOutputFile() {
    StreamChannel& s = Channel(kOutput);
    ChannelControls& c = Controls(kOutput);
    if (s.running.load(std::memory_order_relaxed))
        return;
    QString path;
    if (!ChooseFile(this, true, c.fileName, &path, false))
        return;
    s.file.Close();
    if (!s.file.OpenForReading(LocalPath(path))) {
        ShowError(this, QStringLiteral("Cann't open TRN file"));
        return;
    }
    ShowOutputFile(); // the source stays as "Sin" says
}

void CCodecPage::SelectInputFile() {
    StreamChannel& s = Channel(kInput);
    ChannelControls& c = Controls(kInput);
    if (s.running.load(std::memory_order_relaxed))
        return;
    if (!ChooseFile(this, false, c.fileName, nullptr, false))
        return;
    c.writeFile->setChecked(true);
    s.source.store(StreamChannel::kRecording, std::memory_order_relaxed);
}

void CCodecPage::SinToggled() {
    StreamChannel& s = Channel(kOutput);
    if (s.running.load(std::memory_order_relaxed))
        return;
    const bool sine = Controls(kOutput).sine->isChecked();
    s.source.store(sine ? StreamChannel::kSourceSine : StreamChannel::kSourceFile, std::memory_order_relaxed);
    if (!sine && s.file.IsOpen())
        ShowOutputFile();
}

void CCodecPage::MuteToggled(int channel) {
    Extras(channel).mute = Controls(channel).mute->isChecked() ? 1 : 0;
    SliderMoved(channel);
}

void CCodecPage::SliderMoved(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    ChannelExtras& x = Extras(channel);
    if (!s.device)
        return;
    const auto now = ApplySlider(*s.device, m_secondSet, {x.gainMax, x.gainMin}, x.mute, c.slider, c.mute);
    if (!now)
        return;
    x.gainValue = now->value;
    c.gainText->setText(QString::fromStdString(GainText(m_secondSet, now->value)));
}

void CCodecPage::ShowFigures(int channel, const ChannelFigures& figures) {
    ChannelControls& c = Controls(channel);
    if (figures.buffer) {
        c.dmaSize->setText(QString::number(figures.buffer->length));
        c.dmaCount->setText(QString::number(figures.buffer->space));
    }
    if (figures.counters)
        ShowCounters(*figures.counters, figures.rate, c.meter, c.level, c.count, c.time);
}

void CCodecPage::OpenAnalyser() {
    if (!m_analyser) {
        // The board as its tab names it: the board dialog carries its tab's text as its title.
        QString board = QStringLiteral("Board %1").arg(m_board);
        for (QWidget* w = parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
            if (!w->windowTitle().isEmpty()) {
                board = w->windowTitle();
                break;
            }
        }
        m_analyser = new CAnalyserWindow(Channel(kInput),
                                         QStringLiteral("Analyser \u2014 %1, line %2").arg(board).arg(m_line), this);
    }
    m_analyser->show();
    m_analyser->raise();
    m_analyser->activateWindow();
}

void CCodecPage::BeginShutdown() {
    if (!m_shutDown)
        m_worker.AskToStop();
}

void CCodecPage::CancelStuckRequests() {
    if (!m_shutDown)
        m_worker.CancelIfBusy();
}

void CCodecPage::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    // The window taps the input channel: it goes before the channels do.
    delete m_analyser;
    const bool ended = m_worker.Finish([this](int channel) {
        return QStringLiteral("the %1 of line %2 of board %3")
            .arg(channel == kInput ? "input" : "output")
            .arg(m_line)
            .arg(m_board);
    });
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

void CCodecPage::SaveSettings() {
    ChannelControls& ic = Controls(kInput);
    ChannelControls& oc = Controls(kOutput);
    const QString in = Extras(kInput).section;
    const QString out = Extras(kOutput).section;
    const bool sine = Channel(kOutput).source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine;
    WriteBoardInt(m_board, out, QStringLiteral("SOURCE_SEL"), sine ? 1 : 0);
    WriteBoardFile(m_board, out, oc.fileName->text());
    WriteBoardInt(m_board, in, QStringLiteral("SOURCE_SEL"), ic.writeFile->isChecked() ? 1 : 0);
    WriteBoardFile(m_board, in, ic.fileName->text());
    for (int channel : {kInput, kOutput}) {
        const ChannelExtras& x = Extras(channel);
        WriteBoardInt(m_board, x.section, QStringLiteral("ATT"), x.gainValue);
        WriteBoardInt(m_board, x.section, QStringLiteral("MUTE"), x.mute);
    }
    uint32_t number = 0;
    if (ParseUnsigned(&number, oc.sineFreq->text()))
        WriteBoardInt(m_board, out, QStringLiteral("SINE_FREQ"), static_cast<int32_t>(number));
    if (ParseUnsigned(&number, oc.sineAmpl->text()))
        WriteBoardInt(m_board, out, QStringLiteral("SINE_AMPL"), static_cast<int32_t>(number));
}
