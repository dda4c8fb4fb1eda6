// The "Settings" button of a line: the read-edit-write sequence, its failure stops and the dialog's fields.
#include "LineBlocks.h"
#include "LinePageFixture.h"
#include "LineSettingsDlg.h"
#include "LineSettingsFlow.h"
#include "ModalDriver.h"
#include "PhoneLinePage.h"
#include "RequestCodes.h"
#include "Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct LineSettingsTest : ::testing::Test, LinePageFixture {
    std::unique_ptr<CPhoneLinePage> page;

    // The board's blocks: offset 0 at 0x8000, offset 22 internal, an AON amplitude index the table lacks.
    static LineSettings BoardSettings() {
        LineSettings s;
        for (size_t i = 0; i < LineSettings::kFields; ++i)
            s.fields[i] = static_cast<uint16_t>(100 + i);
        s.Set(0, 0x8000);
        s.Set(LineSettings::kAonAmplitudeOffset, 16);
        s.Set(LineSettings::kReservedOffset, 0xBEEF);
        s.Set(LineSettings::kAonEnableOffset, 1);
        s.Set(LineSettings::kBeepEnableOffset, 0);
        return s;
    }
    static std::vector<uint8_t> Bytes(const auto& block) {
        const auto bytes = block.Encode();
        return {bytes.begin(), bytes.end()};
    }

    void OpenPage(uint32_t type, int32_t index = 0) {
        page = std::make_unique<CPhoneLinePage>(Context(type, 2, index), nullptr);
        lines[1]->Answer(req::kGetLineSettings, {1, Bytes(BoardSettings())});
        lines[1]->Answer(req::kGetAmplitudes, {1, Le16({3, 8})});
    }
    void ClickSettings() { Find<QPushButton>(page.get(), "line1Settings")->click(); }
    int32_t Stored(const char* entry, int32_t index = 0) {
        return ReadBoardInt(index, QStringLiteral("CFG\\LINE1"), QString::fromLatin1(entry), -7);
    }
};

} // namespace

