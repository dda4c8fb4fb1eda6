// The board memory page: its controls, opening sequence and handlers.
#include "MemoryPage.h"

#include "AppSwitches.h"
#include "BoardMaintenance.h"
#include "BoardModels.h"
#include "DumpFile.h"
#include "DumpModel.h"
#include "DumpText.h"
#include "Helpers.h"
#include "MemoryBlocks.h"
#include "Mnemonics.h"
#include "NumberText.h"
#include "PageFactories.h"
#include "Prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* Buddy(QLabel* label, QWidget* buddy) {
    label->setBuddy(buddy);
    return label;
}

} // namespace

CMemoryPage::CMemoryPage(CDevice* device, uint16_t type, QWidget* parent)
    : CPageDlg(parent), m_device(device), m_type(type), m_newFamily(IsNewFamily(type)) {
    setObjectName(QStringLiteral("memoryPage"));
    m_dumpFont = QFont(QStringLiteral("Courier New"));
    m_dumpFont.setPixelSize(20);
    m_dumpFont.setWeight(QFont::Normal);
    m_dumpFont.setStyleHint(QFont::TypeWriter); // a fixed-pitch stand-in where the face is missing
    m_dumpFont.setFixedPitch(true);
    m_kickTimer.setObjectName(QStringLiteral("kickTimer"));
    m_kickTimer.setTimerType(Qt::PreciseTimer);
    m_kickTimer.setInterval(kKickPeriodMs);
    connect(&m_kickTimer, &QTimer::timeout, this, &CMemoryPage::OnKickTimer);
    BuildControls();
}

CMemoryPage::~CMemoryPage() { m_kickTimer.stop(); }

