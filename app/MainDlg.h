// CMainDlg: the program's only top-level window, one tab per board found.
#pragma once

#include "BoardDiscovery.h"
#include "BoardDlg.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QSet>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CDriverLibrary;
class QAction;
class QTabWidget;

inline constexpr const char* kMainWindowTitle = " KVR R310, KVR R320. Test programm.";

class CMainDlg : public QDialog {
    Q_OBJECT
public:
    using LibraryLoader = std::function<std::unique_ptr<CDriverLibrary>()>;
    using BoardFinder = std::function<std::vector<BoardRecord>(CDriverLibrary*)>;
    using BoardMaker = std::function<std::unique_ptr<CBoardDlg>(const BoardRecord&, CDriverLibrary*, QWidget*)>;

    // `loadLibrary` yields the driver library or null; `findBoards` and `makeBoard` default to the real
    // discovery and board dialog.
    CMainDlg(const QIcon& icon, LibraryLoader loadLibrary, QWidget* parent = nullptr, BoardFinder findBoards = {},
             BoardMaker makeBoard = {});
    // The boards (their pages and devices) first, then the library.
    ~CMainDlg() override;

    // When the boards are built: all at once, or only the first board's first page before the window's
    // first paint and the rest from then on, a board a turn of the event loop. Either way every board gets
    // its requests in the same order.
    enum class Rest { Now, AfterFirstPaint };

    // Finds the boards and builds their tabs, in their order. False when there is nothing to show (the
    // dialog is done).
    bool OnInitDialog(Rest rest = Rest::Now);
    // Builds every board and page not built yet; the screenshots and closing need them all.
    void BuildRemainingBoards();
    bool AllBoardsBuilt() const { return !MoreToBuild(); }

    QTabWidget* Tabs() const { return m_tabs; }
    CBoardDlg* Board(int tab) const;
    int BoardCount() const { return static_cast<int>(m_boards.size()); }

    // "Board %s : %d,%d" for a kernel board, "Board %s : %d" for a library board.
    static QString TabText(const BoardRecord& record);

    void ShowAbout();
    // The "Test records" window on the program's store, starting with the current tab's board; one
    // window, raised when open already. Null, with a message, when the records module cannot be loaded
    // or the environment names no usable store.
    QWidget* ShowRecords();
    // Remembers the window's size and position for the next start, then ends the dialog.
    void done(int result) override;

signals:
    // Every board found has been built (or has ended itself).
    void boardsBuilt();

protected:
    bool event(QEvent* event) override;

private:
    struct PendingBoard {
        BoardRecord record;
        CDriverLibrary* library = nullptr;
    };

    void BuildMenu();
    // Builds the next pending board, with its first `pagesNow` pages; true when it got a tab.
    bool BuildNextBoard(int pagesNow);
    bool MoreToBuild() const { return m_firstUnfinished || !m_pending.empty(); }
    // The first board's remaining pages, or else the next pending board.
    void BuildLaterStep();
    void BuildOneLaterStep();
    // Starts the later steps from the next turn of the event loop on, once.
    void ScheduleLaterBuild();

    std::deque<PendingBoard> m_pending;     // found, not built yet, in tab order
    CBoardDlg* m_firstUnfinished = nullptr; // the first board while only its first page is built
    bool m_buildAfterPaint = false;
    bool m_buildScheduled = false;

    LibraryLoader m_loadLibrary;
    BoardFinder m_findBoards;
    BoardMaker m_makeBoard;
    QTabWidget* m_tabs = nullptr;
    std::vector<std::unique_ptr<CBoardDlg>> m_boards; // tab order; grows past ten boards
    std::unique_ptr<CDriverLibrary> m_library;
    QSet<QChar> m_menuLetters; // the mnemonics of the menu bar's entries
    QPointer<QWidget> m_records;
};
