// The line settings exchanges of the phone line page: restoring the stored switches when the page opens,
// and the read-edit-write sequence behind a line's "Settings" button.
#pragma once

#include "LineBlocks.h"

#include <QString>

#include <cstdint>
#include <functional>

class CDevice;

// The settings section of line `line`: "CFG\LINE<line>".
QString LineSection(int line);

// Reads the line's settings and, if the board answers with the whole block, puts the stored switches
// ("AON_ENABLED", default 1; "BEEP_ENABLED", default 0) into it and sends it back. Silent on failure.
void RestoreLineSwitches(CDevice& device, int32_t boardIndex, int line);

// Lets the user edit the blocks and the interface power flag; true when confirmed.
using LineSettingsEditor = std::function<bool(LineSettings& settings, LineLevels& levels, int32_t& power)>;

// Reads both blocks, runs the editor, sends both blocks, stores the switches and sets the interface power.
// Stops at the first failing step and returns the text to show; empty when it ran through or was cancelled.
QString RunLineSettings(CDevice& device, uint16_t boardType, int32_t boardIndex, int line,
                        const LineSettingsEditor& edit);
