// Reading the maximum voltage field, the step instructions and the instruction picture's fit.
#include "CalibrationTexts.h"
#include "InstructionPicture.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

TEST(ParseMaxVoltage, RefusesAnythingButDecimalDigits) {
    for (const char16_t* text : {u"", u" ", u"7a", u"a7", u"-70", u"+70", u" 70", u"70 ", u"7 0", u"7.0", u"0x46",
                                 u"\u0667\u0660" /* Arabic-Indic 70 */, u"\uFF17\uFF10" /* full-width 70 */})
        EXPECT_FALSE(ParseMaxVoltage(QString::fromUtf16(text))) << QString::fromUtf16(text).toStdString();
}

TEST(ParseMaxVoltage, KeepsTheLowSixteenBitsAndCountsTooLargeNumbersAsZero) {
    const struct {
        const char* text;
        uint16_t volts;
    } cases[] = {
        {"0", 0},
        {"70", 70},
        {"0070", 70},
        {"65535", 65535},
        {"65536", 0},
        {"65606", 70},         // 65536 + 70
        {"4294967295", 65535}, // largest 32-bit number
        {"4294967296", 0},     // one past 32 bits
        {"4295032902", 0},     // 2^32 + 65606: too large, not wrapped
        {"99999999999999999999999999", 0},
    };
    for (const auto& c : cases) {
        const auto volts = ParseMaxVoltage(QString::fromLatin1(c.text));
        ASSERT_TRUE(volts) << c.text;
        EXPECT_EQ(*volts, c.volts) << c.text;
    }
}

TEST(StepInstruction, FillsTheMaximumVoltageIntoTheFullScaleStepOnly) {
    EXPECT_EQ(StepInstruction(1, 70),
              QStringLiteral("Установите генератор напряжения в положение 70 вольт и нажмите кнопку \"Далее\""));
    EXPECT_EQ(StepInstruction(1, 65535),
              QStringLiteral("Установите генератор напряжения в положение 65535 вольт и нажмите кнопку \"Далее\""));
    EXPECT_TRUE(StepInstruction(0, 70).contains(QStringLiteral(" 0 вольт")));
    EXPECT_FALSE(StepInstruction(2, 70).contains(QStringLiteral("70")));
}

TEST(InstructionPicture, EveryLineFitsThePictureArea) {
    const QStringList lines = InstructionPictureLines();
    ASSERT_EQ(lines.size(), 6);
    const QSize area(CInstructionPicture::kWidth - 2 * CInstructionPicture::kMargin,
                     CInstructionPicture::kHeight - 2 * CInstructionPicture::kMargin);
    const QFont font = FitInstructionFont(QFont(), area, lines);
    const QFontMetrics metrics(font);
    EXPECT_GE(font.pixelSize(), 10); // still readable
    EXPECT_LE(metrics.lineSpacing() * lines.size(), area.height());
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), area.width()) << line.toStdString();
}
