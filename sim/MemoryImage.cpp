// The simulated DSP program's memory image.
#include "MemoryImage.h"

#include <algorithm>

namespace sim {

uint16_t ProgramImageWord(uint32_t address) {
    if (address >= 0x8000)
        return 0; // the upper half is data space the program clears
    // A cheap integer hash: words look like code, yet every run gives the same image.
    uint32_t x = address * 0x9E3779B1u + 0x7F4A7C15u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<uint16_t>(x);
}

void FillProgramImage(std::vector<uint16_t>& daram) {
    for (uint32_t a = 0; a < daram.size(); ++a)
        daram[a] = ProgramImageWord(a);
    // The header block is sixteen words: the seven named ones, then reserved zeros.
    std::fill_n(daram.begin() + kIoHeaderAddress, 16, uint16_t{0});
    std::copy(std::begin(kIoHeader), std::end(kIoHeader), daram.begin() + kIoHeaderAddress);
}

} // namespace sim
