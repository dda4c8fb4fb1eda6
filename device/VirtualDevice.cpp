// Routing of the device operations to the driver library.
#include "VirtualDevice.h"

#include "DriverLibrary.h"
#include "Error.h"

namespace {
constexpr const char* kVirtualSourceFile = "VirtualDevice.cpp";
}

CVirtualDevice::CVirtualDevice(const CDriverLibrary& library, const std::string& name) {
    m_create = library.Function<DriverCreateFn>("Create");
    m_read = library.Function<DriverReadFn>("Read");
    m_write = library.Function<DriverWriteFn>("Write");
    m_control = library.Function<DriverControlFn>("DevIoControl");
    m_close = library.Function<DriverCloseFn>("Close");
    m_cancel = library.Function<DriverCancelFn>("Cancel");
    if (!m_create || !m_read || !m_write || !m_control || !m_close)
        throw CError("ERROR: Incorrect DLL-version; File: %s Line: %d", kVirtualSourceFile, __LINE__);
    m_handle = m_create(name.c_str());
    if (m_handle == -1)
        throw CError("ERROR: Can't create file %s; File: %s Line: %d", name.c_str(), kVirtualSourceFile, __LINE__);
}

CVirtualDevice::~CVirtualDevice() {
    if (m_handle == -1)
        return;
    try {
        m_close(m_handle);
    } catch (...) {
        // A library that throws from Close must not take the program down with it.
    }
}

namespace {
// A library that reports more bytes than the buffer holds misbehaves: the operation fails with no bytes.
uint32_t Bounded(uint32_t ok, uint32_t size, uint32_t* count) {
    if (count && *count > size) {
        *count = 0;
        return 0;
    }
    return ok;
}
} // namespace

uint32_t CVirtualDevice::Read(void* buffer, uint32_t size, uint32_t* done) {
    return Bounded(static_cast<uint32_t>(m_read(m_handle, buffer, size, done)), size, done);
}

uint32_t CVirtualDevice::Write(const void* buffer, uint32_t size, uint32_t* done) {
    return Bounded(static_cast<uint32_t>(m_write(m_handle, buffer, size, done)), size, done);
}

uint32_t CVirtualDevice::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                      uint32_t outputSize, uint32_t* returned) {
    return Bounded(static_cast<uint32_t>(m_control(m_handle, code, input, inputSize, output, outputSize, returned)),
                   outputSize, returned);
}

uint32_t CVirtualDevice::Cancel() { return m_cancel && m_cancel(m_handle) ? 1 : 0; }
