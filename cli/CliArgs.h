// The command line of veltrin-cli: words, options with values and flags, and the errors that end a run
// with one of the program's exit codes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Exit codes, as production scripts test them.
enum ExitCode : int { kExitPass = 0, kExitFailed = 1, kExitUsage = 2, kExitDevice = 3 };

// Ends the command: the message goes to standard error, the code becomes the exit code. A usage error
// also shows the usage line of the command.
class CliError : public std::runtime_error {
public:
    CliError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int Code() const { return m_code; }

private:
    int m_code;
};

inline CliError UsageError(const std::string& message) { return CliError(kExitUsage, message); }
inline CliError DeviceError(const std::string& message) { return CliError(kExitDevice, message); }

class CliArgs {
public:
    // Splits the arguments after the program name; an unknown option or a valued option without its
    // value is a usage error.
    static CliArgs Parse(const std::vector<std::string>& arguments);

    const std::vector<std::string>& Words() const { return m_words; }
    // The word at `index`, or a usage error naming `what` when it is missing.
    const std::string& Word(size_t index, const char* what) const;
    bool Has(const std::string& option) const { return m_options.count(option) != 0 || m_flags.count(option) != 0; }
    std::optional<std::string> Value(const std::string& option) const;
    // The option's value as an unsigned number (decimal or 0x hexadecimal), or a usage error.
    std::optional<uint32_t> Number(const std::string& option) const;
    std::optional<double> Real(const std::string& option) const;
    // No more words than `count`: a usage error names the first extra one.
    void ExpectWords(size_t count) const;
    // Every option given is one of `allowed` or a global one: a usage error names the first that is not.
    void ExpectOptions(const std::set<std::string>& allowed) const;

private:
    std::vector<std::string> m_words;
    std::map<std::string, std::string> m_options;
    std::set<std::string> m_flags;
};

// The sample rates a command accepts; within them, the board may still refuse a rate.
inline constexpr uint32_t kMinRate = 100;
inline constexpr uint32_t kMaxRate = 192000;
// The longest time --for accepts: a day.
inline constexpr double kMaxSeconds = 86400.0;

// --for SECONDS: a plain decimal number (digits and at most one point), more than 0 and at most
// kMaxSeconds; for a stream, at least one sample's time at `rate` (or at kMinRate when the board's own
// rate is used). A usage error otherwise.
std::optional<double> Duration(const CliArgs& args, std::optional<uint32_t> rate = std::nullopt, bool stream = false);

// Unsigned decimal or 0x hexadecimal text that fits 32 bits; nothing otherwise.
std::optional<uint32_t> ParseNumber(const std::string& text);
// A positive finite decimal number; nothing otherwise.
std::optional<double> ParseReal(const std::string& text);
// A board number, line number or other unsigned word, or a usage error naming `what`.
uint32_t NumberWord(const std::string& text, const char* what);
