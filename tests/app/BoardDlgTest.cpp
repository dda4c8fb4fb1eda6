// The board dialog: device opening order, page creation, ended pages, destruction order.
#include "BoardDlg.h"
#include "MainDlg.h"
#include "PageDlg.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"

#include <QCoreApplication>
#include <QIcon>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A page that logs its own destruction and can refuse its opening.
class TestPage : public CPageDlg {
public:
    TestPage(std::vector<std::string>* events, std::string name, bool opens, const PageContext& context)
        : m_events(events), m_name(std::move(name)), m_opens(opens), m_context(context) {}
    ~TestPage() override { m_events->push_back("page " + m_name); }
    bool OnInitDialog() override { return m_opens; }
    const PageContext& Context() const { return m_context; }

private:
    std::vector<std::string>* m_events;
    std::string m_name;
    bool m_opens;
    PageContext m_context;
};

std::vector<std::string>* g_events = nullptr;
bool g_secondOpens = true;

std::unique_ptr<CPageDlg> MakeFirst(const PageContext& c, QWidget*) {
    return std::make_unique<TestPage>(g_events, "first", true, c);
}
std::unique_ptr<CPageDlg> MakeSecond(const PageContext& c, QWidget*) {
    return std::make_unique<TestPage>(g_events, "second", g_secondOpens, c);
}
std::unique_ptr<CPageDlg> MakeNothing(const PageContext&, QWidget*) { return nullptr; }

struct BoardDlgTest : ::testing::Test {
    std::vector<std::string> events;
    std::vector<std::string> opened;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    std::set<std::string> failing;

    void SetUp() override {
        g_events = &events;
        g_secondOpens = true;
    }
    CBoardDlg::DeviceOpener Opener() {
        return [this](CDriverLibrary*, const std::string& base, const std::string& leaf) -> std::unique_ptr<CDevice> {
            opened.push_back(base + "\\" + leaf);
            if (failing.count(leaf))
                return nullptr;
            auto device = std::make_unique<RecordingDevice>(leaf, log);
            device->OnDestroy([this](const std::string& name) { events.push_back("device " + name); });
            return device;
        };
    }
    static CBoardDlg::PageList Pages(PageFactory second) {
        return [second](uint32_t) {
            return std::vector<PageEntry>{{"First", "First tab", &MakeFirst},
                                          {"Missing", "Not built", nullptr},
                                          {"Second", "Second tab", second}};
        };
    }
};

} // namespace

TEST_F(BoardDlgTest, OpensNineteenDevicesInOrderAndHandsThemToPages) {
    failing = {"PHONE_LINE5_OUT_DEV"};
    auto board = std::make_unique<CBoardDlg>(nullptr, "\\\\.\\VELTRIN2", 8, 0x310, 200, 2, nullptr, Opener(),
                                             Pages(&MakeSecond));
    ASSERT_TRUE(board->OnInitDialog());
    ASSERT_EQ(opened.size(), 19u);
    EXPECT_EQ(opened[0], "\\\\.\\VELTRIN2\\PHONE_LINE0_IN_DEV");
    EXPECT_EQ(opened[1], "\\\\.\\VELTRIN2\\PHONE_LINE0_OUT_DEV");
    EXPECT_EQ(opened[15], "\\\\.\\VELTRIN2\\PHONE_LINE7_OUT_DEV");
    EXPECT_EQ(opened[16], "\\\\.\\VELTRIN2\\LINE_OUT_LEFT");
    EXPECT_EQ(opened[17], "\\\\.\\VELTRIN2\\LINE_OUT_RIGHT");
    EXPECT_EQ(opened[18], "\\\\.\\VELTRIN2\\VELTRIN_CFG");

    // Pages not built are not created: two tabs, in table order.
    ASSERT_EQ(board->Tabs()->count(), 2);
    EXPECT_EQ(board->Tabs()->tabText(0), "First tab");
    EXPECT_EQ(board->Tabs()->tabText(1), "Second tab");
    auto* page = dynamic_cast<TestPage*>(board->Page(1));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Context().type, 0x310u);
    EXPECT_EQ(page->Context().index, 2);
    EXPECT_EQ(page->Context().lineOut[5], nullptr);
    EXPECT_NE(page->Context().lineOut[4], nullptr);
    EXPECT_NE(page->Context().cfg, nullptr);
}

