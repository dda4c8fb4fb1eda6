// In-process simulator device handles.
#include "SimDevice.h"

std::unique_ptr<CDevice> SimDevice::Open(sim::Simulator& simulator, const std::string& name) {
    const int32_t handle = simulator.Create(name);
    if (handle == -1)
        return nullptr;
    return std::make_unique<SimDevice>(simulator, handle);
}
