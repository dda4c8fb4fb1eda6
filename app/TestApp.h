// CTestApp: start-up. Command line, single instance, the settings key, the driver library, the main window.
#pragma once

class CTestApp {
public:
    // Runs the program; the process exit code.
    int Run(int argc, char** argv);
};
