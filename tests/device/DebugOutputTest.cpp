// Where diagnostic lines go: expected failures stay off a terminal but reach standard error sent elsewhere.
#include "Error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

// Runs `write` with standard error on `fd`, then puts standard error back.
template <typename Fn> void WithStderrOn(int fd, Fn write) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(fd, STDERR_FILENO);
    write();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}

// What arrived on `fd` within a short bound.
std::string Drain(int fd) {
    std::string text;
    char buffer[512];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 200) > 0 && (p.revents & POLLIN)) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

} // namespace

TEST(DebugOutput, ExpectedFailuresStayOffATerminalButReachAFile) {
    for (const bool terminal : {true, false}) {
        SCOPED_TRACE(terminal ? "terminal" : "file");
        int reader = -1, writer = -1;
        if (terminal) {
            reader = ::posix_openpt(O_RDWR | O_NOCTTY);
            ASSERT_GE(reader, 0);
            ASSERT_EQ(::grantpt(reader), 0);
            ASSERT_EQ(::unlockpt(reader), 0);
            writer = ::open(::ptsname(reader), O_RDWR | O_NOCTTY);
        } else {
            int pipeEnds[2];
            ASSERT_EQ(::pipe(pipeEnds), 0);
            reader = pipeEnds[0];
            writer = pipeEnds[1];
        }
        ASSERT_GE(writer, 0);
        WithStderrOn(writer, [] {
            DebugOutput("ERROR: shown always\r\n");
            {
                CExpectedFailures expected;
                DebugOutput("ERROR: expected one\r\n");
            }
            DebugOutput("ERROR: shown again\r\n");
        });
        const std::string text = Drain(reader);
        EXPECT_NE(text.find("ERROR: shown always"), std::string::npos) << text;
        EXPECT_NE(text.find("ERROR: shown again"), std::string::npos) << text;
        EXPECT_EQ(text.find("ERROR: expected one") != std::string::npos, !terminal) << text;
        ::close(writer);
        ::close(reader);
    }
}
