// The main window: board tabs and their texts, the no-board message, tab switching, the menu.
#include "MainDlg.h"
#include "AppSwitches.h"
#include "CodecPage.h"
#include "DriverLibrary.h"
#include "PageDlg.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

BoardRecord Kernel(const char* name, int index, uint32_t id) {
    return {"\\\\.\\VELTRIN" + std::to_string(index), name, index, 0x310, id, 8};
}
BoardRecord Library(const char* path, const char* name, uint32_t id) { return {path, name, -1, 0x330D, id, 4}; }

struct MainDlgTest : ::testing::Test {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    std::vector<BoardRecord> kernel;
    std::vector<BoardRecord> library;
    std::set<std::string> refusing; // device paths whose board dialog ends itself

    std::unique_ptr<CMainDlg> Make(bool withLibrary) {
        CMainDlg::LibraryLoader loader;
        if (withLibrary)
            loader = [] { return LoadDriverLibrary(SIM_DRIVER); };
        auto finder = [this](CDriverLibrary* lib) { return lib ? library : kernel; };
        auto maker = [this](const BoardRecord& r, CDriverLibrary* lib, QWidget* parent) {
            const bool refuse = refusing.count(r.devicePath) > 0;
            return std::make_unique<CBoardDlg>(
                lib, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                [](CDriverLibrary*, const std::string&, const std::string& leaf) {
                    return std::make_unique<RecordingDevice>(leaf, nullptr);
                },
                [refuse](uint32_t) {
                    // A page that cannot be made ends its board dialog.
                    return refuse ? std::vector<PageEntry>{{"P", "P",
                                                            [](const PageContext&, QWidget*) {
                                                                return std::unique_ptr<CPageDlg>();
                                                            }}}
                                  : std::vector<PageEntry>{};
                });
        };
        return std::make_unique<CMainDlg>(QIcon(), loader, nullptr, finder, maker);
    }
    static QStringList TabTexts(const CMainDlg& dlg) {
        QStringList texts;
        for (int i = 0; i < dlg.Tabs()->count(); ++i)
            texts << dlg.Tabs()->tabText(i);
        return texts;
    }
};

} // namespace

TEST_F(MainDlgTest, KernelBoardsComeFirstThenLibraryBoardsWithTheirTabTexts) {
    kernel = {Kernel("KVR R310", 0, 200), Kernel("KVR R320", 3, 7)};
    library = {Library("VSIM0", "KVR R330D", 501)};
    auto dlg = Make(true);
    ASSERT_TRUE(dlg->OnInitDialog());
    EXPECT_EQ(TabTexts(*dlg), (QStringList{"Board KVR R310 : 0,200", "Board KVR R320 : 3,7", "Board KVR R330D : 501"}));
    EXPECT_EQ(dlg->windowTitle(), " KVR R310, KVR R320. Test programm.");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MainDlgTest, NoBoardsShowsTheMessageAndEnds) {
    auto dlg = Make(false);
    EXPECT_FALSE(dlg->OnInitDialog());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0],
              (RecordingPrompts::Shown{"KVR R310, R320, R330 not found", "Error", PromptIcon::Error}));
}

TEST_F(MainDlgTest, OnlyTheSelectedBoardIsShown) {
    kernel = {Kernel("A", 0, 1), Kernel("B", 1, 2), Kernel("C", 2, 3)};
    auto dlg = Make(false);
    ASSERT_TRUE(dlg->OnInitDialog());
    dlg->show();
    EXPECT_TRUE(dlg->Board(0)->isVisible());
    EXPECT_FALSE(dlg->Board(1)->isVisible());
    dlg->Tabs()->setCurrentIndex(2);
    EXPECT_FALSE(dlg->Board(0)->isVisible());
    EXPECT_FALSE(dlg->Board(1)->isVisible());
    EXPECT_TRUE(dlg->Board(2)->isVisible());
}

