// What the DSP program leaves in on-chip memory once loaded: code and data words and the I/O device header.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// The I/O device header the program keeps at this word address: command handler, command address, load
// and unload addresses, total data, DMA start and stop addresses, then reserved words.
inline constexpr uint32_t kIoHeaderAddress = 0x7500;
inline constexpr uint16_t kIoHeader[7] = {0x0C40, 0x7520, 0x7600, 0x7A00, 0x0400, 0x8000, 0x9000};

// The only program the simulated driver knows, named as the application names it.
inline constexpr char kProgramName[] = "prog.i00";

// Fills the whole on-chip memory as the loaded program leaves it (deterministic, so tests can compare).
void FillProgramImage(std::vector<uint16_t>& daram);
// The word the program image holds at a word address below 0x8000 outside the header (0 above).
uint16_t ProgramImageWord(uint32_t address);

} // namespace sim
