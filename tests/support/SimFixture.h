// A simulator on a manual clock with device handles on it, for tests that want board behaviour in-process.
#pragma once

#include "SimDevice.h"
#include "Simulator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A control request with input bytes only; the device's answer (1 for success).
inline uint32_t Ctl(CDevice& device, uint32_t code, std::vector<uint8_t> in) {
    uint32_t returned = 0;
    return device.DevIoControl(code, in.data(), static_cast<uint32_t>(in.size()), nullptr, 0, &returned);
}
