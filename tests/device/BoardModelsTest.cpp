// The board model table against the documented lists of which types have what: a wrong flag among a
// row's many would otherwise only show on a board nobody has at hand.
#include "BoardModels.h"

#include <gtest/gtest.h>

#include <set>

TEST(BoardModels, EachPropertyBelongsToExactlyItsListedTypes) {
    const uint32_t known[] = {0x310, 0x320, 0x330, 0x340, 0x350, 0x360, 0x310D, 0x3204, 0x330D, 0x999};
    const struct {
        const char* what;
        bool BoardModel::*flag;
        std::set<uint32_t> types;
    } cases[] = {
        {"new family", &BoardModel::newFamily, {0x330, 0x360, 0x330D}},
        {"phone lines", &BoardModel::phoneLines, {0x310, 0x320, 0x330, 0x340, 0x330D, 0x350, 0x3204, 0x360}},
        {"line options", &BoardModel::lineOptions, {0x310D, 0x330D}},
        {"calibration", &BoardModel::calibration, {0x310, 0x320, 0x330, 0x350, 0x3204, 0x330D}},
        {"commutation", &BoardModel::commutation, {0x340, 0x350}},
        {"fixed interface power", &BoardModel::fixedInterfacePower, {0x340, 0x350, 0x360}},
        {"hook locked", &BoardModel::hookLocked, {0x330D}},
        {"headphones", &BoardModel::headphones, {0x330, 0x330D}},
        {"synchro mode", &BoardModel::synchroMode, {0x330, 0x320, 0x3204, 0x310}},
        {"second attenuation set", &BoardModel::secondAttenuation, {0x330, 0x360, 0x330D}},
    };
    for (const auto& c : cases)
        for (uint32_t type : known) {
            EXPECT_EQ(BoardModelFor(type).*c.flag, c.types.count(type) == 1) << c.what << " " << std::hex << type;
            // Only the low sixteen bits name the model.
            EXPECT_EQ(BoardModelFor(0xABCD0000 | type).*c.flag, BoardModelFor(type).*c.flag) << c.what;
        }
    EXPECT_EQ(BoardModelFor(0x999).type, 0);
    EXPECT_EQ(BoardModelFor(0x1330D).type, 0x330D);
}
