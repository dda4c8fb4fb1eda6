// The board page table: which pages a board gets follows from its row in the board model table.
#include "PageTable.h"

#include "BoardModels.h"
#include "PageFactories.h"

namespace {

struct PageRow {
    const char* page;
    bool (*wanted)(const BoardModel& model); // null: every board
    const char* tabText;
    const char* headphonesTabText; // the text on boards with headphones, when it differs
    PageFactory create;
};

bool HasPhoneLines(const BoardModel& model) { return model.phoneLines; }
bool HasLineOptions(const BoardModel& model) { return model.lineOptions; }
bool HasCalibration(const BoardModel& model) { return model.calibration; }

// Rows in tab order. A page whose maker is null is not created.
const PageRow kRows[] = {
    {"CMemoryPage", nullptr, "Configuration device", nullptr, CreateMemoryPage},
    {"CPhoneLinePage", HasPhoneLines, "Telephone line state", nullptr, CreatePhoneLinePage},
    {"CLineOptionsPage", HasLineOptions, "Telephone line state", nullptr, CreateLineOptionsPage},
    {"COutputPage", nullptr, "PCM1717 device", "Headphones output", CreateOutputPage},
    {"CCodecTabsPage", nullptr, "Input/output device AIC10", "Phone line input/output", CreateCodecTabsPage},
    {"CCalibrationPage", HasCalibration, "Calibration AD7811", nullptr, CreateCalibrationPage},
};

} // namespace

std::vector<PageEntry> PagesFor(uint32_t type) {
    const BoardModel& model = BoardModelFor(type);
    std::vector<PageEntry> pages;
    for (const PageRow& row : kRows) {
        if (row.wanted && !row.wanted(model))
            continue;
        const char* text = model.headphones && row.headphonesTabText ? row.headphonesTabText : row.tabText;
        pages.push_back({row.page, QString::fromLatin1(text), row.create});
    }
    return pages;
}
