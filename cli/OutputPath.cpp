// The output path check: what exists there and whether this user may write it.
#include "OutputPath.h"

#include "CliArgs.h"
#include "CliSignals.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

void CheckOutputPath(const std::string& option, const std::string& path) {
    if (path.empty())
        throw UsageError(option + ": no file named");
    const QString name = QFile::decodeName(path.c_str());
    const QFileInfo info(name);
    if (info.isDir())
        throw UsageError(option + ": " + path + " is a folder");
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        throw UsageError(option + ": the folder " + folder.filePath().toStdString() + " does not exist");
    if (info.exists()) {
        // A file that may not be written is never replaced, even where its folder would allow it.
        if (::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) != 0)
            throw UsageError(option + ": " + path + " may not be written");
        if (!info.isFile())
            return; // a device or pipe is written in place
    }
    if (::access(QFile::encodeName(folder.absoluteFilePath()).constData(), W_OK) != 0)
        throw UsageError(option + ": cannot write a file in " + folder.filePath().toStdString());
}

int OpenDeviceForWriting(const std::string& path, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Non-blocking, so that a FIFO nobody reads yet answers ENXIO instead of holding the program.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0)
                ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            return fd;
        }
        const int error = errno;
        if (error != ENXIO && error != EINTR && error != EAGAIN)
            throw DeviceError("cannot open " + path + ": " + std::strerror(error));
        if (const int signal = StopSignal())
            throw DeviceError("stopped by signal " + std::to_string(signal) + " while waiting for a reader of " + path);
        if (std::chrono::steady_clock::now() >= deadline)
            throw DeviceError("nobody reads " + path + ": gave up after " + std::to_string(timeoutMs / 1000) + " s");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool WriteAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}
