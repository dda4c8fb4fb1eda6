// The stop signals of veltrin-cli.
#include "CliSignals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void RecordSignal(int signal) { g_signal = signal; }

} // namespace

void InstallStopSignals() {
    std::signal(SIGINT, RecordSignal);
    std::signal(SIGTERM, RecordSignal);
}

int StopSignal() { return g_signal; }
