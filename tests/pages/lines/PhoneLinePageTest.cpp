// The phone line page: what it shows per board, its opening exchange, polling, Hook and Commutation.
#include "PhoneLinePage.h"
#include "HookView.h"
#include "LineBlocks.h"
#include "LineDisplay.h"
#include "LinePageFixture.h"
#include "RequestCodes.h"
#include "Settings.h"
#include "SimFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace std::chrono_literals;

namespace {

struct PhoneLinePageTest : ::testing::Test, LinePageFixture {
    std::unique_ptr<CPhoneLinePage> page;

    CPhoneLinePage& Open(uint32_t type, int present = 8, int32_t index = 0, bool init = true) {
        page = std::make_unique<CPhoneLinePage>(Context(type, present, index), nullptr);
        if (init) {
            EXPECT_TRUE(page->OnInitDialog());
        }
        return *page;
    }
    QString Text(const QString& name) { return Find<QLabel>(page.get(), name)->text(); }

    // A settings block whose every byte differs, so that a patched field shows up.
    static std::vector<uint8_t> SettingsPattern() {
        std::vector<uint8_t> bytes(44);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(0x40 + i);
        return bytes;
    }
    static std::vector<uint8_t> WithSwitches(std::vector<uint8_t> bytes, uint16_t aon, uint16_t beep) {
        bytes[34] = static_cast<uint8_t>(aon);
        bytes[35] = static_cast<uint8_t>(aon >> 8);
        bytes[36] = static_cast<uint8_t>(beep);
        bytes[37] = static_cast<uint8_t>(beep >> 8);
        return bytes;
    }
    static std::vector<uint8_t> StateBlock(uint16_t state, uint16_t rings, uint16_t volts, uint16_t input,
                                           const std::string& number) {
        LineState s;
        s.state = state;
        s.rings = rings;
        s.voltage = static_cast<int16_t>(volts);
        s.controlInput = input;
        std::memcpy(s.number.data(), number.data(), std::min<size_t>(number.size(), 32));
        const auto bytes = s.Encode();
        return {bytes.begin(), bytes.end()};
    }
};

} // namespace

TEST_F(PhoneLinePageTest, OpeningRestoresTheStoredSwitchesOfEveryPresentLine) {
    WriteBoardInt(3, QStringLiteral("CFG\\LINE1"), QStringLiteral("AON_ENABLED"), 0);
    WriteBoardInt(3, QStringLiteral("CFG\\LINE1"), QStringLiteral("BEEP_ENABLED"), 1);
    WriteBoardInt(0, QStringLiteral("CFG\\LINE0"), QStringLiteral("AON_ENABLED"), 0); // another board's
    page = std::make_unique<CPhoneLinePage>(Context(0x310, 4, 3), nullptr);
    for (auto& line : lines)
        if (line)
            line->Answer(req::kGetLineSettings, {1, SettingsPattern()});
    ASSERT_TRUE(page->OnInitDialog());

    EXPECT_EQ(log->Codes(),
              (std::vector<std::string>{"line0:0x222428", "line0:0x22242C", "line1:0x222428", "line1:0x22242C",
                                        "line2:0x222428", "line2:0x22242C", "line3:0x222428", "line3:0x22242C"}));
    const auto sent = Inputs(req::kSetLineSettings);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], WithSwitches(SettingsPattern(), 1, 0)); // nothing stored: AON on, beep off
    EXPECT_EQ(sent[1], WithSwitches(SettingsPattern(), 0, 1));
    EXPECT_EQ(sent[2], WithSwitches(SettingsPattern(), 1, 0));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(page->Polling());
}

