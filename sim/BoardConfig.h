// Which boards the simulator offers: parsed from "TYPE[:ID[:CHANNELS]],..." or the default set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct BoardConfig {
    uint32_t type = 0x310;
    uint32_t id = 0;
    uint32_t channels = 8;
    std::string name; // board name in the information block; derived from the type when empty
    std::string base; // base device name; "VSIM<n>" when empty
};

// The default set: an old-family board, a line-options board and the new-family boards.
std::vector<BoardConfig> DefaultBoards();

// Parses the board list; on any fault returns null and says what is wrong in `error`.
std::optional<std::vector<BoardConfig>> ParseBoardConfigs(const std::string& text, std::string* error);

// "KVR R310" for 0x310, "KVR R330D" for 0x330D.
std::string BoardNameFor(uint32_t type);

} // namespace sim
