// The codec line page: its channel groups, page start, the recording hand-over and the analyser.
#include "CodecPage.h"

#include "BoardModels.h"
#include "ChannelGroup.h"
#include "Helpers.h"
#include "Prompts.h"
#include "RealFft.h"
#include "Settings.h"
#include "StreamRequests.h"
#include "StreamTexts.h"
#include "StreamWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

// The words of a codec channel group: the input records, the output plays a file or a sine tone.
ChannelLook CodecLook(bool input) {
    ChannelLook look;
    look.title = input ? QStringLiteral("Input") : QStringLiteral("Output");
    look.prefix = input ? QStringLiteral("input") : QStringLiteral("output");
    look.fileSpoken = QStringLiteral("file");
    look.sine = !input;
    look.amplCaption = QStringLiteral("ampl");
    look.rateCaption = look.rateSpoken = input ? QStringLiteral("Sampling rate") : QStringLiteral("Sampling");
    look.sliderSpoken = QStringLiteral("gain");
    look.value = {"GainText", {}, QStringLiteral("gain value"), QStringLiteral("-100.0 dB")};
    look.muteText = QStringLiteral("Mute/unmute");
    look.count = {"Count", QStringLiteral("Byte count :"), QStringLiteral("Byte count"), kLongestCount};
    look.time = {"Time", QStringLiteral("Time count"), QStringLiteral("Time count"), kLongestTime};
    look.timeZero = QStringLiteral("00:00:00:00");
    look.totals = !input;
    look.totalCountSpoken = QStringLiteral("Total byte count");
    look.totalTimeSpoken = QStringLiteral("Total time count");
    look.buffer = {FigureLook{"DmaSize", QStringLiteral("DMA size"), QStringLiteral("DMA size"), kLongestCount},
                   FigureLook{"DmaCount", QStringLiteral("DMA count :"), QStringLiteral("DMA count"), kLongestCount}};
    look.progressSpoken = look.meterSpoken = QStringLiteral("level");
    look.levelSpoken = QStringLiteral("level number");
    return look;
}

} // namespace

CCodecPage::CCodecPage(uint32_t type, int32_t board, int32_t line, CDevice* input, CDevice* output, CDevice* cfg,
                       QWidget* parent)
    : CStreamPage(board, cfg, parent), m_type(type), m_line(line) {
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
    State(kInput).section = QStringLiteral("AIC\\IN%1").arg(line);
    State(kOutput).section = QStringLiteral("AIC\\OUT%1").arg(line);
    BuildControls();
}

CCodecPage::~CCodecPage() { Shutdown(); }

void CCodecPage::BuildControls() {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(BuildChannel(kInput));
    layout->addWidget(BuildChannel(kOutput));
}

CChannelGroup* CCodecPage::BuildChannel(int channel) {
    const bool input = channel == kInput;
    auto* g = new CChannelGroup(CodecLook(input), this);
    m_groups[static_cast<size_t>(channel)] = g;
    if (input) {
        m_analyserButton =
            PageButton(QStringLiteral("Analyser"), g->Name("AnalyserButton"), g->Spoken(QStringLiteral("Analyser")), g);
        m_writeFile = Named(new QCheckBox(QStringLiteral("write into file"), g), g->Name("WriteFile"),
                            QStringLiteral("write into file"));
        m_synchro =
            Named(new QCheckBox(QStringLiteral("synchro mode"), g), g->Name("Synchro"), QStringLiteral("synchro mode"));
        g->AddIdleControl(m_writeFile);
        g->AddIdleControl(m_synchro);
        g->LayOut({.optionLeft = m_writeFile, .optionRight = m_synchro, .button = m_analyserButton});
        // Tab follows the rows: the check boxes, made after the others, stand in the second row.
        QWidget::setTabOrder(g->fileName, m_writeFile);
        QWidget::setTabOrder(m_writeFile, m_synchro);
        QWidget::setTabOrder(m_synchro, g->rate);
        connect(g->file, &QPushButton::clicked, this, [this] { SelectInputFile(); });
        connect(m_analyserButton, &QPushButton::clicked, this, [this] { OpenAnalyser(); });
    } else {
        g->LayOut({});
        connect(g->file, &QPushButton::clicked, this, [this] { SelectOutputFile(); });
        connect(g->sine, &QPushButton::toggled, this, [this] { SinToggled(); });
    }
    connect(g->mute, &QPushButton::toggled, this, [this, channel] { MuteToggled(channel); });
    connect(g->start, &QPushButton::clicked, this, [this, channel] { Start(channel); });
    connect(g->stop, &QPushButton::clicked, this, [this, channel] { Stop(channel); });
    connect(g->slider, &QSlider::valueChanged, this, [this, channel] { SliderMoved(channel); });
    return g;
}

