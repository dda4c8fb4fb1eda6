// The phone line page: hook state, rings, voltage, caller number and control input of up to eight lines,
// polled every millisecond on a fixed grid, with hook, commutation, settings and dialling per line.
#pragma once

#include "LineDisplay.h"
#include "PageContext.h"
#include "PageDlg.h"

#include <array>
#include <cstdint>
#include <memory>

class CDevice;
class CHookView;
class CPollTicks;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

class CPhoneLinePage : public CPageDlg {
    Q_OBJECT
public:
    CPhoneLinePage(const PageContext& context, QWidget* parent);
    ~CPhoneLinePage() override;

    bool OnInitDialog() override;

    // One poll of every present line; the polling timer calls it.
    void OnTimer();
    bool Polling() const;

private:
    struct LineControls {
        QGroupBox* group = nullptr;
        CHookView* picture = nullptr;
        QLabel* ringsLabel = nullptr;
        QLabel* rings = nullptr;
        QLabel* number = nullptr;
        QLabel* voltageLabel = nullptr;
        QLabel* voltage = nullptr;
        QPushButton* hook = nullptr;
        QPushButton* settings = nullptr;
        QPushButton* dial = nullptr;
        QCheckBox* input = nullptr;
        QCheckBox* commutation = nullptr;
    };

    QGroupBox* MakeLineGroup(int line);
    void ShowLineControls(int line);
    void OnHook(int line);
    void OnCommutation(int line);
    void OnSettings(int line);
    void OnDial(int line);

    std::array<CDevice*, 8> m_lines;
    uint16_t m_boardType;
    int32_t m_boardIndex;
    std::array<LineControls, 8> m_controls{};
    std::array<LineDisplay, 8> m_display{};
    std::unique_ptr<CPollTicks> m_ticks; // the 1 ms polling, from OnInitDialog on
};
