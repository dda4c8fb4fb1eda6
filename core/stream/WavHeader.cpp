// The recording's WAV header: RIFF, a 16-byte "fmt " chunk (PCM, one channel, 16 bits) and the data chunk.
#include "WavHeader.h"

#include <cstring>

namespace {

void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void Put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

} // namespace

std::array<unsigned char, kWavHeaderSize> WavHeader(uint32_t rate, uint32_t dataBytes) {
    std::array<unsigned char, kWavHeaderSize> h{};
    std::memcpy(h.data(), "RIFF", 4);
    Put32(h.data() + 4, dataBytes + 36);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    Put32(h.data() + 16, 16);       // the format chunk's size
    Put16(h.data() + 20, 1);        // PCM
    Put16(h.data() + 22, 1);        // one channel
    Put32(h.data() + 24, rate);     // frames per second
    Put32(h.data() + 28, rate * 2); // bytes per second
    Put16(h.data() + 32, 2);        // bytes per frame
    Put16(h.data() + 34, 16);       // bits per sample
    std::memcpy(h.data() + 36, "data", 4);
    Put32(h.data() + 40, dataBytes);
    return h;
}
