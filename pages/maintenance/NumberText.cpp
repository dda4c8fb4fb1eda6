// Parsing of the maintenance page's number texts.
#include "NumberText.h"

#include "Helpers.h"

std::optional<uint32_t> ParseUnsignedDecimal(const QString& text) {
    if (!IsDecimalText(text))
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : text) {
        value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> ParseHexOrDecimal(const QString& text) {
    uint32_t value = 0;
    if (ParseHex(&value, text))
        return value;
    return ParseUnsignedDecimal(text);
}
