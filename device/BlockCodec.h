// Little-endian field access for request blocks: blocks are byte strings, never cast to structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace block {

inline uint16_t GetU16(const uint8_t* b, size_t offset) {
    return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8));
}
inline uint32_t GetU32(const uint8_t* b, size_t offset) {
    return static_cast<uint32_t>(b[offset]) | (static_cast<uint32_t>(b[offset + 1]) << 8) |
           (static_cast<uint32_t>(b[offset + 2]) << 16) | (static_cast<uint32_t>(b[offset + 3]) << 24);
}
inline void PutU16(uint8_t* b, size_t offset, uint16_t value) {
    b[offset] = static_cast<uint8_t>(value);
    b[offset + 1] = static_cast<uint8_t>(value >> 8);
}
inline void PutU32(uint8_t* b, size_t offset, uint32_t value) {
    b[offset] = static_cast<uint8_t>(value);
    b[offset + 1] = static_cast<uint8_t>(value >> 8);
    b[offset + 2] = static_cast<uint8_t>(value >> 16);
    b[offset + 3] = static_cast<uint8_t>(value >> 24);
}
// Text of a fixed-size field up to its first zero byte (or the whole field when it has none).
inline std::string GetText(const uint8_t* b, size_t offset, size_t size) {
    const auto* start = reinterpret_cast<const char*>(b + offset);
    const void* zero = std::memchr(start, 0, size);
    return std::string(start, zero ? static_cast<size_t>(static_cast<const char*>(zero) - start) : size);
}
// Copies text into a fixed-size field, zero-filled; at most size - 1 characters so a zero byte ends it.
inline void PutText(uint8_t* b, size_t offset, size_t size, const std::string& text) {
    std::memset(b + offset, 0, size);
    std::memcpy(b + offset, text.data(), text.size() < size ? text.size() : size - 1);
}

} // namespace block
