// The line options page on a simulated line-options board, its requests seen through a logging device.
#include "LineOptionsPage.h"
#include "DropList.h"
#include "LinePageFixture.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QGroupBox>

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// Passes every request to the simulated line and logs it.
class LoggingDevice final : public CDevice {
public:
    LoggingDevice(std::unique_ptr<CDevice> inner, std::string name, std::shared_ptr<RequestLog> log)
        : m_inner(std::move(inner)), m_name(std::move(name)), m_log(std::move(log)) {}
    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override { return m_inner->Read(buffer, size, done); }
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override {
        return m_inner->Write(buffer, size, done);
    }
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override {
        const auto* bytes = static_cast<const uint8_t*>(input);
        m_log->Add({m_name, RecordedCall::Op::Control, code,
                    bytes ? std::vector<uint8_t>(bytes, bytes + inputSize) : std::vector<uint8_t>{}, outputSize});
        return m_inner->DevIoControl(code, input, inputSize, output, outputSize, returned);
    }
    uint32_t Cancel() override { return m_inner->Cancel(); }

private:
    std::unique_ptr<CDevice> m_inner;
    std::string m_name;
    std::shared_ptr<RequestLog> m_log;
};

struct LineOptionsPageTest : ::testing::Test, LinePageFixture {
    SimFixtureBoards sim{{{0x310D, 410, 4, "", ""}}};
    std::array<std::unique_ptr<CDevice>, 8> devices;
    std::unique_ptr<CLineOptionsPage> page;

    sim::LineModel& Board() { return sim.simulator->BoardAt(0).Lines(); }

    void OpenPage() {
        PageContext context;
        context.type = 0x310D;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "line" + std::to_string(i);
            devices[static_cast<size_t>(i)] =
                std::make_unique<LoggingDevice>(sim.Open(0, "PHONE_LINE" + std::to_string(i) + "_IN_DEV"), name, log);
            context.lineIn[static_cast<size_t>(i)] = devices[static_cast<size_t>(i)].get();
        }
        page = std::make_unique<CLineOptionsPage>(context, nullptr);
        ASSERT_TRUE(page->OnInitDialog());
    }
    template <typename T> T* Control(int line, const char* name) {
        return Find<T>(page.get(), QStringLiteral("line%1%2").arg(line).arg(QLatin1String(name)));
    }
    size_t Writes() const { return Inputs(req::kSetLineState).size(); }
};

} // namespace

TEST_F(LineOptionsPageTest, OpensWithTheBoardsOptionsAndSendsNothingWhileTheyMatch) {
    Board().SetOptions(0, {1, 1, 0});
    Board().SetOptions(2, {3, 0, 1}); // a sensor power the list does not offer
    OpenPage();
    EXPECT_TRUE(Control<QCheckBox>(0, "Compensation")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(0, "Tape")->isChecked());
    EXPECT_EQ(Control<CDropList>(0, "Power")->currentText(), QStringLiteral("+60 вольт"));
    EXPECT_EQ(Control<CDropList>(2, "Power")->currentIndex(), -1);
    EXPECT_TRUE(Control<QCheckBox>(2, "Tape")->isChecked());
    EXPECT_EQ(Control<CDropList>(1, "Power")->count(), 3);
    EXPECT_EQ(Control<QGroupBox>(3, "Group")->title(), QStringLiteral("Канал 4"));

    log->Clear();
    page->OnTimer();
    EXPECT_EQ(Writes(), 0u);
    EXPECT_EQ(log->Codes(),
              (std::vector<std::string>{"line0:0x222420", "line1:0x222420", "line2:0x222420", "line3:0x222420"}));
    EXPECT_EQ(Board().Options(2), (sim::LineOptions{3, 0, 1})); // left as the board has it
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LineOptionsPageTest, AChosenSensorPowerReachesTheBoardOnTheNextTickWithTheOtherOptions) {
    Board().SetOptions(1, {0, 1, 0});
    OpenPage();
    log->Clear();
    Control<CDropList>(1, "Power")->setCurrentIndex(2); // "-60 вольт"
    EXPECT_EQ(Writes(), 0u);                            // nothing until the tick
    page->OnTimer();
    EXPECT_EQ(Inputs(req::kSetLineState), (std::vector<std::vector<uint8_t>>{Le16({0, 2, 1, 0})}));
    EXPECT_EQ(Board().Options(1), (sim::LineOptions{2, 1, 0}));

    Control<QCheckBox>(1, "Tape")->click();
    page->OnTimer();
    EXPECT_EQ(Board().Options(1), (sim::LineOptions{2, 1, 1}));
    log->Clear();
    page->OnTimer();
    EXPECT_EQ(Writes(), 0u);
}

