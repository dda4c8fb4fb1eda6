// A device handle on an in-process simulator: the driver-library route without the library, for tests,
// benchmarks and fuzz targets that want board behaviour in their own process.
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
    static std::unique_ptr<CDevice> Open(sim::Simulator& simulator, const std::string& name) {
        const int32_t handle = simulator.Create(name);
        if (handle == -1)
            return nullptr;
        return std::make_unique<SimDevice>(simulator, handle);
    }

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
    uint32_t Cancel() override { return m_sim.Cancel(m_handle); }

private:
    sim::Simulator& m_sim;
    int32_t m_handle;
};
