// Diagnostic line formatting and the process-wide output channel.
#include "Error.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {
std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}
std::function<void(const std::string&)>& Sink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}
thread_local int t_expectedFailures = 0;
} // namespace

CExpectedFailures::CExpectedFailures() { ++t_expectedFailures; }
CExpectedFailures::~CExpectedFailures() { --t_expectedFailures; }

CError::CError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line;
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        line.assign(text.data(), static_cast<size_t>(length));
    }
    va_end(args);
    line += "\r\n";
    DebugOutput(line);
}

void DebugOutput(const std::string& line) {
    std::lock_guard lock(SinkMutex());
    if (Sink()) {
        Sink()(line);
        return;
    }
#ifdef _WIN32
    OutputDebugStringA(line.c_str());
#else
    if (t_expectedFailures > 0 && ::isatty(STDERR_FILENO))
        return;
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::fprintf(stderr, "%s\n", text.c_str());
#endif
}

void SetDebugOutputSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(SinkMutex());
    Sink() = std::move(sink);
}
