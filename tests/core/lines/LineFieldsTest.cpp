// The line settings field texts and the line options comparison.
#include "LineBlocks.h"
#include "LineOptionsSync.h"
#include "LineSettingsFields.h"

#include <QStringList>

#include <gtest/gtest.h>

TEST(LineSettingsFields, EditTextsBecomeTheLow16BitsOfAnUnsignedNumberOrZero) {
    const struct {
        const char* text;
        uint16_t value;
    } cases[] = {{"abc", 0}, {"-5", 0},  {"", 0},    {"70000", 4464}, {"65535", 65535},
                 {"0", 0},   {"12a", 0}, {" 12", 0}, {"+7", 0},       {"4294967296", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FieldValue(QString::fromLatin1(c.text)), c.value) << c.text;
    // 10^20 is a multiple of 2^16, so 10^20 - 1 ends in sixteen one bits.
    EXPECT_EQ(FieldValue(QStringLiteral("99999999999999999999")), 0xFFFF);
}

TEST(LineSettingsFields, FieldsShowAsUnsigned16BitNumbers) {
    EXPECT_EQ(FieldText(0x8000), QStringLiteral("32768"));
    EXPECT_EQ(FieldText(0xFFFF), QStringLiteral("65535"));
    EXPECT_EQ(FieldValue(FieldText(0x8000)), 0x8000);
}

TEST(LineSettingsFields, AmplitudeItemsAreRightAlignedLevels) {
    QStringList items;
    for (int level : kAmplitudeTable)
        items << AmplitudeItemText(level);
    EXPECT_EQ(items,
              (QStringList{"   0 dB", " -36 dB", " -30 dB", " -24 dB", " -18 dB", " -12 dB", "  -9 dB", "  -6 dB",
                           "  -3 dB", "   3 dB", "   6 dB", "   9 dB", "  12 dB", "  18 dB", "  24 dB", " -96 dB"}));
}

TEST(LineOptionsSync, SendsOnlyWhatDiffersAndKeepsTheBoardsPowerWhenNoneIsChosen) {
    const LineStateShort board{1, 1, 1, 0};
    EXPECT_FALSE(OptionsToSend({1, true, false}, board)); // matches; the external input does not count
    EXPECT_EQ(OptionsToSend({2, true, false}, board), (LineStateShort{0, 2, 1, 0}));
    EXPECT_EQ(OptionsToSend({1, false, true}, board), (LineStateShort{0, 1, 0, 1}));
    EXPECT_FALSE(OptionsToSend({-1, true, false}, board));
    EXPECT_EQ(OptionsToSend({-1, true, true}, board), (LineStateShort{0, 1, 1, 1}));
}
