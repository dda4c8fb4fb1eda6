// A device handle on an in-process simulator, for tests that want board behaviour without the library.
#pragma once

#include "Device.h"
#include "Simulator.h"

#include <memory>
#include <string>

class SimDevice final : public CDevice {
public:
    SimDevice(sim::Simulator& simulator, int32_t handle) : m_sim(simulator), m_handle(handle) {}
    ~SimDevice() override { m_sim.Close(m_handle); }

    // Null when the simulator refuses the name.
    static std::unique_ptr<CDevice> Open(sim::Simulator& simulator, const std::string& name);

    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override {
        return m_sim.Read(m_handle, buffer, size, done);
    }
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override {
        return m_sim.Write(m_handle, buffer, size, done);
    }
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override {
        return m_sim.Control(m_handle, code, input, inputSize, output, outputSize, returned);
    }
    uint32_t Cancel() override { return 0; }

private:
    sim::Simulator& m_sim;
    int32_t m_handle;
};

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
