// The requests of the streaming pages: attenuation or gain in either request set, start and stop,
// buffer state and counters on a channel's device; sample rates and the routing mode.
#pragma once

#include "StreamBlocks.h"

#include <cstdint>
#include <optional>

class CDevice;

// The second request set (tenths of dB) is used when the device answers its get at all.
bool AnswersSecondSet(CDevice& device);
std::optional<AttenuationBlock> GetAttenuation(CDevice& device, bool secondSet);
bool SetAttenuation(CDevice& device, bool secondSet, const AttenuationBlock& block);

// Start or stop streaming; `synchro` sends the synchronous codec input request instead.
bool SendStreamCommand(CDevice& device, uint16_t command, bool synchro = false);
std::optional<BufferState> GetBufferState(CDevice& device);
std::optional<StreamCounters> GetStreamCounters(CDevice& device);

// Stereo output rates on the configuration device: channel 0 left, 1 right.
bool SetOutputRate(CDevice& cfg, int channel, uint32_t rate);
std::optional<uint32_t> GetOutputRate(CDevice& cfg, int channel);
// The codec rate, one for every line of the board.
bool SetCodecRate(CDevice& cfg, uint32_t rate);
std::optional<uint32_t> GetCodecRate(CDevice& cfg);
// The routing mode 0..15 of the stereo output, sent to the left output device.
bool SetWorkMode(CDevice& left, uint32_t mode);