TEST_F(MainDlgTest, BoardThatEndsItselfGetsNoTabAndTheRestCloseUp) {
    kernel = {Kernel("A", 0, 1), Kernel("B", 1, 2), Kernel("C", 2, 3)};
    refusing = {"\\\\.\\VELTRIN1"};
    auto dlg = Make(false);
    ASSERT_TRUE(dlg->OnInitDialog());
    EXPECT_EQ(TabTexts(*dlg), (QStringList{"Board A : 0,1", "Board C : 2,3"}));
    EXPECT_EQ(dlg->BoardCount(), 2);
}

TEST_F(MainDlgTest, MoreThanTenBoardsAreAllShown) {
    for (int i = 0; i < 10; ++i)
        kernel.push_back(Kernel("K", i, static_cast<uint32_t>(i)));
    for (int i = 0; i < 3; ++i)
        library.push_back(Library("L", "L", static_cast<uint32_t>(i)));
    auto dlg = Make(true);
    ASSERT_TRUE(dlg->OnInitDialog());
    EXPECT_EQ(dlg->Tabs()->count(), 13);
    EXPECT_EQ(dlg->Tabs()->tabText(12), "Board L : 2");
}

TEST_F(MainDlgTest, LoadProgramOnNextStartIsStoredAndTurnsTheSwitchOnNextTime) {
    kernel = {Kernel("A", 0, 1)};
    SetLoadProgramAtOpen(false);
    {
        auto dlg = Make(false);
        auto* action = dlg->findChild<QAction*>("loadOnStartAction");
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), "Load programm on next start");
        EXPECT_FALSE(action->isChecked());
        action->trigger();
        EXPECT_FALSE(LoadProgramAtOpen()); // takes effect at the next start
    }
    auto next = Make(false);
    EXPECT_TRUE(next->findChild<QAction*>("loadOnStartAction")->isChecked());
    EXPECT_TRUE(LoadProgramAtOpen());
    SetLoadProgramAtOpen(false);
}

TEST_F(MainDlgTest, ExitEndsTheWindowAndAboutOpensTheAboutBox) {
    kernel = {Kernel("A", 0, 1)};
    auto dlg = Make(false);
    ASSERT_TRUE(dlg->OnInitDialog());
    QString aboutTitle;
    QTimer::singleShot(0, [&] {
        if (auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            aboutTitle = about->windowTitle();
            about->accept();
        }
    });
    dlg->findChild<QAction*>("aboutAction")->trigger();
    EXPECT_EQ(aboutTitle, QString::fromUtf8("О программе"));

    QTimer::singleShot(0, [&] { dlg->findChild<QAction*>("exitAction")->trigger(); });
    EXPECT_EQ(dlg->exec(), QDialog::Rejected);
}

TEST_F(MainDlgTest, LibraryBoardsFromTheSimulatorAreReleasedBeforeTheLibrary) {
    auto dlg = std::make_unique<CMainDlg>(QIcon(), [] { return LoadDriverLibrary(SIM_DRIVER); });
    ASSERT_TRUE(dlg->OnInitDialog());
    ASSERT_GE(dlg->BoardCount(), 1);
    EXPECT_TRUE(dlg->Tabs()->tabText(0).startsWith("Board KVR R"));
    EXPECT_NE(dlg->Board(0)->Context().cfg, nullptr);
    dlg.reset(); // devices call the library's Close: it must still be loaded
}

TEST_F(MainDlgTest, EveryLinesAnalyserNamesItsBoardAsTheBoardsTabDoes) {
    auto dlg = std::make_unique<CMainDlg>(QIcon(), [] { return LoadDriverLibrary(SIM_DRIVER); });
    ASSERT_TRUE(dlg->OnInitDialog());
    ASSERT_GE(dlg->BoardCount(), 1);
    const QList<CCodecPage*> lines = dlg->Board(0)->findChildren<CCodecPage*>();
    ASSERT_FALSE(lines.isEmpty());
    for (CCodecPage* line : lines) {
        line->OpenAnalyser();
        EXPECT_EQ(line->Analyser()->windowTitle(),
                  QString::fromUtf8("Analyser \u2014 %1, line %2").arg(dlg->Tabs()->tabText(0)).arg(line->Line()));
    }
}

