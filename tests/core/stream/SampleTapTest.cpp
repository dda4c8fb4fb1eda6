// The input tap's ring: after any split of pushes it hands out the latest samples, oldest first.
#include "SampleTap.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

TEST(SampleTap, LatestSamplesInOrderAfterAnySplitOfPushes) {
    struct Case {
        std::vector<size_t> pushes; // sizes of the blocks pushed, counting on from 0
        size_t asked;
    };
    const Case cases[] = {
        {{3}, 8},       // fewer than the ring holds
        {{5}, 5},       // exactly full
        {{4, 4, 4}, 5}, // wrapped more than once
        {{2, 11}, 5},   // one block longer than the ring
        {{4, 3}, 2},    // fewer asked than stored, across the wrap
        {{1, 1, 1, 1, 1, 1, 1}, 5},
    };
    for (const Case& c : cases) {
        CSampleTap tap(5);
        int16_t next = 0;
        for (size_t size : c.pushes) {
            std::vector<int16_t> block(size);
            std::iota(block.begin(), block.end(), next);
            next = static_cast<int16_t>(next + static_cast<int16_t>(size));
            tap.Push(block);
        }
        const auto pushed = static_cast<size_t>(next);
        const size_t expected = std::min({c.asked, pushed, tap.Capacity()});
        std::vector<int16_t> out(c.asked, -1);
        ASSERT_EQ(tap.Latest(out), expected);
        EXPECT_EQ(tap.Total(), pushed);
        for (size_t i = 0; i < expected; ++i)
            EXPECT_EQ(out[i], static_cast<int16_t>(pushed - expected + i))
                << "case of " << c.pushes.size() << " pushes, at " << i;
    }
}
