// A driver library that counts what it is asked, so tests can check the library contract.
#include "DriverExports.h"

#include <cstring>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int g_closes = 0;
int32_t g_lastClosed = -2;
int g_controls = 0;
int g_cancels = 0;
} // namespace

// "ZERO\..." gets the handle 0 (a valid one); "BAD\..." is refused; anything else gets 7.
EXPORT int32_t Create(const char* name) {
    if (std::strncmp(name, "BAD\\", 4) == 0)
        return -1;
    return std::strncmp(name, "ZERO\\", 5) == 0 ? 0 : 7;
}
EXPORT int32_t Read(int32_t, void*, uint32_t, uint32_t* done) {
    *done = 0;
    return 1;
}
EXPORT int32_t Write(int32_t, const void*, uint32_t size, uint32_t* done) {
    *done = size;
    return 1;
}
EXPORT int32_t DevIoControl(int32_t handle, uint32_t code, const void* input, uint32_t inputSize, void* output,
                            uint32_t outputSize, uint32_t* returned) {
    ++g_controls;
    // Echoes handle and code so the caller can see what arrived.
    if (output && outputSize >= 8) {
        std::memcpy(output, &handle, 4);
        std::memcpy(static_cast<char*>(output) + 4, &code, 4);
        *returned = 8;
    } else {
        *returned = 0;
    }
    return input == nullptr && inputSize == 0 ? 2 : 1;
}
EXPORT int32_t Close(int32_t handle) {
    ++g_closes;
    g_lastClosed = handle;
    return 1;
}
EXPORT int32_t CancelCount() { return g_cancels; }
EXPORT int32_t CloseCount() { return g_closes; }
EXPORT int32_t LastClosed() { return g_lastClosed; }
EXPORT int32_t ControlCount() { return g_controls; }
