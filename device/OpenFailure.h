// Why a device name did not open: no such device (absent), or a device that is there but cannot be used
// now (held by another program, not permitted, failing), told apart by the system's error code.
#pragma once

#include <cstdint>
#include <string>

enum class OpenFailure {
    None,               // opened
    Absent,             // no device by that name
    Busy,               // held by another program
    NotPermitted,       // the user may not open it
    BusyOrNotPermitted, // the system does not tell the two apart (Windows' access denied)
    Failed,             // there, but the open failed otherwise
};

struct OpenError {
    OpenFailure kind = OpenFailure::None;
    int systemError = 0; // errno, or Windows' GetLastError
};

// The kind of failure an errno of open(2) or flock(2) means.
OpenFailure OpenFailureFromErrno(int error);
// The kind of failure a Windows error code of CreateFile means (codes by value, so this builds anywhere).
OpenFailure OpenFailureFromWindowsError(uint32_t error);

// "busy (another program holds it)" and the like, for a message that names the device first; the system's
// own text is added for a failure that is neither absence nor busy nor refused.
std::string DescribeOpenError(const OpenError& error);
