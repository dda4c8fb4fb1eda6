// What the level meter tells an assistive tool: a level indicator with its current value and maximum.
#pragma once

class CLevelMeter;

// Registers the meter's accessible interface with Qt once; the meter's constructor calls it.
void InstallLevelMeterAccessibility();
// Tells an active assistive tool that the meter's value changed; nothing when none is listening.
void NotifyLevelChanged(CLevelMeter* meter);
