// The shared helpers: play-time text, number texts, the file chooser.
#include "Helpers.h"
#include "RecordingPrompts.h"

#include <QLineEdit>
#include <gtest/gtest.h>

TEST(FormatPlayTime, CountsHundredthsOfSixteenBitSamples) {
    EXPECT_EQ(FormatPlayTime(32000, 16000), "00:00:01:00");
    EXPECT_EQ(FormatPlayTime(0, 16000), "00:00:00:00");
    EXPECT_EQ(FormatPlayTime(320, 16000), "00:00:00:01");
    EXPECT_EQ(FormatPlayTime(32000u * 3661, 16000), "01:01:01:00");
    // Hours are not reduced: the largest count at 100 samples/s is over 59 hours.
    EXPECT_EQ(FormatPlayTime(0xFFFFFFFFu, 100), "5965:13:56:47");
    EXPECT_EQ(FormatPlayTime(0xFFFFFFFFu, 200), "2982:36:58:23");
}

TEST(FormatPlayTime, RateBelowOneHundredShowsZeroInsteadOfDividingByZero) {
    EXPECT_EQ(FormatPlayTime(32000, 99), "00:00:00:00");
    EXPECT_EQ(FormatPlayTime(32000, 0), "00:00:00:00");
}

TEST(ParseDecimal, AcceptsDigitsOnlyAndLeavesTheResultOnRefusal) {
    int32_t value = -1;
    EXPECT_TRUE(ParseDecimal(&value, "007"));
    EXPECT_EQ(value, 7);
    for (const char* bad : {"", "-5", "+5", "12a", " 1", "1 ", "0x10", "١٢"}) {
        value = 42;
        EXPECT_FALSE(ParseDecimal(&value, QString::fromUtf8(bad))) << bad;
        EXPECT_EQ(value, 42) << bad;
    }
    EXPECT_TRUE(ParseDecimal(nullptr, "5"));
}

TEST(ParseDecimal, RefusesValuesBeyondThirtyTwoBits) {
    int32_t value = 0;
    EXPECT_TRUE(ParseDecimal(&value, "2147483647"));
    EXPECT_EQ(value, 2147483647);
    EXPECT_FALSE(ParseDecimal(&value, "2147483648"));
    EXPECT_FALSE(ParseDecimal(&value, "99999999999999999999999"));
    EXPECT_EQ(value, 2147483647);
    EXPECT_TRUE(IsDecimalText("99999999999999999999999")); // a page can still tell "too large" from "not a number"
}

TEST(ParseHex, NeedsThePrefixAndHexDigits) {
    uint32_t value = 0;
    EXPECT_TRUE(ParseHex(&value, "0X1f"));
    EXPECT_EQ(value, 31u);
    EXPECT_TRUE(ParseHex(&value, "0xFFFFFFFF"));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseHex(&value, "0x00000000000012"));
    EXPECT_EQ(value, 0x12u);
    for (const char* bad : {"0x", "x10", "0x1g", "10", "", "0x 1", "0x100000000"}) {
        value = 7;
        EXPECT_FALSE(ParseHex(&value, bad)) << bad;
        EXPECT_EQ(value, 7u) << bad;
    }
}

TEST(ChooseFile, UsesTheFiltersAndFillsTheControlAndResult) {
    RecordingPrompts prompts;
    prompts.fileAnswers.push_back("/tmp/dump.txt");
    QLineEdit edit;
    QString path;
    EXPECT_TRUE(ChooseFile(nullptr, false, &edit, &path, true));
    EXPECT_EQ(edit.text(), "/tmp/dump.txt");
    EXPECT_EQ(path, "/tmp/dump.txt");
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_FALSE(prompts.fileRequests[0].open);
    EXPECT_EQ(prompts.fileRequests[0].filters, QStringList{"Text files (*.txt)"});

    // Cancelled: nothing changes.
    edit.setText("keep");
    path = "keep";
    EXPECT_FALSE(ChooseFile(nullptr, true, &edit, &path, false));
    EXPECT_EQ(edit.text(), "keep");
    EXPECT_EQ(path, "keep");
    EXPECT_TRUE(prompts.fileRequests[1].open);
    EXPECT_EQ(prompts.fileRequests[1].filters, (QStringList{"TRN 5.x files (*.dat)", "Wav files (*.wav)"}));
}
