// Windows implementation of the kernel device: the Win32 file and device-control calls.
#include "PhysicalDevice.h"

#include "Error.h"

#include <windows.h>

namespace {
constexpr const char* kSourceFile = "PhysicalDevice.cpp";
}

std::string CPhysicalDevice::SystemPath(const std::string& name) { return name; }

intptr_t CPhysicalDevice::OpenHandle(const std::string& name, OpenError* why) {
    HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (why)
            *why = {OpenFailureFromWindowsError(error), static_cast<int>(error)};
        return kInvalidHandle;
    }
    if (why)
        *why = {};
    return reinterpret_cast<intptr_t>(handle);
}

CPhysicalDevice::CPhysicalDevice(const std::string& name) : m_handle(OpenHandle(name, nullptr)) {
    if (m_handle == kInvalidHandle)
        throw CError("ERROR: Can't create file %s; File: %s Line: %d", name.c_str(), kSourceFile, __LINE__);
}

std::unique_ptr<CPhysicalDevice> CPhysicalDevice::TryOpen(const std::string& name, OpenError* why) {
    const intptr_t handle = OpenHandle(name, why);
    if (handle == kInvalidHandle)
        return nullptr;
    return std::unique_ptr<CPhysicalDevice>(new CPhysicalDevice(Adopt{}, handle));
}

CPhysicalDevice::~CPhysicalDevice() {
    if (m_handle != kInvalidHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

uint32_t CPhysicalDevice::Read(void* buffer, uint32_t size, uint32_t* done) {
    DWORD count = 0;
    const BOOL ok = ::ReadFile(reinterpret_cast<HANDLE>(m_handle), buffer, size, &count, nullptr);
    if (done)
        *done = count;
    return ok ? 1 : 0;
}

uint32_t CPhysicalDevice::Write(const void* buffer, uint32_t size, uint32_t* done) {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(reinterpret_cast<HANDLE>(m_handle), buffer, size, &count, nullptr);
    if (done)
        *done = count;
    return ok ? 1 : 0;
}

uint32_t CPhysicalDevice::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                       uint32_t outputSize, uint32_t* returned) {
    DWORD count = 0;
    const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(m_handle), code, const_cast<void*>(input), inputSize,
                                      output, outputSize, &count, nullptr);
    if (returned)
        *returned = count;
    return ok ? 1 : 0;
}

uint32_t CPhysicalDevice::Cancel() { return ::CancelIo(reinterpret_cast<HANDLE>(m_handle)) ? 1 : 0; }
