// The request blocks of the phone lines: line state (long and short form), line settings, line levels,
// and the amplitude levels the lists offer. Coded byte by byte, little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The 46-byte line state: read with the state bits, written with a command.
struct LineState {
    static constexpr uint32_t kSize = 46;
    static constexpr uint32_t kNumberSize = 32;

    // Read: state bits (kOffHook, kOnHook, kRinging). Write: the command word.
    static constexpr uint16_t kOffHook = 1;
    static constexpr uint16_t kOnHook = 2;
    static constexpr uint16_t kRinging = 4;
    static constexpr uint16_t kHookUp = 1;
    static constexpr uint16_t kHookDown = 2;
    static constexpr uint16_t kCommutationOn = 8;
    static constexpr uint16_t kCommutationOff = 16;
    static constexpr uint16_t kNoDigit = 0xFFFF;

    uint16_t state = 0;                        // offset 0
    uint16_t rings = 0;                        // offset 2
    int16_t voltage = 0;                       // offset 4, volts
    uint16_t dialType = 0;                     // offset 6: 0 pulse, 1 tone
    uint16_t digit = 0;                        // offset 8: 0..15, kNoDigit for every other command
    uint16_t reserved = 0;                     // offset 10
    uint16_t controlInput = 0;                 // offset 12: non-zero = active
    std::array<uint8_t, kNumberSize> number{}; // offset 14: caller number, kept raw so a block goes back as read

    std::array<uint8_t, kSize> Encode() const;
    // Null unless exactly kSize bytes are given.
    static std::optional<LineState> Decode(const uint8_t* data, uint32_t size);

    // The caller number up to its first zero byte (the whole field when there is none).
    std::string NumberText() const;
    // Puts a caller number into its field, zero-filled; at most kNumberSize - 1 characters.
    void SetNumberText(const std::string& text);

    // A command that carries nothing else: every other field zero, no digit.
    static LineState Command(uint16_t command);
    // Take the line off-hook and dial `digit` (0..15) by pulses (dialType 0) or tone (1).
    static LineState DigitCommand(uint16_t digit, uint16_t dialType);
};

// The 8-byte short form of the line state used by boards with line options.
struct LineStateShort {
    static constexpr uint32_t kSize = 8;

    uint16_t externalInput = 0; // offset 0: read only, sent as 0
    uint16_t sensorPower = 0;   // offset 2: 0 off, 1 +60 V, 2 -60 V
    uint16_t compensation = 0;  // offset 4
    uint16_t tape = 0;          // offset 6: external tape recorder control

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<LineStateShort> Decode(const uint8_t* data, uint32_t size);
    bool operator==(const LineStateShort&) const = default;
};

// The 44-byte line settings: twenty-two unsigned 16-bit fields, field i at offset 2 i.
struct LineSettings {
    static constexpr uint32_t kSize = 44;
    static constexpr size_t kFields = 22;
    static constexpr size_t kAonAmplitudeOffset = 18;
    static constexpr size_t kReservedOffset = 22;
    static constexpr size_t kAonEnableOffset = 34;
    static constexpr size_t kBeepEnableOffset = 36;

    std::array<uint16_t, kFields> fields{};

    uint16_t At(size_t offset) const { return fields.at(offset / 2); }
    void Set(size_t offset, uint16_t value) { fields.at(offset / 2) = value; }

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<LineSettings> Decode(const uint8_t* data, uint32_t size);
    bool operator==(const LineSettings&) const = default;
};

// The 4-byte levels block: two indexes into the amplitude table.
struct LineLevels {
    static constexpr uint32_t kSize = 4;

    uint16_t beepAmplitude = 0; // offset 0
    uint16_t dialAmplitude = 0; // offset 2

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<LineLevels> Decode(const uint8_t* data, uint32_t size);
    bool operator==(const LineLevels&) const = default;
};

// The sixteen levels each amplitude list offers, in dB, in list order; the board receives the index.
inline constexpr std::array<int, 16> kAmplitudeTable{0, -36, -30, -24, -18, -12, -9, -6, -3, 3, 6, 9, 12, 18, 24, -96};