TEST_F(MainDlgTest, TheWindowComesBackWithTheSizeAndPlaceItWasClosedWith) {
    kernel = {Kernel("A", 0, 1)};
    QRect closedWith;
    {
        auto dlg = Make(false);
        ASSERT_TRUE(dlg->OnInitDialog());
        dlg->setGeometry(40, 50, 610, 430);
        dlg->show();
        closedWith = dlg->geometry();
        dlg->reject();
    }
    auto next = Make(false);
    EXPECT_EQ(next->geometry(), closedWith);
    // A window that is destroyed without being closed (a screenshot run) leaves the stored place alone.
    next->setGeometry(10, 10, 500, 400);
    next.reset();
    EXPECT_EQ(Make(false)->geometry(), closedWith);
}

namespace {

// What the boards of a start got, in order: the devices each opened and the pages each made.
std::vector<std::string>* g_built = nullptr;

class LoggedPage : public CPageDlg {};

template <int N> std::unique_ptr<CPageDlg> MakeLoggedPage(const PageContext& context, QWidget*) {
    g_built->push_back("board " + std::to_string(context.index) + " page " + std::to_string(N));
    return std::make_unique<LoggedPage>();
}
std::unique_ptr<CPageDlg> MakeNoPage(const PageContext&, QWidget*) { return nullptr; }

} // namespace

TEST_F(MainDlgTest, BoardsBuiltAfterTheFirstPaintGetTheirRequestsInTheSameOrder) {
    kernel = {Kernel("A", 0, 1), Kernel("B", 1, 2), Kernel("C", 2, 3), Kernel("D", 3, 4)};
    enum class End { Now, Painted, ClosedUnpainted };
    std::vector<std::string> built;
    g_built = &built;
    auto start = [&](End end) {
        built.clear();
        auto finder = [this](CDriverLibrary*) { return kernel; };
        auto maker = [&](const BoardRecord& r, CDriverLibrary*, QWidget* parent) {
            // The first board cannot make its first page, the third its last: the window opens on the second.
            const bool first = r.index == 0, third = r.index == 2;
            return std::make_unique<CBoardDlg>(
                nullptr, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                [&](CDriverLibrary*, const std::string& base, const std::string& leaf) {
                    built.push_back("open " + base + "\\" + leaf);
                    return std::make_unique<RecordingDevice>(leaf, nullptr);
                },
                [first, third](uint32_t) {
                    return std::vector<PageEntry>{{"P", "P1", first ? &MakeNoPage : &MakeLoggedPage<1>},
                                                  {"P", "P2", nullptr},
                                                  {"P", "P3", third ? &MakeNoPage : &MakeLoggedPage<3>}};
                });
        };
        auto dlg = std::make_unique<CMainDlg>(QIcon(), CMainDlg::LibraryLoader(), nullptr, finder, maker);
        EXPECT_TRUE(dlg->OnInitDialog(end == End::Now ? CMainDlg::Rest::Now : CMainDlg::Rest::AfterFirstPaint));
        if (end != End::Now) {
            EXPECT_EQ(TabTexts(*dlg), QStringList{"Board B : 1,2"}) << "the first paint waits for one page";
            EXPECT_EQ(dlg->Board(0)->Tabs()->count(), 1);
        }
        if (end == End::Painted) {
            dlg->show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->AllBoardsBuilt(); }, 5000));
        }
        QStringList tabs = TabTexts(*dlg);
        dlg.reset();
        return std::make_pair(tabs, built);
    };
    const auto now = start(End::Now);
    EXPECT_EQ(now.first, (QStringList{"Board B : 1,2", "Board D : 3,4"}));
    for (End end : {End::Painted, End::ClosedUnpainted}) {
        const auto later = start(end);
        if (end == End::Painted) {
            EXPECT_EQ(later.first, now.first);
        }
        EXPECT_EQ(later.second, now.second) << "end " << static_cast<int>(end);
    }
    g_built = nullptr;
}
