// SIGINT and SIGTERM for veltrin-cli: the handler only records the signal; running commands notice it,
// stop what they started and end with a non-zero exit.
#pragma once

// Installs the handlers; once, at start-up.
void InstallStopSignals();
// The signal that asked the program to end, or 0.
int StopSignal();