void CMemoryPage::BuildControls() {
    auto* listGroup = Named(new QGroupBox(QStringLiteral("Memory list"), this), "memoryListGroup");
    m_model = new CDumpModel(this);
    m_model->setObjectName(QStringLiteral("dumpModel"));
    m_memoryList = Named(new QListView(listGroup), "memoryList");
    m_memoryList->setModel(m_model);
    m_memoryList->setUniformItemSizes(true); // keeps a list of many thousand lines quick to lay out
    m_memoryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_memoryList->setMinimumWidth(520);
    m_memoryList->setAccessibleName(QStringLiteral("Memory list"));
    (new QVBoxLayout(listGroup))->addWidget(m_memoryList);

    auto* readGroup = Named(new QGroupBox(QStringLiteral("Read and Write"), this), "readWriteGroup");
    m_startAddressEdit = Named(new QLineEdit(readGroup), "startAddressEdit");
    m_wordNumberEdit = Named(new QLineEdit(readGroup), "wordNumberEdit");
    m_memoryTypeCombo = Named(new QComboBox(readGroup), "memoryTypeCombo");
    m_readAsIoCheck = Named(new QCheckBox(QStringLiteral("Read as IO device handle"), readGroup), "readAsIoCheck");
    m_readButton = Named(new QPushButton(QStringLiteral("Read"), readGroup), "readButton");
    m_saveButton = Named(new QPushButton(QStringLiteral("Save"), readGroup), "saveButton");
    m_saveButton->setEnabled(false);
    m_binaryRadio = Named(new QRadioButton(QStringLiteral("Binary"), readGroup), "binaryRadio");
    m_textRadio = Named(new QRadioButton(QStringLiteral("Text"), readGroup), "textRadio");
    m_binaryRadio->setChecked(true);
    auto* readLayout = new QGridLayout(readGroup);
    // Each label names its edit (its buddy): a screen reader announces the edit by the label, not by the
    // group's title.
    readLayout->addWidget(
        Buddy(Named(new QLabel(QStringLiteral("Start address :"), readGroup), "startAddressLabel"), m_startAddressEdit),
        0, 0);
    readLayout->addWidget(m_startAddressEdit, 0, 1);
    readLayout->addWidget(
        Buddy(Named(new QLabel(QStringLiteral("Word number:"), readGroup), "wordNumberLabel"), m_wordNumberEdit), 1, 0);
    readLayout->addWidget(m_wordNumberEdit, 1, 1);
    readLayout->addWidget(
        Buddy(Named(new QLabel(QStringLiteral("Memory type :"), readGroup), "memoryTypeLabel"), m_memoryTypeCombo), 2,
        0);
    readLayout->addWidget(m_memoryTypeCombo, 2, 1);
    readLayout->addWidget(m_readAsIoCheck, 3, 0, 1, 2);
    readLayout->addWidget(m_readButton, 4, 0);
    readLayout->addWidget(m_saveButton, 4, 1);
    readLayout->addWidget(m_binaryRadio, 5, 0);
    readLayout->addWidget(m_textRadio, 5, 1);
    readLayout->setRowStretch(6, 1);

    auto* loadGroup = Named(new QGroupBox(QStringLiteral("Load rogramm"), this), "loadGroup");
    m_fileButton = Named(new QPushButton(QStringLiteral("File"), loadGroup), "fileButton");
    m_fileButton->setEnabled(false); // the driver finds the program itself; the page only names it
    m_programPathEdit = Named(new QLineEdit(loadGroup), "programPathEdit");
    m_programPathEdit->setEnabled(false);
    m_programPathEdit->setMinimumWidth(260);
    m_programPathEdit->setAccessibleName(QStringLiteral("Program file"));
    m_loadButton = Named(new QPushButton(QStringLiteral("Load"), loadGroup), "loadButton");
    auto* loadLayout = new QGridLayout(loadGroup);
    loadLayout->addWidget(m_fileButton, 0, 0);
    loadLayout->addWidget(m_programPathEdit, 0, 1, 1, 3);
    loadLayout->addWidget(Named(new QLabel(QStringLiteral("Size of file :"), loadGroup), "fileSizeLabel"), 1, 0);
    loadLayout->addWidget(Named(new QLabel(QStringLiteral("0 kB"), loadGroup), "fileSizeValueLabel"), 1, 1);
    loadLayout->addWidget(m_loadButton, 1, 3);

    m_boardIdEdit = Named(new QLineEdit(this), "boardIdEdit");
    m_writeIdButton = Named(new QPushButton(QStringLiteral("Write ID"), this), "writeIdButton");
    m_prefixEdit = Named(new QLineEdit(this), "prefixEdit");
    m_prefixEdit->setAccessibleName(QStringLiteral("Board prefix"));
    m_writePrefixButton = Named(new QPushButton(QStringLiteral("Write prefix"), this), "writePrefixButton");
    m_wdtButton = Named(new QPushButton(QStringLiteral("Start WDT"), this), "wdtButton");
    m_wdtButton->setCheckable(true);
    m_wdtIntervalEdit = Named(new QLineEdit(this), "wdtIntervalEdit");
    m_wdtIntervalEdit->setAccessibleName(QStringLiteral("WDT interval"));
    m_noResetWdtCheck = Named(new QCheckBox(QStringLiteral("don't reset wdt"), this), "noResetWdtCheck");
    m_check1Button = Named(new QPushButton(QStringLiteral("Check1"), this), "check1Button");
    m_check1Button->setCheckable(true);

    auto* identityRow = new QHBoxLayout;
    identityRow->addWidget(Buddy(Named(new QLabel(QStringLiteral("Board ID :"), this), "boardIdLabel"), m_boardIdEdit));
    identityRow->addWidget(m_boardIdEdit);
    identityRow->addWidget(m_writeIdButton);
    identityRow->addSpacing(12);
    identityRow->addWidget(m_prefixEdit);
    identityRow->addWidget(m_writePrefixButton);
    identityRow->addStretch(1);
    for (QLineEdit* edit : {m_boardIdEdit, m_prefixEdit, m_wdtIntervalEdit})
        edit->setMaximumWidth(160);
    auto* watchdogRow = new QHBoxLayout;
    watchdogRow->addWidget(m_wdtButton);
    watchdogRow->addWidget(m_wdtIntervalEdit);
    watchdogRow->addWidget(m_noResetWdtCheck);
    watchdogRow->addStretch(1);
    watchdogRow->addWidget(m_check1Button);

    auto* rightColumn = new QVBoxLayout;
    rightColumn->addWidget(readGroup, 1);
    rightColumn->addWidget(loadGroup);
    auto* top = new QHBoxLayout;
    top->addWidget(listGroup, 1);
    top->addLayout(rightColumn);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top, 1);
    page->addLayout(identityRow);
    page->addLayout(watchdogRow);

    connect(m_readButton, &QPushButton::clicked, this, &CMemoryPage::OnRead);
    connect(m_saveButton, &QPushButton::clicked, this, &CMemoryPage::OnSave);
    connect(m_loadButton, &QPushButton::clicked, this, &CMemoryPage::OnLoad);
    connect(m_writeIdButton, &QPushButton::clicked, this, &CMemoryPage::OnWriteId);
    connect(m_writePrefixButton, &QPushButton::clicked, this, &CMemoryPage::OnWritePrefix);
    // toggled, not clicked: an assistive tool's toggle action changes the state without a click.
    connect(m_wdtButton, &QPushButton::toggled, this, &CMemoryPage::OnWatchdog);
    connect(m_check1Button, &QPushButton::toggled, this, &CMemoryPage::OnCheck1);
}

