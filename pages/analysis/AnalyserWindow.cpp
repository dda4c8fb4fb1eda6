// The analyser window: layout, the tap's attachment and the ten updates a second.
#include "AnalyserWindow.h"

#include "AnalyserPlots.h"
#include "ChannelPlan.h"
#include "ResponseView.h"
#include "StreamChannel.h"
#include "StreamWidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

CAnalyserWindow::CAnalyserWindow(StreamChannel& input, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window), m_input(input), m_tap(std::make_shared<CSampleTap>(kTapSamples)) {
    setObjectName(QStringLiteral("analyserWindow"));
    setWindowTitle(title);
    setAccessibleName(title);
    // An open analyser never keeps the program running once its main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose);

    m_waveform = Named(new CWaveformView(this), QStringLiteral("analyserWaveform"), QStringLiteral("Waveform"));
    m_spectrum = Named(new CSpectrumView(this), QStringLiteral("analyserSpectrum"), QStringLiteral("Spectrum"));
    // Every tone heard adds its point, so a sweep played on the line's output draws the line's response.
    m_response = new CResponseView(this);
    m_response->setObjectName(QStringLiteral("analyserResponse"));
    const QString none = QStringLiteral("-");
    m_frequency = FigureText(none, QStringLiteral("analyserFrequency"), QStringLiteral("Frequency"),
                             QStringLiteral("00000.0 Hz"), this);
    m_level =
        FigureText(none, QStringLiteral("analyserLevel"), QStringLiteral("Level"), QStringLiteral("-200.0 dBFS"), this);
    m_thdn =
        FigureText(none, QStringLiteral("analyserThdn"), QStringLiteral("THD+N"), QStringLiteral("-200.0 dB"), this);
    m_noise =
        FigureText(none, QStringLiteral("analyserNoise"), QStringLiteral("Noise"), QStringLiteral("-200.0 dBFS"), this);
    auto* close =
        PageButton(QStringLiteral("Close"), QStringLiteral("analyserClose"), QStringLiteral("Close analyser"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* figures = new QGridLayout;
    int column = 0;
    for (const auto& [caption, label] :
         {std::pair{QStringLiteral("Frequency"), m_frequency}, std::pair{QStringLiteral("Level"), m_level},
          std::pair{QStringLiteral("THD+N"), m_thdn}, std::pair{QStringLiteral("Noise"), m_noise}}) {
        figures->addWidget(Caption(caption, label, this), 0, column);
        figures->addWidget(label, 1, column++);
    }
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(figures, 1);
    bottom->addWidget(close, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_waveform, 2);
    layout->addWidget(m_spectrum, 3);
    layout->addWidget(m_response, 2);
    layout->addLayout(bottom);
    resize(640, 660);

    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CAnalyserWindow::Refresh);
    m_input.AttachTap(m_tap);
}

CAnalyserWindow::~CAnalyserWindow() { m_input.AttachTap(nullptr); }

void CAnalyserWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void CAnalyserWindow::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void CAnalyserWindow::Refresh() {
    const uint64_t total = m_tap->Total();
    // The rate the tap's samples were taken at, stamped at the input's Start (the channel's rate field
    // may already hold the next run's).
    const uint32_t rate = m_tap->Rate();
    // A stopped input brings nothing new: the last figures stay.
    if (total == m_seen || total < kBlock || rate == 0)
        return;
    m_seen = total;
    m_tap->Latest(m_samples);
    m_waveform->SetSamples(m_samples, rate);
    // A block too short for the band's low edge at this rate (above 81920 Hz) has no figures.
    if (CAudioAnalyser::Refusal(kBlock, rate)) {
        for (QLabel* label : {m_frequency, m_level, m_thdn, m_noise})
            label->setText(QStringLiteral("-"));
        return;
    }
    const AudioFigures& f = m_analyser.Analyse(m_samples, rate);
    auto number = [](double value, const char* unit) {
        return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(unit);
    };
    m_frequency->setText(f.tone ? number(f.frequency, "Hz") : QStringLiteral("no tone"));
    m_level->setText(number(f.levelDb, "dBFS"));
    m_thdn->setText(f.tone ? number(f.thdnDb, "dB") : QStringLiteral("-"));
    m_noise->setText(number(f.noiseDb, "dBFS"));
    m_spectrum->SetSpectrum(m_analyser.SpectrumDb(), rate);
    if (f.tone)
        m_response->AddReading(f.frequency, FundamentalLevelDb(f));
}
