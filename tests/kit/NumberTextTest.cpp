// The shared number texts: hexadecimal or unsigned decimal, refused rather than cut down.
#include "NumberText.h"

#include <gtest/gtest.h>

TEST(NumberText, HexThenUnsignedDecimal) {
    struct Case {
        const char* text;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {
        {"0X7500", 0x7500},
        {"29952", 0x7500},
        {"0x", std::nullopt},
        {"0x12G", std::nullopt},
        {"12a", std::nullopt},
        {"", std::nullopt},
        {"-5", std::nullopt},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", std::nullopt},
        {"0xFFFFFFFF", 0xFFFFFFFFu},
        {"0x100000000", std::nullopt},
        {"007", 7u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHexOrDecimal(QString::fromLatin1(c.text)), c.value) << c.text;
    EXPECT_FALSE(ParseUnsignedDecimal(QStringLiteral("0x10")));
    EXPECT_EQ(ParseUnsignedDecimal(QStringLiteral("3000000000")), 3000000000u);
}
