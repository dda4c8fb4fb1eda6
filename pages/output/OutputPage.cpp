// The stereo output page: page start, the channel operations, the routing grid and the live figures.
#include "OutputPage.h"

#include "GridBox.h"
#include "Helpers.h"
#include "LevelMeter.h"
#include "PageFactories.h"
#include "Prompts.h"
#include "Settings.h"
#include "StreamPageSteps.h"
#include "StreamRequests.h"
#include "StreamTexts.h"
#include "StreamWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include <utility>

namespace {

// The PCM1717 output modes: what the left and the right output carry, by mode number.
const char* const kRouting[16][2] = {
    {"MUTE", "MUTE"},    {"MUTE", "R"},    {"MUTE", "L"},    {"MUTE", "(L+R)/2"},
    {"R", "MUTE"},       {"R", "R"},       {"R", "L"},       {"R", "(L+R)/2"},
    {"L", "MUTE"},       {"L", "R"},       {"L", "L"},       {"L", "(L+R)/2"},
    {"(L+R)/2", "MUTE"}, {"(L+R)/2", "R"}, {"(L+R)/2", "L"}, {"(L+R)/2", "(L+R)/2"},
};
constexpr int kFirstRow = 9;
constexpr int32_t kLevelMax = 32767;

} // namespace

COutputPage::COutputPage(uint32_t type, int32_t board, CDevice* cfg, CDevice* left, CDevice* right, QWidget* parent)
    : CPageDlg(parent), m_type(type), m_board(board), m_cfg(cfg) {
    setObjectName(QStringLiteral("outputPage"));
    Channel(kLeft).device = left;
    Channel(kRight).device = right;
    m_runs.reserve(2);
    for (int channel : {kLeft, kRight})
        m_runs.emplace_back(Channel(channel), ChannelKind::StereoOutput, cfg, channel);
    m_extras[kLeft].section = QStringLiteral("PCM\\LEFT");
    m_extras[kRight].section = QStringLiteral("PCM\\RIGHT");
    BuildControls();
}

COutputPage::~COutputPage() { Shutdown(); }

void COutputPage::BuildControls() {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(BuildChannel(kLeft, QStringLiteral("Left channel"), "left"));

    auto* middle = new QVBoxLayout;
    auto* icon = Named(new QLabel(this), QStringLiteral("outputIcon"), QStringLiteral("PCM1717"));
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    middle->addWidget(icon, 0, Qt::AlignHCenter);
    m_gridPlace = Named(new QListWidget(this), QStringLiteral("routingList"));
    m_gridPlace->setMinimumWidth(150);
    middle->addWidget(m_gridPlace, 1);
    m_stereo = Named(new QCheckBox(QStringLiteral("Open as stereo"), this), QStringLiteral("stereoCheck"));
    m_stereo->setEnabled(false);
    middle->addWidget(m_stereo);
    layout->addLayout(middle, 1);

    layout->addWidget(BuildChannel(kRight, QStringLiteral("Right channel"), "right"));
}

