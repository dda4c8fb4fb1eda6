// A simulator on a manual clock with device handles on it, for tests that want board behaviour in-process.
#pragma once

#include "SimDevice.h"
#include "Simulator.h"

#include <memory>
#include <string>

// A simulator on a manual clock, with its boards, for one test.
struct SimFixtureBoards {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Simulator> simulator;

    explicit SimFixtureBoards(std::vector<sim::BoardConfig> boards)
        : simulator(std::make_unique<sim::Simulator>(std::move(boards), clock)) {}
    // Opens "VSIM<board>\<leaf>" (or the board's own base name).
    std::unique_ptr<CDevice> Open(size_t board, const std::string& leaf) {
        return SimDevice::Open(*simulator, simulator->BaseName(static_cast<uint32_t>(board)) + "\\" + leaf);
    }
};
