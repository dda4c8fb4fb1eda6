// The main window: discovery, board tabs, the menu and the About box.
#include "MainDlg.h"

#include "AboutDlg.h"
#include "AppSwitches.h"
#include "DriverLibrary.h"
#include "Mnemonics.h"
#include "Prompts.h"
#include "RecordsModule.h"
#include "Settings.h"

#include <QAction>
#include <QEvent>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
// Program-wide settings entry of the "Load programm on next start" menu entry.
const QString kLoadOnStartEntry = QStringLiteral("LOAD_PROGRAM_ON_START");
// Program-wide settings entry of the window's size and position.
const QString kGeometryEntry = QStringLiteral("WINDOW_GEOMETRY");
// The latest the boards after the first start to be built when the window has not painted by then.
constexpr int kLatestLaterBuildMs = 500;
} // namespace

CMainDlg::CMainDlg(const QIcon& icon, LibraryLoader loadLibrary, QWidget* parent, BoardFinder findBoards,
                   BoardMaker makeBoard)
    : QDialog(parent), m_loadLibrary(std::move(loadLibrary)),
      m_findBoards(findBoards ? std::move(findBoards) : BoardFinder(&FindBoards)), m_makeBoard(std::move(makeBoard)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(kMainWindowTitle));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    if (!m_makeBoard) {
        m_makeBoard = [](const BoardRecord& r, CDriverLibrary* library, QWidget* owner) {
            return std::make_unique<CBoardDlg>(library, r.devicePath, r.channels, r.type, r.boardId, r.index, owner);
        };
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("boards"));
    layout->addWidget(m_tabs);
    BuildMenu();
    resize(900, 600);
    // A stored geometry from a screen that is gone is moved onto a present one by restoreGeometry.
    restoreGeometry(ReadAppBytes(kGeometryEntry));
}

void CMainDlg::done(int result) {
    BuildRemainingBoards(); // every board found gets its requests, even when the window closes at once
    WriteAppBytes(kGeometryEntry, saveGeometry());
    QDialog::done(result);
}

CMainDlg::~CMainDlg() {
    BuildRemainingBoards();    // a window destroyed without a close still gives every board its requests
    const SettingsBatch batch; // every page stores its settings; one write of the store for all of them
    // Every page of every board takes each closing step before any waits for the next: however many
    // pages hang in a driver, the window ends within one page's bound.
    for (auto& board : m_boards)
        if (board)
            board->BeginShutdown();
    for (auto& board : m_boards)
        if (board)
            board->CancelStuckRequests();
    bool leftBehind = false;
    for (auto& board : m_boards)
        if (board)
            leftBehind = board->FinishShutdown() || leftBehind;
    for (auto& board : m_boards)
        board.reset();
    m_boards.clear();
    // A thread left in a driver call must not find the library's code gone if the driver ever answers.
    if (leftBehind)
        (void)m_library.release();
    m_library.reset();
}

void CMainDlg::BuildMenu() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menu"));
    QMenu* options = bar->addMenu(WithMnemonic(QStringLiteral("Options"), m_menuLetters));
    options->setObjectName(QStringLiteral("optionsMenu"));
    QAction* minimize = options->addAction(QStringLiteral("Minimize to task bar"));
    minimize->setObjectName(QStringLiteral("minimizeAction"));
    connect(minimize, &QAction::triggered, this, &QWidget::showMinimized);
    QAction* loadOnStart = options->addAction(QStringLiteral("Load programm on next start"));
    loadOnStart->setObjectName(QStringLiteral("loadOnStartAction"));
    loadOnStart->setCheckable(true);
    loadOnStart->setChecked(ReadAppInt(kLoadOnStartEntry, 0) != 0);
    connect(loadOnStart, &QAction::toggled, this, [](bool on) { WriteAppInt(kLoadOnStartEntry, on ? 1 : 0); });
    QAction* records = options->addAction(QStringLiteral("Test records"));
    records->setObjectName(QStringLiteral("recordsAction"));
    connect(records, &QAction::triggered, this, [this] { ShowRecords(); });
    options->addSeparator();
    QAction* exit = options->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("exitAction"));
    connect(exit, &QAction::triggered, this, &QDialog::reject);
    QAction* about = bar->addAction(WithMnemonic(QStringLiteral("About"), m_menuLetters));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &CMainDlg::ShowAbout);
    layout()->setMenuBar(bar);
    // The switch the memory pages consult is the one stored by the previous run.
    SetLoadProgramAtOpen(loadOnStart->isChecked());
}

QString CMainDlg::TabText(const BoardRecord& record) {
    const QString name = QString::fromLatin1(record.name.c_str());
    // One arg() call for all fields: a name holding "%1" or the like stays as it is.
    const QString id = QString::number(static_cast<int32_t>(record.boardId));
    if (record.index >= 0)
        return QStringLiteral("Board %1 : %2,%3").arg(name, QString::number(record.index), id);
    return QStringLiteral("Board %1 : %2").arg(name, id);
}

