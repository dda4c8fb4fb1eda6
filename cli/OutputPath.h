// Checks of a file a command is to write, made before anything is sent to a board: a folder, a missing
// folder or a file that may not be written is a usage error then, not a failure after the test.
#pragma once

#include <string>

// `option` names the option in the message ("--junit").
void CheckOutputPath(const std::string& option, const std::string& path);

// Opens a device or pipe for writing without hanging on it: a FIFO without a reader is tried again
// until one comes, `timeoutMs` pass or a stop signal comes (a device error then). Returns the
// descriptor, blocking again once open.
int OpenDeviceForWriting(const std::string& path, int timeoutMs = 10000);
// Writes all of `bytes` to `fd`, continuing short writes; false when a write fails.
bool WriteAll(int fd, const char* bytes, size_t size);
