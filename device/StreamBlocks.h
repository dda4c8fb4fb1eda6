// The request blocks of the streaming devices (stereo outputs, codec line inputs and outputs):
// attenuation or gain, start and stop, DMA buffer state, counters and level. Coded byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

// Attenuation (stereo outputs) or gain (codec lines), both request sets. The range is filled by a get;
// a set sends it back unchanged.
struct AttenuationBlock {
    static constexpr uint32_t kSize = 10;

    int16_t value = 0;  // offset 0: linear factor in 1/256 or gain step (first set), tenths of dB (second)
    int16_t mute = 0;   // offset 2: non-zero = muted
    int16_t unused = 0; // offset 4
    int16_t max = 0;    // offset 6: upper end of the value range
    int16_t min = 0;    // offset 8: lower end of the value range

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<AttenuationBlock> Decode(const uint8_t* data, uint32_t size);
};

// Start or stop streaming on a channel device.
struct StreamCommand {
    static constexpr uint32_t kSize = 10;
    static constexpr uint16_t kStart = 1;
    static constexpr uint16_t kStop = 2;

    uint16_t command = kStart; // offset 0
    uint16_t one = 1;          // offset 2: always 1
    uint32_t zero = 0;         // offset 4: always 0
                               // offset 8: 2 reserved bytes, sent as 0

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<StreamCommand> Decode(const uint8_t* data, uint32_t size);
};

// The channel's DMA buffer: its length and the free space (outputs) or bytes available (inputs).
struct BufferState {
    static constexpr uint32_t kSize = 8;

    uint32_t length = 0; // offset 0
    uint32_t space = 0;  // offset 4

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<BufferState> Decode(const uint8_t* data, uint32_t size);
};

// What the channel moved since it started and the signal level now.
struct StreamCounters {
    static constexpr uint32_t kSize = 10;

    uint32_t unused = 0; // offset 0
    uint32_t bytes = 0;  // offset 4: bytes transferred since the channel started
    int16_t level = 0;   // offset 8: 0..32767

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<StreamCounters> Decode(const uint8_t* data, uint32_t size);
};
