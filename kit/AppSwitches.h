// Program-wide switches that pages consult.
#pragma once

// When on, the memory page resets the board and loads the DSP program as it opens. Off at start;
// the main window's "Load programm on next start" menu entry turns it on for the following runs.
bool LoadProgramAtOpen();
void SetLoadProgramAtOpen(bool on);
