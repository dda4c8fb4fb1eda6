// Telling an absent device from a busy, refused or failing one, from the system's error codes.
#include "OpenFailure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

TEST(OpenFailure, ErrnoAndWindowsCodesSortIntoAbsentBusyRefusedAndFailed) {
    const struct {
        int error;
        OpenFailure kind;
    } posix[] = {
        {0, OpenFailure::None},
        {ENOENT, OpenFailure::Absent},
        {ENODEV, OpenFailure::Absent},
        {ENXIO, OpenFailure::Absent},
        {ENOTDIR, OpenFailure::Absent},
        {EBUSY, OpenFailure::Busy},
        {EWOULDBLOCK, OpenFailure::Busy},
        {EAGAIN, OpenFailure::Busy},
        {EACCES, OpenFailure::NotPermitted},
        {EPERM, OpenFailure::NotPermitted},
        {EROFS, OpenFailure::NotPermitted},
        {EIO, OpenFailure::Failed},
        {EISDIR, OpenFailure::Failed},
        {EMFILE, OpenFailure::Failed},
    };
    for (const auto& row : posix)
        EXPECT_EQ(OpenFailureFromErrno(row.error), row.kind) << "errno " << row.error;

    const struct {
        uint32_t error;
        OpenFailure kind;
    } windows[] = {
        {0, OpenFailure::None},     {2, OpenFailure::Absent},
        {3, OpenFailure::Absent},   {55, OpenFailure::Absent},
        {433, OpenFailure::Absent}, {1167, OpenFailure::Absent},
        {32, OpenFailure::Busy},    {170, OpenFailure::Busy},
        {2404, OpenFailure::Busy},  {5, OpenFailure::BusyOrNotPermitted},
        {21, OpenFailure::Failed},  {31, OpenFailure::Failed},
    };
    for (const auto& row : windows)
        EXPECT_EQ(OpenFailureFromWindowsError(row.error), row.kind) << "Windows error " << row.error;

    EXPECT_EQ(DescribeOpenError({OpenFailure::Busy, EWOULDBLOCK}), "busy (another program holds it)");
    EXPECT_EQ(DescribeOpenError({OpenFailure::NotPermitted, EACCES}), "not permitted (this user may not open it)");
    EXPECT_EQ(DescribeOpenError({OpenFailure::Failed, EIO}),
              "not opened (" + std::system_category().message(EIO) + ")");
}
