// The main window's Options > "Test records": the window opens on the current tab's board, once, and a
// store the environment rules out is said instead.
#include "DriverLibrary.h"
#include "MainDlg.h"
#include "RecordStore.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RecordsWindow.h"
#include "RunsModel.h"
#include "SettingsSandbox.h"
#include "TempDir.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CMainDlg> TwoBoards() {
    const std::vector<BoardRecord> boards = {{"\\\\.\\VELTRIN0", "KVR R310", 0, 0x310, 200, 8},
                                             {"\\\\.\\VELTRIN1", "KVR R320", 1, 0x320, 7, 8}};
    auto maker = [](const BoardRecord& r, CDriverLibrary* lib, QWidget* parent) {
        return std::make_unique<CBoardDlg>(
            lib, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
            [](CDriverLibrary*, const std::string&, const std::string& leaf) {
                return std::make_unique<RecordingDevice>(leaf, nullptr);
            },
            [](uint32_t) { return std::vector<PageEntry>{}; });
    };
    return std::make_unique<CMainDlg>(
        QIcon(), [] { return std::unique_ptr<CDriverLibrary>(); }, nullptr,
        [boards](CDriverLibrary* lib) { return lib ? std::vector<BoardRecord>{} : boards; }, maker);
}

// The window comes from the records module, which holds its own copy of the window's class: it is
// found by its class name rather than by a cast against this program's copy.
QList<CRecordsWindow*> RecordsWindows(const QObject* main) {
    QList<CRecordsWindow*> found;
    for (QWidget* widget : main->findChildren<QWidget*>())
        if (qstrcmp(widget->metaObject()->className(), "CRecordsWindow") == 0)
            found.append(static_cast<CRecordsWindow*>(widget));
    return found;
}

} // namespace

TEST(RecordsMenu, OpensOnTheCurrentBoardOnceAndSaysWhenNoStoreIsKept) {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    TempDir dir;
    const QString path = QString::fromStdString(dir.Path("records.sqlite"));
    {
        auto store = OpenRecordStore(*ParseStoreUrl(path, nullptr));
        for (uint32_t board : {200u, 7u, 7u, 31u}) {
            TestRecord r;
            r.runId = NewRunId();
            r.command = QStringLiteral("selftest");
            r.boardId = board;
            r.mode = QStringLiteral("production");
            r.outcome = QStringLiteral("pass");
            r.startedMs = r.endedMs = 1'790'000'000'000LL + board;
            store->Write(r, false);
        }
    }
    qputenv("VELTRIN_RECORDS", path.toUtf8());
    auto main = TwoBoards();
    ASSERT_TRUE(main->OnInitDialog());
    main->Tabs()->setCurrentIndex(1);
    auto* action = main->findChild<QAction*>(QStringLiteral("recordsAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Test records"));
    action->trigger();
    ASSERT_EQ(RecordsWindows(main.get()).size(), 1);
    CRecordsWindow* window = RecordsWindows(main.get()).front();
    QSignalSpy pages(window, &CRecordsWindow::runsPage);
    ASSERT_TRUE(pages.wait(10000));
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("boardFilter"))->text(), QStringLiteral("7"));
    ASSERT_EQ(window->Runs()->rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(window->Runs()->Run(row).boardId, 7u);
    action->trigger(); // the same window comes to the front
    EXPECT_EQ(RecordsWindows(main.get()).size(), 1);
    EXPECT_TRUE(prompts.messages.empty());
    // The window's own messages reach the prompts this program has in force.
    window->findChild<QLineEdit*>(QStringLiteral("boardFilter"))->setText(QStringLiteral("seven"));
    window->findChild<QPushButton*>(QStringLiteral("showButton"))->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("The board ID \"seven\" is not a number"));
    prompts.messages.clear();
    window->close(); // deleted on close
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(RecordsWindows(main.get()).size(), 0);

    for (const char* ruledOut : {"none", "mysql://server/records"}) {
        qputenv("VELTRIN_RECORDS", ruledOut);
        action->trigger();
        EXPECT_EQ(RecordsWindows(main.get()).size(), 0) << ruledOut;
        ASSERT_FALSE(prompts.messages.empty());
        EXPECT_TRUE(prompts.messages.back().text.startsWith(QStringLiteral("VELTRIN_RECORDS"))) << ruledOut;
        prompts.messages.clear();
    }
    qunsetenv("VELTRIN_RECORDS");
}