bool CCodecPage::OnInitDialog() {
    m_synchro->setChecked(false);
    // Only the first line of some boards can start its input in step with the other lines.
    m_synchro->setVisible(m_line == 0 && BoardModelFor(m_type).synchroMode);

    if (!m_cfg)
        return false;
    if (CDevice* output = Channel(kOutput).device)
        m_secondSet = AnswersSecondSet(*output);

    LoadSource(kOutput);

    // The input's recording choice; nothing is created before Start.
    const QString& inSection = State(kInput).section;
    const bool record = ReadBoardInt(m_board, inSection, QStringLiteral("SOURCE_SEL"), 0) != 0;
    Channel(kInput).source.store(record ? StreamChannel::kRecording : StreamChannel::kNotRecording,
                                 std::memory_order_relaxed);
    m_writeFile->setChecked(record);
    Group(kInput).fileName->setText(ReadBoardFile(m_board, inSection));

    // One rate for the whole codec; a board that refuses it keeps its own and the fields only show it.
    const int32_t stored = ReadBoardInt(m_board, QStringLiteral("AIC"), QStringLiteral("SampleRate"), kDefaultRate);
    if (!SetCodecRate(*m_cfg, static_cast<uint32_t>(stored))) {
        m_rateSettable = false;
        Group(kInput).rate->setEnabled(false);
        Group(kOutput).rate->setEnabled(false);
        ShowError(this, QStringLiteral("Can not set sampling rate"));
    }

    return OpenChannels();
}

bool CCodecPage::OpenChannel(int channel) {
    StreamChannel& s = Channel(channel);
    CChannelGroup& g = Group(channel);
    const QString& section = State(channel).section;
    if (!s.device)
        return false;

    AttenuationBlock stored;
    stored.value = static_cast<int16_t>(ReadBoardInt(m_board, section, QStringLiteral("ATT"), 0));
    stored.mute = static_cast<int16_t>(ReadBoardInt(m_board, section, QStringLiteral("MUTE"), 0));
    SetAttenuation(*s.device, m_secondSet, stored); // a refused set shows in the get that follows
    // A get that fails leaves no range to show: the start is abandoned as on the output page.
    const auto now = GetAttenuation(*s.device, m_secondSet);
    if (!now)
        return false;
    TakeAttenuation(channel, *now);

    const auto rate = GetCodecRate(*m_cfg);
    if (!rate)
        return false;
    s.actualRate.store(static_cast<int32_t>(*rate), std::memory_order_relaxed);
    g.rate->setText(QString::number(*rate));
    if (channel == kOutput) {
        // An output with a file shows the file's rate, which it plays at.
        if (s.file.IsOpen())
            ShowFile(channel);
        LoadSineFields(channel);
    }
    g.start->setEnabled(true);
    g.stop->setEnabled(false);
    return g.AttachMeter();
}

void CCodecPage::Start(int channel) {
    if (!MayStart(channel))
        return;
    StreamChannel& s = Channel(channel);
    // A file plays at the rate it was taken at, whatever the field was changed to.
    if (channel == kOutput && s.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile && s.file.IsOpen())
        Group(channel).rate->setText(QString::number(s.file.SampleRate()));
    uint32_t rate = 0;
    if (!PrepareStart(channel, &rate))
        return;

    StartRequest request;
    request.rate = rate;
    request.setRate = m_rateSettable;
    if (channel == kInput) {
        request.record = m_writeFile->isChecked();
        request.recordingPath = LocalPath(Group(kInput).fileName->text());
        request.synchro = m_synchro->isChecked();
    }
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Start(request);
    if (status.rateSet)
        WriteBoardInt(m_board, QStringLiteral("AIC"), QStringLiteral("SampleRate"), static_cast<int32_t>(rate));
    FinishStart(channel, status);
}

void CCodecPage::Stopped(int /*channel*/) {
    for (int other : {kInput, kOutput})
        Group(other).rate->setEnabled(m_rateSettable);
}

void CCodecPage::SelectOutputFile() {
    if (ChooseFileToPlay(kOutput))
        ShowFile(kOutput); // the source stays as "Sin" says
}

void CCodecPage::SelectInputFile() {
    if (Channel(kInput).running.load(std::memory_order_relaxed))
        return;
    if (!ChooseFile(this, false, Group(kInput).fileName, nullptr, false))
        return;
    m_writeFile->setChecked(true);
    Channel(kInput).source.store(StreamChannel::kRecording, std::memory_order_relaxed);
}

void CCodecPage::SinToggled() {
    StreamChannel& s = Channel(kOutput);
    if (s.running.load(std::memory_order_relaxed))
        return;
    TakeSource(kOutput);
    if (!Group(kOutput).sine->isChecked() && s.file.IsOpen())
        ShowFile(kOutput);
}

void CCodecPage::OpenAnalyser() {
    if (!m_analyser) {
        // The analysis library is loaded with the first window; without it there is no window to show.
        if (const std::string problem = FftProblem(); !problem.empty()) {
            Prompts().Message(this, QString::fromStdString(problem), QStringLiteral("Analyser"), PromptIcon::Error);
            return;
        }
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

std::string CCodecPage::SliderText(int16_t value, int16_t /*max*/) const { return GainText(m_secondSet, value); }

QString CCodecPage::WorkerName(int channel) const {
    return QStringLiteral("the %1 of line %2 of board %3")
        .arg(channel == kInput ? "input" : "output")
        .arg(m_line)
        .arg(m_board);
}

void CCodecPage::BeforeWorkerEnds() {
    // The window taps the input channel: it goes before the channels do.
    delete m_analyser;
}

void CCodecPage::SaveSettings() {
    SaveChannel(kInput);
    SaveChannel(kOutput);
    const QString& in = State(kInput).section;
    WriteBoardInt(m_board, in, QStringLiteral("SOURCE_SEL"), m_writeFile->isChecked() ? 1 : 0);
    WriteBoardFile(m_board, in, Group(kInput).fileName->text());
}
