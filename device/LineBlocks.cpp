// Encoding and decoding of the phone line request blocks.
#include "LineBlocks.h"

#include "BlockCodec.h"

#include <algorithm>

std::array<uint8_t, LineState::kSize> LineState::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutU16(b.data(), 0, state);
    block::PutU16(b.data(), 2, rings);
    block::PutU16(b.data(), 4, static_cast<uint16_t>(voltage));
    block::PutU16(b.data(), 6, dialType);
    block::PutU16(b.data(), 8, digit);
    block::PutU16(b.data(), 10, reserved);
    block::PutU16(b.data(), 12, controlInput);
    std::copy(number.begin(), number.end(), b.begin() + 14);
    return b;
}

std::optional<LineState> LineState::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size != kSize)
        return std::nullopt;
    LineState s;
    s.state = block::GetU16(data, 0);
    s.rings = block::GetU16(data, 2);
    s.voltage = static_cast<int16_t>(block::GetU16(data, 4));
    s.dialType = block::GetU16(data, 6);
    s.digit = block::GetU16(data, 8);
    s.reserved = block::GetU16(data, 10);
    s.controlInput = block::GetU16(data, 12);
    std::copy(data + 14, data + 14 + kNumberSize, s.number.begin());
    return s;
}

std::string LineState::NumberText() const { return block::GetText(number.data(), 0, kNumberSize); }

void LineState::SetNumberText(const std::string& text) { block::PutText(number.data(), 0, kNumberSize, text); }

LineState LineState::Command(uint16_t command) {
    LineState s;
    s.state = command;
    s.digit = kNoDigit;
    return s;
}

LineState LineState::DigitCommand(uint16_t digit, uint16_t dialType) {
    LineState s;
    s.state = kHookUp;
    s.dialType = dialType;
    s.digit = digit;
    return s;
}

std::array<uint8_t, LineStateShort::kSize> LineStateShort::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutU16(b.data(), 0, externalInput);
    block::PutU16(b.data(), 2, sensorPower);
    block::PutU16(b.data(), 4, compensation);
    block::PutU16(b.data(), 6, tape);
    return b;
}

std::optional<LineStateShort> LineStateShort::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size != kSize)
        return std::nullopt;
    return LineStateShort{block::GetU16(data, 0), block::GetU16(data, 2), block::GetU16(data, 4),
                          block::GetU16(data, 6)};
}

std::array<uint8_t, LineSettings::kSize> LineSettings::Encode() const {
    std::array<uint8_t, kSize> b{};
    for (size_t i = 0; i < kFields; ++i)
        block::PutU16(b.data(), 2 * i, fields[i]);
    return b;
}

std::optional<LineSettings> LineSettings::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size != kSize)
        return std::nullopt;
    LineSettings s;
    for (size_t i = 0; i < kFields; ++i)
        s.fields[i] = block::GetU16(data, 2 * i);
    return s;
}

std::array<uint8_t, LineLevels::kSize> LineLevels::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutU16(b.data(), 0, beepAmplitude);
    block::PutU16(b.data(), 2, dialAmplitude);
    return b;
}

std::optional<LineLevels> LineLevels::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size != kSize)
        return std::nullopt;
    return LineLevels{block::GetU16(data, 0), block::GetU16(data, 2)};
}
