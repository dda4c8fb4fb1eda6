// The phone line requests on a line input device: each read counts only with its exact block size.
#pragma once

#include "LineBlocks.h"

#include <optional>

class CDevice;

std::optional<LineState> GetLineState(CDevice& device);
bool SetLineState(CDevice& device, const LineState& block);
std::optional<LineStateShort> GetLineStateShort(CDevice& device);
bool SetLineStateShort(CDevice& device, const LineStateShort& block);
std::optional<LineSettings> GetLineSettings(CDevice& device);
bool SetLineSettings(CDevice& device, const LineSettings& block);
std::optional<LineLevels> GetLineLevels(CDevice& device);
bool SetLineLevels(CDevice& device, const LineLevels& block);
bool SetInterfacePower(CDevice& device, bool on);
