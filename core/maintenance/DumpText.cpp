// Formatting of dump and header lines.
#include "DumpText.h"

#include "MemoryBlocks.h"

#include <cstdio>

namespace {

void PutHex4(char* out, uint16_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out[0] = kDigits[(value >> 12) & 0xF];
    out[1] = kDigits[(value >> 8) & 0xF];
    out[2] = kDigits[(value >> 4) & 0xF];
    out[3] = kDigits[value & 0xF];
}

} // namespace

std::string DumpLine(uint32_t address, const uint8_t* bytes, size_t count) {
    std::string line(kDumpLineLength, ' ');
    PutHex4(line.data(), static_cast<uint16_t>(address));
    line[4] = ':';
    if (count > kDumpWordsPerLine)
        count = kDumpWordsPerLine;
    for (size_t i = 0; i < count; ++i)
        PutHex4(line.data() + 6 + 5 * i, GetMemoryWord(bytes, static_cast<uint32_t>(i)));
    return line;
}

std::vector<std::string> HeaderLines(const uint8_t* bytes, size_t size) {
    static constexpr const char* kNames[7] = {
        "    Command hander    : ", "    Command address   : ", "    Load address      : ", "    Unload address    : ",
        "    Total data        : ", "    Start dma address : ", "    Stop dma address  : ",
    };
    std::vector<std::string> lines;
    for (size_t i = 0; i < 7; ++i) {
        const uint16_t word = 2 * i + 2 <= size ? GetMemoryWord(bytes, static_cast<uint32_t>(i)) : 0;
        // A memory word is unsigned: 0x8000 and up print as four digits, never sign-extended.
        char value[8];
        std::snprintf(value, sizeof value, "0x%04X", static_cast<unsigned>(word));
        lines.push_back(std::string(kNames[i]) + value);
    }
    return lines;
}
