// CVirtualDevice: a board device reached through the driver library's exports.
#pragma once

#include "Device.h"
#include "DriverExports.h"

class CDriverLibrary;

class CVirtualDevice final : public CDevice {
public:
    // Throws CError when an export is missing or the library refuses the name.
    CVirtualDevice(const CDriverLibrary& library, const std::string& name);
    ~CVirtualDevice() override;

    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override;
    // Through the library's Cancel export; a library without one cannot cancel and the result is failure.
    uint32_t Cancel() override;

private:
    int32_t m_handle = -1;
    DriverCreateFn m_create = nullptr;
    DriverReadFn m_read = nullptr;
    DriverWriteFn m_write = nullptr;
    DriverControlFn m_control = nullptr;
    DriverCloseFn m_close = nullptr;
    DriverCancelFn m_cancel = nullptr; // optional
};
