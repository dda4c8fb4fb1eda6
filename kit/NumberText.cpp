// Parsing of the shared number texts.
#include "NumberText.h"

#include "Helpers.h"

std::optional<uint32_t> ParseUnsignedDecimal(const QString& text) {
    uint32_t value = 0;
    if (!ParseUnsigned(&value, text))
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseHexOrDecimal(const QString& text) {
    uint32_t value = 0;
    if (ParseHex(&value, text))
        return value;
    return ParseUnsignedDecimal(text);
}
