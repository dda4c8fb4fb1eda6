// The device handle: one opened board driver device with blocking read, write and control requests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CDriverLibrary;

// Every operation returns a success flag, nonzero meaning success, and reports the bytes moved through
// its out-parameter. A handle is open from construction to destruction; it has no lock of its own.
class CDevice {
public:
    virtual ~CDevice() = default;
    virtual uint32_t Read(void* buffer, uint32_t size, uint32_t* done) = 0;
    virtual uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) = 0;
    virtual uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                  uint32_t outputSize, uint32_t* returned) = 0;
    virtual uint32_t Cancel() = 0;

protected:
    CDevice() = default;
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;
};

// Opens "base\leaf" through the driver library when one is given, else through the kernel driver.
// Never throws: a device that cannot be opened yields null and one diagnostic line.
std::unique_ptr<CDevice> OpenDevice(CDriverLibrary* library, const std::string& base, const std::string& leaf);
