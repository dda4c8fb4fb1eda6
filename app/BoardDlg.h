// CBoardDlg: one board's tab. Opens the board's nineteen devices, creates its pages and owns both.
#pragma once

#include "Device.h"
#include "DeviceNames.h"
#include "PageTable.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDriverLibrary;
class CPageDlg;
class QTabWidget;

class CBoardDlg : public QWidget {
    Q_OBJECT
public:
    using DeviceOpener =
        std::function<std::unique_ptr<CDevice>(CDriverLibrary*, const std::string& base, const std::string& leaf)>;
    using PageList = std::function<std::vector<PageEntry>(uint32_t type)>;

    static constexpr int kMaxPages = 10;

    // From a board record: the library (null for a kernel board), base device name, channel count,
    // type code, board ID and settings index. `open` and `pages` default to the real ones.
    CBoardDlg(CDriverLibrary* library, std::string devicePath, uint32_t channels, uint32_t type, uint32_t boardId,
              int32_t index, QWidget* parent = nullptr, DeviceOpener open = {}, PageList pages = {});
    // Pages first, then the devices, in their opening order.
    ~CBoardDlg() override;

    // Opens the devices and creates the first `pagesNow` pages (all by default). False when the board
    // dialog ended itself.
    bool OnInitDialog(int pagesNow = kMaxPages);
    // Creates the pages OnInitDialog left, in their order. False when the board dialog ended itself.
    bool BuildRemainingPages();
    bool PagesBuilt() const { return m_nextEntry >= m_entries.size() || m_built >= kMaxPages; }

    // The first two closing steps on every page (see CPageDlg); the destructor takes the last.
    void BeginShutdown();
    void CancelStuckRequests();
    // The last step on every page (the destructor takes it too); true when a page left work behind.
    bool FinishShutdown();

    QTabWidget* Tabs() const { return m_tabs; }
    // The page object at a tab (null for a tab whose page is not built); it may have ended itself.
    CPageDlg* Page(int tab) const;
    const PageContext& Context() const { return m_context; }
    // The board's name for the pages (the records they keep); before OnInitDialog.
    void SetBoardName(const std::string& name) { m_context.boardName = name; }

private:
    void OpenDevices();
    bool CreatePages(int limit);

    CDriverLibrary* m_library;
    std::string m_devicePath;
    uint32_t m_boardId;
    PageContext m_context;
    DeviceOpener m_open;
    PageList m_pageList;

    QTabWidget* m_tabs = nullptr;
    std::array<std::unique_ptr<CPageDlg>, kMaxPages> m_pages;
    std::vector<PageEntry> m_entries; // the board type's pages
    size_t m_nextEntry = 0;           // the first entry not yet looked at
    int m_built = 0;                  // pages made so far
    std::array<std::unique_ptr<CDevice>, kMaxLines> m_lineIn;
    std::array<std::unique_ptr<CDevice>, kMaxLines> m_lineOut;
    std::unique_ptr<CDevice> m_left;
    std::unique_ptr<CDevice> m_right;
    std::unique_ptr<CDevice> m_cfg;
};
