// CPhysicalDevice: a device of the kernel driver, opened exclusively by name.
#pragma once

#include "Device.h"
#include "OpenFailure.h"

#include <memory>
#include <string>

class CPhysicalDevice final : public CDevice {
public:
    // Opens the device; throws CError (one diagnostic line) when it cannot be opened.
    explicit CPhysicalDevice(const std::string& name);
    ~CPhysicalDevice() override;

    // Opens without the diagnostic line: board discovery probes names that mostly do not exist. On failure
    // `why`, when given, tells an absent device from one that is there but cannot be used.
    static std::unique_ptr<CPhysicalDevice> TryOpen(const std::string& name, OpenError* why = nullptr);

    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override;
    uint32_t Cancel() override;

    // Where a device name lives on this system ("\\.\NAME\LEAF" is ROOT/NAME/LEAF on POSIX).
    static std::string SystemPath(const std::string& name);

private:
    struct Adopt {};
    CPhysicalDevice(Adopt, intptr_t handle) : m_handle(handle) {}
    static intptr_t OpenHandle(const std::string& name, OpenError* why);

    static constexpr intptr_t kInvalidHandle = -1;
    intptr_t m_handle = kInvalidHandle;
};
