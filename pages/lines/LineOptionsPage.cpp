// The line options page. It has no click handlers: the controls hold the wanted options and the
// sampling tick brings the board in line with them.
#include "LineOptionsPage.h"

#include "DropList.h"
#include "LineControlName.h"
#include "LineOptionsSync.h"
#include "LineRequests.h"
#include "PageFactories.h"
#include "Prompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {} // namespace

CLineOptionsPage::CLineOptionsPage(const PageContext& context, QWidget* parent)
    : CPageDlg(parent), m_lines(context.lineIn) {
    setObjectName(QStringLiteral("lineOptionsPage"));
    auto* layout = new QGridLayout(this);
    for (int line = 0; line < 8; ++line)
        layout->addWidget(MakeLineGroup(line), line / 4, line % 4, Qt::AlignTop);
}

QGroupBox* CLineOptionsPage::MakeLineGroup(int line) {
    LineControls& c = m_controls[static_cast<size_t>(line)];
    c.group = new QGroupBox(QStringLiteral("Канал %1").arg(line + 1), this);
    c.group->setObjectName(LineControlName(line, "Group"));
    c.compensation = new QCheckBox(QStringLiteral("Компенсация"), c.group);
    c.compensation->setObjectName(LineControlName(line, "Compensation"));
    c.tape = new QCheckBox(QStringLiteral("Управление внешним магнитофоном"), c.group);
    c.tape->setObjectName(LineControlName(line, "Tape"));
    c.externalInput = new QCheckBox(QStringLiteral("Состояние внешнего входа"), c.group);
    c.externalInput->setObjectName(LineControlName(line, "ExternalInput"));
    c.powerGroup = new QGroupBox(QStringLiteral("Питание датчиков"), c.group);
    c.powerGroup->setObjectName(LineControlName(line, "PowerGroup"));
    // Without a name of its own a group inside a group is announced by the outer group's title.
    c.powerGroup->setAccessibleName(c.powerGroup->title());
    c.power = new CDropList(c.powerGroup);
    c.power->setObjectName(LineControlName(line, "Power"));
    auto* powerLayout = new QVBoxLayout(c.powerGroup);
    powerLayout->addWidget(c.power);

    auto* layout = new QVBoxLayout(c.group);
    layout->addWidget(c.compensation);
    layout->addWidget(c.tape);
    layout->addWidget(c.externalInput);
    layout->addWidget(c.powerGroup);
    layout->addStretch(1);
    return c.group;
}

bool CLineOptionsPage::OnInitDialog() {
    for (int line = 0; line < 8; ++line) {
        LineControls& c = m_controls[static_cast<size_t>(line)];
        const bool present = m_lines[static_cast<size_t>(line)] != nullptr;
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.compensation, c.tape, c.externalInput, c.powerGroup, c.power})
            w->setVisible(present);
        c.power->addItems({QStringLiteral("выключено"), QStringLiteral("+60 вольт"), QStringLiteral("-60 вольт")});
        c.power->setCurrentIndex(-1);
        if (present)
            ReadAtOpening(line);
    }
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("sampleTimer"));
    connect(m_timer, &QTimer::timeout, this, &CLineOptionsPage::OnTimer);
    m_timer->start(200);
    return true;
}

void CLineOptionsPage::ReadAtOpening(int line) {
    const auto state = GetLineStateShort(*m_lines[static_cast<size_t>(line)]);
    if (!state) {
        Prompts().Message(this, QStringLiteral("Не могу получить состояние тел. линии"), QStringLiteral("Ошибка"),
                          PromptIcon::Error);
        return;
    }
    TakeFirstState(static_cast<size_t>(line), *state);
}

void CLineOptionsPage::TakeFirstState(size_t line, const LineStateShort& state) {
    m_last[line] = state;
    m_known[line] = true;
    LineControls& c = m_controls[line];
    c.externalInput->setChecked(state.externalInput != 0);
    c.compensation->setChecked(state.compensation != 0);
    c.tape->setChecked(state.tape != 0);
    // A sensor power the list does not offer leaves it without a selection.
    c.power->setCurrentIndex(state.sensorPower <= 2 ? state.sensorPower : -1);
}

void CLineOptionsPage::OnTimer() {
    for (size_t line = 0; line < 8; ++line) {
        CDevice* device = m_lines[line];
        if (!device)
            continue;
        LineControls& c = m_controls[line];
        // While the user is choosing in the list, its current item is not yet a decision.
        if (m_known[line] && !c.power->IsDroppedDown()) {
            const WantedOptions wanted{c.power->currentIndex(), c.compensation->isChecked(), c.tape->isChecked()};
            if (const auto block = OptionsToSend(wanted, m_last[line]))
                SetLineStateShort(*device, *block); // a change the board does not take goes again next tick
        }
        if (const auto state = GetLineStateShort(*device)) {
            if (!m_known[line]) {
                TakeFirstState(line, *state);
                continue;
            }
            m_last[line] = *state;
            c.externalInput->setChecked(state->externalInput != 0);
        }
    }
}

std::unique_ptr<CPageDlg> CreateLineOptionsPage(const PageContext& context, QWidget* parent) {
    return std::make_unique<CLineOptionsPage>(context, parent);
}
