// The channel group: the shared controls of a streaming channel, their layout and their running state.
#include "ChannelGroup.h"

#include "LevelMeter.h"
#include "StreamWidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int32_t kLevelMax = 32767;

} // namespace

CChannelGroup::CChannelGroup(const ChannelLook& look, QWidget* parent) : QGroupBox(look.title, parent), m_look(look) {
    Named(this, Name("Group"), look.title);
    file = PageButton(QStringLiteral("File"), Name("FileButton"), Spoken(QStringLiteral("File")), this);
    fileName = Named(new QLineEdit(this), Name("FileName"), Spoken(look.fileSpoken));
    fileName->setReadOnly(true);
    if (look.sine) {
        sine = PageButton(QStringLiteral("Sin"), Name("SineButton"), Spoken(QStringLiteral("Sin")), this, true);
        sineFreq = NumberEdit(Name("SineFreq"), Spoken(QStringLiteral("sine frequency")), this);
        sineAmpl = NumberEdit(Name("SineAmpl"), Spoken(QStringLiteral("ampl")), this);
    }
    rate = NumberEdit(Name("Rate"), Spoken(look.rateSpoken), this);
    slider = Named(new QSlider(Qt::Vertical, this), Name("Slider"), Spoken(look.sliderSpoken));
    // The top end is the lowest position, as on the board's own tools: position 0 means the loudest.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setMinimumHeight(120);
    valueText = Figure(look.value, QString());
    mute = PageButton(look.muteText, Name("MuteButton"), Spoken(look.muteText), this, true);
    start = PageButton(QStringLiteral("Start"), Name("StartButton"), Spoken(QStringLiteral("Start")), this);
    stop = PageButton(QStringLiteral("Stop"), Name("StopButton"), Spoken(QStringLiteral("Stop")), this);
    stop->setEnabled(false);
    count = Figure(look.count, QStringLiteral("0"));
    if (look.totals)
        totalCount =
            FigureText(QStringLiteral("0"), Name("TotalCount"), Spoken(look.totalCountSpoken), kLongestCount, this);
    time = Figure(look.time, look.timeZero);
    if (look.totals)
        totalTime =
            FigureText(QStringLiteral("0"), Name("TotalTime"), Spoken(look.totalTimeSpoken), kLongestTime, this);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = Figure(look.buffer[i], QString());
    progress = Named(new QProgressBar(this), Name("Progress"),
                     look.progressSpoken.isEmpty() ? QString() : Spoken(look.progressSpoken));
    progress->setOrientation(Qt::Vertical);
    progress->setTextVisible(false);
    progress->setFixedWidth(18);
    level = FigureText(QString(), Name("Level"), Spoken(look.levelSpoken), kLongestLevel, this);
    level->setAlignment(Qt::AlignHCenter);

    m_idle = {file, fileName, rate, start};
    if (sine)
        m_idle.insert(m_idle.end(), {sine, sineFreq, sineAmpl});
}

QLabel* CChannelGroup::Figure(const FigureLook& look, const QString& text) {
    return FigureText(text, Name(look.name), Spoken(look.spoken), look.longest, this);
}

void CChannelGroup::AddFigureRow(QGridLayout* form, int row, const FigureLook& look, QLabel* current, QLabel* total) {
    form->addWidget(Caption(look.caption, current, this), row, 0);
    if (!total) {
        form->addWidget(current, row, 1, 1, 3);
        return;
    }
    form->addWidget(current, row, 1);
    if (m_look.slashedTotals) {
        form->addWidget(new QLabel(QStringLiteral("/"), this), row, 2, Qt::AlignRight);
        form->addWidget(total, row, 3);
    } else {
        form->addWidget(total, row, 2, 1, 2);
    }
}

void CChannelGroup::LayOut(const Extras& extras) {
    auto* form = new QGridLayout;
    int row = 0;
    form->addWidget(file, row, 0);
    form->addWidget(fileName, row++, 1, 1, 3);
    if (extras.optionLeft) {
        form->addWidget(extras.optionLeft, row, 0, 1, 2);
        form->addWidget(extras.optionRight, row++, 2, 1, 2);
    }
    if (sine) {
        form->addWidget(sine, row, 0);
        form->addWidget(sineFreq, row, 1);
        form->addWidget(Caption(m_look.amplCaption, sineAmpl, this), row, 2, Qt::AlignRight);
        form->addWidget(sineAmpl, row++, 3);
    }
    form->addWidget(Caption(m_look.rateCaption, rate, this), row, 0);
    form->addWidget(rate, row++, 1);
    if (m_look.totals && !m_look.slashedTotals) {
        form->addWidget(new QLabel(QStringLiteral("Current"), this), row, 1);
        form->addWidget(new QLabel(QStringLiteral("Total"), this), row++, 2);
    }
    AddFigureRow(form, row++, m_look.count, count, totalCount);
    AddFigureRow(form, row++, m_look.time, time, totalTime);
    for (size_t i = 0; i < buffer.size(); ++i) {
        const FigureLook& look = m_look.buffer[i];
        form->addWidget(Caption(look.caption, buffer[i], this), row, 0, 1, look.captionSpan);
        form->addWidget(buffer[i], row, look.captionSpan, 1, look.valueSpan);
        if (i + 1 == buffer.size() && extras.besideBuffer)
            form->addWidget(extras.besideBuffer, row, look.captionSpan + look.valueSpan);
        ++row;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start);
    buttons->addWidget(stop);
    buttons->addWidget(mute);
    if (extras.button)
        buttons->addWidget(extras.button);
    form->addLayout(buttons, row++, 0, 1, 4);
    form->setRowStretch(row, 1);

    auto* sliderColumn = new QVBoxLayout;
    if (!m_look.sliderCaption.isEmpty())
        sliderColumn->addWidget(Caption(m_look.sliderCaption, slider, this), 0, Qt::AlignHCenter);
    sliderColumn->addWidget(valueText, 0, Qt::AlignHCenter);
    sliderColumn->addWidget(slider, 1, Qt::AlignHCenter);
    auto* meterColumn = new QVBoxLayout;
    meterColumn->addWidget(progress, 1, Qt::AlignHCenter);
    meterColumn->addWidget(level);

    auto* columns = new QHBoxLayout(this);
    columns->addLayout(form, 1);
    columns->addLayout(sliderColumn);
    columns->addLayout(meterColumn);
}

void CChannelGroup::SetRunning(bool running) {
    for (QWidget* w : m_idle)
        w->setEnabled(!running);
    stop->setEnabled(running);
}

bool CChannelGroup::AttachMeter() {
    meter = Named(new CLevelMeter(this), progress->objectName() + QStringLiteral("Meter"), Spoken(m_look.meterSpoken));
    if (!meter->Attach(progress))
        return false;
    meter->SetMax(kLevelMax);
    meter->SetPos(0);
    return true;
}

void CChannelGroup::ShowBuffer(uint32_t length, uint32_t space, uint32_t peak) {
    buffer[0]->setText(QString::number(length));
    if (m_look.peak)
        buffer[1]->setText(QString::asprintf("%d / %d", static_cast<int>(space), static_cast<int>(peak)));
    else
        buffer[1]->setText(QString::number(space));
}
