// The main window: discovery, board tabs, the menu and the About box.
#include "MainDlg.h"

#include "AboutDlg.h"
#include "AppSwitches.h"
#include "DriverLibrary.h"
#include "Mnemonics.h"
#include "Prompts.h"
#include "Settings.h"

#include <QAction>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// Program-wide settings entry of the "Load programm on next start" menu entry.
const QString kLoadOnStartEntry = QStringLiteral("LOAD_PROGRAM_ON_START");
// Program-wide settings entry of the window's size and position.
const QString kGeometryEntry = QStringLiteral("WINDOW_GEOMETRY");
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
    WriteAppBytes(kGeometryEntry, saveGeometry());
    QDialog::done(result);
}

CMainDlg::~CMainDlg() {
    const SettingsBatch batch; // every page stores its settings; one write of the store for all of them
    for (auto& board : m_boards)
        board.reset();
    m_boards.clear();
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

bool CMainDlg::OnInitDialog() {
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
    AddBoards(kernelBoards, nullptr);
    AddBoards(libraryBoards, m_library.get());
    if (m_tabs->count() > 0)
        m_tabs->setCurrentIndex(0);
    return true;
}

void CMainDlg::AddBoards(const std::vector<BoardRecord>& records, CDriverLibrary* library) {
    for (const BoardRecord& record : records) {
        std::unique_ptr<CBoardDlg> board;
        try {
            board = m_makeBoard(record, library, this);
        } catch (const std::exception&) {
            board.reset();
        }
        if (!board || !board->OnInitDialog())
            continue; // no tab; the remaining boards follow without a gap
        // The menu keeps its letters; the pages choose from the others.
        AssignMnemonics(board.get(), m_menuLetters);
        m_tabs->addTab(board.get(), TabText(record));
        m_boards.push_back(std::move(board));
    }
}

CBoardDlg* CMainDlg::Board(int tab) const {
    if (tab < 0 || tab >= static_cast<int>(m_boards.size()))
        return nullptr;
    return m_boards[static_cast<size_t>(tab)].get();
}

void CMainDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}
