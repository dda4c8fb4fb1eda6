// The codec tabs page: one tab per complete codec line, numbered by tab position.
#include "CodecTabsPage.h"

#include "CodecPage.h"
#include "PageFactories.h"

#include <QTabWidget>
#include <QVBoxLayout>

CCodecTabsPage::CCodecTabsPage(uint32_t type, int32_t board, const Devices& inputs, const Devices& outputs,
                               CDevice* cfg, QWidget* parent)
    : CPageDlg(parent), m_type(type), m_board(board), m_inputs(inputs), m_outputs(outputs), m_cfg(cfg) {
    setObjectName(QStringLiteral("codecTabsPage"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("codecTabs"));
    m_tabs->setAccessibleName(QStringLiteral("Codec lines"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}

CCodecTabsPage::~CCodecTabsPage() { Shutdown(); }

bool CCodecTabsPage::OnInitDialog() {
    if (!m_cfg)
        return false;
    int tab = 0;
    for (int line = 0; line < kLines; ++line) {
        CDevice* input = m_inputs[static_cast<size_t>(line)];
        CDevice* output = m_outputs[static_cast<size_t>(line)];
        if (!input || !output)
            continue;
        auto page = std::make_unique<CCodecPage>(m_type, m_board, line, input, output, m_cfg, m_tabs);
        const QString text = QStringLiteral("Channel : %1").arg(tab);
        if (page->OnInitDialog()) {
            m_tabs->addTab(page.get(), text);
        } else {
            // The line page ended itself (its board did not answer): its tab stays and shows nothing.
            page->hide();
            auto* empty = new QWidget(m_tabs);
            empty->setObjectName(QStringLiteral("endedCodecPage%1").arg(line));
            m_tabs->addTab(empty, text);
        }
        m_pages[static_cast<size_t>(tab)] = std::move(page);
        ++tab;
    }
    if (m_tabs->count() > 0)
        m_tabs->setCurrentIndex(0);
    return true;
}

void CCodecTabsPage::BeginShutdown() {
    for (auto& page : m_pages)
        if (page)
            page->BeginShutdown();
}

void CCodecTabsPage::CancelStuckRequests() {
    for (auto& page : m_pages)
        if (page)
            page->CancelStuckRequests();
}

void CCodecTabsPage::Shutdown() {
    // Every line takes each step before any waits for the next.
    BeginShutdown();
    CancelStuckRequests();
    for (auto& page : m_pages)
        if (page)
            page->Shutdown();
}

bool CCodecTabsPage::LeftWorkBehind() const {
    for (const auto& page : m_pages)
        if (page && page->LeftWorkBehind())
            return true;
    return false;
}

CCodecPage* CCodecTabsPage::Page(int tab) const {
    return tab >= 0 && tab < kLines ? m_pages[static_cast<size_t>(tab)].get() : nullptr;
}

std::unique_ptr<CPageDlg> CreateCodecTabsPage(const PageContext& context, QWidget* parent) {
    return std::make_unique<CCodecTabsPage>(context.type, context.index, context.lineIn, context.lineOut, context.cfg,
                                            parent);
}
