// What a board dialog hands to the pages it creates: non-owning device pointers and the board's facts.
#pragma once

#include "DeviceNames.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class CDevice;
class CPageDlg;
class QWidget;

struct PageContext {
    uint32_t type = 0;                         // board type code; BoardModelFor() tells what the board has
    int32_t index = 0;                         // settings index: 0..9 for kernel boards, -1 for library boards
    uint32_t channels = 0;                     // phone-line channels
    uint32_t boardId = 0;                      // the board's own ID, as discovery read it
    std::string boardName;                     // the board's name, as discovery read it
    std::array<CDevice*, kMaxLines> lineIn{};  // LineInLeaf(n), null when absent
    std::array<CDevice*, kMaxLines> lineOut{}; // LineOutLeaf(n)
    CDevice* left = nullptr;                   // kLeftOutputLeaf
    CDevice* right = nullptr;                  // kRightOutputLeaf
    CDevice* cfg = nullptr;                    // kConfigLeaf

    uint16_t Type16() const { return static_cast<uint16_t>(type & 0xFFFF); }
};

// Makes a page's object; the board dialog then runs its OnInitDialog.
using PageFactory = std::unique_ptr<CPageDlg> (*)(const PageContext& context, QWidget* parent);
