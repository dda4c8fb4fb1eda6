// The 44-byte header of a 16-bit PCM mono WAV file, as recordings are written: encoded byte by byte,
// little-endian, with the data size given (the RIFF size follows from it).
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kWavHeaderSize = 44;
// The most data bytes a WAV header can count: the RIFF size (data + 36) must fit 32 bits.
inline constexpr uint64_t kWavMaxData = 0xFFFFFFFFull - 36;

std::array<unsigned char, kWavHeaderSize> WavHeader(uint32_t rate, uint32_t dataBytes);
