// The simulator's board list, fault texts and impairment texts.
#include "BoardConfig.h"
#include "Faults.h"
#include "Impairments.h"

#include <gtest/gtest.h>

TEST(BoardConfigs, ParsesTypeIdAndChannels) {
    std::string error;
    const auto boards = sim::ParseBoardConfigs("0x310:200:8, 0x330D:501:4,0x340", &error);
    ASSERT_TRUE(boards) << error;
    ASSERT_EQ(boards->size(), 3u);
    EXPECT_EQ((*boards)[0].type, 0x310u);
    EXPECT_EQ((*boards)[0].id, 200u);
    EXPECT_EQ((*boards)[1].type, 0x330Du);
    EXPECT_EQ((*boards)[1].channels, 4u);
    EXPECT_EQ((*boards)[2].channels, 8u);
    EXPECT_EQ(sim::BoardNameFor(0x330D), "KVR R330D");
}

TEST(BoardConfigs, RefusesBadTextWithAReason) {
    for (const char* text :
         {"", "0x310,", "zz", "0x310:1:9", "0x310:1:2:3", "0x310:abc", "0x1FFFFF", "0x310:99999999999", ":5"}) {
        std::string error;
        EXPECT_FALSE(sim::ParseBoardConfigs(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(FaultTexts, ParsesEveryKindAndRefusesNonsense) {
    std::vector<sim::FaultRule> rules;
    std::string error;
    ASSERT_TRUE(sim::Faults::Parse("fail:VSIM0\\VELTRIN_CFG:0x222470,short:*:0x222470:3,refuse:LINE_OUT_LEFT,"
                                   "vanish:VSIM1,over:*:0x222420:7,hang:VSIM0:0x22240C,stale:LINE_OUT_LEFT",
                                   &rules, &error))
        << error;
    ASSERT_EQ(rules.size(), 7u);
    EXPECT_EQ(rules[0].code, 0x222470u);
    EXPECT_EQ(rules[1].shortBy, 3u);
    EXPECT_EQ(rules[2].kind, sim::FaultRule::Kind::Refuse);
    EXPECT_EQ(rules[3].code, 0u);
    EXPECT_EQ(rules[4].kind, sim::FaultRule::Kind::Over);
    EXPECT_EQ(rules[4].shortBy, 7u);
    EXPECT_EQ(rules[5].kind, sim::FaultRule::Kind::Hang);
    EXPECT_EQ(rules[5].code, 0x22240Cu);
    EXPECT_EQ(rules[6].kind, sim::FaultRule::Kind::Stale);
    EXPECT_EQ(rules[6].code, 0u);
    for (const char* text : {"explode:*", "fail", "fail:*:xyz", "refuse:*:0x222470", "short:*:1:0", "over:*:1:0",
                             "hang:*:1:2", "stale:*:1:2"}) {
        rules.clear();
        EXPECT_FALSE(sim::Faults::Parse(text, &rules, &error)) << text;
    }
}

TEST(ImpairmentTexts, ParsesEachInAnyOrderAndRefusesNonsense) {
    std::string error;
    const auto all = sim::ParseImpairments("crosstalk:-60.5,noise:-80,harmonic:-40", &error);
    ASSERT_TRUE(all) << error;
    EXPECT_EQ(all->noiseDbfs, -80.0);
    EXPECT_EQ(all->harmonicDb, -40.0);
    EXPECT_EQ(all->crosstalkDb, -60.5);
    const auto one = sim::ParseImpairments("noise:-90", &error);
    ASSERT_TRUE(one) << error;
    EXPECT_FALSE(one->harmonicDb || one->crosstalkDb);
    for (const char* text : {"hum:-40", "noise", "noise:", "noise:-80dB", "noise:-80,,harmonic:-40", "noise:inf"})
        EXPECT_FALSE(sim::ParseImpairments(text, &error)) << text;
}
