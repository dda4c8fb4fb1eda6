// CCodecTabsPage: the board page holding one codec line page per complete line (input and output both
// present), each on its own tab; exactly one line page shows at a time.
#pragma once

#include "PageDlg.h"

#include <array>
#include <cstdint>
#include <memory>

class CCodecPage;
class CDevice;
class QTabWidget;

class CCodecTabsPage : public CPageDlg {
    Q_OBJECT
public:
    static constexpr int kLines = 8;
    using Devices = std::array<CDevice*, kLines>;

    CCodecTabsPage(uint32_t type, int32_t board, const Devices& inputs, const Devices& outputs, CDevice* cfg,
                   QWidget* parent = nullptr);
    ~CCodecTabsPage() override;

    bool OnInitDialog() override;
    void BeginShutdown() override;
    void CancelStuckRequests() override;
    void Shutdown() override;
    bool LeftWorkBehind() const override;

    QTabWidget* Tabs() const { return m_tabs; }
    // The line page on a tab, or null.
    CCodecPage* Page(int tab) const;

private:
    uint32_t m_type;
    int32_t m_board;
    Devices m_inputs;
    Devices m_outputs;
    CDevice* m_cfg;
    QTabWidget* m_tabs = nullptr;
    std::array<std::unique_ptr<CCodecPage>, kLines> m_pages; // by tab position
};
