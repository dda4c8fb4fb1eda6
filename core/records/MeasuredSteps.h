// A record's measured and failing steps packed into one value of the records table, so that statistics
// over many records read one row per record instead of one per step. Byte by byte, little-endian.
#pragma once

#include "TestRecord.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Steps with a value, and steps that failed or erred (what the yields' Pareto counts); checks that passed
// without a value carry nothing the statistics use and are left out. Never empty, so never null.
QByteArray PackMeasuredSteps(const std::vector<TestStep>& steps);

enum class PackedResult : uint8_t { Other = 0, Pass = 1, Fail = 2, Error = 3 };

struct PackedStep {
    std::string_view name; // UTF-8, pointing into the packed bytes
    std::string_view unit;
    PackedResult result = PackedResult::Other;
    std::optional<double> value;
    std::optional<double> low;
    std::optional<double> high;
};

// Walks packed steps in the order they were written. A reader over damaged bytes stops and says so.
class PackedStepReader {
public:
    PackedStepReader(const char* data, size_t size);
    // The next step into `step`; false at the end or when the bytes are damaged (see Damaged()).
    bool Next(PackedStep& step);
    bool Damaged() const { return m_damaged; }

private:
    bool Take(size_t count, const char** out);
    bool TakeU32(uint32_t* out);
    bool TakeDouble(double* out);

    const char* m_data;
    size_t m_size;
    size_t m_at = 0;
    uint32_t m_left = 0;
    bool m_damaged = false;
};