TEST_F(PhoneLinePageTest, ASettingsReadThatFailsOrComesShortLeavesTheLineAloneSilently) {
    page = std::make_unique<CPhoneLinePage>(Context(0x310, 2), nullptr);
    lines[0]->Answer(req::kGetLineSettings, {0, {}});
    lines[1]->Answer(req::kGetLineSettings, {1, std::vector<uint8_t>(43, 0)});
    ASSERT_TRUE(page->OnInitDialog());
    EXPECT_EQ(log->Codes(), (std::vector<std::string>{"line0:0x222428", "line1:0x222428"}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PhoneLinePageTest, ControlsFollowLinePresenceAndBoardType) {
    Open(0x310, 4);
    for (int line = 0; line < 8; ++line) {
        const QString n = QString::number(line);
        const bool present = line < 4;
        EXPECT_FALSE(Find<QGroupBox>(page.get(), "line" + n + "Group")->isHidden());
        for (const char* control :
             {"Picture", "Rings", "Number", "Voltage", "Hook", "Settings", "Dial", "InputControl"})
            EXPECT_EQ(Find<QWidget>(page.get(), "line" + n + control)->isHidden(), !present) << line << control;
        EXPECT_TRUE(Find<QWidget>(page.get(), "line" + n + "Commutation")->isHidden());
    }
    EXPECT_EQ(Text("line0Number"), "Static");
    EXPECT_EQ(Text("line0Voltage"), "-120");
    EXPECT_EQ(Text("line0Rings"), "");
    EXPECT_EQ(Find<QGroupBox>(page.get(), "line7Group")->title(), "Channel 8");

    for (uint32_t type : {0x340u, 0x350u, 0x10340u}) { // pages compare the low 16 bits
        Open(type, 3);
        EXPECT_FALSE(Find<QWidget>(page.get(), "line2Commutation")->isHidden()) << type;
        EXPECT_TRUE(Find<QWidget>(page.get(), "line3Commutation")->isHidden()) << type;
    }

    Open(0x330D, 4);
    for (int line = 0; line < 8; ++line) {
        const QString n = QString::number(line);
        EXPECT_FALSE(Find<QWidget>(page.get(), "line" + n + "Hook")->isEnabled());
        EXPECT_FALSE(Find<QWidget>(page.get(), "line" + n + "Dial")->isEnabled());
        EXPECT_TRUE(Find<QWidget>(page.get(), "line" + n + "Settings")->isEnabled());
    }
}

TEST_F(PhoneLinePageTest, PollingShowsTheBlockAndTheInputBoxReturnsToTheBoardsValue) {
    Open(0x310, 2, 0, false);
    const std::string longest(31, '9');
    lines[0]->SetHandler([](const RecordedCall&) { return ScriptedAnswer{1, StateBlock(6, 3, 0xFF88, 1, "")}; });
    lines[1]->SetHandler([&](const RecordedCall&) { return ScriptedAnswer{1, StateBlock(1, 0, 7, 0, longest)}; });
    page->OnTimer();
    EXPECT_EQ(Text("line0Voltage"), "-120");
    EXPECT_EQ(Text("line0Rings"), "3");
    EXPECT_EQ(Text("line0Number"), QStringLiteral("нет номера"));
    EXPECT_EQ(Find<CHookView>(page.get(), "line0Picture")->State(), 6);
    EXPECT_EQ(Text("line1Number"), QString::fromStdString(longest));
    EXPECT_EQ(Text("line1Voltage"), "7");
    EXPECT_EQ(Find<CHookView>(page.get(), "line1Picture")->State(), 1);

    auto* input = Find<QCheckBox>(page.get(), "line0InputControl");
    EXPECT_TRUE(input->isChecked());
    input->click();
    EXPECT_FALSE(input->isChecked());
    page->OnTimer();
    EXPECT_TRUE(input->isChecked());

    // A poll that fails or comes short keeps the last display.
    lines[0]->SetHandler([](const RecordedCall&) { return ScriptedAnswer{0, {}}; });
    lines[1]->SetHandler([](const RecordedCall&) {
        auto shortBlock = StateBlock(2, 9, 9, 0, "1");
        shortBlock.resize(45);
        return ScriptedAnswer{1, shortBlock};
    });
    page->OnTimer();
    EXPECT_EQ(Text("line0Voltage"), "-120");
    EXPECT_EQ(Text("line1Voltage"), "7");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PhoneLinePageTest, HookSendsBackTheBlockJustReadWithItsCommandAndDigitCodeSet) {
    Open(0x310, 1, 0, false);
    const auto read = StateBlock(6, 2, 0xFFC4, 1, "4951234567");
    lines[0]->Answer(req::kGetLineState, {1, read});
    lines[0]->Answer(req::kGetLineState, {1, read});
    auto* hook = Find<QPushButton>(page.get(), "line0Hook");

    hook->click();
    EXPECT_EQ(hook->text(), "Hook down");
    hook->click();
    EXPECT_EQ(hook->text(), "Hook up");

    EXPECT_EQ(log->Codes(),
              (std::vector<std::string>{"line0:0x222420", "line0:0x222424", "line0:0x222420", "line0:0x222424"}));
    auto expected = read;
    expected[0] = 1;
    expected[1] = 0;
    expected[8] = expected[9] = 0xFF;
    const auto sent = Inputs(req::kSetLineState);
    EXPECT_EQ(sent[0], expected);
    expected[0] = 2;
    EXPECT_EQ(sent[1], expected);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PhoneLinePageTest, HookAndCommutationFailuresAreReportedAndTheControlsKeepTheUsersState) {
    Open(0x350, 1, 0, false);
    const RecordingPrompts::Shown failure{"Cann't set phone line state for device", "Error", PromptIcon::Error};
    auto* hook = Find<QPushButton>(page.get(), "line0Hook");

    lines[0]->Answer(req::kGetLineState, {0, {}});
    hook->click();
    EXPECT_TRUE(hook->isChecked());
    EXPECT_EQ(Inputs(req::kSetLineState).size(), 0u); // stopped at the read
    lines[0]->Answer(req::kGetLineState, {1, std::vector<uint8_t>(40, 0)});
    hook->click();
    lines[0]->Answer(req::kSetLineState, {0, {}});
    hook->click();
    EXPECT_TRUE(hook->isChecked());

    auto* commutation = Find<QCheckBox>(page.get(), "line0Commutation");
    lines[0]->Answer(req::kSetLineState, {0, {}});
    commutation->click();
    EXPECT_TRUE(commutation->isChecked());
    EXPECT_EQ(prompts.messages, (std::vector<RecordingPrompts::Shown>{failure, failure, failure, failure}));
}

TEST_F(PhoneLinePageTest, CommutationSendsItsCommandWithEveryOtherFieldZero) {
    Open(0x340, 1, 0, false);
    auto* commutation = Find<QCheckBox>(page.get(), "line0Commutation");
    commutation->click();
    commutation->click();
    std::vector<uint8_t> on(46, 0);
    on[0] = 8;
    on[8] = on[9] = 0xFF;
    auto off = on;
    off[0] = 16;
    EXPECT_EQ(Inputs(req::kSetLineState), (std::vector<std::vector<uint8_t>>{on, off}));
    EXPECT_EQ(log->Codes().size(), 2u);
}

TEST_F(PhoneLinePageTest, OnTheSimulatedBoardPollingShowsRingingTheCallerAndTheHook) {
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}}};
    std::array<std::unique_ptr<CDevice>, 8> devices;
    PageContext context;
    context.type = 0x310;
    for (size_t i = 0; i < 8; ++i) {
        devices[i] = sim.Open(0, "PHONE_LINE" + std::to_string(i) + "_IN_DEV");
        context.lineIn[i] = devices[i].get();
    }
    CPhoneLinePage simPage(context, nullptr);
    ASSERT_TRUE(simPage.OnInitDialog());
    auto label = [&](const char* name) { return Find<QLabel>(&simPage, name)->text(); };
    auto* picture = Find<CHookView>(&simPage, "line0Picture");

    simPage.OnTimer();
    EXPECT_EQ(picture->State(), 2);
    EXPECT_EQ(label("line0Number"), QStringLiteral("нет номера"));
    EXPECT_EQ(label("line0Voltage"), "-57"); // -60 V as the uncalibrated voltmeter reads it

    sim.clock->Advance(sim::LineModel::kFirstCall + 100ms);
    simPage.OnTimer();
    EXPECT_EQ(picture->State(), 6);
    EXPECT_EQ(label("line0Rings"), "1");
    sim.clock->Advance(2s);
    simPage.OnTimer();
    EXPECT_EQ(picture->State(), 2);
    EXPECT_EQ(label("line0Number"), "4957310042");

    Find<QPushButton>(&simPage, "line0Hook")->click();
    simPage.OnTimer();
    EXPECT_EQ(picture->State(), 1);
    EXPECT_EQ(label("line0Voltage"), "-6");
    EXPECT_TRUE(sim.simulator->BoardAt(0).Lines().OffHook(0));

    // Calibration on the board shows at once in the voltage.
    sim.simulator->BoardAt(0).State().calibrated[0] = true;
    simPage.OnTimer();
    EXPECT_EQ(label("line0Voltage"), "-9");
}

TEST(LineDisplay, APollTouchesOnlyWhatChanged) {
    LineDisplay display;
    LineState s;
    s.state = 2; // as first drawn
    s.voltage = -60;
    const LineDisplayUpdate first = display.Apply(s);
    EXPECT_EQ(first.rings, QStringLiteral("0"));
    EXPECT_EQ(first.voltage, QStringLiteral("-60"));
    EXPECT_EQ(first.number, QStringLiteral("нет номера"));
    EXPECT_FALSE(first.pictureChanged);

    const LineDisplayUpdate same = display.Apply(s);
    EXPECT_FALSE(same.rings || same.voltage || same.number || same.pictureChanged);

    s.number[20] = 'x'; // after the terminating zero: the text is unchanged
    EXPECT_FALSE(display.Apply(s).number);

    s.state = 6;
    s.rings = 1;
    const LineDisplayUpdate ring = display.Apply(s);
    EXPECT_TRUE(ring.pictureChanged);
    EXPECT_EQ(ring.rings, QStringLiteral("1"));
    EXPECT_FALSE(ring.voltage || ring.number);
    EXPECT_EQ(display.ShownState(), 6);
}
