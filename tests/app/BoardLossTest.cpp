// The whole main window over simulated boards streaming on every channel: it opens and closes again and
// again without deadlock or a device left open, and a board that vanishes mid-run leaves every page
// running, the user-interface thread responsive and the process idle rather than spinning.
#include "DriverLibrary.h"
#include "MainDlg.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"
#include "SimFixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>

namespace {

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs the event loop for `ms`; returns how often a 10 ms timer got through (a frozen thread lets few).
int Serve(int ms) {
    QEventLoop loop;
    QTimer tick;
    int rounds = 0;
    QObject::connect(&tick, &QTimer::timeout, [&rounds] { ++rounds; });
    tick.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return rounds;
}

struct BoardLossTest : ::testing::Test {
    SettingsSandbox settings;
    RecordingPrompts prompts;

    static std::vector<sim::BoardConfig> Boards(int count) {
        std::vector<sim::BoardConfig> boards;
        for (int b = 0; b < count; ++b)
            boards.push_back({0x310, static_cast<uint32_t>(100 + b), 8, "", ""});
        return boards;
    }

    // The main window over `simulator`: one kernel-style board per simulated board, every page real.
    static std::unique_ptr<CMainDlg> Open(sim::Simulator& simulator) {
        auto finder = [&simulator](CDriverLibrary* library) {
            std::vector<BoardRecord> records;
            for (uint32_t b = 0; !library && b < simulator.DeviceCount(); ++b)
                records.push_back({simulator.BaseName(b), "KVR R310", static_cast<int32_t>(b), 0x310, 100 + b, 8});
            return records;
        };
        auto maker = [&simulator](const BoardRecord& r, CDriverLibrary*, QWidget* parent) {
            return std::make_unique<CBoardDlg>(
                nullptr, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                [&simulator](CDriverLibrary*, const std::string& base, const std::string& leaf) {
                    return SimDevice::Open(simulator, base + "\\" + leaf);
                });
        };
        auto dlg = std::make_unique<CMainDlg>(
            QIcon(), [] { return std::unique_ptr<CDriverLibrary>(); }, nullptr, finder, maker);
        return dlg;
    }

    // Presses every enabled Start button of every page of every board; returns how many.
    static int StartEverything(CMainDlg& dlg) {
        int started = 0;
        for (int b = 0; b < dlg.BoardCount(); ++b) {
            QTabWidget* tabs = dlg.Board(b)->Tabs();
            for (int t = 0; t < tabs->count(); ++t) {
                tabs->setCurrentIndex(t);
                for (QPushButton* start : tabs->widget(t)->findChildren<QPushButton*>()) {
                    if (!start->objectName().endsWith(QLatin1String("StartButton")) || !start->isEnabled())
                        continue;
                    start->click();
                    started += start->isEnabled() ? 0 : 1; // a started channel disables its Start
                }
            }
        }
        return started;
    }

    static int Cycles() {
        bool ok = false;
        const int cycles = qEnvironmentVariableIntValue("VELTRIN_SHUTDOWN_CYCLES", &ok);
        return ok && cycles > 0 ? cycles : 2;
    }
};

TEST_F(BoardLossTest, MainWindowClosesWhileTenBoardsStreamOnEveryChannel) {
    sim::Simulator simulator(Boards(10), std::make_shared<sim::SteadyClock>());
    for (int cycle = 0; cycle < Cycles(); ++cycle) {
        SCOPED_TRACE(cycle);
        auto dlg = Open(simulator);
        ASSERT_TRUE(dlg->OnInitDialog());
        ASSERT_EQ(dlg->BoardCount(), 10);
        dlg->show();
        EXPECT_GE(StartEverything(*dlg), 10 * 2);
        Serve(150);
        QElapsedTimer closing;
        closing.start();
        dlg.reset();
        // Every page stores its settings as it closes; stored one by one they took many seconds.
        EXPECT_LT(closing.elapsed(), 10000);
        EXPECT_EQ(simulator.OpenCount(), 0u) << "every device is closed with the window";
    }
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front().text.toStdString();
}

TEST_F(BoardLossTest, VanishedBoardLeavesEveryPageRunningAndTheProcessIdle) {
    sim::Simulator simulator(Boards(2), std::make_shared<sim::SteadyClock>());
    auto dlg = Open(simulator);
    ASSERT_TRUE(dlg->OnInitDialog());
    dlg->show();
    ASSERT_GE(StartEverything(*dlg), 2 * 2);
    Serve(200);

    // Board 0 goes: every request on any of its devices fails from now on and it cannot be opened again.
    simulator.FaultInjection().Add({sim::FaultRule::Kind::Vanish, "VSIM0", 0, 1, -1});
    simulator.FaultInjection().Add({sim::FaultRule::Kind::Refuse, "VSIM0", 0, 1, -1});
    Serve(200); // every worker meets the loss
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const int rounds = Serve(1000);
    const double cpu = (ProcessCpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);
    EXPECT_GT(rounds, 20) << "the user-interface thread stalled";
    EXPECT_LT(cpu, 0.75) << "share of one core after the loss: something spins";
    EXPECT_LT(prompts.messages.size(), 20u) << "a message for every poll of the lost board";

    // Every page of both boards is still there and can be switched to; the window closes normally.
    for (int b = 0; b < dlg->BoardCount(); ++b) {
        QTabWidget* tabs = dlg->Board(b)->Tabs();
        for (int t = 0; t < tabs->count(); ++t) {
            tabs->setCurrentIndex(t);
            EXPECT_NE(dlg->Board(b)->Page(t), nullptr) << "board " << b << " tab " << t;
        }
    }
    Serve(100);
    dlg.reset();
    EXPECT_EQ(simulator.OpenCount(), 0u);
}

} // namespace
