// The driver-library exports of the simulator, over one process-wide simulator made on first use.
#include "DriverExports.h"
#include "Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

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

// With VELTRIN_SIM_LOG naming a file, every open, control request and close is appended to it as one
// line (device name, code, input bytes in hexadecimal, output size, result), so two runs of the program
// can be compared request by request.
class RequestLog {
public:
    RequestLog() {
        if (const char* path = std::getenv("VELTRIN_SIM_LOG"); path && *path)
            m_file = std::fopen(path, "a");
    }
    ~RequestLog() {
        if (m_file)
            std::fclose(m_file);
    }
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool On() const { return m_file != nullptr; }

    void Opened(const char* name, int32_t handle) {
        std::lock_guard lock(m_mutex);
        if (handle >= 0)
            m_names[handle] = name;
        std::fprintf(m_file, "open %s -> %s\n", name, handle >= 0 ? "ok" : "refused");
        std::fflush(m_file);
    }
    void Control(int32_t handle, uint32_t code, const void* input, uint32_t inputSize, uint32_t outputSize, int32_t ok,
                 uint32_t returned) {
        std::string bytes;
        const auto* in = static_cast<const uint8_t*>(input);
        for (uint32_t i = 0; in && i < inputSize; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", in[i]);
            bytes += hex;
        }
        std::lock_guard lock(m_mutex);
        std::fprintf(m_file, "ioctl %s 0x%06X in=%u:%s out=%u -> %d/%u\n", NameOf(handle).c_str(),
                     static_cast<unsigned>(code), static_cast<unsigned>(inputSize), bytes.c_str(),
                     static_cast<unsigned>(outputSize), static_cast<int>(ok), static_cast<unsigned>(returned));
        std::fflush(m_file);
    }
    void Cancelled(int32_t handle) {
        std::lock_guard lock(m_mutex);
        std::fprintf(m_file, "cancel %s\n", NameOf(handle).c_str());
        std::fflush(m_file);
    }
    void Closed(int32_t handle) {
        std::lock_guard lock(m_mutex);
        std::fprintf(m_file, "close %s\n", NameOf(handle).c_str());
        std::fflush(m_file);
        m_names.erase(handle);
    }

private:
    std::string NameOf(int32_t handle) const {
        const auto it = m_names.find(handle);
        return it == m_names.end() ? "#" + std::to_string(handle) : it->second;
    }

    std::FILE* m_file = nullptr;
    std::mutex m_mutex;
    std::map<int32_t, std::string> m_names;
};

RequestLog& Log() {
    static RequestLog log;
    return log;
}
} // namespace

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Create(const char* name) {
    if (!name)
        return -1;
    const int32_t handle = Instance().Create(name);
    if (Log().On())
        Log().Opened(name, handle);
    return handle;
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Read(int32_t handle, void* buffer, uint32_t size, uint32_t* done) {
    return static_cast<int32_t>(Instance().Read(handle, buffer, size, done));
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Write(int32_t handle, const void* buffer, uint32_t size, uint32_t* done) {
    return static_cast<int32_t>(Instance().Write(handle, buffer, size, done));
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL DevIoControl(int32_t handle, uint32_t code, const void* input,
                                                        uint32_t inputSize, void* output, uint32_t outputSize,
                                                        uint32_t* returned) {
    const auto ok =
        static_cast<int32_t>(Instance().Control(handle, code, input, inputSize, output, outputSize, returned));
    if (Log().On())
        Log().Control(handle, code, input, inputSize, outputSize, ok, returned ? *returned : 0);
    return ok;
}

VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Close(int32_t handle) {
    if (Log().On())
        Log().Closed(handle);
    return static_cast<int32_t>(Instance().Close(handle));
}

// Optional in the library contract: releases the handle's requests held by a hang fault.
VELTRIN_EXPORT int32_t VELTRIN_DRIVER_CALL Cancel(int32_t handle) {
    if (Log().On())
        Log().Cancelled(handle);
    return static_cast<int32_t>(Instance().Cancel(handle));
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
