// Mapping the system's open errors to absent, busy, not permitted or failed.
#include "OpenFailure.h"

#include <cerrno>
#include <system_error>

OpenFailure OpenFailureFromErrno(int error) {
    switch (error) {
    case 0:
        return OpenFailure::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return OpenFailure::Absent;
    case EBUSY:
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return OpenFailure::Busy; // flock's answer for a device another process holds
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenFailure::NotPermitted;
    default:
        return OpenFailure::Failed;
    }
}

OpenFailure OpenFailureFromWindowsError(uint32_t error) {
    // The Win32 error codes CreateFile gives for device names.
    constexpr uint32_t kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5, kBadUnit = 20, kSharingViolation = 32,
                       kLockViolation = 33, kDevNotExist = 55, kInvalidName = 123, kBusy = 170, kNoSuchDevice = 433,
                       kDeviceNotConnected = 1167, kDeviceInUse = 2404;
    switch (error) {
    case 0:
        return OpenFailure::None;
    case kFileNotFound:
    case kPathNotFound:
    case kBadUnit:
    case kDevNotExist:
    case kInvalidName:
    case kNoSuchDevice:
    case kDeviceNotConnected:
        return OpenFailure::Absent;
    case kSharingViolation:
    case kLockViolation:
    case kBusy:
    case kDeviceInUse:
        return OpenFailure::Busy;
    case kAccessDenied:
        // A device opened exclusively by another program answers access denied, as does one the user may
        // not open.
        return OpenFailure::BusyOrNotPermitted;
    default:
        return OpenFailure::Failed;
    }
}

std::string DescribeOpenError(const OpenError& error) {
    switch (error.kind) {
    case OpenFailure::None:
        return "open";
    case OpenFailure::Absent:
        return "absent";
    case OpenFailure::Busy:
        return "busy (another program holds it)";
    case OpenFailure::NotPermitted:
        return "not permitted (this user may not open it)";
    case OpenFailure::BusyOrNotPermitted:
        return "busy or not permitted (another program holds it, or this user may not open it)";
    case OpenFailure::Failed:
        break;
    }
    return "not opened (" + std::system_category().message(error.systemError) + ")";
}
