// The board dialog: device opening order, the pages a type code calls for, and orderly release.
#include "BoardDlg.h"

#include "DeviceNames.h"
#include "Error.h"
#include "PageDlg.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

CBoardDlg::CBoardDlg(CDriverLibrary* library, std::string devicePath, uint32_t channels, uint32_t type,
                     uint32_t boardId, int32_t index, QWidget* parent, DeviceOpener open, PageList pages)
    : QWidget(parent), m_library(library), m_devicePath(std::move(devicePath)), m_boardId(boardId),
      m_open(open ? std::move(open) : DeviceOpener(&OpenDevice)),
      m_pageList(pages ? std::move(pages) : PageList(&PagesFor)) {
    setObjectName(QStringLiteral("boardDialog"));
    m_context.type = type;
    m_context.index = index;
    m_context.channels = channels;
    m_context.boardId = boardId;
}

CBoardDlg::~CBoardDlg() {
    // Every page's workers end before any page goes, so none reports to a destroyed widget; every page
    // takes each step before any waits for the next.
    FinishShutdown();
    for (auto& page : m_pages)
        page.reset();
    for (size_t n = 0; n < kMaxLines; ++n) {
        m_lineIn[n].reset();
        m_lineOut[n].reset();
    }
    m_left.reset();
    m_right.reset();
    m_cfg.reset();
}

void CBoardDlg::BeginShutdown() {
    for (auto& page : m_pages)
        if (page)
            page->BeginShutdown();
}

void CBoardDlg::CancelStuckRequests() {
    for (auto& page : m_pages)
        if (page)
            page->CancelStuckRequests();
}

bool CBoardDlg::FinishShutdown() {
    BeginShutdown();
    CancelStuckRequests();
    bool leftBehind = false;
    for (auto& page : m_pages)
        if (page) {
            page->Shutdown();
            leftBehind = page->LeftWorkBehind() || leftBehind;
        }
    return leftBehind;
}

void CBoardDlg::OpenDevices() {
    for (size_t n = 0; n < kMaxLines; ++n) {
        // Every line's devices are opened; those of lines the board lacks fail as expected, so their
        // diagnostic lines stay off the user's terminal.
        std::optional<CExpectedFailures> expected;
        if (n >= m_context.channels)
            expected.emplace();
        m_lineIn[n] = m_open(m_library, m_devicePath, LineInLeaf(static_cast<int>(n)));
        m_lineOut[n] = m_open(m_library, m_devicePath, LineOutLeaf(static_cast<int>(n)));
        m_context.lineIn[n] = m_lineIn[n].get();
        m_context.lineOut[n] = m_lineOut[n].get();
    }
    m_left = m_open(m_library, m_devicePath, kLeftOutputLeaf);
    m_right = m_open(m_library, m_devicePath, kRightOutputLeaf);
    m_cfg = m_open(m_library, m_devicePath, kConfigLeaf);
    m_context.left = m_left.get();
    m_context.right = m_right.get();
    m_context.cfg = m_cfg.get();
}

bool CBoardDlg::OnInitDialog(int pagesNow) {
    OpenDevices();
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("boardPages"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    m_entries = m_pageList(m_context.type);
    if (!CreatePages(pagesNow))
        return false;
    m_tabs->setCurrentIndex(0);
    return true;
}

bool CBoardDlg::BuildRemainingPages() { return CreatePages(kMaxPages); }

bool CBoardDlg::CreatePages(int limit) {
    while (m_nextEntry < m_entries.size() && m_built < limit) {
        const PageEntry& entry = m_entries[m_nextEntry++];
        const int k = m_built;
        if (!entry.create || k >= kMaxPages)
            continue;
        std::unique_ptr<CPageDlg> page;
        try {
            page = entry.create(m_context, this);
        } catch (const std::exception&) {
            page.reset();
        }
        if (!page)
            return false; // a page that cannot be made ends the board dialog
        page->setObjectName(page->objectName().isEmpty() ? QString::fromLatin1(entry.page) : page->objectName());
        if (page->OnInitDialog()) {
            m_tabs->addTab(page.get(), entry.tabText);
        } else {
            // The page ended itself: its tab stays, showing nothing, and its object lives on hidden.
            page->hide();
            auto* empty = new QWidget(m_tabs);
            empty->setObjectName(QStringLiteral("endedPage"));
            m_tabs->addTab(empty, entry.tabText);
        }
        m_pages[static_cast<size_t>(k)] = std::move(page);
        ++m_built;
    }
    return true;
}

CPageDlg* CBoardDlg::Page(int tab) const {
    if (tab < 0 || tab >= kMaxPages)
        return nullptr;
    return m_pages[static_cast<size_t>(tab)].get();
}
