// The simulator library's boards and faults for this test process, set before any test runs because the
// library reads its configuration once, at its first call.
#pragma once

#include <cstdlib>

// Boards VSIM0..VSIM3; board 3's information request fails (discovery leaves it out) and writes to board
// 2's line 1 output hang until cancelled.
inline const bool g_simLibraryConfigured = [] {
    ::setenv("VELTRIN_SIM_BOARDS", "0x310:200:8,0x330D:501:4,0x340:300:8,0x320:7:8", 1);
    ::setenv("VELTRIN_SIM_FAULTS", "fail:VSIM3\\VELTRIN_CFG:0x222470,hang:VSIM2\\PHONE_LINE1_OUT_DEV", 1);
    return true;
}();