TEST_F(LineOptionsPageTest, NothingChangesALineWhileItsListIsDroppedDownButItsInputStillRefreshes) {
    OpenPage();
    auto* list = Control<CDropList>(1, "Power");
    list->showPopup();
    ASSERT_TRUE(list->IsDroppedDown());
    list->setCurrentIndex(1);
    Control<QCheckBox>(1, "Compensation")->setChecked(true);
    Control<QCheckBox>(0, "Compensation")->setChecked(true);
    sim.clock->Advance(9500ms); // line 1's external input is active now
    log->Clear();
    page->OnTimer();
    EXPECT_EQ(Inputs(req::kSetLineState), (std::vector<std::vector<uint8_t>>{Le16({0, 0, 1, 0})})); // line 0 only
    EXPECT_EQ(log->Calls().at(0).device, "line0");
    EXPECT_TRUE(Control<QCheckBox>(1, "ExternalInput")->isChecked());
    EXPECT_EQ(Board().Options(1), (sim::LineOptions{}));

    list->hidePopup();
    page->OnTimer();
    EXPECT_EQ(Board().Options(1), (sim::LineOptions{1, 1, 0}));
}

TEST_F(LineOptionsPageTest, AListClosedWithoutHidePopupNoLongerHoldsItsLineBack) {
    OpenPage();
    auto* list = Control<CDropList>(1, "Power");
    list->showPopup();
    ASSERT_TRUE(list->IsDroppedDown());
    // The window system closes open popups on its own (another application activated, a click
    // elsewhere); the list is then shut without its hidePopup running.
    list->view()->window()->hide();
    EXPECT_FALSE(list->IsDroppedDown());
    list->setCurrentIndex(2);
    page->OnTimer();
    EXPECT_EQ(Board().Options(1), (sim::LineOptions{2, 0, 0}));
}

TEST_F(LineOptionsPageTest, AFailedOpeningReadIsReportedAndTheFirstGoodReadFillsTheControls) {
    sim.simulator->FaultInjection().Add({sim::FaultRule::Kind::Fail, "PHONE_LINE2_IN_DEV", req::kGetLineState, 1, 1});
    Board().SetOptions(2, {2, 1, 1});
    OpenPage();
    EXPECT_EQ(prompts.messages,
              (std::vector<RecordingPrompts::Shown>{{QStringLiteral("Не могу получить состояние тел. линии"),
                                                     QStringLiteral("Ошибка"), PromptIcon::Error}}));
    EXPECT_FALSE(Control<QCheckBox>(2, "Compensation")->isChecked());
    EXPECT_EQ(Control<CDropList>(2, "Power")->currentIndex(), -1);

    // The empty controls are not a wish: the board keeps its options, and they show up.
    for (int tick = 0; tick < 3; ++tick)
        page->OnTimer();
    EXPECT_EQ(Board().Options(2), (sim::LineOptions{2, 1, 1}));
    EXPECT_EQ(Writes(), 0u);
    EXPECT_TRUE(Control<QCheckBox>(2, "Tape")->isChecked());
    EXPECT_EQ(Control<CDropList>(2, "Power")->currentIndex(), 2);
}

TEST_F(LineOptionsPageTest, AbsentLinesShowOnlyTheirEmptyGroups) {
    OpenPage();
    for (int line = 0; line < 8; ++line) {
        EXPECT_FALSE(Control<QGroupBox>(line, "Group")->isHidden());
        for (const char* name : {"Compensation", "Tape", "ExternalInput", "PowerGroup", "Power"})
            EXPECT_EQ(Control<QWidget>(line, name)->isHidden(), line >= 4) << line << name;
    }
}