TEST_F(BoardDlgTest, ReleasesPagesFirstThenDevicesInOpeningOrder) {
    auto board = std::make_unique<CBoardDlg>(nullptr, "B", 8, 0x310, 1, 0, nullptr, Opener(), Pages(&MakeSecond));
    ASSERT_TRUE(board->OnInitDialog());
    board.reset();
    ASSERT_EQ(events.size(), 21u);
    EXPECT_EQ(events[0], "page first");
    EXPECT_EQ(events[1], "page second");
    EXPECT_EQ(events[2], "device PHONE_LINE0_IN_DEV");
    EXPECT_EQ(events[3], "device PHONE_LINE0_OUT_DEV");
    EXPECT_EQ(events[17], "device PHONE_LINE7_OUT_DEV");
    EXPECT_EQ(events[18], "device LINE_OUT_LEFT");
    EXPECT_EQ(events[19], "device LINE_OUT_RIGHT");
    EXPECT_EQ(events[20], "device VELTRIN_CFG");
}

TEST_F(BoardDlgTest, PageThatEndsItselfLeavesAnEmptyTab) {
    g_secondOpens = false;
    CBoardDlg board(nullptr, "B", 8, 0x310, 1, 0, nullptr, Opener(), Pages(&MakeSecond));
    ASSERT_TRUE(board.OnInitDialog());
    board.show();
    ASSERT_EQ(board.Tabs()->count(), 2);
    EXPECT_NE(board.Page(1), nullptr); // the object stays
    board.Tabs()->setCurrentIndex(1);
    EXPECT_FALSE(board.Page(0)->isVisible());
    EXPECT_FALSE(board.Page(1)->isVisible());
    EXPECT_EQ(board.Tabs()->currentWidget()->objectName(), "endedPage");
    board.Tabs()->setCurrentIndex(0);
    EXPECT_TRUE(board.Page(0)->isVisible());
}

TEST_F(BoardDlgTest, AllDevicesFailingStillGivesEveryPage) {
    failing = {"VELTRIN_CFG", "LINE_OUT_LEFT", "LINE_OUT_RIGHT"};
    for (int n = 0; n < 8; ++n) {
        failing.insert("PHONE_LINE" + std::to_string(n) + "_IN_DEV");
        failing.insert("PHONE_LINE" + std::to_string(n) + "_OUT_DEV");
    }
    CBoardDlg board(nullptr, "B", 8, 0x310, 1, 0, nullptr, Opener(), Pages(&MakeSecond));
    ASSERT_TRUE(board.OnInitDialog());
    EXPECT_EQ(board.Tabs()->count(), 2);
    EXPECT_EQ(board.Context().cfg, nullptr);
}

TEST_F(BoardDlgTest, PageThatCannotBeMadeEndsTheBoardDialog) {
    auto board = std::make_unique<CBoardDlg>(nullptr, "B", 8, 0x310, 1, 0, nullptr, Opener(), Pages(&MakeNothing));
    EXPECT_FALSE(board->OnInitDialog());
    board.reset(); // the page already made and every device are still released
    EXPECT_EQ(events.front(), "page first");
    EXPECT_EQ(events.size(), 20u);
}

TEST_F(BoardDlgTest, EscapeInAPageDoesNothing) {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    CMainDlg window(
        QIcon(), {}, nullptr,
        [](CDriverLibrary* library) {
            return library ? std::vector<BoardRecord>{}
                           : std::vector<BoardRecord>{{"\\\\.\\VELTRIN0", "B", 0, 0x310, 1, 8}};
        },
        [this](const BoardRecord& r, CDriverLibrary* library, QWidget* parent) {
            return std::make_unique<CBoardDlg>(library, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                                               Opener(), Pages(&MakeSecond));
        });
    ASSERT_TRUE(window.OnInitDialog());
    window.show();
    // Unhandled, Esc would reach the main window and close it.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return})
        QTest::keyClick(window.Board(0)->Page(0), key);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}
