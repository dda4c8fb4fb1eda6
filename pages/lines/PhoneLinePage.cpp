// The phone line page. Polling runs on the user-interface thread every millisecond, so a poll touches a
// control only when what it shows has changed.
#include "PhoneLinePage.h"

#include "BoardModels.h"
#include "DialDlg.h"
#include "HookView.h"
#include "LineControlName.h"
#include "LineRequests.h"
#include "LineSettingsDlg.h"
#include "LineSettingsFlow.h"
#include "Mnemonics.h"
#include "PageFactories.h"
#include "PollTicks.h"
#include "Prompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSetStateFailed = QStringLiteral("Cann't set phone line state for device");

} // namespace

CPhoneLinePage::CPhoneLinePage(const PageContext& context, QWidget* parent)
    : CPageDlg(parent), m_lines(context.lineIn), m_boardType(context.Type16()), m_boardIndex(context.index) {
    setObjectName(QStringLiteral("phoneLinePage"));
    auto* layout = new QHBoxLayout(this);
    for (int line = 0; line < 8; ++line)
        layout->addWidget(MakeLineGroup(line), 1, Qt::AlignTop);
}

QGroupBox* CPhoneLinePage::MakeLineGroup(int line) {
    LineControls& c = m_controls[static_cast<size_t>(line)];
    c.group = new QGroupBox(QStringLiteral("Channel %1").arg(line + 1), this);
    c.group->setObjectName(LineControlName(line, "Group"));

    c.picture = new CHookView(c.group);
    c.picture->setObjectName(LineControlName(line, "Picture"));

    c.ringsLabel = new QLabel(QStringLiteral("Rings           :"), c.group);
    c.ringsLabel->setObjectName(LineControlName(line, "RingsLabel"));
    c.rings = new QLabel(c.group);
    c.rings->setObjectName(LineControlName(line, "Rings"));
    c.number = new QLabel(QStringLiteral("Static"), c.group);
    c.number->setObjectName(LineControlName(line, "Number"));
    c.number->setTextFormat(Qt::PlainText); // the number's bytes come from the board, never markup
    c.voltageLabel = new QLabel(QStringLiteral("Voltage       :"), c.group);
    c.voltageLabel->setObjectName(LineControlName(line, "VoltageLabel"));
    c.voltage = new QLabel(QStringLiteral("-120"), c.group);
    c.voltage->setObjectName(LineControlName(line, "Voltage"));

    c.hook = new QPushButton(QStringLiteral("Hook up"), c.group);
    c.hook->setObjectName(LineControlName(line, "Hook"));
    c.hook->setCheckable(true);
    c.settings = new QPushButton(QStringLiteral("Settings"), c.group);
    c.settings->setObjectName(LineControlName(line, "Settings"));
    c.dial = new QPushButton(QStringLiteral("Dial"), c.group);
    c.dial->setObjectName(LineControlName(line, "Dial"));
    c.input = new QCheckBox(QStringLiteral("Input control"), c.group);
    c.input->setObjectName(LineControlName(line, "InputControl"));
    c.commutation = new QCheckBox(QStringLiteral("Commutation"), c.group);
    c.commutation->setObjectName(LineControlName(line, "Commutation"));

    // toggled, not clicked: an assistive tool's toggle action changes the state without a click.
    connect(c.hook, &QPushButton::toggled, this, [this, line] { OnHook(line); });
    connect(c.commutation, &QCheckBox::toggled, this, [this, line] { OnCommutation(line); });
    connect(c.settings, &QPushButton::clicked, this, [this, line] { OnSettings(line); });
    connect(c.dial, &QPushButton::clicked, this, [this, line] { OnDial(line); });

    auto* values = new QGridLayout;
    values->addWidget(c.ringsLabel, 0, 0);
    values->addWidget(c.rings, 0, 1);
    values->addWidget(c.voltageLabel, 1, 0);
    values->addWidget(c.voltage, 1, 1);

    auto* layout = new QVBoxLayout(c.group);
    layout->addWidget(c.picture, 0, Qt::AlignHCenter);
    layout->addLayout(values);
    layout->addWidget(c.number);
    layout->addWidget(c.hook);
    layout->addWidget(c.settings);
    layout->addWidget(c.dial);
    layout->addWidget(c.input);
    layout->addWidget(c.commutation);
    layout->addStretch(1);
    return c.group;
}

