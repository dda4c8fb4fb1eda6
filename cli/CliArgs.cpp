// Splitting veltrin-cli's command line.
#include "CliArgs.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

const std::set<std::string> kValued = {
    "driver-library", "memory",    "start", "count",          "out",          "in",        "format",
    "interval",       "for",       "file",  "sine",           "ampl",         "rate",      "lines",
    "max-voltage",    "junit",     "jobs",  "expect-boards",  "fixture",      "min-level", "max-level",
    "max-thdn",       "max-noise", "freq",  "freq-tolerance", "max-crosstalk"};
// Those of the test records (the records command and the testing commands).
const std::set<std::string> kRecordValued = {"records", "station", "operator", "mode",    "board",
                                             "command", "since",   "until",    "outcome", "limit"};
const std::set<std::string> kFlags = {"json", "demo",    "yes",   "tone",    "pulse",   "watch", "loopback",
                                      "help", "version", "quiet", "verbose", "no-wait", "strict"};
// Those of the process statistics (records stats and report) and of the warnings of the testing commands.
const std::set<std::string> kStatsValued = {"step", "html", "warn-cpk", "warn-window"};
const std::set<std::string> kStatsFlags = {"all-attempts"};
// The one-letter forms.
const std::map<std::string, std::string> kShort = {{"-h", "help"}, {"-q", "quiet"}, {"-v", "verbose"}};

} // namespace

std::optional<uint32_t> ParseNumber(const std::string& text) {
    if (text.empty() || text.front() == '-' || text.front() == '+' || text.front() == ' ')
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.c_str() + (hex ? 2 : 0);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(begin, &end, hex ? 16 : 10);
    if (errno != 0 || end == begin || *end != '\0' || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<double> ParseReal(const std::string& text) {
    if (text.empty() || text.front() == ' ')
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return value;
}

uint32_t NumberWord(const std::string& text, const char* what) {
    const auto value = ParseNumber(text);
    if (!value)
        throw UsageError(std::string("\"") + text + "\" is not a valid " + what);
    return *value;
}

CliArgs CliArgs::Parse(const std::vector<std::string>& arguments) {
    CliArgs args;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (const auto shortForm = kShort.find(a); shortForm != kShort.end()) {
            if (!args.m_flags.insert(shortForm->second).second)
                throw UsageError("--" + shortForm->second + " is given twice");
            continue;
        }
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            args.m_words.push_back(a);
            continue;
        }
        std::string name = a.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (args.Has(name))
            throw UsageError("--" + name + " is given twice");
        if ((kFlags.count(name) != 0 || kStatsFlags.count(name) != 0) && !inlineValue) {
            args.m_flags.insert(name);
        } else if (kValued.count(name) != 0 || kRecordValued.count(name) != 0 || kStatsValued.count(name) != 0) {
            if (!inlineValue && i + 1 >= arguments.size())
                throw UsageError("--" + name + " needs a value");
            args.m_options[name] = inlineValue ? *inlineValue : arguments[++i];
        } else {
            throw UsageError("unknown option " + a);
        }
    }
    return args;
}

const std::string& CliArgs::Word(size_t index, const char* what) const {
    if (index >= m_words.size())
        throw UsageError(std::string("missing ") + what);
    return m_words[index];
}

std::optional<std::string> CliArgs::Value(const std::string& option) const {
    const auto it = m_options.find(option);
    if (it == m_options.end())
        return std::nullopt;
    return it->second;
}

std::optional<uint32_t> CliArgs::Number(const std::string& option) const {
    const auto text = Value(option);
    if (!text)
        return std::nullopt;
    const auto value = ParseNumber(*text);
    if (!value)
        throw UsageError("--" + option + ": \"" + *text + "\" is not a valid number");
    return value;
}

std::optional<double> CliArgs::Real(const std::string& option) const {
    const auto text = Value(option);
    if (!text)
        return std::nullopt;
    const auto value = ParseReal(*text);
    if (!value)
        throw UsageError("--" + option + ": \"" + *text + "\" is not a valid positive number");
    return value;
}

void CliArgs::ExpectOptions(const std::set<std::string>& allowed) const {
    // The options of the program as a whole apply to every command.
    static const std::set<std::string> global = {"driver-library", "demo", "json", "quiet", "verbose", "help"};
    const auto check = [&](const std::string& name) {
        if (allowed.count(name) == 0 && global.count(name) == 0)
            throw UsageError("--" + name + " does not apply to this command");
    };
    for (const auto& [name, value] : m_options)
        check(name);
    for (const std::string& name : m_flags)
        check(name);
}

void CliArgs::ExpectWords(size_t count) const {
    if (m_words.size() > count)
        throw UsageError("unexpected argument \"" + m_words[count] + "\"");
}

std::optional<double> Duration(const CliArgs& args, std::optional<uint32_t> rate, bool stream) {
    const auto text = args.Value("for");
    if (!text)
        return std::nullopt;
    const auto bad = [&](const std::string& why) { return UsageError("--for: \"" + *text + "\" " + why); };
    int points = 0;
    int digits = 0;
    for (char ch : *text) {
        if (ch == '.')
            ++points;
        else if (ch >= '0' && ch <= '9')
            ++digits;
        else
            throw bad("is not a plain decimal number of seconds");
    }
    if (points > 1 || digits == 0)
        throw bad("is not a plain decimal number of seconds");
    // Digits and one point only: at most kMaxSeconds is checked on the text's value, which strtod reads
    // exactly enough for that comparison.
    const double seconds = std::strtod(text->c_str(), nullptr);
    if (!(seconds > 0))
        throw bad("is not more than 0 s");
    if (seconds > kMaxSeconds)
        throw bad("is more than the " + std::to_string(static_cast<int>(kMaxSeconds)) + " s allowed");
    if (stream && seconds * rate.value_or(kMinRate) < 1.0)
        throw bad("is shorter than one sample at " + std::to_string(rate.value_or(kMinRate)) + " samples/s");
    return seconds;
}
