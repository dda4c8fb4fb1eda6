// The request blocks of the board's memory and program: the memory operation, the program load and the
// board ID words, with the EEPROM words that hold the board's identity. Coded byte by byte, little-endian.
#pragma once

#include "BlockCodec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Memory codes of a memory operation.
enum class MemoryKind : uint16_t { Daram = 0, Eeprom = 1 };

// EEPROM word addresses of the board identity.
inline constexpr uint32_t kEepromTypeWord = 0x22; // board type code ("prefix"), one word
inline constexpr uint32_t kEepromIdWord = 0x38;   // board ID, two words, low word first

// Input block of 0x222410: starts a memory operation whose data follow in 0x222414.
struct MemoryOperation {
    static constexpr uint32_t kSize = 12;
    static constexpr uint16_t kRead = 0;  // from the board
    static constexpr uint16_t kWrite = 1; // to the board

    uint32_t start = 0;     // offset 0, word address
    uint32_t count = 0;     // offset 4, words
    uint16_t direction = 0; // offset 8
    uint16_t memory = 0;    // offset 10, a MemoryKind

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<MemoryOperation> Decode(const uint8_t* data, uint32_t size);
};

// The data of a memory operation's second request (0x222414): its words in order, each little-endian.
inline uint16_t GetMemoryWord(const uint8_t* data, uint32_t index) { return block::GetU16(data, size_t{index} * 2); }
inline void PutMemoryWord(uint8_t* data, uint32_t index, uint16_t word) {
    block::PutU16(data, size_t{index} * 2, word);
}

// Input block of 0x222404 when the user loads the program: the program's bare file name.
struct ProgramLoadRequest {
    static constexpr uint32_t kSize = 50;
    std::string name = "prog.i00"; // offset 0, ASCII, NUL-filled to the end of the block

    std::array<uint8_t, kSize> Encode() const;
    // Null unless exactly kSize bytes are given with the name ending within them.
    static std::optional<ProgramLoadRequest> Decode(const uint8_t* data, uint32_t size);
};

// The board ID as the EEPROM holds it: two words, low word first.
struct BoardIdWords {
    static constexpr uint32_t kSize = 4;
    uint32_t id = 0; // offset 0

    std::array<uint8_t, kSize> Encode() const;
    // Null when fewer than kSize bytes are given.
    static std::optional<BoardIdWords> Decode(const uint8_t* data, uint32_t size);
};
