// The stereo output page: its channel groups, page start, the routing grid and the stored settings.
#include "OutputPage.h"

#include "ChannelGroup.h"
#include "GridBox.h"
#include "PageFactories.h"
#include "Prompts.h"
#include "Settings.h"
#include "StreamRequests.h"
#include "StreamTexts.h"
#include "StreamWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// The PCM1717 output modes: what the left and the right output carry, by mode number.
const char* const kRouting[16][2] = {
    {"MUTE", "MUTE"},    {"MUTE", "R"},    {"MUTE", "L"},    {"MUTE", "(L+R)/2"},
    {"R", "MUTE"},       {"R", "R"},       {"R", "L"},       {"R", "(L+R)/2"},
    {"L", "MUTE"},       {"L", "R"},       {"L", "L"},       {"L", "(L+R)/2"},
    {"(L+R)/2", "MUTE"}, {"(L+R)/2", "R"}, {"(L+R)/2", "L"}, {"(L+R)/2", "(L+R)/2"},
};
constexpr int kFirstRow = 9;

// The words of a stereo output channel group.
ChannelLook OutputLook(const QString& title, const char* prefix) {
    return ChannelLook{
        .title = title,
        .prefix = QLatin1String(prefix),
        .fileSpoken = QStringLiteral("file name"),
        .sine = true,
        .amplCaption = QStringLiteral("ampl :"),
        .rateCaption = QStringLiteral("Freq :"),
        .rateSpoken = QStringLiteral("Freq"),
        .sliderCaption = QStringLiteral("Att (dB) :"),
        .sliderSpoken = QStringLiteral("Att (dB)"),
        .value = {"AttText", {}, QStringLiteral("attenuation"), QStringLiteral("-100.00")},
        .muteText = QStringLiteral("Mute"),
        .count = {"Count", QStringLiteral("Count :"), QStringLiteral("count"), kLongestCount},
        .time = {"PlayTime", QStringLiteral("Play time :"), QStringLiteral("play time"), kLongestTime},
        .timeZero = QStringLiteral("00:00:00"),
        .totals = true,
        .slashedTotals = true,
        .totalCountSpoken = QStringLiteral("total count"),
        .totalTimeSpoken = QStringLiteral("total play time"),
        .buffer = {FigureLook{"DmaLength", QStringLiteral("Dma buffer length :"), QStringLiteral("Dma buffer length"),
                              kLongestCount, 2, 2},
                   FigureLook{"FreeSpace", QStringLiteral("Free space :"), QStringLiteral("free space"),
                              QStringLiteral("-2147483648 / -2147483648"), 1, 2}},
        .peak = true,
        .progressSpoken = {},
        .meterSpoken = QStringLiteral("level meter"),
        .levelSpoken = QStringLiteral("level"),
    };
}

} // namespace

COutputPage::COutputPage(uint32_t type, int32_t board, CDevice* cfg, CDevice* left, CDevice* right, QWidget* parent)
    : CStreamPage(board, cfg, parent), m_type(type) {
    setObjectName(QStringLiteral("outputPage"));
    Channel(kLeft).device = left;
    Channel(kRight).device = right;
    m_runs.reserve(2);
    for (int channel : {kLeft, kRight})
        m_runs.emplace_back(Channel(channel), ChannelKind::StereoOutput, cfg, channel);
    State(kLeft).section = QStringLiteral("PCM\\LEFT");
    State(kRight).section = QStringLiteral("PCM\\RIGHT");
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

CChannelGroup* COutputPage::BuildChannel(int channel, const QString& title, const char* prefix) {
    auto* g = new CChannelGroup(OutputLook(title, prefix), this);
    m_groups[static_cast<size_t>(channel)] = g;
    auto* reset = PageButton(QStringLiteral("Reset"), g->Name("ResetButton"), g->Spoken(QStringLiteral("Reset")), g);
    g->LayOut({.besideBuffer = reset});

    connect(g->file, &QPushButton::clicked, this, [this, channel] { SelectFile(channel); });
    connect(g->sine, &QPushButton::toggled, this, [this, channel] { SourceToggled(channel); });
    connect(g->mute, &QPushButton::toggled, this, [this, channel] { MuteToggled(channel); });
    connect(g->start, &QPushButton::clicked, this, [this, channel] { Start(channel); });
    connect(g->stop, &QPushButton::clicked, this, [this, channel] { Stop(channel); });
    connect(reset, &QPushButton::clicked, this, [this, channel] { ResetPeak(channel); });
    connect(g->slider, &QSlider::valueChanged, this, [this, channel] { SliderMoved(channel); });
    return g;
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

    return OpenChannels();
}

bool COutputPage::OpenChannel(int channel) {
    StreamChannel& s = Channel(channel);
    CChannelGroup& g = Group(channel);
    if (!s.device)
        return false;
    CDevice& device = *s.device;

    // The start resets the value to 0 with the stored mute, keeping the range the device reported.
    const auto first = GetAttenuation(device, m_secondSet);
    if (!first)
        return false;
    AttenuationBlock reset;
    reset.mute = static_cast<int16_t>(ReadBoardInt(m_board, State(channel).section, QStringLiteral("MUTE"), 0));
    reset.max = first->max;
    reset.min = first->min;
    if (!SetAttenuation(device, m_secondSet, reset))
        return false;
    const auto now = GetAttenuation(device, m_secondSet);
    if (!now)
        return false;
    TakeAttenuation(channel, *now);

    if (!SetOutputRate(*m_cfg, channel, kInitialRate))
        ShowError(this, QStringLiteral("Cann't set PCM1717 freq"));
    const auto rate = GetOutputRate(*m_cfg, channel);
    if (!rate)
        return false;
    s.actualRate.store(static_cast<int32_t>(*rate), std::memory_order_relaxed);
    g.rate->setText(QString::number(*rate));

    LoadSineFields(channel);
    g.SetRunning(false);
    if (!g.AttachMeter())
        return false;
    LoadSource(channel);
    return true;
}

void COutputPage::Start(int channel) {
    uint32_t rate = 0;
    if (!MayStart(channel) || !PrepareStart(channel, &rate))
        return;
    StartRequest request;
    request.rate = rate;
    FinishStart(channel, m_runs[static_cast<size_t>(channel)].Start(request));
}

void COutputPage::SelectFile(int channel) {
    if (!ChooseFileToPlay(channel))
        return;
    // A chosen file is what the channel plays next.
    {
        const QSignalBlocker blocker(Group(channel).sine);
        Group(channel).sine->setChecked(false);
    }
    Channel(channel).source.store(StreamChannel::kSourceFile, std::memory_order_relaxed);
    ShowFile(channel);
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

std::string COutputPage::SliderText(int16_t value, int16_t max) const {
    return AttenuationText(m_secondSet, value, max);
}

QString COutputPage::WorkerName(int channel) const {
    return QStringLiteral("the %1 output of board %2").arg(channel == kRight ? "right" : "left").arg(m_board);
}

void COutputPage::SaveSettings() {
    for (int channel : {kLeft, kRight}) {
        SaveChannel(channel);
        WriteBoardInt(m_board, State(channel).section, QStringLiteral("SampleRate"), kInitialRate);
    }
    WriteBoardInt(m_board, QStringLiteral("PCM"), QStringLiteral("MODE"), m_workMode);
}

std::unique_ptr<CPageDlg> CreateOutputPage(const PageContext& context, QWidget* parent) {
    return std::make_unique<COutputPage>(context.type, context.index, context.cfg, context.left, context.right, parent);
}
