// Program-wide switches (user-interface thread only).
#include "AppSwitches.h"

namespace {
bool g_loadProgramAtOpen = false;
}

bool LoadProgramAtOpen() { return g_loadProgramAtOpen; }
void SetLoadProgramAtOpen(bool on) { g_loadProgramAtOpen = on; }
