// A driver library that logs every call in order and offers three boards, the second of which answers
// its information request with a success flag of 2, so tests can pin the discovery sequence.
#include "DriverExports.h"

#include <cstdio>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::string g_log;
constexpr uint32_t kDevices = 3;

void Log(const std::string& line) { g_log += line + "\n"; }

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}
} // namespace

EXPORT uint32_t GetDeviceCount(uint32_t reserved) {
    Log("GetDeviceCount " + std::to_string(reserved));
    return kDevices;
}
EXPORT int32_t GetDeviceName(uint32_t index, uint32_t, char* buffer, uint32_t size) {
    Log("GetDeviceName " + std::to_string(index));
    const std::string name = "REC" + std::to_string(index);
    if (index >= kDevices || size <= name.size())
        return 0;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 1;
}
// The handle is the board's number plus 10.
EXPORT int32_t Create(const char* name) {
    Log(std::string("Create ") + name);
    return 10 + (name[3] - '0');
}
EXPORT int32_t Read(int32_t, void*, uint32_t, uint32_t* done) {
    *done = 0;
    return 0;
}
EXPORT int32_t Write(int32_t, const void*, uint32_t, uint32_t* done) {
    *done = 0;
    return 0;
}
EXPORT int32_t DevIoControl(int32_t handle, uint32_t code, const void* input, uint32_t inputSize, void* output,
                            uint32_t outputSize, uint32_t* returned) {
    Log("DevIoControl " + std::to_string(handle) + " " + Hex(code) + " " + std::to_string(input ? inputSize : 0) + "/" +
        std::to_string(outputSize));
    *returned = 0;
    if (code != 0x222470 || outputSize < 66)
        return 1;
    // The information block: name at 0, type at 50, ID at 54, channels at 58, little-endian.
    auto* b = static_cast<uint8_t*>(output);
    std::memset(b, 0, 66);
    const int board = handle - 10;
    const char name[] = {'B', 'o', 'a', 'r', 'd', static_cast<char>('0' + board), 0};
    std::memcpy(b, name, sizeof name);
    b[50] = 0x10, b[51] = 0x03;                // 0x310
    b[54] = static_cast<uint8_t>(100 + board); // ID
    b[58] = 8;
    *returned = 66;
    return board == 1 ? 2 : 1;
}
EXPORT int32_t Close(int32_t handle) {
    Log("Close " + std::to_string(handle));
    return 1;
}
EXPORT const char* RecordedCalls() { return g_log.c_str(); }
