// The line options comparison.
#include "LineOptionsSync.h"

std::optional<LineStateShort> OptionsToSend(const WantedOptions& wanted, const LineStateShort& board) {
    LineStateShort block;
    block.externalInput = 0; // read only on the board
    block.sensorPower = wanted.sensorPower < 0 ? board.sensorPower : static_cast<uint16_t>(wanted.sensorPower);
    block.compensation = wanted.compensation ? 1 : 0;
    block.tape = wanted.tape ? 1 : 0;
    if (block.sensorPower == board.sensorPower && block.compensation == board.compensation && block.tape == board.tape)
        return std::nullopt;
    return block;
}
