// Which pages each board type gets, with their tab texts, in tab order.
#include "PageTable.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<std::string, std::string>> Pages(uint32_t type) {
    std::vector<std::pair<std::string, std::string>> pages;
    for (const auto& entry : PagesFor(type))
        pages.emplace_back(entry.page, entry.tabText.toStdString());
    return pages;
}

using P = std::vector<std::pair<std::string, std::string>>;
const std::pair<std::string, std::string> kMemory{"CMemoryPage", "Configuration device"};
const std::pair<std::string, std::string> kLines{"CPhoneLinePage", "Telephone line state"};
const std::pair<std::string, std::string> kOptions{"CLineOptionsPage", "Telephone line state"};
const std::pair<std::string, std::string> kPcm{"COutputPage", "PCM1717 device"};
const std::pair<std::string, std::string> kHeadphones{"COutputPage", "Headphones output"};
const std::pair<std::string, std::string> kAic{"CCodecTabsPage", "Input/output device AIC10"};
const std::pair<std::string, std::string> kPhoneIo{"CCodecTabsPage", "Phone line input/output"};
const std::pair<std::string, std::string> kCalibration{"CCalibrationPage", "Calibration AD7811"};

} // namespace

TEST(PageTable, EveryListedTypeGetsItsPagesInOrder) {
    const P full{kMemory, kLines, kPcm, kAic, kCalibration};
    for (uint32_t type : {0x310u, 0x320u, 0x350u, 0x3204u})
        EXPECT_EQ(Pages(type), full) << std::hex << type;
    EXPECT_EQ(Pages(0x330), (P{kMemory, kLines, kHeadphones, kPhoneIo, kCalibration}));
    EXPECT_EQ(Pages(0x340), (P{kMemory, kLines, kPcm, kAic}));
    EXPECT_EQ(Pages(0x360), (P{kMemory, kLines, kPcm, kAic}));
    EXPECT_EQ(Pages(0x310D), (P{kMemory, kOptions, kPcm, kAic}));
    EXPECT_EQ(Pages(0x330D), (P{kMemory, kLines, kOptions, kHeadphones, kPhoneIo, kCalibration}));
}

TEST(PageTable, UnlistedTypesGetMemoryOutputAndCodecPagesOnly) {
    EXPECT_EQ(Pages(0x999), (P{kMemory, kPcm, kAic}));
    EXPECT_EQ(Pages(0), (P{kMemory, kPcm, kAic}));
}

TEST(PageTable, ComparesOnlyTheLowSixteenBits) {
    EXPECT_EQ(Pages(0xABCD0310), Pages(0x310));
    EXPECT_EQ(Pages(0x0001330D), Pages(0x330D));
}
