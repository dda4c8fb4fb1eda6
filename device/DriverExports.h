// The functions a driver library exports, by name, with their calling contract.
// All arguments and results are 32-bit; blocks and codes are those of the kernel driver.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define VELTRIN_DRIVER_CALL __stdcall
#else
#define VELTRIN_DRIVER_CALL
#endif

extern "C" {
// Opens "base\leaf"; the handle, or -1 on failure.
using DriverCreateFn = int32_t(VELTRIN_DRIVER_CALL*)(const char* name);
using DriverReadFn = int32_t(VELTRIN_DRIVER_CALL*)(int32_t handle, void* buffer, uint32_t size, uint32_t* done);
using DriverWriteFn = int32_t(VELTRIN_DRIVER_CALL*)(int32_t handle, const void* buffer, uint32_t size, uint32_t* done);
using DriverControlFn = int32_t(VELTRIN_DRIVER_CALL*)(int32_t handle, uint32_t code, const void* input,
                                                      uint32_t inputSize, void* output, uint32_t outputSize,
                                                      uint32_t* returned);
using DriverCloseFn = int32_t(VELTRIN_DRIVER_CALL*)(int32_t handle);
// Optional: ends the requests on that handle still waiting in the driver (they fail); nonzero on success.
using DriverCancelFn = int32_t(VELTRIN_DRIVER_CALL*)(int32_t handle);
// Always called with 0.
using DriverDeviceCountFn = uint32_t(VELTRIN_DRIVER_CALL*)(uint32_t reserved);
// Writes the base name of device number `index` as zero-ended text; nonzero on success.
using DriverDeviceNameFn = int32_t(VELTRIN_DRIVER_CALL*)(uint32_t index, uint32_t reserved, char* buffer,
                                                         uint32_t size);
}
