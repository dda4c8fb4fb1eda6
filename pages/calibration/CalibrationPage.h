// The line voltmeter calibration page: a three-step wizard that has the board measure 0 V and the maximum
// voltage on the chosen lines, compute correction coefficients and take them into use.
#pragma once

#include "PageDlg.h"

#include <array>
#include <cstdint>

class CDevice;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CCalibrationPage : public CPageDlg {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 8;
    static constexpr uint16_t kDefaultMaxVoltage = 60;

    // `device` is the board's configuration device (may be null); `lines` its phone-line count.
    CCalibrationPage(CDevice* device, uint32_t lines, QWidget* parent = nullptr);

    // Ticks the offered lines and reads the board's maximum voltage; false when the page ends itself
    // (no configuration device, or the board did not tell its maximum voltage).
    bool OnInitDialog() override;

    int Step() const { return m_step; }

private:
    void BuildControls();
    // Shows the current step: which controls are usable and its instruction.
    void UpdateStep();
    void OnSetAll();
    void OnClearAll();
    void OnBack();
    void OnNext();
    void OnApply();

    int16_t m_step = 0;
    int32_t m_nLines = 0;
    CDevice* m_pDevice = nullptr;
    uint16_t m_maxVoltage = kDefaultMaxVoltage;

    std::array<QCheckBox*, kMaxLines> m_lineBoxes{};
    QPushButton* m_setAllButton = nullptr;
    QPushButton* m_clearAllButton = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPlainTextEdit* m_instruction = nullptr;
    QLineEdit* m_maxVoltageEdit = nullptr;
};
