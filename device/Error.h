// CError, the exception of a failed device open, and the diagnostic output channel it writes to.
#pragma once

#include <functional>
#include <string>

#if defined(__GNUC__) || defined(__clang__)
#define VELTRIN_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELTRIN_PRINTF(fmt, args)
#endif

// Formats its message printf-style, ends it with CR LF and writes that one line to the diagnostic
// output. Carries no data; thrown by value.
class CError {
public:
    explicit CError(const char* format, ...) VELTRIN_PRINTF(2, 3);
    virtual ~CError() = default;
};

// Writes one diagnostic line (already ended by CR LF). On Windows it goes to the debugger; elsewhere
// to standard error. Thread-safe.
void DebugOutput(const std::string& line);

// Replaces where diagnostic lines go (tests capture them); an empty function restores the default.
void SetDebugOutputSink(std::function<void(const std::string&)> sink);
