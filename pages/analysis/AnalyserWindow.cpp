// The analyser window: layout, the tap's attachment and the ten updates a second.
#include "AnalyserWindow.h"

#include "AnalyserPlots.h"
#include "ChannelPlan.h"
#include "Prompts.h"
#include "ResponseSweep.h"
#include "ResponseView.h"
#include "StreamChannel.h"
#include "StreamPage.h"
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
    // Every tone heard adds its point, so tones played on the line's output draw the line's response;
    // "Sweep" plays the channel plan's frequencies itself.
    m_response = new CResponseView(this);
    m_response->setObjectName(QStringLiteral("analyserResponse"));
    // The page that holds the input holds the output the sweep plays on.
    m_sweep = new CResponseSweep(input, dynamic_cast<CStreamPage*>(parent), m_tap, this);
    m_sweepButton = PageButton(QStringLiteral("Sweep"), QStringLiteral("analyserSweep"),
                               QStringLiteral("Sweep the line's response"), this);
    m_stopSweepButton = PageButton(QStringLiteral("Stop sweep"), QStringLiteral("analyserStopSweep"),
                                   QStringLiteral("Stop the sweep"), this);
    m_sweepButton->setEnabled(m_sweep->Possible());
    m_stopSweepButton->setEnabled(false);
    // Read by its text, which says how the sweep goes.
    m_sweepState = Named(new QLabel(this), QStringLiteral("analyserSweepState"));
    m_sweepState->setWordWrap(true);
    connect(m_sweepButton, &QPushButton::clicked, this, &CAnalyserWindow::StartSweep);
    connect(m_stopSweepButton, &QPushButton::clicked, this, &CAnalyserWindow::StopSweep);
    connect(m_sweep, &CResponseSweep::Reading, this, [this](double hz, double levelDb) {
        m_response->AddReading(hz, levelDb);
        m_sweepState->setText(QStringLiteral("Sweeping: %1 Hz").arg(hz, 0, 'f', 0));
    });
    connect(m_sweep, &CResponseSweep::Ended, this, [this](const QString& text, bool failed) {
        m_sweepState->setText(text);
        m_sweepEnd = m_tap->Total();
        m_sweepButton->setEnabled(true);
        m_stopSweepButton->setEnabled(false);
        if (failed)
            ShowError(this, text);
    });
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
    auto* sweep = new QHBoxLayout;
    sweep->addWidget(m_sweepButton);
    sweep->addWidget(m_stopSweepButton);
    sweep->addWidget(m_sweepState, 1);
    layout->addWidget(m_response, 2);
    layout->addLayout(sweep);
    layout->addLayout(bottom);
    resize(640, 660);

    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CAnalyserWindow::Refresh);
    m_input.AttachTap(m_tap);
}

CAnalyserWindow::~CAnalyserWindow() {
    // A sweep under way ends with its window, its output stopped, before the tap goes.
    delete m_sweep;
    m_input.AttachTap(nullptr);
}

void CAnalyserWindow::StartSweep() {
    m_response->Clear();
    if (const QString refused = m_sweep->Start(); !refused.isEmpty()) {
        m_sweepState->setText(refused);
        ShowError(this, refused);
        return;
    }
    m_sweepState->setText(QStringLiteral("Sweeping: 1020 Hz reference"));
    m_sweepButton->setEnabled(false);
    m_stopSweepButton->setEnabled(true);
    m_stopSweepButton->setFocus();
}

void CAnalyserWindow::StopSweep() { m_sweep->Stop(); }

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
    // A sweep puts its own settled readings on the view; a block that still holds some of its steps
    // (each cut short, so read low) adds nothing after it either.
    const bool afterSweep = total < m_sweepEnd || total >= m_sweepEnd + kBlock;
    if (f.tone && !m_sweep->Running() && afterSweep)
        m_response->AddReading(f.frequency, FundamentalLevelDb(f));
}
