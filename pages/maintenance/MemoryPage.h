// CMemoryPage: the first page of every board: memory dump and save, DSP reset and program load, board
// identity, watchdog and the test switch, all through the board's configuration device.
#pragma once

#include "PageDlg.h"

#include <QFont>
#include <QTimer>

#include <cstdint>
#include <cstdlib>
#include <memory>

class CDevice;
class CDumpModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;

class CMemoryPage : public CPageDlg {
    Q_OBJECT
public:
    // The kick period the page asks for; platforms with a coarser timer tick at their shortest period.
    static constexpr int kKickPeriodMs = 2;
    // How long the DSP is left in reset before the program is loaded.
    static constexpr int kResetSettleMs = 500;

    CMemoryPage(CDevice* device, uint16_t type, QWidget* parent = nullptr);
    ~CMemoryPage() override;

    bool OnInitDialog() override;

private:
    void BuildControls();
    void OnRead();
    void OnSave();
    void OnLoad();
    void OnWriteId();
    void OnWritePrefix();
    void OnWatchdog(bool pressed);
    void OnKickTimer();
    void OnCheck1(bool pressed);

    // Resets the board, waits, then has the driver load its program: by name when the user asks, with
    // an empty request (the driver's default) at opening. False when a step failed or the page went away.
    bool ResetAndLoad(bool atOpening);
    // Lets the DSP settle after its reset without freezing the window: user input waits, and nothing is
    // sent to the board meanwhile (the kick timer is held). False when the page was destroyed meanwhile.
    bool WaitAfterReset();
    void SetWatchdogRunning(bool running);

    struct FreeBytes {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    CDevice* m_device;
    uint16_t m_type;
    bool m_newFamily;

    QFont m_dumpFont;
    QTimer m_kickTimer;
    std::unique_ptr<uint8_t, FreeBytes> m_readBuffer;
    uint32_t m_readByteCount = 0;

    CDumpModel* m_model = nullptr;
    QListView* m_memoryList = nullptr;
    QLineEdit* m_startAddressEdit = nullptr;
    QLineEdit* m_wordNumberEdit = nullptr;
    QComboBox* m_memoryTypeCombo = nullptr;
    QCheckBox* m_readAsIoCheck = nullptr;
    QPushButton* m_readButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QRadioButton* m_binaryRadio = nullptr;
    QRadioButton* m_textRadio = nullptr;
    QPushButton* m_fileButton = nullptr;
    QLineEdit* m_programPathEdit = nullptr;
    QPushButton* m_loadButton = nullptr;
    QLineEdit* m_boardIdEdit = nullptr;
    QPushButton* m_writeIdButton = nullptr;
    QLineEdit* m_prefixEdit = nullptr;
    QPushButton* m_writePrefixButton = nullptr;
    QPushButton* m_wdtButton = nullptr;
    QLineEdit* m_wdtIntervalEdit = nullptr;
    QCheckBox* m_noResetWdtCheck = nullptr;
    QPushButton* m_check1Button = nullptr;
};
