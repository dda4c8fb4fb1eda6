// The packed form: a format byte (1), the step count (u32), then per step its result (u8), which of value,
// low and high it has (u8 bits 1, 2, 4), name and unit (u32 length, UTF-8 bytes) and the values present
// (IEEE 754 doubles). Every number little-endian, written and read a byte at a time.
#include "MeasuredSteps.h"

#include <bit>

namespace {

constexpr uint8_t kFormat = 1;
constexpr uint8_t kHasValue = 1;
constexpr uint8_t kHasLow = 2;
constexpr uint8_t kHasHigh = 4;

void PutU32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(char(uint8_t(v >> (8 * i))));
}

void PutDouble(QByteArray& out, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        out.append(char(uint8_t(bits >> (8 * i))));
}

void PutText(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    PutU32(out, uint32_t(utf8.size()));
    out.append(utf8);
}

PackedResult ResultCode(const QString& result) {
    if (result == QLatin1String("pass"))
        return PackedResult::Pass;
    if (result == QLatin1String("fail"))
        return PackedResult::Fail;
    if (result == QLatin1String("error"))
        return PackedResult::Error;
    return PackedResult::Other;
}

} // namespace

QByteArray PackMeasuredSteps(const std::vector<TestStep>& steps) {
    QByteArray out;
    out.append(char(kFormat));
    const qsizetype countAt = out.size();
    PutU32(out, 0);
    uint32_t count = 0;
    for (const TestStep& s : steps) {
        const PackedResult result = ResultCode(s.result);
        if (!s.value && result != PackedResult::Fail && result != PackedResult::Error)
            continue;
        out.append(char(result));
        out.append(char((s.value ? kHasValue : 0) | (s.low ? kHasLow : 0) | (s.high ? kHasHigh : 0)));
        PutText(out, s.name);
        PutText(out, s.unit);
        for (const std::optional<double>& v : {s.value, s.low, s.high})
            if (v)
                PutDouble(out, *v);
        ++count;
    }
    for (int i = 0; i < 4; ++i)
        out[countAt + i] = char(uint8_t(count >> (8 * i)));
    return out;
}

PackedStepReader::PackedStepReader(const char* data, size_t size) : m_data(data), m_size(size) {
    const char* format = nullptr;
    if (!Take(1, &format) || uint8_t(*format) != kFormat || !TakeU32(&m_left))
        m_damaged = true;
}

bool PackedStepReader::Take(size_t count, const char** out) {
    if (m_size - m_at < count)
        return false;
    *out = m_data + m_at;
    m_at += count;
    return true;
}

bool PackedStepReader::TakeU32(uint32_t* out) {
    const char* p = nullptr;
    if (!Take(4, &p))
        return false;
    *out = 0;
    for (int i = 0; i < 4; ++i)
        *out |= uint32_t(uint8_t(p[i])) << (8 * i);
    return true;
}

bool PackedStepReader::TakeDouble(double* out) {
    const char* p = nullptr;
    if (!Take(8, &p))
        return false;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(uint8_t(p[i])) << (8 * i);
    *out = std::bit_cast<double>(bits);
    return true;
}

bool PackedStepReader::Next(PackedStep& step) {
    if (m_damaged)
        return false;
    if (m_left == 0) {
        // Bytes after the last step mean the count and the steps disagree.
        m_damaged = m_at != m_size;
        return false;
    }
    const char* head = nullptr;
    uint32_t nameSize = 0, unitSize = 0;
    const char *name = nullptr, *unit = nullptr;
    if (!Take(2, &head) || uint8_t(head[0]) > uint8_t(PackedResult::Error) || (uint8_t(head[1]) & ~7u) != 0 ||
        !TakeU32(&nameSize) || !Take(nameSize, &name) || !TakeU32(&unitSize) || !Take(unitSize, &unit)) {
        m_damaged = true;
        return false;
    }
    step.result = PackedResult(uint8_t(head[0]));
    step.name = std::string_view(name, nameSize);
    step.unit = std::string_view(unit, unitSize);
    const uint8_t has = uint8_t(head[1]);
    for (auto [bit, field] : {std::pair{kHasValue, &step.value}, {kHasLow, &step.low}, {kHasHigh, &step.high}}) {
        field->reset();
        double v = 0.0;
        if (!(has & bit))
            continue;
        if (!TakeDouble(&v)) {
            m_damaged = true;
            return false;
        }
        *field = v;
    }
    --m_left;
    return true;
}
