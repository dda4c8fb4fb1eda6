// The stop signals of veltrin-cli.
#include "CliSignals.h"

#include <atomic>
#include <csignal>

namespace {

// Read by every thread that waits (board threads, request watches): a lock-free atomic is both safe in
// a signal handler and free of data races between threads, which a volatile sig_atomic_t is not.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RecordSignal(int signal) { g_signal.store(signal, std::memory_order_relaxed); }

} // namespace

void InstallStopSignals() {
    std::signal(SIGINT, RecordSignal);
    std::signal(SIGTERM, RecordSignal);
}

int StopSignal() { return g_signal.load(std::memory_order_relaxed); }
