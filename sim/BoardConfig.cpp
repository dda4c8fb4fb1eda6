// Parsing of the simulator's board list.
#include "BoardConfig.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace sim {

namespace {

constexpr uint32_t kMaxChannels = 8;

// A whole-text unsigned number: decimal, or hexadecimal with 0x. Refuses values beyond 32 bits.
bool ParseNumber(const std::string& text, uint32_t* value) {
    std::string digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 10)
        return false;
    uint64_t result = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            d = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (result > 0xFFFFFFFFull)
        return false;
    *value = static_cast<uint32_t>(result);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string BoardNameFor(uint32_t type) {
    char text[32];
    std::snprintf(text, sizeof text, "KVR R%X", static_cast<unsigned>(type & 0xFFFF));
    return text;
}

std::vector<BoardConfig> DefaultBoards() {
    return {
        {0x310, 200, 8, "", ""},
        {0x330D, 501, 4, "", ""},
        {0x340, 300, 8, "", ""},
        {0x310D, 410, 4, "", ""},
    };
}

std::optional<std::vector<BoardConfig>> ParseBoardConfigs(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::vector<BoardConfig>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    std::vector<BoardConfig> boards;
    for (const std::string& rawEntry : Split(text, ',')) {
        const std::string entry = Trim(rawEntry);
        if (entry.empty())
            return fail("empty board entry in \"" + text + "\"");
        const auto fields = Split(entry, ':');
        if (fields.size() > 3)
            return fail("too many fields in \"" + entry + "\" (TYPE[:ID[:CHANNELS]])");
        BoardConfig config;
        if (!ParseNumber(Trim(fields[0]), &config.type) || config.type == 0 || config.type > 0xFFFF)
            return fail("bad board type \"" + fields[0] + "\" (a number such as 0x310)");
        config.id = static_cast<uint32_t>(100 + boards.size());
        if (fields.size() > 1 && !ParseNumber(Trim(fields[1]), &config.id))
            return fail("bad board ID \"" + fields[1] + "\"");
        if (fields.size() > 2 && (!ParseNumber(Trim(fields[2]), &config.channels) || config.channels > kMaxChannels))
            return fail("bad channel count \"" + fields[2] + "\" (0 to 8)");
        boards.push_back(config);
    }
    if (boards.empty())
        return fail("no boards listed");
    return boards;
}

} // namespace sim
