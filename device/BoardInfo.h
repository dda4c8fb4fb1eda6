// The 66-byte board information block answered by the configuration device.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct BoardInformation {
    static constexpr uint32_t kSize = 66;
    std::string name;      // offset 0, 50 bytes, zero-ended ASCII
    uint32_t type = 0;     // offset 50, board type code
    uint32_t boardId = 0;  // offset 54
    uint32_t channels = 0; // offset 58, phone-line channels
    uint32_t reserved = 0; // offset 62, not read by the application

    std::array<uint8_t, kSize> Encode() const;
    // Null when fewer than kSize bytes are given.
    static std::optional<BoardInformation> Decode(const uint8_t* data, uint32_t size);
};

// New-family boards keep their ID in the information block instead of the EEPROM.
inline bool IsNewFamily(uint32_t type) {
    const uint32_t low = type & 0xFFFF;
    return low == 0x330 || low == 0x360 || low == 0x330D;
}