bool CMemoryPage::OnInitDialog() {
    if (!CPageDlg::OnInitDialog() || !m_device)
        return false;
    m_prefixEdit->setText(QString::asprintf("0x%04X", static_cast<unsigned>(m_type)));
    m_memoryList->setFont(m_dumpFont);
    m_startAddressEdit->setText(QStringLiteral("0x7500"));
    m_wordNumberEdit->setText(QStringLiteral("112"));
    m_wdtIntervalEdit->setText(QStringLiteral("32000"));
    m_programPathEdit->setText(QStringLiteral("SystemRoot\\SYSTEM32\\Drivers\\prog.i00"));

    if (LoadProgramAtOpen() && !ResetAndLoad(true))
        return false;

    m_binaryRadio->setChecked(true);
    m_memoryTypeCombo->clear();
    m_memoryTypeCombo->addItem(QStringLiteral("TMS on-chip memory (DARAM)"), static_cast<int>(MemoryKind::Daram));
    m_memoryTypeCombo->addItem(QStringLiteral("PLX memory (EEPROM)"), static_cast<int>(MemoryKind::Eeprom));
    m_memoryTypeCombo->setCurrentIndex(0);
    m_saveButton->setEnabled(false);

    if (m_newFamily) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_textRadio, m_binaryRadio, m_saveButton, m_startAddressEdit,
                                                          m_wordNumberEdit, m_memoryTypeCombo, m_readAsIoCheck,
                                                          m_readButton, m_check1Button, m_loadButton})
            w->setEnabled(false);
    }
    const BoardIdReading reading = ReadBoardId(*m_device, m_newFamily);
    if (reading.failure) {
        ShowError(this, *reading.failure);
        return false;
    }
    m_boardIdEdit->setText(QString::number(reading.id));

    m_kickTimer.start();
    if (!m_kickTimer.isActive())
        return true; // the page works without kicks
    if (!m_newFamily)
        OnRead();
    return true;
}

void CMemoryPage::OnRead() {
    if (!m_device)
        return;
    const auto start = ParseHexOrDecimal(m_startAddressEdit->text());
    if (!start) {
        ShowError(this, QStringLiteral("start address incorrect"));
        return;
    }
    const bool header = m_readAsIoCheck->isChecked();
    uint32_t count = 16; // an I/O device header is sixteen words; the word number is not consulted
    if (!header) {
        const auto words = ParseHexOrDecimal(m_wordNumberEdit->text());
        if (!words) {
            ShowError(this, QStringLiteral("Start address incorrect"));
            return;
        }
        count = *words;
    }
    MemoryOperation op;
    op.start = *start;
    op.count = count;
    op.direction = MemoryOperation::kRead;
    op.memory = static_cast<uint16_t>(m_memoryTypeCombo->currentData().toUInt());

    m_saveButton->setEnabled(false);
    m_readBuffer.reset();
    m_readByteCount = 0;

    // calloc leaves a large buffer's pages untouched until the board fills them. The byte size travels
    // as a 32-bit number, so a larger count cannot be read at all.
    const uint64_t size = uint64_t{count} * 2;
    if (size <= UINT32_MAX)
        m_readBuffer.reset(static_cast<uint8_t*>(std::calloc(size ? size : 1, 1)));
    if (!m_readBuffer) {
        Prompts().Message(this, QStringLiteral("Cann't allocate buffer for read memory"), QStringLiteral("ERROR"),
                          PromptIcon::Error);
        return;
    }
    uint32_t returned = 0;
    if (const Failure failure = ReadMemory(*m_device, op, m_readBuffer.get(), static_cast<uint32_t>(size), &returned)) {
        ShowError(this, *failure);
        return;
    }
    m_saveButton->setEnabled(true);
    m_readByteCount = returned;
    if (header)
        m_model->ShowLines(HeaderLines(m_readBuffer.get(), returned));
    else
        m_model->ShowDump(op.start, std::vector<uint8_t>(m_readBuffer.get(), m_readBuffer.get() + returned));
}

void CMemoryPage::OnSave() {
    QString path;
    if (!ChooseFile(this, false, nullptr, &path, true))
        return;
    SaveResult result;
    if (m_textRadio->isChecked())
        result = SaveText(path, *m_model);
    else
        result = SaveBinary(path, m_readBuffer.get(), m_readBuffer ? m_readByteCount : 0);
    if (result == SaveResult::CannotCreate)
        ShowError(this, QStringLiteral("Cann't create destanation file"));
    else if (result == SaveResult::ShortWrite)
        ShowError(this, QStringLiteral("Cann't write to file"));
}

