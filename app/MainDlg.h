// CMainDlg: the program's only top-level window, one tab per board found.
#pragma once

#include "BoardDiscovery.h"
#include "BoardDlg.h"

#include <QDialog>
#include <QIcon>
#include <QSet>

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

    // Finds the boards and builds their tabs. False when there is nothing to show (the dialog is done).
    bool OnInitDialog();

    QTabWidget* Tabs() const { return m_tabs; }
    CBoardDlg* Board(int tab) const;
    int BoardCount() const { return static_cast<int>(m_boards.size()); }

    // "Board %s : %d,%d" for a kernel board, "Board %s : %d" for a library board.
    static QString TabText(const BoardRecord& record);

    void ShowAbout();
    // Remembers the window's size and position for the next start, then ends the dialog.
    void done(int result) override;

private:
    void BuildMenu();
    void AddBoards(const std::vector<BoardRecord>& records, CDriverLibrary* library);

    LibraryLoader m_loadLibrary;
    BoardFinder m_findBoards;
    BoardMaker m_makeBoard;
    QTabWidget* m_tabs = nullptr;
    std::vector<std::unique_ptr<CBoardDlg>> m_boards; // tab order; grows past ten boards
    std::unique_ptr<CDriverLibrary> m_library;
    QSet<QChar> m_menuLetters; // the mnemonics of the menu bar's entries
};
