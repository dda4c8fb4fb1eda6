// POSIX implementation of the kernel device: open + exclusive flock, read, write, one ioctl request.
#include "PhysicalDevice.h"

#include "DeviceIoctl.h"
#include "Error.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr const char* kSourceFile = "PhysicalDevice.cpp";
}

std::string CPhysicalDevice::SystemPath(const std::string& name) {
    const char* rootVar = std::getenv("VELTRIN_DEVICE_ROOT");
    std::string root = (rootVar && *rootVar) ? rootVar : "/dev";
    std::string rest = name;
    if (rest.rfind("\\\\.\\", 0) == 0)
        rest.erase(0, 4);
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    if (!root.empty() && root.back() == '/')
        root.pop_back();
    return root + "/" + rest;
}

namespace {
intptr_t Failure(OpenError* why, int error) {
    if (why)
        *why = {OpenFailureFromErrno(error), error};
    return -1;
}
} // namespace

intptr_t CPhysicalDevice::OpenHandle(const std::string& name, OpenError* why) {
    const std::string path = SystemPath(name);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Failure(why, errno);
    // Share mode 0: a second open of the same device must fail while this one is held.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return Failure(why, error);
    }
    if (why)
        *why = {};
    return fd;
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
        ::close(static_cast<int>(m_handle));
}

uint32_t CPhysicalDevice::Read(void* buffer, uint32_t size, uint32_t* done) {
    ssize_t n;
    do {
        n = ::read(static_cast<int>(m_handle), buffer, size);
    } while (n < 0 && errno == EINTR);
    if (done)
        *done = n > 0 ? static_cast<uint32_t>(n) : 0;
    return n >= 0 ? 1 : 0;
}

uint32_t CPhysicalDevice::Write(const void* buffer, uint32_t size, uint32_t* done) {
    ssize_t n;
    do {
        n = ::write(static_cast<int>(m_handle), buffer, size);
    } while (n < 0 && errno == EINTR);
    if (done)
        *done = n > 0 ? static_cast<uint32_t>(n) : 0;
    return n >= 0 ? 1 : 0;
}

uint32_t CPhysicalDevice::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                       uint32_t outputSize, uint32_t* returned) {
    veltrin_control_request request{};
    request.code = code;
    request.input_size = inputSize;
    request.output_size = outputSize;
    request.input = reinterpret_cast<uintptr_t>(input);
    request.output = reinterpret_cast<uintptr_t>(output);
    int result;
    do {
        result = ::ioctl(static_cast<int>(m_handle), VELTRIN_IOCTL_CONTROL, &request);
    } while (result < 0 && errno == EINTR);
    const bool ok = result == 0 && request.returned <= outputSize;
    if (returned)
        *returned = ok ? request.returned : 0;
    return ok ? 1 : 0;
}

uint32_t CPhysicalDevice::Cancel() { return ::ioctl(static_cast<int>(m_handle), VELTRIN_IOCTL_CANCEL) == 0 ? 1 : 0; }
