// Running the calibration fixture as a process group of its own.
#include "Fixture.h"

#include "CliArgs.h"
#include "CliSignals.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Ends the whole group: politely, then for good after a short grace. Reaps the fixture itself.
void EndGroup(pid_t group, bool reaped) {
    ::kill(-group, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::milliseconds(300);
    int status = 0;
    while (!reaped && Clock::now() < deadline) {
        const pid_t done = ::waitpid(group, &status, WNOHANG);
        reaped = done == group || (done < 0 && errno != EINTR);
        if (!reaped)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-group, SIGKILL);
    while (!reaped) {
        const pid_t done = ::waitpid(group, &status, 0);
        reaped = done == group || (done < 0 && errno != EINTR);
    }
}

} // namespace

void RunFixture(const std::string& command, uint32_t volts, int timeoutMs) {
    QStringList words = QProcess::splitCommand(QString::fromLocal8Bit(command.c_str()));
    if (words.isEmpty())
        throw UsageError("--fixture: no command given");
    words << QString::number(volts);
    std::vector<std::string> arguments;
    for (const QString& w : words)
        arguments.push_back(QFile::encodeName(w).toStdString());
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int ready[2];
    // Closed on exec: a read of it ends at once when the command started, or brings exec's error.
    if (::pipe2(ready, O_CLOEXEC) != 0)
        throw DeviceError("cannot start the fixture " + command);
    const pid_t child = ::fork();
    if (child < 0)
        throw DeviceError("cannot start the fixture " + command);
    if (child == 0) {
        // Its own group, so that it and all it starts can be ended together; its output is diagnostics.
        ::setpgid(0, 0);
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::close(ready[0]);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        ::execvp(argv[0], argv.data());
        const int error = errno;
        (void)!::write(ready[1], &error, sizeof error);
        ::_exit(127);
    }
    ::setpgid(child, child); // also here, so that the group exists before any kill below
    ::close(ready[1]);
    int execError = 0;
    const bool failedToRun = ::read(ready[0], &execError, sizeof execError) == static_cast<ssize_t>(sizeof execError);
    ::close(ready[0]);
    if (failedToRun) {
        EndGroup(child, false);
        throw DeviceError("cannot start the fixture " + command + ": " + std::strerror(execError));
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            // Whatever it left running in its group is ended with it.
            ::kill(-child, SIGTERM);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                throw DeviceError("the fixture " + command + " failed to set " + std::to_string(volts) + " V (" +
                                  (WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                                     : "signal " + std::to_string(WTERMSIG(status))) +
                                  ")");
            return;
        }
        if (done < 0 && errno != EINTR) {
            ::kill(-child, SIGKILL);
            throw DeviceError("lost the fixture " + command);
        }
        if (const int signal = StopSignal()) {
            EndGroup(child, false);
            throw DeviceError("the fixture was ended by signal " + std::to_string(signal));
        }
        if (Clock::now() >= deadline) {
            EndGroup(child, false);
            throw DeviceError("the fixture " + command + " did not set " + std::to_string(volts) + " V within " +
                              std::to_string(timeoutMs / 1000) + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
