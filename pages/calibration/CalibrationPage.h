// The line voltmeter calibration page: a three-step wizard that has the board measure 0 V and the maximum
// voltage on the chosen lines, compute correction coefficients and take them into use.
#pragma once

#include "CalibrationRecord.h"
#include "PageContext.h"
#include "PageDlg.h"

#include <array>
#include <cstdint>

class CDevice;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CRecordWriter;

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

    // Keeps a record of every calibration applied from now on, in the program's records store: the board
    // is `context`'s, and its line devices give the voltmeter readings.
    void KeepRecords(const PageContext& context);
    // The writer of those records (null until KeepRecords).
    CRecordWriter* Records() const { return m_records; }

private:
    void BuildControls();
    // Shows the current step: which controls are usable and its instruction.
    void UpdateStep();
    void OnSetAll();
    void OnClearAll();
    void OnBack();
    void OnNext();
    void OnApply();
    // What the line's voltmeter reads now; none without a line device or an answer.
    std::optional<double> ReadLine(int line) const;
    void NoteReadings();
    void RecordApplied();
    void OnRecordWritten(int kind, const QString& message);

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

    // Records: the board, its line devices, and the calibration under way (complete once the third step
    // has been done on every ticked line).
    CRecordWriter* m_records = nullptr;
    PageContext m_board;
    CalibrationRun m_run;
    bool m_runComplete = false;
};
