// The calibration fixture: a command run with the voltage to set as its last argument, in a process
// group of its own, its output sent to standard error, waited for within a bound and ended (with
// everything it started) at a stop signal or when the bound passes.
#pragma once

#include <cstdint>
#include <string>

// The longest a fixture may take to set a voltage.
inline constexpr int kFixtureTimeoutMs = 120000;

// Returns when the fixture exited with 0; anything else is a device error naming the command, and a
// stop signal a device error too (the caller reports the signal).
void RunFixture(const std::string& command, uint32_t volts, int timeoutMs = kFixtureTimeoutMs);
