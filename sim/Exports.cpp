// The driver-library exports of the simulator, over one process-wide simulator made on first use.
#include "DriverExports.h"
#include "Simulator.h"

#include <cstring>
#include <mutex>

#if defined(_WIN32)
// veltrin-sim.def exports these by their plain names; dllexport would add the decorated ones on 32 bits.
#define VELTRIN_EXPORT extern "C"
#else
#define VELTRIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
sim::Simulator& Instance() {
    static std::once_flag once;
    static std::unique_ptr<sim::Simulator> simulator;
    std::call_once(once, [] { simulator = sim::Simulator::FromEnvironment(); });
    return *simulator;
}
} // namespace

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Create(const char* name) {
    return name ? Instance().Create(name) : -1;
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Read(int32_t handle, void* buffer, uint32_t size, uint32_t* done) {
    return static_cast<int32_t>(Instance().Read(handle, buffer, size, done));
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Write(int32_t handle, const void* buffer, uint32_t size,
                                                 uint32_t* done) {
    return static_cast<int32_t>(Instance().Write(handle, buffer, size, done));
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL DevIoControl(int32_t handle, uint32_t code, const void* input,
                                                        uint32_t inputSize, void* output, uint32_t outputSize,
                                                        uint32_t* returned) {
    return static_cast<int32_t>(Instance().Control(handle, code, input, inputSize, output, outputSize, returned));
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Close(int32_t handle) {
    return static_cast<int32_t>(Instance().Close(handle));
}

VELTRIN_EXPORT uint32_t VELTRIN_DRIVER_CALL GetDeviceCount(uint32_t) { return Instance().DeviceCount(); }

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL GetDeviceName(uint32_t index, uint32_t, char* buffer, uint32_t size) {
    sim::Simulator& simulator = Instance();
    if (!buffer || index >= simulator.DeviceCount())
        return 0;
    const std::string& name = simulator.BaseName(index);
    if (name.size() + 1 > size)
        return 0;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 1;
}
