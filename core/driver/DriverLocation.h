// Where the driver library comes from: the machine-wide "InstallPath" setting, a path named on the
// command line, or the bundled simulator.
#pragma once

#include <QString>

// The machine-wide "InstallPath" value, or an empty text when absent or longer than 259 characters.
QString InstalledDriverLibraryPath();

// The bundled board simulator library next to the executable (or in the build tree); empty if missing.
QString BundledSimulatorPath();
