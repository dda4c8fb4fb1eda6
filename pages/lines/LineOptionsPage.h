// The line options page: per line compensation, external tape recorder control, sensor power and the
// external input state, sampled every 200 ms; what the user changed is sent on the next tick.
#pragma once

#include "LineBlocks.h"
#include "PageContext.h"
#include "PageDlg.h"

#include <array>

class CDevice;
class CDropList;
class QCheckBox;
class QGroupBox;
class QTimer;

class CLineOptionsPage : public CPageDlg {
    Q_OBJECT
public:
    CLineOptionsPage(const PageContext& context, QWidget* parent);

    bool OnInitDialog() override;
    // One sampling tick over every present line; the timer calls it.
    void OnTimer();

private:
    struct LineControls {
        QGroupBox* group = nullptr;
        QCheckBox* compensation = nullptr;
        QCheckBox* tape = nullptr;
        QCheckBox* externalInput = nullptr;
        QGroupBox* powerGroup = nullptr;
        CDropList* power = nullptr;
    };

    QGroupBox* MakeLineGroup(int line);
    void ReadAtOpening(int line);
    // Shows a line's state read from the board in its controls and takes it as the line's last state.
    void TakeFirstState(size_t line, const LineStateShort& state);

    std::array<CDevice*, 8> m_lines;
    std::array<LineControls, 8> m_controls{};
    std::array<LineStateShort, 8> m_last{};
    // A line whose options were never read has controls that say nothing about the board; it is
    // sent nothing until its first good read fills them.
    std::array<bool, 8> m_known{};
    QTimer* m_timer = nullptr;
};
