// The packed steps of a record: what the statistics use comes back bit for bit, and damaged bytes are
// reported rather than read past.
#include "MeasuredSteps.h"
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

bool SameReal(const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() && (!a || std::bit_cast<uint64_t>(*a) == std::bit_cast<uint64_t>(*b));
}

TEST(MeasuredStepsTest, KeepsTheMeasuredAndFailingStepsExactlyAndRefusesDamagedBytes) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        TestRecord r = records_test::RandomRecord(rng);
        if (round % 7 == 0 && !r.steps.empty())
            r.steps.front().value = -0.0; // the sign of a zero is kept too
        std::vector<TestStep> kept;
        for (const TestStep& s : r.steps)
            if (s.value || s.result == "fail" || s.result == "error")
                kept.push_back(s);
        const QByteArray packed = PackMeasuredSteps(r.steps);
        ASSERT_FALSE(packed.isEmpty());
        PackedStepReader reader(packed.constData(), size_t(packed.size()));
        PackedStep step;
        for (const TestStep& want : kept) {
            ASSERT_TRUE(reader.Next(step)) << round;
            EXPECT_EQ(QString::fromUtf8(step.name.data(), qsizetype(step.name.size())), want.name);
            EXPECT_EQ(QString::fromUtf8(step.unit.data(), qsizetype(step.unit.size())), want.unit);
            const PackedResult result = want.result == "pass"    ? PackedResult::Pass
                                        : want.result == "fail"  ? PackedResult::Fail
                                        : want.result == "error" ? PackedResult::Error
                                                                 : PackedResult::Other;
            EXPECT_EQ(step.result, result);
            EXPECT_TRUE(SameReal(step.value, want.value) && SameReal(step.low, want.low) &&
                        SameReal(step.high, want.high))
                << round;
        }
        EXPECT_FALSE(reader.Next(step));
        EXPECT_FALSE(reader.Damaged());

        // Cut short anywhere, one byte too many, or of another format: damaged, never read past the end.
        std::vector<QByteArray> broken = {packed + "x", QByteArray(1, '\x02') + packed.mid(1)};
        for (qsizetype size = 0; size < packed.size(); ++size)
            broken.push_back(packed.left(size));
        for (const QByteArray& bytes : broken) {
            const std::vector<char> exact(bytes.begin(), bytes.end()); // no slack for the sanitizer to miss
            PackedStepReader cut(exact.data(), exact.size());
            while (cut.Next(step)) {
            }
            EXPECT_TRUE(cut.Damaged()) << round << " size " << bytes.size() << " of " << packed.size();
        }
    }
}

} // namespace
