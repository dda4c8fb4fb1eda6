// The dump and header lines of the memory page.
#include "DumpText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> b;
    for (uint16_t w : words) {
        b.push_back(static_cast<uint8_t>(w));
        b.push_back(static_cast<uint8_t>(w >> 8));
    }
    return b;
}
} // namespace

TEST(DumpText, FullAndPartialLinesAreFortySixCharacters) {
    const auto b = Words({1, 2, 3, 4, 5, 6, 7, 8, 9, 0xA});
    EXPECT_EQ(DumpLine(0x7500, b.data(), 8), "7500: 0001 0002 0003 0004 0005 0006 0007 0008 ");
    const std::string second = DumpLine(0x7508, b.data() + 16, 2);
    EXPECT_EQ(second, "7508: 0009 000A" + std::string(31, ' '));
    EXPECT_EQ(second.size(), kDumpLineLength);
    const auto high = Words({0xABCD, 0xFFFF});
    EXPECT_EQ(DumpLine(0x1FFF8, high.data(), 2).substr(0, 16), "FFF8: ABCD FFFF ");
    EXPECT_EQ(DumpLine(0, nullptr, 0), "0000: " + std::string(40, ' '));
    EXPECT_EQ(DumpLineCount(0), 0u);
    EXPECT_EQ(DumpLineCount(8), 1u);
    EXPECT_EQ(DumpLineCount(65535), 8192u);
}

TEST(DumpText, HeaderWordsPrintAsSixteenBitsAndMissingWordsAsZero) {
    const auto b = Words({0x0C40, 0x7520, 0x7600, 0x7A00, 0x0400, 0x8000, 0xFFFF});
    const auto lines = HeaderLines(b.data(), b.size());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "    Command hander    : 0x0C40");
    EXPECT_EQ(lines[1], "    Command address   : 0x7520");
    EXPECT_EQ(lines[2], "    Load address      : 0x7600");
    EXPECT_EQ(lines[3], "    Unload address    : 0x7A00");
    EXPECT_EQ(lines[4], "    Total data        : 0x0400");
    EXPECT_EQ(lines[5], "    Start dma address : 0x8000");
    EXPECT_EQ(lines[6], "    Stop dma address  : 0xFFFF");
    // A reply of 13 bytes holds six whole words; the seventh was not returned.
    const auto shortLines = HeaderLines(b.data(), 13);
    EXPECT_EQ(shortLines[5], "    Start dma address : 0x8000");
    EXPECT_EQ(shortLines[6], "    Stop dma address  : 0x0000");
}
