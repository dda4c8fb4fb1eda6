// The maintenance conversations with a board's configuration device: memory operations, the board
// identity, reset and program load, watchdog and push switch. The memory and identity requests return
// the message to show on failure, or nothing on success; the others return the success flag.
#pragma once

#include "MemoryBlocks.h"

#include <QString>

#include <cstdint>
#include <optional>

class CDevice;

using Failure = std::optional<QString>;

// Reads `op.count` words into `buffer` (`size` bytes); `returned` gets the bytes the board gave.
Failure ReadMemory(CDevice& device, const MemoryOperation& op, uint8_t* buffer, uint32_t size, uint32_t* returned);
// Writes `op.count` words from `data` (`size` bytes, at least 2 * count).
Failure WriteMemory(CDevice& device, const MemoryOperation& op, const uint8_t* data, uint32_t size);

struct BoardIdReading {
    uint32_t id = 0;
    Failure failure;
};
// New-family boards report their ID in the information block, the others keep it in the EEPROM.
BoardIdReading ReadBoardId(CDevice& device, bool newFamily);
Failure WriteBoardId(CDevice& device, bool newFamily, uint32_t id);
// Writes the board type word into the EEPROM.
Failure WriteBoardPrefix(CDevice& device, uint16_t type);

// Holds the DSP in reset.
bool ResetDsp(CDevice& device);
// Loads the DSP program: the driver's default one (empty request) or the one named by ProgramLoadRequest.
bool LoadProgram(CDevice& device, bool named);
bool StartWatchdog(CDevice& device, uint32_t intervalMs);
bool StopWatchdog(CDevice& device);
bool KickWatchdog(CDevice& device);
bool SetPushSwitch(CDevice& device, bool pressed);
