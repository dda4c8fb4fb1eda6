// One seeded scenario of the streaming engine on chaos devices: channels of one board (two codec lines,
// a stereo output) started, stopped and restarted at random moments and rates from the test's thread
// while a pass thread feeds and drains them, files ending anywhere, recordings onto a disk that may fill.
// Afterwards every run is checked against what its device saw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChaosOutcome {
    std::vector<std::string> violations; // empty: every invariant held
    int starts = 0;                      // runs started
    int refusals = 0;                    // starts refused for a rate or a file in use
};

// Runs the scenario of `seed` with its files in `folder` (an empty folder the caller removes).
ChaosOutcome RunChaosScenario(uint64_t seed, const std::string& folder);