TEST_F(LineSettingsTest, OkWithoutChangesSendsTheBlocksBackStoresTheSwitchesAndPowersTheInterface) {
    OpenPage(0x310, 4);
    QString shownField;
    int aonAmplitude = 0, beepAmplitude = -1, dialAmplitude = -1;
    bool power = false;
    WhenModal([&](QDialog* dialog) {
        shownField = Find<QLineEdit>(dialog, "phoneUpThreshold")->text();
        aonAmplitude = Find<QComboBox>(dialog, "aonAmplitude")->currentIndex();
        beepAmplitude = Find<QComboBox>(dialog, "beepAmplitude")->currentIndex();
        dialAmplitude = Find<QComboBox>(dialog, "dialAmplitude")->currentIndex();
        power = Find<QCheckBox>(dialog, "interfacePower")->isChecked();
        Find<QPushButton>(dialog, "ok")->click();
    });
    ClickSettings();

    EXPECT_EQ(shownField, "32768");
    EXPECT_EQ(aonAmplitude, -1);
    EXPECT_EQ(beepAmplitude, 3);
    EXPECT_EQ(dialAmplitude, 8);
    EXPECT_TRUE(power);
    EXPECT_EQ(log->Codes(), (std::vector<std::string>{"line1:0x222428", "line1:0x2224B4", "line1:0x22242C",
                                                      "line1:0x2224B8", "line1:0x222458"}));
    LineSettings expected = BoardSettings();
    expected.Set(LineSettings::kAonAmplitudeOffset, 0xFFFF); // no selection goes back as 0xFFFF
    EXPECT_EQ(Inputs(req::kSetLineSettings).at(0), Bytes(expected));
    EXPECT_EQ(Inputs(req::kSetAmplitudes).at(0), Le16({3, 8}));
    EXPECT_EQ(Inputs(req::kInterfacePower).at(0), Le16({1}));
    EXPECT_EQ(Stored("AON_ENABLED", 4), 1);
    EXPECT_EQ(Stored("BEEP_ENABLED", 4), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LineSettingsTest, EditsSwitchesListsAndPowerGoToTheirFields) {
    OpenPage(0x310);
    WhenModal([&](QDialog* dialog) {
        Find<QLineEdit>(dialog, "phoneUpThreshold")->setText("abc");
        Find<QLineEdit>(dialog, "ringThreshold")->setText("-5");
        Find<QLineEdit>(dialog, "phoneUpDelay")->setText("");
        Find<QLineEdit>(dialog, "phoneDownDelay")->setText("70000");
        Find<QLineEdit>(dialog, "pulseDigitToDigit")->setText("65535");
        Find<QComboBox>(dialog, "aonAmplitude")->setCurrentIndex(15);
        Find<QComboBox>(dialog, "dialAmplitude")->setCurrentIndex(0);
        Find<QCheckBox>(dialog, "aonEnable")->setChecked(false);
        Find<QCheckBox>(dialog, "beepEnable")->setChecked(true);
        Find<QCheckBox>(dialog, "interfacePower")->setChecked(false);
        Find<QPushButton>(dialog, "ok")->click();
    });
    ClickSettings();

    LineSettings expected = BoardSettings();
    expected.Set(0, 0);
    expected.Set(2, 0);
    expected.Set(4, 0);
    expected.Set(6, 4464);
    expected.Set(42, 65535);
    expected.Set(18, 15);
    expected.Set(34, 0);
    expected.Set(36, 1);
    EXPECT_EQ(Inputs(req::kSetLineSettings).at(0), Bytes(expected));
    EXPECT_EQ(Inputs(req::kSetAmplitudes).at(0), Le16({3, 0}));
    EXPECT_EQ(Inputs(req::kInterfacePower).at(0), Le16({0}));
    EXPECT_EQ(Stored("AON_ENABLED"), 0);
    EXPECT_EQ(Stored("BEEP_ENABLED"), 1);
}

TEST_F(LineSettingsTest, CancelSendsNothingAndStoresNothing) {
    OpenPage(0x310);
    WhenModal([](QDialog* dialog) {
        Find<QCheckBox>(dialog, "interfacePower")->setChecked(false);
        Find<QPushButton>(dialog, "cancel")->click();
    });
    ClickSettings();
    EXPECT_EQ(log->Codes(), (std::vector<std::string>{"line1:0x222428", "line1:0x2224B4"}));
    EXPECT_EQ(Stored("AON_ENABLED"), -7);
}

TEST_F(LineSettingsTest, BoardsWithFixedInterfacePowerGetNoPowerRequest) {
    for (uint32_t type : {0x340u, 0x350u, 0x360u}) {
        log->Clear();
        OpenPage(type);
        WhenModal([](QDialog* dialog) { Find<QPushButton>(dialog, "ok")->click(); });
        ClickSettings();
        EXPECT_EQ(log->Codes(),
                  (std::vector<std::string>{"line1:0x222428", "line1:0x2224B4", "line1:0x22242C", "line1:0x2224B8"}))
            << type;
        EXPECT_EQ(Stored("AON_ENABLED"), 1);
    }
}

TEST_F(LineSettingsTest, EachFailingStepStopsTheSequenceWithItsMessage) {
    const struct {
        uint32_t code;
        ScriptedAnswer answer;
        const char* message;
        size_t requests; // sent before stopping, the failing one included
        bool stored;
    } cases[] = {
        {req::kGetLineSettings, {0, {}}, "Can not get phone line state", 1, false},
        {req::kGetLineSettings, {1, std::vector<uint8_t>(43, 0)}, "Can not get phone line state", 1, false},
        {req::kGetAmplitudes, {0, {}}, "Can not get phone line att state", 2, false},
        {req::kGetAmplitudes, {1, std::vector<uint8_t>(3, 0)}, "Can not get phone line att state", 2, false},
        {req::kSetLineSettings, {0, {}}, "Can not set phone line state", 3, false},
        {req::kSetAmplitudes, {0, {}}, "Can not set phone line att state", 4, false},
        {req::kInterfacePower, {0, {}}, "Can not set phone interface power", 5, true},
    };
    int32_t board = 0; // a board of its own per case, so no case sees another's stored switches
    for (const auto& c : cases) {
        ++board;
        log->Clear();
        Context(0x310, 1);
        lines[0]->Answer(c.code, c.answer);
        int edits = 0;
        const QString error = RunLineSettings(*lines[0], 0x310, board, 0, [&](LineSettings&, LineLevels&, int32_t&) {
            ++edits;
            return true;
        });
        EXPECT_EQ(error, QString::fromLatin1(c.message));
        EXPECT_EQ(log->Codes().size(), c.requests) << c.message;
        EXPECT_EQ(edits, c.requests >= 3 ? 1 : 0) << c.message;
        EXPECT_EQ(ReadBoardInt(board, LineSection(0), "AON_ENABLED", -7), c.stored ? 0 : -7) << c.message;
    }

    // Through the page the text shows in an error box.
    page = std::make_unique<CPhoneLinePage>(Context(0x310, 1), nullptr);
    lines[0]->Answer(req::kGetLineSettings, {0, {}});
    Find<QPushButton>(page.get(), "line0Settings")->click();
    EXPECT_EQ(prompts.messages,
              (std::vector<RecordingPrompts::Shown>{{"Can not get phone line state", "Error", PromptIcon::Error}}));
}

TEST_F(LineSettingsTest, DialogShowsTheTableAndOpensWithPowerOnEveryTime) {
    LineSettings settings = BoardSettings();
    LineLevels levels{16, 15};
    int32_t power = 0;
    CLineSettingsDlg dialog(nullptr, &settings, &levels, &power);
    EXPECT_EQ(dialog.windowTitle(), "Phone line settings");
    EXPECT_TRUE(Find<QCheckBox>(&dialog, "interfacePower")->isChecked());
    EXPECT_EQ(Find<QComboBox>(&dialog, "beepAmplitude")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>(&dialog, "dialAmplitude")->currentText(), " -96 dB");
    EXPECT_EQ(Find<QComboBox>(&dialog, "aonAmplitude")->count(), 16);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "pulseDuration")->text(), "116"); // offset 32
    EXPECT_EQ(Find<QLabel>(&dialog, "beepPeriodLabel")->text(), "Warrning beep pereod :");
    EXPECT_EQ(Find<QLabel>(&dialog, "aonAmplitudeUnit")->text(), "(smpl)");
    EXPECT_EQ(Find<QLabel>(&dialog, "hookUpRingUnit"), nullptr);
    EXPECT_EQ(dialog.findChildren<QLineEdit*>().size(), 18);

    // Without a settings block the dialog ends at once as cancelled.
    CLineSettingsDlg empty(nullptr, nullptr, &levels, &power);
    EXPECT_EQ(empty.exec(), QDialog::Rejected);
}
