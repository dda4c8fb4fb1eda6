// The board model table.
#include "BoardModels.h"

namespace {

// type, new family, phone lines, line options, calibration, commutation, fixed interface power,
// hook locked, headphones, synchro mode, second attenuation set.
constexpr BoardModel kModels[] = {
    {0x310, false, true, false, true, false, false, false, false, true, false},
    {0x320, false, true, false, true, false, false, false, false, true, false},
    {0x330, true, true, false, true, false, false, false, true, true, true},
    {0x340, false, true, false, false, true, true, false, false, false, false},
    {0x350, false, true, false, true, true, true, false, false, false, false},
    {0x360, true, true, false, false, false, true, false, false, false, true},
    {0x310D, false, false, true, false, false, false, false, false, false, false},
    {0x3204, false, true, false, true, false, false, false, false, true, false},
    {0x330D, true, true, true, true, false, false, true, true, false, true},
};

constexpr BoardModel kUnknown{};

} // namespace

const BoardModel& BoardModelFor(uint32_t type) {
    const auto low = static_cast<uint16_t>(type & 0xFFFF);
    for (const BoardModel& model : kModels)
        if (model.type == low)
            return model;
    return kUnknown;
}
