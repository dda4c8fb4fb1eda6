// What each board type has: one row per type code, looked up by its low 16 bits. The pages, the page
// table and the simulator all ask this table; nothing else compares board types.
#pragma once

#include <cstdint>

struct BoardModel {
    uint16_t type = 0;                // low 16 bits of the type code; 0 in the row of unknown types
    bool newFamily = false;           // ID in the information block, written with its own request
    bool phoneLines = false;          // the phone line page
    bool lineOptions = false;         // the line options page and the short line state
    bool calibration = false;         // the voltmeter calibration page
    bool commutation = false;         // lines switch commutation on and off
    bool fixedInterfacePower = false; // the interface power is not switched by the application
    bool hookLocked = false;          // "Hook up" and "Dial" stay disabled on the phone line page
    bool headphones = false;          // output and codec tabs are the headphones and phone line ones
    bool synchroMode = false;         // "synchro mode" offered on line 0's codec page
    bool secondAttenuation = false;   // streaming devices answer the second attenuation request set
};

// The row of a type code (its low 16 bits); unknown types get a row with nothing.
const BoardModel& BoardModelFor(uint32_t type);

// New-family boards keep their ID in the information block instead of the EEPROM.
inline bool IsNewFamily(uint32_t type) { return BoardModelFor(type).newFamily; }
