// The phone line requests: each block through the typed request helpers.
#include "LineRequests.h"

#include "DeviceRequests.h"
#include "RequestCodes.h"

std::optional<LineState> GetLineState(CDevice& device) { return QueryBlock<LineState>(device, req::kGetLineState); }

bool SetLineState(CDevice& device, const LineState& block) { return SendBlock(device, req::kSetLineState, block); }

std::optional<LineStateShort> GetLineStateShort(CDevice& device) {
    return QueryBlock<LineStateShort>(device, req::kGetLineState);
}

bool SetLineStateShort(CDevice& device, const LineStateShort& block) {
    return SendBlock(device, req::kSetLineState, block);
}

std::optional<LineSettings> GetLineSettings(CDevice& device) {
    return QueryBlock<LineSettings>(device, req::kGetLineSettings);
}

bool SetLineSettings(CDevice& device, const LineSettings& block) {
    return SendBlock(device, req::kSetLineSettings, block);
}

std::optional<LineLevels> GetLineLevels(CDevice& device) { return QueryBlock<LineLevels>(device, req::kGetAmplitudes); }

bool SetLineLevels(CDevice& device, const LineLevels& block) { return SendBlock(device, req::kSetAmplitudes, block); }

bool SetInterfacePower(CDevice& device, bool on) { return SendU16(device, req::kInterfacePower, on ? 1 : 0); }
