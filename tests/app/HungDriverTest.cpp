// The main window over simulated boards whose drivers hold stream requests: no stream thread runs before a
// page is seen or a channel started, and closing with several requests hung ends within one page's bound,
// naming on standard error every device that did not answer.
#include "BoardDlg.h"
#include "DeviceNames.h"
#include "DriverLibrary.h"
#include "MainDlg.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"
#include "SimDevice.h"
#include "Simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

// Where the armed devices hold their calls. Never freed: a call that is never cancelled outlives the test.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::string> armed;       // device names whose worker calls hang
    std::set<std::string> cancellable; // of those, the ones whose Cancel releases them
    std::set<std::string> held;        // armed devices with a call held now
    std::set<std::string> cancelled;
    std::thread::id window; // the user-interface thread, whose calls never hang
};

Gate& TheGate() {
    static Gate* gate = new Gate;
    return *gate;
}

// A simulated device whose calls from a stream worker hang once the test arms it: until Cancel when it is
// cancellable, otherwise for longer than the test process lives (a driver library without cancel).
class HangingDevice : public CDevice {
public:
    HangingDevice(std::unique_ptr<CDevice> inner, std::string name)
        : m_inner(std::move(inner)), m_name(std::move(name)) {}
    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override {
        return Hold() ? 0 : m_inner->Read(buffer, size, done);
    }
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override {
        return Hold() ? 0 : m_inner->Write(buffer, size, done);
    }
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override {
        return Hold() ? 0 : m_inner->DevIoControl(code, input, inputSize, output, outputSize, returned);
    }
    uint32_t Cancel() override {
        Gate& gate = TheGate();
        std::lock_guard lock(gate.mutex);
        if (gate.cancellable.count(m_name))
            gate.cancelled.insert(m_name);
        gate.changed.notify_all();
        return 1;
    }

private:
    // True when the call was held (it then fails); a call never released does not come back.
    bool Hold() {
        Gate& gate = TheGate();
        std::unique_lock lock(gate.mutex);
        if (std::this_thread::get_id() == gate.window || !gate.armed.count(m_name))
            return false;
        const std::string name = m_name; // `this` may be gone once a call never cancelled is let go
        gate.held.insert(name);
        gate.changed.notify_all();
        gate.changed.wait_for(lock, std::chrono::minutes(10), [&] { return gate.cancelled.count(name) > 0; });
        return true;
    }

    std::unique_ptr<CDevice> m_inner;
    std::string m_name;
};

size_t ThreadCount() {
    return static_cast<size_t>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Collects what is written to standard error while it lives (until Text).
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = dup(2);
        const int fd = ::open(m_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() {
        Text();
        std::remove(m_file.c_str());
    }
    std::string Text() {
        if (m_saved >= 0) {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
        }
        std::ifstream in(m_file);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    std::string m_file = QDir::temp().filePath(QStringLiteral("hung-driver-%1.txt").arg(getpid())).toStdString();
    int m_saved = -1;
};

struct HungDriverTest : ::testing::Test {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    sim::Simulator simulator{{{0x310, 100, 8, "", ""}, {0x310, 101, 8, "", ""}, {0x310, 102, 8, "", ""}},
                             std::make_shared<sim::SteadyClock>()};

    std::unique_ptr<CMainDlg> Open() {
        auto finder = [this](CDriverLibrary* library) {
            std::vector<BoardRecord> records;
            for (uint32_t b = 0; !library && b < simulator.DeviceCount(); ++b)
                records.push_back({simulator.BaseName(b), "KVR R310", static_cast<int32_t>(b), 0x310, 100 + b, 8});
            return records;
        };
        auto maker = [this](const BoardRecord& r, CDriverLibrary*, QWidget* parent) {
            return std::make_unique<CBoardDlg>(
                nullptr, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                [this](CDriverLibrary*, const std::string& base, const std::string& leaf) -> std::unique_ptr<CDevice> {
                    auto inner = SimDevice::Open(simulator, base + "\\" + leaf);
                    if (!inner)
                        return nullptr;
                    return std::make_unique<HangingDevice>(std::move(inner), base + "\\" + leaf);
                });
        };
        return std::make_unique<CMainDlg>(
            QIcon(), [] { return std::unique_ptr<CDriverLibrary>(); }, nullptr, finder, maker);
    }

    std::string Name(uint32_t board, const char* leaf) const { return simulator.BaseName(board) + "\\" + leaf; }

    // Presses every enabled Start button of every page of every board.
    static void StartEverything(CMainDlg& dlg) {
        for (int b = 0; b < dlg.BoardCount(); ++b)
            for (QPushButton* start : dlg.Board(b)->findChildren<QPushButton*>())
                if (start->objectName().endsWith(QLatin1String("StartButton")) && start->isEnabled())
                    start->click();
    }
};

TEST_F(HungDriverTest, NoStreamThreadRunsBeforeAPageIsSeenOrAChannelStarted) {
    const size_t before = ThreadCount();
    auto dlg = Open();
    ASSERT_TRUE(dlg->OnInitDialog());
    ASSERT_EQ(dlg->BoardCount(), 3);
    EXPECT_EQ(ThreadCount(), before) << "every page of three boards built, none seen";
    dlg->show();
    QTest::qWait(50);
    const size_t shown = ThreadCount(); // the first page of every board is the memory page
    QTabWidget* pages = dlg->Board(0)->Tabs();
    for (int t = 0; t < pages->count(); ++t)
        if (pages->widget(t)->objectName() == QLatin1String("outputPage"))
            pages->setCurrentIndex(t);
    EXPECT_EQ(ThreadCount(), shown + 1) << "the output page's worker, once it is seen";
    StartEverything(*dlg);
    EXPECT_GE(ThreadCount(), before + 3) << "a started channel needs its page's worker";
}

TEST_F(HungDriverTest, ClosingWithRequestsHungOnSeveralBoardsEndsWithinAPagesBoundAndNamesThem) {
    auto dlg = Open();
    ASSERT_TRUE(dlg->OnInitDialog());
    dlg->show();
    StartEverything(*dlg);
    QTest::qWait(150);

    // Board 0 and board 2 hang for good in a driver without cancel; board 1's request ends on Cancel.
    const std::string stuck0 = Name(0, kLeftOutputLeaf);
    const std::string released = Name(1, kRightOutputLeaf);
    const std::string stuck2 = Name(2, kLeftOutputLeaf);
    Gate& gate = TheGate();
    {
        std::unique_lock lock(gate.mutex);
        gate.window = std::this_thread::get_id();
        gate.armed = {stuck0, released, stuck2};
        gate.cancellable = {released};
        ASSERT_TRUE(gate.changed.wait_for(lock, std::chrono::seconds(5), [&] { return gate.held.size() == 3; }));
    }

    StderrCapture errors;
    QElapsedTimer closing;
    closing.start();
    dlg.reset();
    const qint64 ms = closing.elapsed();
    const std::string text = errors.Text();
    EXPECT_LT(ms, 1800) << "pages waited one after another";
    std::printf("closed in %lld ms\n", static_cast<long long>(ms));
    EXPECT_NE(text.find("the left output of board 0 did not answer"), std::string::npos) << text;
    EXPECT_NE(text.find("the left output of board 2 did not answer"), std::string::npos) << text;
    EXPECT_EQ(text.find("board 1"), std::string::npos) << "board 1's request was cancelled: " << text;
    std::lock_guard lock(gate.mutex);
    EXPECT_EQ(gate.cancelled, std::set<std::string>{released});
}

} // namespace
