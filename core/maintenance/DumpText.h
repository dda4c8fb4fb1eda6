// The text of the memory list: hexadecimal dump lines and the I/O device header view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kDumpLineLength = 46;
inline constexpr uint32_t kDumpWordsPerLine = 8;

// One dump line of up to eight little-endian words taken from `bytes` (2 * count bytes): the low 16 bits
// of `address` in four hex digits, ": ", then each word in four hex digits and a space, padded with
// spaces to 46 characters.
std::string DumpLine(uint32_t address, const uint8_t* bytes, size_t count);

// Number of dump lines for a number of words.
inline size_t DumpLineCount(size_t words) { return (words + kDumpWordsPerLine - 1) / kDumpWordsPerLine; }

// The seven named words of an I/O device header from the first `size` bytes the board returned; words
// beyond them read as 0.
std::vector<std::string> HeaderLines(const uint8_t* bytes, size_t size);
