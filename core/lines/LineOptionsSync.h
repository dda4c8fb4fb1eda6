// What the line options page sends on a sampling tick: the wanted options when the board's differ.
#pragma once

#include "LineBlocks.h"

#include <optional>

struct WantedOptions {
    int sensorPower = -1; // the list's index; -1 when nothing is selected
    bool compensation = false;
    bool tape = false;
};

// The block that asks the board for the wanted options, or nothing when the board (as last read) has
// them. With no sensor power selected the board's own sensor power is kept: nothing was chosen to send.
std::optional<LineStateShort> OptionsToSend(const WantedOptions& wanted, const LineStateShort& board);
