// The simulated DSP program's memory image.
#include "MemoryImage.h"

#include <algorithm>

namespace sim {

namespace {

// The upper half is data space the program clears.
constexpr uint32_t kCodeWords = 0x8000;

// A cheap integer hash: words look like code, yet every run gives the same image. Inlined into the fill,
// which every simulated board runs as it comes up, before the program's first window.
uint16_t CodeWord(uint32_t address) {
    uint32_t x = address * 0x9E3779B1u + 0x7F4A7C15u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<uint16_t>(x);
}

} // namespace

uint16_t ProgramImageWord(uint32_t address) { return address >= kCodeWords ? 0 : CodeWord(address); }

void FillProgramImage(std::vector<uint16_t>& daram) {
    const auto code = static_cast<uint32_t>(std::min<size_t>(daram.size(), kCodeWords));
    for (uint32_t a = 0; a < code; ++a)
        daram[a] = CodeWord(a);
    std::fill(daram.begin() + code, daram.end(), uint16_t{0});
    // The header block is sixteen words: the seven named ones, then reserved zeros.
    std::fill_n(daram.begin() + kIoHeaderAddress, 16, uint16_t{0});
    std::copy(std::begin(kIoHeader), std::end(kIoHeader), daram.begin() + kIoHeaderAddress);
}

} // namespace sim
