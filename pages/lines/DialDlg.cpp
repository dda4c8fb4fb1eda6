// The dial dialog: each key press takes the line off-hook and dials that digit; closing hangs up.
#include "DialDlg.h"

#include "DialKeys.h"
#include "LineRequests.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

CDialDlg::CDialDlg(CDevice* device, QWidget* parent) : QDialog(parent), m_device(device) {
    setObjectName(QStringLiteral("dialDialog"));
    setWindowTitle(QStringLiteral("Dial number"));
    // No close box: the dialog ends through "OK" or Escape, both of which hang up.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("number"));
    m_number->setAlignment(Qt::AlignRight);
    m_number->setReadOnly(true);
    m_number->setFocusPolicy(Qt::NoFocus);
    m_number->setAccessibleName(QStringLiteral("Dialled number"));

    // Position 0 (pulse) at the top, 1 (tone) at the bottom.
    m_slider = new QSlider(Qt::Vertical, this);
    m_slider->setObjectName(QStringLiteral("dialType"));
    m_slider->setRange(0, 1);
    m_slider->setInvertedAppearance(true);
    m_slider->setTickPosition(QSlider::TicksRight);
    m_slider->setTickInterval(1);
    m_slider->setPageStep(1);
    m_slider->setValue(0);
    m_slider->setAccessibleName(QStringLiteral("Pulse or Tone"));
    auto* pulse = new QLabel(QStringLiteral("Pulse"), this);
    pulse->setObjectName(QStringLiteral("pulseLabel"));
    auto* tone = new QLabel(QStringLiteral("Tone"), this);
    tone->setObjectName(QStringLiteral("toneLabel"));
    auto* sliderColumn = new QVBoxLayout;
    sliderColumn->addWidget(pulse);
    sliderColumn->addWidget(m_slider, 1, Qt::AlignHCenter);
    sliderColumn->addWidget(tone);
    connect(m_slider, &QSlider::valueChanged, this, &CDialDlg::OnDialTypeChanged);

    auto* keypad = new QGridLayout;
    for (const DialKey& key : kDialKeys) {
        auto* button = new QPushButton(QString::fromLatin1(key.caption), this);
        button->setObjectName(QString::fromLatin1(key.name));
        button->setAutoDefault(false);
        keypad->addWidget(button, key.row, key.column);
        connect(button, &QPushButton::clicked, this, [this, &key] { OnKey(key); });
        if (key.toneOnly)
            m_toneKeys.push_back(button);
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CDialDlg::accept);

    auto* middle = new QHBoxLayout;
    middle->addLayout(sliderColumn);
    middle->addLayout(keypad);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_number);
    layout->addLayout(middle);
    layout->addWidget(ok, 0, Qt::AlignRight);

    OnDialTypeChanged();
    m_number->clear();
}

void CDialDlg::OnDialTypeChanged() {
    const bool tone = m_slider->value() == 1;
    for (QPushButton* key : m_toneKeys)
        key->setEnabled(tone);
    setWindowTitle(tone ? QStringLiteral("Dial number : dial type TONE")
                        : QStringLiteral("Dial number : dial type PULSE"));
    m_dialType = tone ? 1 : 0;
}

void CDialDlg::OnKey(const DialKey& key) {
    if (!m_device)
        return;
    // A digit the board refuses is not shown: the display lists what was really dialled.
    if (SetLineState(*m_device, LineState::DigitCommand(key.code, m_dialType)))
        m_number->setText(m_number->text() + QLatin1Char(key.character));
}

void CDialDlg::done(int result) {
    if (m_device)
        SetLineState(*m_device, LineState::Command(LineState::kHookDown)); // result ignored: closing goes on
    QDialog::done(result);
}
