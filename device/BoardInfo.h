// The 66-byte board information block answered by the configuration device, and the two discovery
// queries around it whose answers are not used.
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
    // The board ID alone, from an answer that reaches at least to the end of its field; null otherwise.
    static std::optional<uint32_t> DecodeId(const uint8_t* data, uint32_t size);
};

// Output sizes of the query sent before the information block and of the confirmation after it.
inline constexpr uint32_t kPrepareBoardSize = 12;
inline constexpr uint32_t kConfirmBoardSize = 8;
