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
// to standard error, except a line of an expected failure while standard error is a terminal. Thread-safe.
void DebugOutput(const std::string& line);

// While one lives, the diagnostic lines written on its thread report failures the caller expects (the
// board dialog opens the devices of lines a board does not have): they stay in the diagnostic channel
// (the debugger, a capturing sink, standard error sent to a file) but are not shown on a terminal.
class CExpectedFailures {
public:
    CExpectedFailures();
    ~CExpectedFailures();
    CExpectedFailures(const CExpectedFailures&) = delete;
    CExpectedFailures& operator=(const CExpectedFailures&) = delete;
};

// Replaces where diagnostic lines go (tests capture them); an empty function restores the default.
void SetDebugOutputSink(std::function<void(const std::string&)> sink);
