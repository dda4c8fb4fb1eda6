// The dial dialog: keypad modes and title, the digit commands, and the hang-up and restore around it.
#include "DialDlg.h"
#include "LineBlocks.h"
#include "LinePageFixture.h"
#include "ModalDriver.h"
#include "PhoneLinePage.h"
#include "RequestCodes.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

struct DialDlgTest : ::testing::Test, LinePageFixture {
    static std::vector<uint8_t> Block(uint16_t command, uint16_t dialType, uint16_t digit) {
        LineState s;
        s.state = command;
        s.dialType = dialType;
        s.digit = digit;
        const auto bytes = s.Encode();
        return {bytes.begin(), bytes.end()};
    }
};

const char* const kToneKeys[] = {"keyStar", "keyHash", "keyA", "keyB", "keyC", "keyD"};

} // namespace

TEST_F(DialDlgTest, ClosingAtOnceSendsExactlyTheHangUpThenThePagesRestore) {
    CPhoneLinePage page(Context(0x310, 1), nullptr);
    auto* hook = Find<QPushButton>(&page, "line0Hook");
    auto* dial = Find<QPushButton>(&page, "line0Dial");

    WhenModal([](QDialog* dialog) { Find<QPushButton>(dialog, "ok")->click(); });
    dial->click();
    EXPECT_EQ(Inputs(req::kSetLineState),
              (std::vector<std::vector<uint8_t>>{Block(2, 0, 0xFFFF), Block(2, 0, 0xFFFF)}));

    // With the line off-hook on the page, the restore takes it off-hook again; Escape closes as OK does.
    hook->setChecked(true);
    log->Clear();
    WhenModal([](QDialog* dialog) { dialog->reject(); });
    dial->click();
    EXPECT_EQ(Inputs(req::kSetLineState),
              (std::vector<std::vector<uint8_t>>{Block(2, 0, 0xFFFF), Block(1, 0, 0xFFFF)}));
    EXPECT_EQ(log->Codes().size(), 2u);
}

TEST_F(DialDlgTest, PulseModeDisablesTheSixToneKeysAndToneModeEnablesThem) {
    Context(0x310, 1);
    CDialDlg dialog(lines[0].get(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Dial number : dial type PULSE");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "number")->text(), "");
    for (const char* key : kToneKeys)
        EXPECT_FALSE(Find<QPushButton>(&dialog, key)->isEnabled()) << key;
    for (int digit = 0; digit < 10; ++digit)
        EXPECT_TRUE(Find<QPushButton>(&dialog, QStringLiteral("key%1").arg(digit))->isEnabled());
    Find<QPushButton>(&dialog, "keyHash")->click();
    EXPECT_TRUE(log->Calls().empty());

    Find<QSlider>(&dialog, "dialType")->setValue(1);
    EXPECT_EQ(dialog.windowTitle(), "Dial number : dial type TONE");
    EXPECT_EQ(dialog.DialType(), 1);
    for (const char* key : kToneKeys)
        EXPECT_TRUE(Find<QPushButton>(&dialog, key)->isEnabled()) << key;

    Find<QSlider>(&dialog, "dialType")->setValue(0);
    EXPECT_FALSE(Find<QPushButton>(&dialog, "keyA")->isEnabled());
    EXPECT_EQ(dialog.DialType(), 0);
}

TEST_F(DialDlgTest, KeysSendTheirDigitCodeInTheCurrentModeAndShowOnlyWhatTheBoardTook) {
    Context(0x310, 1);
    CDialDlg dialog(lines[0].get(), nullptr);
    auto* number = Find<QLineEdit>(&dialog, "number");
    Find<QPushButton>(&dialog, "key7")->click();
    Find<QSlider>(&dialog, "dialType")->setValue(1);
    Find<QPushButton>(&dialog, "key5")->click();
    Find<QPushButton>(&dialog, "keyHash")->click();
    Find<QPushButton>(&dialog, "keyStar")->click();
    Find<QPushButton>(&dialog, "keyD")->click();
    lines[0]->Answer(req::kSetLineState, {0, {}});
    Find<QPushButton>(&dialog, "key0")->click(); // refused: not shown
    Find<QPushButton>(&dialog, "key0")->click();
    EXPECT_EQ(number->text(), "75#*D0");
    EXPECT_EQ(Inputs(req::kSetLineState),
              (std::vector<std::vector<uint8_t>>{Block(1, 0, 7), Block(1, 1, 5), Block(1, 1, 11), Block(1, 1, 10),
                                                 Block(1, 1, 15), Block(1, 1, 0), Block(1, 1, 0)}));
}

TEST_F(DialDlgTest, WithoutADeviceTheDialogSendsNothing) {
    CDialDlg dialog(nullptr, nullptr);
    Find<QPushButton>(&dialog, "key1")->click();
    EXPECT_EQ(Find<QLineEdit>(&dialog, "number")->text(), "");
    dialog.done(QDialog::Accepted);
    EXPECT_TRUE(log->Calls().empty());
}