bool CMainDlg::OnInitDialog(Rest rest) {
    const std::vector<BoardRecord> kernelBoards = m_findBoards(nullptr);
    m_library = m_loadLibrary ? m_loadLibrary() : nullptr;
    std::vector<BoardRecord> libraryBoards;
    if (m_library)
        libraryBoards = m_findBoards(m_library.get());
    if (kernelBoards.empty() && libraryBoards.empty()) {
        Prompts().Message(this, QStringLiteral("KVR R310, R320, R330 not found"), QStringLiteral("Error"),
                          PromptIcon::Error);
        return false;
    }
    for (const BoardRecord& record : kernelBoards)
        m_pending.push_back({record, nullptr});
    for (const BoardRecord& record : libraryBoards)
        m_pending.push_back({record, m_library.get()});
    // The window opens on the first board that builds; the others follow as `rest` says.
    const bool later = rest == Rest::AfterFirstPaint;
    bool first = false;
    while (!first && !m_pending.empty())
        first = BuildNextBoard(later ? 1 : CBoardDlg::kMaxPages);
    if (first && later && !m_boards.front()->PagesBuilt())
        m_firstUnfinished = m_boards.front().get();
    if (m_tabs->count() > 0)
        m_tabs->setCurrentIndex(0);
    if (!MoreToBuild())
        emit boardsBuilt();
    else if (later) {
        m_buildAfterPaint = true;
        // A window that does not paint (shown minimised) still gets its boards, half a second on.
        QTimer::singleShot(kLatestLaterBuildMs, this, &CMainDlg::ScheduleLaterBuild);
    } else {
        BuildRemainingBoards();
    }
    return true;
}

bool CMainDlg::BuildNextBoard(int pagesNow) {
    const PendingBoard next = m_pending.front();
    m_pending.pop_front();
    std::unique_ptr<CBoardDlg> board;
    try {
        board = m_makeBoard(next.record, next.library, this);
    } catch (const std::exception&) {
        board.reset();
    }
    if (board)
        board->SetBoardName(next.record.name);
    if (!board || !board->OnInitDialog(pagesNow))
        return false; // no tab; the remaining boards follow without a gap
    // The menu keeps its letters; the pages choose from the others.
    AssignMnemonics(board.get(), m_menuLetters);
    // The tab's text is the board's title too, so its pages can name it (the analyser window's title).
    board->setWindowTitle(TabText(next.record));
    m_tabs->addTab(board.get(), TabText(next.record));
    m_boards.push_back(std::move(board));
    return true;
}

void CMainDlg::BuildLaterStep() {
    CBoardDlg* first = std::exchange(m_firstUnfinished, nullptr);
    if (!first) {
        BuildNextBoard(CBoardDlg::kMaxPages);
        return;
    }
    if (first->BuildRemainingPages()) {
        AssignMnemonics(first, m_menuLetters); // the new pages choose their letters too
        return;
    }
    // A page that cannot be made ends its board dialog, as it would have before the window showed.
    m_tabs->removeTab(m_tabs->indexOf(first));
    m_boards.erase(m_boards.begin());
}

void CMainDlg::BuildRemainingBoards() {
    if (!MoreToBuild())
        return;
    while (MoreToBuild())
        BuildLaterStep();
    emit boardsBuilt();
}

void CMainDlg::BuildOneLaterStep() {
    if (!MoreToBuild())
        return; // built meanwhile, for the screenshots or the close
    BuildLaterStep();
    if (MoreToBuild())
        QTimer::singleShot(0, this, &CMainDlg::BuildOneLaterStep); // paints and input get their turns between
    else
        emit boardsBuilt();
}

bool CMainDlg::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::Paint)
        ScheduleLaterBuild();
    return handled;
}

void CMainDlg::ScheduleLaterBuild() {
    if (!m_buildAfterPaint || m_buildScheduled || !MoreToBuild())
        return;
    m_buildScheduled = true;
    QTimer::singleShot(0, this, &CMainDlg::BuildOneLaterStep);
}

CBoardDlg* CMainDlg::Board(int tab) const {
    if (tab < 0 || tab >= static_cast<int>(m_boards.size()))
        return nullptr;
    return m_boards[static_cast<size_t>(tab)].get();
}

QWidget* CMainDlg::ShowRecords() {
    if (m_records) {
        m_records->show();
        m_records->raise();
        m_records->activateWindow();
        return m_records;
    }
    QString error;
    IRecordsModule* records = RecordsModule(&error);
    const std::optional<StoreUrl> url = records ? records->ProgramStore(&error) : std::nullopt;
    if (!url) {
        Prompts().Message(this, error, QStringLiteral("Test records"), PromptIcon::Error);
        return nullptr;
    }
    std::optional<uint32_t> board;
    if (CBoardDlg* current = Board(m_tabs->currentIndex()))
        board = current->Context().boardId;
    m_records = records->MakeWindow(*url, board, this);
    m_records->setAttribute(Qt::WA_DeleteOnClose);
    m_records->show();
    return m_records;
}

void CMainDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}
