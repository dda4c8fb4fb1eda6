// The streaming requests, through the typed request helpers.
#include "StreamRequests.h"

#include "DeviceRequests.h"
#include "RequestCodes.h"

bool AnswersSecondSet(CDevice& device) {
    return QueryRaw<AttenuationBlock::kSize>(device, req::kGetAttenuation2).ok != 0;
}

std::optional<AttenuationBlock> GetAttenuation(CDevice& device, bool secondSet) {
    return QueryBlock<AttenuationBlock>(device, secondSet ? req::kGetAttenuation2 : req::kGetAttenuation);
}

bool SetAttenuation(CDevice& device, bool secondSet, const AttenuationBlock& block) {
    return SendBlock(device, secondSet ? req::kSetAttenuation2 : req::kSetAttenuation, block);
}

bool SendStreamCommand(CDevice& device, uint16_t command, bool synchro) {
    StreamCommand block;
    block.command = command;
    return SendBlock(device, synchro ? req::kSyncCodecInput : req::kStream, block);
}

std::optional<BufferState> GetBufferState(CDevice& device) {
    return QueryBlock<BufferState>(device, req::kGetBufferState);
}

std::optional<StreamCounters> GetStreamCounters(CDevice& device) {
    return QueryBlock<StreamCounters>(device, req::kGetCounters);
}

bool SetOutputRate(CDevice& cfg, int channel, uint32_t rate) {
    return SendU32(cfg, channel == 0 ? req::kSetLeftRate : req::kSetRightRate, rate);
}

std::optional<uint32_t> GetOutputRate(CDevice& cfg, int channel) {
    return QueryU32(cfg, channel == 0 ? req::kGetLeftRate : req::kGetRightRate);
}

bool SetCodecRate(CDevice& cfg, uint32_t rate) { return SendU32(cfg, req::kSetCodecRate, rate); }

std::optional<uint32_t> GetCodecRate(CDevice& cfg) { return QueryU32(cfg, req::kGetCodecRate); }

bool SetWorkMode(CDevice& left, uint32_t mode) { return SendU32(left, req::kOutputMode, mode); }