void CPhoneLinePage::ShowLineControls(int line) {
    const LineControls& c = m_controls[static_cast<size_t>(line)];
    const bool present = m_lines[static_cast<size_t>(line)] != nullptr;
    // The group box stays in every case, so an absent line shows as an empty group.
    for (QWidget* w : std::initializer_list<QWidget*>{c.picture, c.ringsLabel, c.rings, c.number, c.voltageLabel,
                                                      c.voltage, c.hook, c.settings, c.dial, c.input})
        w->setVisible(present);
    c.commutation->setVisible(present && BoardModelFor(m_boardType).commutation);
}

bool CPhoneLinePage::OnInitDialog() {
    for (int line = 0; line < 8; ++line) {
        ShowLineControls(line);
        if (CDevice* device = m_lines[static_cast<size_t>(line)])
            RestoreLineSwitches(*device, m_boardIndex, line);
    }
    if (BoardModelFor(m_boardType).hookLocked) {
        for (LineControls& c : m_controls) {
            c.hook->setEnabled(false);
            c.dial->setEnabled(false);
        }
    }
    m_ticks = std::make_unique<CPollTicks>(std::chrono::milliseconds(1), [this] { OnTimer(); });
    return true;
}

CPhoneLinePage::~CPhoneLinePage() = default;

bool CPhoneLinePage::Polling() const { return m_ticks != nullptr; }

void CPhoneLinePage::OnTimer() {
    for (size_t line = 0; line < 8; ++line) {
        CDevice* device = m_lines[line];
        if (!device)
            continue;
        const auto state = GetLineState(*device);
        if (!state)
            continue; // the line keeps its last display
        LineControls& c = m_controls[line];
        const bool active = state->controlInput != 0;
        if (c.input->isChecked() != active) // also undoes a user's click on the mirror box
            c.input->setChecked(active);
        const LineDisplayUpdate update = m_display[line].Apply(*state);
        if (update.voltage)
            c.voltage->setText(*update.voltage);
        if (update.number)
            c.number->setText(*update.number);
        if (update.rings)
            c.rings->setText(*update.rings);
        if (update.pictureChanged)
            c.picture->SetState(m_display[line].ShownState());
    }
}

void CPhoneLinePage::OnHook(int line) {
    CDevice* device = m_lines[static_cast<size_t>(line)];
    if (!device)
        return;
    QPushButton* hook = m_controls[static_cast<size_t>(line)].hook;
    const bool pressed = hook->isChecked();
    // The caption follows the button even when the board does not answer, since the button keeps the
    // state the user gave it.
    hook->setText(KeepMnemonic(hook->text(), pressed ? QStringLiteral("Hook down") : QStringLiteral("Hook up")));
    auto state = GetLineState(*device);
    if (!state) {
        ShowError(this, kSetStateFailed);
        return;
    }
    // The block goes back as read, with only the command and the digit code set.
    state->state = pressed ? LineState::kHookUp : LineState::kHookDown;
    state->digit = LineState::kNoDigit;
    if (!SetLineState(*device, *state))
        ShowError(this, kSetStateFailed);
}

void CPhoneLinePage::OnCommutation(int line) {
    CDevice* device = m_lines[static_cast<size_t>(line)];
    if (!device)
        return;
    const bool on = m_controls[static_cast<size_t>(line)].commutation->isChecked();
    if (!SetLineState(*device, LineState::Command(on ? LineState::kCommutationOn : LineState::kCommutationOff)))
        ShowError(this, kSetStateFailed);
}

void CPhoneLinePage::OnSettings(int line) {
    CDevice* device = m_lines[static_cast<size_t>(line)];
    if (!device)
        return;
    const QString error = RunLineSettings(*device, m_boardType, m_boardIndex, line,
                                          [this](LineSettings& settings, LineLevels& levels, int32_t& power) {
                                              CLineSettingsDlg dialog(this, &settings, &levels, &power);
                                              return dialog.exec() == QDialog::Accepted;
                                          });
    if (!error.isEmpty())
        ShowError(this, error);
}

void CPhoneLinePage::OnDial(int line) {
    CDevice* device = m_lines[static_cast<size_t>(line)];
    if (!device)
        return;
    {
        CDialDlg dialog(device, this);
        dialog.exec();
    }
    // The dialog hung up; put the line back where the page's own hook button says it is.
    const bool offHook = m_controls[static_cast<size_t>(line)].hook->isChecked();
    SetLineState(*device, LineState::Command(offHook ? LineState::kHookUp : LineState::kHookDown));
}

std::unique_ptr<CPageDlg> CreatePhoneLinePage(const PageContext& context, QWidget* parent) {
    return std::make_unique<CPhoneLinePage>(context, parent);
}
