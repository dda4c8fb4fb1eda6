// The board page table.
#include "PageTable.h"

#include "PageFactories.h"

#include <initializer_list>

namespace {

struct PageRow {
    const char* page;
    std::initializer_list<uint16_t> types; // empty: every board
    const char* tabText;
    const char* headphonesTabText; // the text on 0x330 and 0x330D boards, when it differs
    PageFactory create;
};

// Rows in tab order. A page whose maker is null is not created.
const PageRow kRows[] = {
    {"CMemoryPage", {}, "Configuration device", nullptr, CreateMemoryPage},
    {"CPhoneLinePage", {0x310, 0x320, 0x330, 0x340, 0x330D, 0x350, 0x3204, 0x360}, "Telephone line state", nullptr,
     CreatePhoneLinePage},
    {"CLineOptionsPage", {0x310D, 0x330D}, "Telephone line state", nullptr, CreateLineOptionsPage},
    {"COutputPage", {}, "PCM1717 device", "Headphones output", CreateOutputPage},
    {"CCodecTabsPage", {}, "Input/output device AIC10", "Phone line input/output", CreateCodecTabsPage},
    {"CCalibrationPage", {0x310, 0x320, 0x330, 0x350, 0x3204, 0x330D}, "Calibration AD7811", nullptr, CreateCalibrationPage},
};

bool Listed(std::initializer_list<uint16_t> types, uint16_t type) {
    if (types.size() == 0)
        return true;
    for (uint16_t t : types)
        if (t == type)
            return true;
    return false;
}

} // namespace

std::vector<PageEntry> PagesFor(uint32_t type) {
    const auto type16 = static_cast<uint16_t>(type & 0xFFFF);
    const bool headphones = type16 == 0x330 || type16 == 0x330D;
    std::vector<PageEntry> pages;
    for (const PageRow& row : kRows) {
        if (!Listed(row.types, type16))
            continue;
        const char* text = headphones && row.headphonesTabText ? row.headphonesTabText : row.tabText;
        pages.push_back({row.page, QString::fromLatin1(text), row.create});
    }
    return pages;
}
