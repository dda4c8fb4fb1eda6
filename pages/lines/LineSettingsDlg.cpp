// The line settings dialog: groups of labelled edits, amplitude lists and switches, built from the table.
#include "LineSettingsDlg.h"

#include "LineSettingsFields.h"
#include "Mnemonics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

CLineSettingsDlg::CLineSettingsDlg(QWidget* parent, LineSettings* settings, LineLevels* levels, int32_t* power)
    : QDialog(parent), m_settings(settings), m_levels(levels), m_power(power) {
    setObjectName(QStringLiteral("lineSettingsDialog"));
    setWindowTitle(QStringLiteral("Phone line settings"));

    auto* groups = new QGridLayout;
    for (size_t g = 0; g < kSettingsGroups.size(); ++g) {
        const char* group = kSettingsGroups[g];
        auto* box = new QGroupBox(QString::fromLatin1(group), this);
        box->setObjectName(QStringLiteral("group%1").arg(g));
        auto* rows = new QGridLayout(box);
        int row = 0;
        for (const SettingsControl& control : kSettingsControls) {
            if (std::strcmp(control.group, group) != 0)
                continue;
            auto* label = new QLabel(QString::fromLatin1(control.label), box);
            label->setObjectName(QString::fromLatin1(control.name) + QStringLiteral("Label"));
            rows->addWidget(label, row, 0);
            QWidget* widget = MakeControl(control);
            rows->addWidget(widget, row, 1);
            label->setBuddy(widget);
            if (*control.unit) {
                auto* unit = new QLabel(QString::fromLatin1(control.unit), box);
                unit->setObjectName(QString::fromLatin1(control.name) + QStringLiteral("Unit"));
                rows->addWidget(unit, row, 2);
            }
            ++row;
        }
        // Two columns of groups, filled row by row.
        groups->addWidget(box, static_cast<int>(g / 2), static_cast<int>(g % 2));
    }

    m_powerBox = new QCheckBox(QStringLiteral("Phone interface power :"), this);
    m_powerBox->setObjectName(QStringLiteral("interfacePower"));
    m_powerBox->setLayoutDirection(Qt::RightToLeft); // label before the box, like the other rows

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CLineSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLineSettingsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(m_powerBox, 0, Qt::AlignLeft);
    layout->addWidget(buttons);
    AssignMnemonics(this);

    LoadControls();
}

QWidget* CLineSettingsDlg::MakeControl(const SettingsControl& control) {
    QWidget* widget = nullptr;
    switch (control.kind) {
    case SettingsKind::Edit:
        widget = new QLineEdit(this);
        break;
    case SettingsKind::Amplitude: {
        auto* list = new QComboBox(this);
        for (int level : kAmplitudeTable)
            list->addItem(AmplitudeItemText(level));
        list->setCurrentIndex(-1);
        widget = list;
        break;
    }
    case SettingsKind::Switch:
        widget = new QCheckBox(this);
        break;
    }
    widget->setObjectName(QString::fromLatin1(control.name));
    m_bound.push_back({&control, widget});
    return widget;
}

uint16_t* CLineSettingsDlg::LevelField(size_t offset) {
    if (!m_levels)
        return nullptr;
    return offset == 0 ? &m_levels->beepAmplitude : &m_levels->dialAmplitude;
}

void CLineSettingsDlg::LoadControls() {
    m_powerBox->setChecked(true); // the board's current power state cannot be read
    if (!m_settings)
        return;
    for (const Bound& bound : m_bound) {
        const SettingsControl& control = *bound.control;
        uint16_t value = 0;
        if (control.block == SettingsBlock::Settings) {
            value = m_settings->At(control.offset);
        } else if (const uint16_t* field = LevelField(control.offset)) {
            value = *field;
        } else {
            continue;
        }
        switch (control.kind) {
        case SettingsKind::Edit:
            static_cast<QLineEdit*>(bound.widget)->setText(FieldText(value));
            break;
        case SettingsKind::Amplitude:
            // An index the table does not have leaves the list without a selection.
            static_cast<QComboBox*>(bound.widget)->setCurrentIndex(value < kAmplitudeTable.size() ? value : -1);
            break;
        case SettingsKind::Switch:
            static_cast<QCheckBox*>(bound.widget)->setChecked(value != 0);
            break;
        }
    }
}

int CLineSettingsDlg::exec() {
    if (!m_settings)
        return QDialog::Rejected;
    return QDialog::exec();
}

void CLineSettingsDlg::accept() {
    if (m_settings) {
        for (const Bound& bound : m_bound) {
            const SettingsControl& control = *bound.control;
            uint16_t value = 0;
            switch (control.kind) {
            case SettingsKind::Edit:
                value = FieldValue(static_cast<QLineEdit*>(bound.widget)->text());
                break;
            case SettingsKind::Amplitude: {
                const int index = static_cast<QComboBox*>(bound.widget)->currentIndex();
                value = index < 0 ? uint16_t{0xFFFF} : static_cast<uint16_t>(index);
                break;
            }
            case SettingsKind::Switch:
                value = static_cast<QCheckBox*>(bound.widget)->isChecked() ? 1 : 0;
                break;
            }
            if (control.block == SettingsBlock::Settings)
                m_settings->Set(control.offset, value);
            else if (uint16_t* field = LevelField(control.offset))
                *field = value;
        }
    }
    if (m_power)
        *m_power = m_powerBox->isChecked() ? 1 : 0;
    QDialog::accept();
}
