// The "Phone line settings" dialog: edits one line's settings block, levels block and interface power flag.
#pragma once

#include "LineBlocks.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
struct SettingsControl;

class CLineSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // The blocks and the flag are the caller's; OK stores the controls into them. Without a settings
    // block the dialog ends as cancelled.
    CLineSettingsDlg(QWidget* parent, LineSettings* settings, LineLevels* levels, int32_t* power);

    int exec() override;
    void accept() override;

private:
    struct Bound {
        const SettingsControl* control;
        QWidget* widget;
    };

    QWidget* MakeControl(const SettingsControl& control);
    void LoadControls();
    uint16_t* LevelField(size_t offset);

    LineSettings* m_settings;
    LineLevels* m_levels;
    int32_t* m_power;
    std::vector<Bound> m_bound;
    QCheckBox* m_powerBox = nullptr;
};
