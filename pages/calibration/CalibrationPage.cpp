// The voltmeter calibration page: line selection, the step wizard and applying the coefficients.
#include "CalibrationPage.h"

#include "CalibrationRequests.h"
#include "CalibrationTexts.h"
#include "InstructionPicture.h"
#include "LineRequests.h"
#include "PageFactories.h"
#include "Prompts.h"
#include "RecordWriter.h"
#include "RecordsModule.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CCalibrationPage::CCalibrationPage(CDevice* device, uint32_t lines, QWidget* parent)
    : CPageDlg(parent), m_nLines(static_cast<int32_t>(std::min<uint32_t>(lines, kMaxLines))), m_pDevice(device) {
    setObjectName(QStringLiteral("calibrationPage"));
    BuildControls();
}

void CCalibrationPage::BuildControls() {
    // Both group captions spell the word for calibration with a Latin "a" (U+0061); keep it when editing.
    auto* linesGroup = new QGroupBox(QStringLiteral("Кaлибруемые каналы"), this);
    linesGroup->setObjectName(QStringLiteral("linesGroup"));
    auto* linesLayout = new QGridLayout(linesGroup);
    for (int i = 0; i < kMaxLines; ++i) {
        auto* box = new QCheckBox(QStringLiteral("Линия %1").arg(i + 1), linesGroup);
        box->setObjectName(QStringLiteral("lineCheck%1").arg(i + 1));
        box->setVisible(false);
        linesLayout->addWidget(box, i % 4, i / 4);
        m_lineBoxes[static_cast<size_t>(i)] = box;
    }
    m_setAllButton = MakeButton(QStringLiteral("Установить"), "setAllButton", linesGroup);
    m_clearAllButton = MakeButton(QStringLiteral("Сбросить"), "clearAllButton", linesGroup);
    linesLayout->addWidget(m_setAllButton, 4, 0);
    linesLayout->addWidget(m_clearAllButton, 4, 1);

    m_instruction = new QPlainTextEdit(this);
    m_instruction->setObjectName(QStringLiteral("instructionText"));
    m_instruction->setReadOnly(true);
    m_instruction->setAccessibleName(QStringLiteral("Инструкция"));
    m_backButton = MakeButton(QStringLiteral("Назад"), "backButton", this);
    m_nextButton = MakeButton(QStringLiteral("Далее"), "nextButton", this);
    m_applyButton = MakeButton(QStringLiteral("Применить\nкоэффициенты"), "applyButton", this);

    auto* settingsGroup = new QGroupBox(QStringLiteral("Настройка кaлибрации"), this);
    settingsGroup->setObjectName(QStringLiteral("settingsGroup"));
    auto* voltageLabel = new QLabel(QStringLiteral("Максимальное напряжение :"), settingsGroup);
    voltageLabel->setObjectName(QStringLiteral("maxVoltageLabel"));
    m_maxVoltageEdit = new QLineEdit(settingsGroup);
    m_maxVoltageEdit->setObjectName(QStringLiteral("maxVoltageEdit"));
    m_maxVoltageEdit->setMaximumWidth(m_maxVoltageEdit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    voltageLabel->setBuddy(m_maxVoltageEdit);
    auto* unitLabel = new QLabel(QStringLiteral("Volt"), settingsGroup);
    unitLabel->setObjectName(QStringLiteral("maxVoltageUnit"));
    auto* settingsLayout = new QHBoxLayout(settingsGroup);
    settingsLayout->addWidget(voltageLabel);
    settingsLayout->addWidget(m_maxVoltageEdit);
    settingsLayout->addWidget(unitLabel);
    settingsLayout->addStretch();

    auto* picture = new CInstructionPicture(this);
    picture->setObjectName(QStringLiteral("instructionPicture"));

    auto* stepButtons = new QHBoxLayout;
    stepButtons->addWidget(m_backButton);
    stepButtons->addWidget(m_nextButton);
    stepButtons->addStretch();
    stepButtons->addWidget(m_applyButton);
    auto* wizard = new QVBoxLayout;
    wizard->addWidget(m_instruction);
    wizard->addLayout(stepButtons);
    auto* top = new QHBoxLayout;
    top->addWidget(linesGroup);
    top->addLayout(wizard, 1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(settingsGroup);
    page->addWidget(picture, 0, Qt::AlignHCenter);
    page->addStretch();

    connect(m_setAllButton, &QPushButton::clicked, this, &CCalibrationPage::OnSetAll);
    connect(m_clearAllButton, &QPushButton::clicked, this, &CCalibrationPage::OnClearAll);
    connect(m_backButton, &QPushButton::clicked, this, &CCalibrationPage::OnBack);
    connect(m_nextButton, &QPushButton::clicked, this, &CCalibrationPage::OnNext);
    connect(m_applyButton, &QPushButton::clicked, this, &CCalibrationPage::OnApply);
}

bool CCalibrationPage::OnInitDialog() {
    if (!m_pDevice)
        return false;
    for (int i = 0; i < m_nLines; ++i)
        m_lineBoxes[static_cast<size_t>(i)]->setVisible(true);
    OnSetAll();
    UpdateStep();
    if (!GetMaxVoltage(*m_pDevice, &m_maxVoltage)) {
        Prompts().Message(this, QStringLiteral("Can not get maximim voltage"), QStringLiteral("Error"),
                          PromptIcon::Error);
        return false;
    }
    m_maxVoltageEdit->setText(QString::number(m_maxVoltage));
    return true;
}

void CCalibrationPage::UpdateStep() {
    const bool choosing = m_step == 0;
    for (int i = 0; i < m_nLines; ++i)
        m_lineBoxes[static_cast<size_t>(i)]->setEnabled(choosing);
    m_setAllButton->setEnabled(choosing);
    m_clearAllButton->setEnabled(choosing);
    m_backButton->setEnabled(!choosing);
    m_nextButton->setEnabled(true);
    m_instruction->setPlainText(StepInstruction(m_step, m_maxVoltage));
}

void CCalibrationPage::OnSetAll() {
    for (int i = 0; i < m_nLines; ++i)
        m_lineBoxes[static_cast<size_t>(i)]->setChecked(true);
}

void CCalibrationPage::OnClearAll() {
    for (int i = 0; i < m_nLines; ++i)
        m_lineBoxes[static_cast<size_t>(i)]->setChecked(false);
}

void CCalibrationPage::OnBack() {
    if (m_step > 0)
        --m_step;
    UpdateStep();
}

void CCalibrationPage::OnNext() {
    if (!m_pDevice)
        return;
    if (m_step == 0) {
        const auto volts = ParseMaxVoltage(m_maxVoltageEdit->text());
        if (!volts) {
            Prompts().Message(this, QStringLiteral("Incorrect voltage"), QStringLiteral("Error"), PromptIcon::Error);
            return;
        }
        m_maxVoltage = *volts;
        if (!SetMaxVoltage(*m_pDevice, m_maxVoltage)) {
            Prompts().Message(this, QStringLiteral("Can not set maximum voltage"), QStringLiteral("Error"),
                              PromptIcon::Error);
            return;
        }
    }
    for (int i = 0; i < m_nLines; ++i) {
        if (!m_lineBoxes[static_cast<size_t>(i)]->isChecked())
            continue;
        if (!RunCalibrationStep(*m_pDevice, static_cast<uint16_t>(i), static_cast<uint16_t>(m_step))) {
            // The step stays, so pressing again repeats it from the first ticked line.
            Prompts().Message(this, QStringLiteral("Can not start colibration"), QStringLiteral("Error"),
                              PromptIcon::Error);
            return;
        }
    }
    NoteReadings();
    m_step = static_cast<int16_t>((m_step + 1) % 3);
    UpdateStep();
}

void CCalibrationPage::OnApply() {
    if (m_step != 0) {
        Prompts().Message(this, QStringLiteral("Colibration in progress"), QStringLiteral("Error"), PromptIcon::Error);
        return;
    }
    if (!m_pDevice)
        return;
    if (ApplyCalibration(*m_pDevice)) {
        RecordApplied();
        Prompts().Message(this, QStringLiteral("Colibration info is set"), QStringLiteral("Info"),
                          PromptIcon::Information);
    } else
        Prompts().Message(this, QStringLiteral("Can not set colibration info"), QStringLiteral("Error"),
                          PromptIcon::Error);
}

void CCalibrationPage::KeepRecords(const PageContext& context) {
    m_board = context;
    if (!m_records) {
        m_records = new CRecordWriter(this);
        connect(m_records, &CRecordWriter::written, this,
                [this](int kind, const QString& message) { OnRecordWritten(kind, message); });
    }
}

std::optional<double> CCalibrationPage::ReadLine(int line) const {
    CDevice* device = m_board.lineIn[static_cast<size_t>(line)];
    if (!device)
        return std::nullopt;
    const std::optional<LineState> state = GetLineState(*device);
    if (!state)
        return std::nullopt;
    return state->voltage;
}

void CCalibrationPage::NoteReadings() {
    if (!m_records)
        return;
    // Step 0 starts a calibration of the ticked lines; steps 0 and 1 are read with their voltage applied.
    if (m_step == 0) {
        m_run = {};
        m_run.boardType = m_board.type;
        m_run.boardId = m_board.boardId;
        m_run.boardName = m_board.boardName;
        m_run.boardNumber = m_board.index;
        m_run.maxVoltage = m_maxVoltage;
        m_run.startedMs = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < m_nLines; ++i)
            if (m_lineBoxes[static_cast<size_t>(i)]->isChecked())
                m_run.lines.push_back({i, ReadLine(i), std::nullopt, std::nullopt});
    } else if (m_step == 1) {
        for (CalibrationLine& line : m_run.lines)
            line.fullReading = ReadLine(line.line);
    }
    m_runComplete = m_step == 2 && !m_run.lines.empty();
}

void CCalibrationPage::RecordApplied() {
    if (!m_records || !m_runComplete)
        return; // a calibration taken into use again, or made before the page kept records
    m_runComplete = false;
    for (CalibrationLine& line : m_run.lines)
        line.correctedReading = ReadLine(line.line);
    m_run.endedMs = QDateTime::currentMSecsSinceEpoch();
    QString error;
    IRecordsModule* records = RecordsModule(&error);
    const std::optional<RecordSettings> settings = records ? records->ProgramSettings(&error) : std::nullopt;
    if (!settings) {
        if (qEnvironmentVariable("VELTRIN_RECORDS").compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0)
            OnRecordWritten(static_cast<int>(KeepResult::Kind::Failed), error);
        return;
    }
    m_records->Write(*settings, MakeCalibrationRecord(m_run));
}

void CCalibrationPage::OnRecordWritten(int kind, const QString& message) {
    // The calibration stays applied either way; the record is what may be missing.
    if (kind == static_cast<int>(KeepResult::Kind::Spooled))
        std::fprintf(stderr, "veltrin-test: %s\n", qPrintable(message));
    else if (kind == static_cast<int>(KeepResult::Kind::Failed))
        Prompts().Message(this,
                          QStringLiteral("The calibration is applied, but its record is not kept: %1").arg(message),
                          QStringLiteral("Error"), PromptIcon::Error);
}

std::unique_ptr<CPageDlg> CreateCalibrationPage(const PageContext& context, QWidget* parent) {
    auto page = std::make_unique<CCalibrationPage>(context.cfg, context.channels, parent);
    page->KeepRecords(context);
    return page;
}
