// Number texts several pages share: unsigned 32-bit values typed in decimal or hexadecimal.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Digits only, not empty, at most 4294967295; a larger number is refused rather than cut down.
std::optional<uint32_t> ParseUnsignedDecimal(const QString& text);
// "0x"/"0X" and hexadecimal digits first, then decimal as above.
std::optional<uint32_t> ParseHexOrDecimal(const QString& text);