QGroupBox* COutputPage::BuildChannel(int channel, const QString& title, const char* prefix) {
    ChannelControls& c = Controls(channel);
    const QString p = QLatin1String(prefix);
    auto named = [&](const char* suffix) { return p + QLatin1String(suffix); };
    auto spoken = [&](const QString& what) { return title + QLatin1Char(' ') + what; };
    auto* group = Named(new QGroupBox(title, this), named("Group"), title);
    c.group = group;
    c.file = PageButton(QStringLiteral("File"), named("FileButton"), spoken(QStringLiteral("File")), group);
    c.fileName = Named(new QLineEdit(group), named("FileName"), spoken(QStringLiteral("file name")));
    c.fileName->setReadOnly(true);
    c.sine = PageButton(QStringLiteral("Sin"), named("SineButton"), spoken(QStringLiteral("Sin")), group, true);
    c.sineFreq = NumberEdit(named("SineFreq"), spoken(QStringLiteral("sine frequency")), group);
    c.sineAmpl = NumberEdit(named("SineAmpl"), spoken(QStringLiteral("ampl")), group);
    c.rate = NumberEdit(named("Rate"), spoken(QStringLiteral("Freq")), group);
    c.slider = Named(new QSlider(Qt::Vertical, group), named("Slider"), spoken(QStringLiteral("Att (dB)")));
    // The top end is the lowest position, as on the board's own tools: position 0 means the loudest.
    c.slider->setInvertedAppearance(true);
    c.slider->setInvertedControls(true);
    c.slider->setMinimumHeight(120);
    c.attText = FigureText(QString(), named("AttText"), spoken(QStringLiteral("attenuation")),
                           QStringLiteral("-100.00"), group);
    c.mute = PageButton(QStringLiteral("Mute"), named("MuteButton"), spoken(QStringLiteral("Mute")), group, true);
    c.start = PageButton(QStringLiteral("Start"), named("StartButton"), spoken(QStringLiteral("Start")), group);
    c.stop = PageButton(QStringLiteral("Stop"), named("StopButton"), spoken(QStringLiteral("Stop")), group);
    c.stop->setEnabled(false);
    c.count = FigureText(QStringLiteral("0"), named("Count"), spoken(QStringLiteral("count")), kLongestCount, group);
    c.totalCount = FigureText(QStringLiteral("0"), named("TotalCount"), spoken(QStringLiteral("total count")),
                              kLongestCount, group);
    c.playTime = FigureText(QStringLiteral("00:00:00"), named("PlayTime"), spoken(QStringLiteral("play time")),
                            kLongestTime, group);
    c.totalTime = FigureText(QStringLiteral("0"), named("TotalTime"), spoken(QStringLiteral("total play time")),
                             kLongestTime, group);
    c.dmaLength =
        FigureText(QString(), named("DmaLength"), spoken(QStringLiteral("Dma buffer length")), kLongestCount, group);
    c.freeSpace = FigureText(QString(), named("FreeSpace"), spoken(QStringLiteral("free space")),
                             QStringLiteral("-2147483648 / -2147483648"), group);
    c.reset = PageButton(QStringLiteral("Reset"), named("ResetButton"), spoken(QStringLiteral("Reset")), group);
    c.progress = Named(new QProgressBar(group), named("Progress"));
    c.progress->setOrientation(Qt::Vertical);
    c.progress->setTextVisible(false);
    c.progress->setFixedWidth(18);
    c.level = FigureText(QString(), named("Level"), spoken(QStringLiteral("level")), kLongestLevel, group);
    c.level->setAlignment(Qt::AlignHCenter);

    auto* form = new QGridLayout;
    form->addWidget(c.file, 0, 0);
    form->addWidget(c.fileName, 0, 1, 1, 3);
    form->addWidget(c.sine, 1, 0);
    form->addWidget(c.sineFreq, 1, 1);
    form->addWidget(Caption(QStringLiteral("ampl :"), c.sineAmpl, group), 1, 2, Qt::AlignRight);
    form->addWidget(c.sineAmpl, 1, 3);
    form->addWidget(Caption(QStringLiteral("Freq :"), c.rate, group), 2, 0);
    form->addWidget(c.rate, 2, 1);
    form->addWidget(Caption(QStringLiteral("Count :"), c.count, group), 3, 0);
    form->addWidget(c.count, 3, 1);
    form->addWidget(new QLabel(QStringLiteral("/"), group), 3, 2, Qt::AlignRight);
    form->addWidget(c.totalCount, 3, 3);
    form->addWidget(Caption(QStringLiteral("Play time :"), c.playTime, group), 4, 0);
    form->addWidget(c.playTime, 4, 1);
    form->addWidget(new QLabel(QStringLiteral("/"), group), 4, 2, Qt::AlignRight);
    form->addWidget(c.totalTime, 4, 3);
    form->addWidget(Caption(QStringLiteral("Dma buffer length :"), c.dmaLength, group), 5, 0, 1, 2);
    form->addWidget(c.dmaLength, 5, 2, 1, 2);
    form->addWidget(Caption(QStringLiteral("Free space :"), c.freeSpace, group), 6, 0);
    form->addWidget(c.freeSpace, 6, 1, 1, 2);
    form->addWidget(c.reset, 6, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(c.start);
    buttons->addWidget(c.stop);
    buttons->addWidget(c.mute);
    form->addLayout(buttons, 7, 0, 1, 4);
    form->setRowStretch(8, 1);

    auto* attCaption = Caption(QStringLiteral("Att (dB) :"), c.slider, group);
    auto* sliderColumn = new QVBoxLayout;
    sliderColumn->addWidget(attCaption, 0, Qt::AlignHCenter);
    sliderColumn->addWidget(c.attText, 0, Qt::AlignHCenter);
    sliderColumn->addWidget(c.slider, 1, Qt::AlignHCenter);
    auto* meterColumn = new QVBoxLayout;
    meterColumn->addWidget(c.progress, 1, Qt::AlignHCenter);
    meterColumn->addWidget(c.level);

    auto* row = new QHBoxLayout(group);
    row->addLayout(form, 1);
    row->addLayout(sliderColumn);
    row->addLayout(meterColumn);

    connect(c.file, &QPushButton::clicked, this, [this, channel] { SelectFile(channel); });
    connect(c.sine, &QPushButton::toggled, this, [this, channel] { SourceToggled(channel); });
    connect(c.mute, &QPushButton::toggled, this, [this, channel] { MuteToggled(channel); });
    connect(c.start, &QPushButton::clicked, this, [this, channel] { Start(channel); });
    connect(c.stop, &QPushButton::clicked, this, [this, channel] { Stop(channel); });
    connect(c.reset, &QPushButton::clicked, this, [this, channel] { ResetPeak(channel); });
    connect(c.slider, &QSlider::valueChanged, this, [this, channel] { SliderMoved(channel); });
    return group;
}

bool COutputPage::OnInitDialog() {
    CDevice* left = Channel(kLeft).device;
    if (!m_cfg || !left)
        return false;
    m_secondSet = AnswersSecondSet(*left);

    m_grid = Named(new CGridBox(this), QStringLiteral("routingGrid"), QStringLiteral("Routing"));
    if (!m_grid->Attach(m_gridPlace))
        return false;
    m_grid->AddColumn(QStringLiteral("Left"));
    m_grid->AddColumn(QStringLiteral("Right"));
    for (int column = 0; column < 2; ++column)
        for (int row = 0; row < 16; ++row) {
            m_grid->SetRowKey(QString::number(row), row);
            m_grid->SetCellText(QLatin1String(kRouting[row][column]), column, row);
        }
    m_workMode = ReadBoardInt(m_board, QStringLiteral("PCM"), QStringLiteral("MODE"), kDefaultWorkMode);
    connect(m_grid, &CGridBox::notification, this, [this](int code, int row) {
        if (code == GRIDN_ROWCHANGED)
            WorkModeChanged(row);
    });
    m_grid->SetCurRow(kFirstRow); // its first redraw reports the row, which sends that work mode

    for (int channel : {kLeft, kRight})
        if (!OpenChannel(channel))
            return false;
    m_started = true;

    return true;
}

bool COutputPage::OpenChannel(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    ChannelExtras& x = Extras(channel);
    if (!s.device)
        return false;
    CDevice& device = *s.device;

    const auto first = GetAttenuation(device, m_secondSet);
    if (!first)
        return false;
    AttenuationBlock reset;
    reset.mute = static_cast<int16_t>(ReadBoardInt(m_board, x.section, QStringLiteral("MUTE"), 0));
    reset.max = first->max;
    reset.min = first->min;
    if (!SetAttenuation(device, m_secondSet, reset))
        return false;
    const auto now = GetAttenuation(device, m_secondSet);
    if (!now)
        return false;
    x.attMax = now->max;
    x.attMin = now->min;
    x.attValue = now->value;
    x.mute = now->mute;
    PlaceSlider(c.slider, *now);
    SliderMoved(channel);
    {
        const QSignalBlocker blocker(c.mute);
        c.mute->setChecked(now->mute != 0);
    }

    x.initialRate = kInitialRate;
    if (!SetOutputRate(*m_cfg, channel, kInitialRate))
        ShowError(this, QStringLiteral("Cann't set PCM1717 freq"));
    const auto rate = GetOutputRate(*m_cfg, channel);
    if (!rate)
        return false;
    s.actualRate.store(static_cast<int32_t>(*rate), std::memory_order_relaxed);
    c.rate->setText(QString::number(*rate));

    c.sineFreq->setText(QString::number(ReadBoardInt(m_board, x.section, QStringLiteral("SINE_FREQ"), 1000)));
    c.sineAmpl->setText(QString::number(ReadBoardInt(m_board, x.section, QStringLiteral("SINE_AMPL"), 32500)));
    SetRunningControls(channel, false);

    c.meter = Named(new CLevelMeter(c.group), c.progress->objectName() + QStringLiteral("Meter"),
                    c.group->title() + QStringLiteral(" level meter"));
    if (!c.meter->Attach(c.progress))
        return false;
    c.meter->SetMax(kLevelMax);
    c.meter->SetPos(0);

    const bool sine = ReadBoardInt(m_board, x.section, QStringLiteral("SOURCE_SEL"), 1) != 0;
    s.source.store(sine ? StreamChannel::kSourceSine : StreamChannel::kSourceFile, std::memory_order_relaxed);
    {
        const QSignalBlocker blocker(c.sine);
        c.sine->setChecked(sine);
    }

    // The stored name stays in the field even when its file does not open now (a drive not mounted yet):
    // closing the page writes the field back, and the name must survive that unless the user chose another.
    const QString file = ReadBoardFile(m_board, x.section);
    c.fileName->setText(file);
    if (!file.isEmpty() && s.file.OpenForReading(LocalPath(file)))
        ShowFile(channel);
    return true;
}

void COutputPage::ShowFile(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    const auto length = static_cast<uint32_t>(s.file.DataLength());
    c.rate->setText(QString::number(s.file.SampleRate()));
    c.totalCount->setText(QString::number(length));
    c.totalTime->setText(FormatPlayTime(length, s.file.SampleRate()));
}

void COutputPage::SetRunningControls(int channel, bool running) {
    ChannelControls& c = Controls(channel);
    for (QWidget* w : {static_cast<QWidget*>(c.sineFreq), static_cast<QWidget*>(c.sineAmpl),
                       static_cast<QWidget*>(c.rate), static_cast<QWidget*>(c.start), static_cast<QWidget*>(c.sine),
                       static_cast<QWidget*>(c.fileName), static_cast<QWidget*>(c.file)})
        w->setEnabled(!running);
    c.stop->setEnabled(running);
}

void COutputPage::StartWorker() {
    if (m_started && !m_shutDown)
        m_worker.Start();
}

void COutputPage::showEvent(QShowEvent* event) {
    CPageDlg::showEvent(event);
    StartWorker();
}

void COutputPage::Start(int channel) {
    StartWorker();
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    if (s.running.load(std::memory_order_relaxed))
        return;
    uint32_t rate = 0;
    if (!ReadNumberField(this, c.rate, "Cann't get sampling rate", &rate) ||
        !PrepareOutputSource(this, s, rate, c.sineFreq, c.sineAmpl))
        return;

    StartRequest request;
    request.rate = rate;
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Start(request);
    if (status.actualRate)
        c.rate->setText(QString::number(*status.actualRate));
    if (!status.error.empty()) {
        ShowError(this, QString::fromStdString(status.error));
        return;
    }
    SetRunningControls(channel, true);
}

void COutputPage::Stop(int channel) {
    const RunStatus status = m_runs[static_cast<size_t>(channel)].Stop();
    if (!status.error.empty()) {
        ShowError(this, QString::fromStdString(status.error));
        return;
    }
    if (status.changed)
        SetRunningControls(channel, false);
}

void COutputPage::TakeReport(int channel, const PassEvent& event) {
    if (!m_runs[static_cast<size_t>(channel)].IsCurrent(event.run))
        return; // a report of an earlier run
    if (!event.text.empty())
        ShowError(this, QString::fromStdString(event.text));
    if (event.kind == PassEvent::Kind::PlayedToEnd || event.kind == PassEvent::Kind::PlaybackFailed)
        Stop(channel);
}

void COutputPage::SelectFile(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
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
    {
        const QSignalBlocker blocker(c.sine);
        c.sine->setChecked(false);
    }
    s.source.store(StreamChannel::kSourceFile, std::memory_order_relaxed);
    ShowFile(channel);
}

void COutputPage::SourceToggled(int channel) {
    StreamChannel& s = Channel(channel);
    if (s.running.load(std::memory_order_relaxed))
        return;
    s.source.store(Controls(channel).sine->isChecked() ? StreamChannel::kSourceSine : StreamChannel::kSourceFile,
                   std::memory_order_relaxed);
}

void COutputPage::MuteToggled(int channel) {
    Extras(channel).mute = Controls(channel).mute->isChecked() ? 1 : 0;
    SliderMoved(channel);
}

void COutputPage::ResetPeak(int channel) { Channel(channel).freeSpacePeak.store(0, std::memory_order_relaxed); }

void COutputPage::SliderMoved(int channel) {
    StreamChannel& s = Channel(channel);
    ChannelControls& c = Controls(channel);
    ChannelExtras& x = Extras(channel);
    if (!s.device)
        return;
    const auto now = ApplySlider(*s.device, m_secondSet, {x.attMax, x.attMin}, x.mute, c.slider, c.mute);
    if (!now)
        return;
    x.attValue = now->value;
    c.attText->setText(QString::fromStdString(AttenuationText(m_secondSet, now->value, x.attMax)));
}

void COutputPage::WorkModeChanged(int row) {
    CDevice* left = Channel(kLeft).device;
    if (!left)
        return;
    // The row key names the mode, so a sorted grid still selects the mode of the row that was chosen.
    const QString key = m_grid->GetRowKey(row);
    const auto mode = static_cast<uint16_t>(key.toInt());
    if (!SetWorkMode(*left, mode))
        ShowError(this, QStringLiteral("Cann't set work mode"));
    m_workMode = row;
}

void COutputPage::ShowFigures(int channel, const ChannelFigures& figures) {
    ChannelControls& c = Controls(channel);
    if (figures.buffer) {
        c.dmaLength->setText(QString::number(figures.buffer->length));
        c.freeSpace->setText(QString::asprintf("%d / %d", static_cast<int>(figures.buffer->space),
                                               static_cast<int>(figures.freeSpacePeak)));
    }
    if (figures.counters)
        ShowCounters(*figures.counters, figures.rate, c.meter, c.level, c.count, c.playTime);
}

void COutputPage::BeginShutdown() {
    if (!m_shutDown)
        m_worker.AskToStop();
}

void COutputPage::CancelStuckRequests() {
    if (!m_shutDown)
        m_worker.CancelIfBusy();
}

void COutputPage::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    const bool ended = m_worker.Finish([this](int channel) {
        return QStringLiteral("the %1 output of board %2").arg(channel == kRight ? "right" : "left").arg(m_board);
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

void COutputPage::SaveSettings() {
    for (int channel : {kLeft, kRight}) {
        StreamChannel& s = Channel(channel);
        ChannelControls& c = Controls(channel);
        ChannelExtras& x = Extras(channel);
        const bool sine = s.source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine;
        WriteBoardInt(m_board, x.section, QStringLiteral("SOURCE_SEL"), sine ? 1 : 0);
        WriteBoardFile(m_board, x.section, c.fileName->text());
        WriteBoardInt(m_board, x.section, QStringLiteral("ATT"), x.attValue);
        WriteBoardInt(m_board, x.section, QStringLiteral("MUTE"), x.mute);
        uint32_t number = 0;
        if (ParseUnsigned(&number, c.sineFreq->text()))
            WriteBoardInt(m_board, x.section, QStringLiteral("SINE_FREQ"), static_cast<int32_t>(number));
        if (ParseUnsigned(&number, c.sineAmpl->text()))
            WriteBoardInt(m_board, x.section, QStringLiteral("SINE_AMPL"), static_cast<int32_t>(number));
        WriteBoardInt(m_board, x.section, QStringLiteral("SampleRate"), x.initialRate);
    }
    WriteBoardInt(m_board, QStringLiteral("PCM"), QStringLiteral("MODE"), m_workMode);
}

std::unique_ptr<CPageDlg> CreateOutputPage(const PageContext& context, QWidget* parent) {
    return std::make_unique<COutputPage>(context.type, context.index, context.cfg, context.left, context.right, parent);
}
