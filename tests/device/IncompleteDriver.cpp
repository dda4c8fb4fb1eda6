// A driver library of an older version: it lacks most device exports.
#include "DriverExports.h"

extern "C" __attribute__((visibility("default"))) int32_t Create(const char*) { return 1; }
extern "C" __attribute__((visibility("default"))) int32_t Read(int32_t, void*, uint32_t, uint32_t*) { return 1; }
extern "C" __attribute__((visibility("default"))) uint32_t GetDeviceCount(uint32_t) { return 1; }