void CMemoryPage::OnLoad() {
    if (!m_device)
        return;
    ResetAndLoad(false);
}

bool CMemoryPage::ResetAndLoad(bool atOpening) {
    const QString fatal = QStringLiteral("FATAL ERROR");
    if (!ResetDsp(*m_device)) {
        Prompts().Message(this, QStringLiteral("Cann't reset board"), fatal, PromptIcon::Error);
        return false;
    }
    if (!WaitAfterReset())
        return false;
    // At opening the request is empty: the driver loads its default program.
    if (!LoadProgram(*m_device, !atOpening)) {
        Prompts().Message(this, QStringLiteral("Cann't load programm into board"), fatal, PromptIcon::Error);
        return false;
    }
    if (!atOpening)
        Prompts().Message(this, QStringLiteral("Programm was loaded successful."), QStringLiteral("Congratulation"),
                          PromptIcon::Information);
    return true;
}

bool CMemoryPage::WaitAfterReset() {
    // A local event loop keeps the window painting while user input waits in the queue. The kick timer is
    // held, as the page is busy: nothing at all reaches the board between the reset and the load.
    const bool kicking = m_kickTimer.isActive();
    m_kickTimer.stop();
    QPointer<CMemoryPage> self(this);
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    for (qint64 left = kResetSettleMs; left > 0; left = kResetSettleMs - elapsed.elapsed()) {
        QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!self)
            return false;
    }
    if (kicking)
        m_kickTimer.start();
    return true;
}

void CMemoryPage::OnWriteId() {
    if (!m_device)
        return;
    const auto id = ParseUnsignedDecimal(m_boardIdEdit->text());
    if (!id) {
        ShowError(this, QStringLiteral("Incorrect board ID"));
        return;
    }
    if (const Failure failure = WriteBoardId(*m_device, m_newFamily, *id)) {
        ShowError(this, *failure);
        return;
    }
    const BoardIdReading reading = ReadBoardId(*m_device, m_newFamily);
    if (reading.failure) {
        ShowError(this, *reading.failure);
        return;
    }
    m_boardIdEdit->setText(QString::number(reading.id));
    Prompts().Message(this, QStringLiteral("Board ID is writed successful"), QStringLiteral("Information"),
                      PromptIcon::Information);
}

void CMemoryPage::OnWritePrefix() {
    uint32_t value = 0;
    if (!ParseHex(&value, m_prefixEdit->text())) {
        ShowError(this, QStringLiteral("Board type is incorrect"));
        return;
    }
    // The board type word is 16 bits; higher digits are dropped.
    const Failure failure = m_device ? WriteBoardPrefix(*m_device, static_cast<uint16_t>(value))
                                     : Failure(QStringLiteral("Cann't start DSP memory operation"));
    if (failure) {
        ShowError(this, *failure);
        return;
    }
    Prompts().Message(this, QStringLiteral("Board prefix writed successful"), QStringLiteral("OK"),
                      PromptIcon::Information);
}

void CMemoryPage::SetWatchdogRunning(bool running) {
    {
        const QSignalBlocker quiet(m_wdtButton); // showing the outcome is not a new press
        m_wdtButton->setChecked(running);
    }
    m_wdtButton->setText(
        KeepMnemonic(m_wdtButton->text(), running ? QStringLiteral("Stop WDT") : QStringLiteral("Start WDT")));
    m_wdtIntervalEdit->setEnabled(!running);
}

void CMemoryPage::OnWatchdog(bool pressed) {
    if (!m_device)
        return;
    if (pressed) {
        const auto interval = ParseUnsignedDecimal(m_wdtIntervalEdit->text());
        if (!interval) {
            SetWatchdogRunning(false);
            ShowError(this, QStringLiteral("Incorrect watch dog timer interval"));
            return;
        }
        if (!StartWatchdog(*m_device, *interval)) {
            SetWatchdogRunning(false);
            return;
        }
        m_noResetWdtCheck->setChecked(false);
        SetWatchdogRunning(true);
        return;
    }
    // A stop the board refused leaves the watchdog running, and the button says so.
    SetWatchdogRunning(!StopWatchdog(*m_device));
}

void CMemoryPage::OnKickTimer() {
    if (m_noResetWdtCheck->isChecked() || !m_device)
        return;
    KickWatchdog(*m_device);
}

void CMemoryPage::OnCheck1(bool pressed) {
    if (!m_device)
        return;
    SetPushSwitch(*m_device, pressed);
}

std::unique_ptr<CPageDlg> CreateMemoryPage(const PageContext& context, QWidget* parent) {
    return std::make_unique<CMemoryPage>(context.cfg, context.Type16(), parent);
}
