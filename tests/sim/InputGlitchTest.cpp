// The glitch fault's text (what it does to an input's samples is tested with the glitch detector).
#include "Faults.h"

#include <gtest/gtest.h>

namespace {

TEST(GlitchFault, ParsesItsFieldsAndRefusesBadOnes) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t everyMs;
        sim::GlitchKind kind;
    };
    const Case cases[] = {
        {"glitch:PHONE_LINE1_IN_DEV", true, 250, sim::GlitchKind::Drop},
        {"glitch:*:40", true, 40, sim::GlitchKind::Drop},
        {"glitch:VSIM0:100:repeat", true, 100, sim::GlitchKind::Repeat},
        {"glitch:VSIM0\\PHONE_LINE0_IN_DEV:7:shift", true, 7, sim::GlitchKind::Shift},
        {"glitch:*:0", false, 0, {}},
        {"glitch:*:ten", false, 0, {}},
        {"glitch:*:10:swap", false, 0, {}},
        {"glitch:*:10:drop:1", false, 0, {}},
        {"glitch", false, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<sim::FaultRule> rules;
        std::string error;
        ASSERT_EQ(sim::Faults::Parse(c.text, &rules, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_EQ(rules.size(), 1u);
        EXPECT_EQ(rules[0].kind, sim::FaultRule::Kind::Glitch);
        EXPECT_EQ(rules[0].everyMs, c.everyMs);
        EXPECT_EQ(rules[0].glitch, c.kind);
    }
}

} // namespace
