// The phone line commands of veltrin-cli: state, hook, dialling and line settings, over the same requests
// as the phone line page and its dialogs.
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "DialKeys.h"
#include "LineRequests.h"
#include "LineSettingsFields.h"

#include <QJsonDocument>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Time the board gets for one digit before the next is sent.
constexpr auto kToneDigitPause = 150ms;
constexpr auto kPulseDigitPause = 900ms;
constexpr auto kWatchPeriod = 100ms;

int LineWord(const CliArgs& args, size_t index) { return LineNumber(args.Word(index, "LINE")); }

CRecord StateRecord(int line, CDevice& device, bool shortForm) {
    CRecord r;
    r.Add("line", QJsonValue(line), QString::number(line));
    const auto state = GetLineState(device);
    if (!state)
        throw DeviceError("cannot get the state of line " + std::to_string(line));
    const QString hook = (state->state & LineState::kOffHook)  ? QStringLiteral("off")
                         : (state->state & LineState::kOnHook) ? QStringLiteral("on")
                                                               : QStringLiteral("unknown");
    r.Add("hook", hook);
    r.Add("ringing", (state->state & LineState::kRinging) != 0);
    r.Add("rings", static_cast<double>(state->rings));
    r.Add("voltage", static_cast<double>(state->voltage));
    r.Add("controlInput", state->controlInput != 0);
    r.Add("number", QString::fromLatin1(state->NumberText().c_str()));
    if (shortForm) {
        const auto s = GetLineStateShort(device);
        if (!s)
            throw DeviceError("cannot get the short state of line " + std::to_string(line));
        r.Add("externalInput", static_cast<double>(s->externalInput));
        r.Add("sensorPower", static_cast<double>(s->sensorPower));
        r.Add("compensation", static_cast<double>(s->compensation));
        r.Add("tape", static_cast<double>(s->tape));
    }
    return r;
}

int LineStatus(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(4);
    args.ExpectOptions({"watch", "for"});
    if (args.Has("for") && !args.Has("watch"))
        throw UsageError("--for goes with --watch");
    const auto board = c.Open(2);
    std::vector<int> lines;
    if (args.Words().size() > 3) {
        lines.push_back(LineWord(args, 3));
        board->LineIn(lines.back());
    } else {
        for (int n = 0; n < board->Lines(); ++n)
            lines.push_back(n);
    }
    if (lines.empty())
        throw UsageError("this board has no phone lines");
    const bool shortForm = board->model->lineOptions;
    const auto once = [&] {
        std::vector<CRecord> rows;
        for (int line : lines)
            rows.push_back(StateRecord(line, board->LineIn(line), shortForm));
        return rows;
    };
    if (!args.Has("watch")) {
        PrintTable(once(), c.Json());
        return kExitPass;
    }
    // Watching: one line (or JSON object) per change, until the time given is up or the program is ended.
    const double seconds = Duration(args).value_or(0.0);
    const auto begin = std::chrono::steady_clock::now();
    std::vector<QString> last(lines.size());
    for (;;) {
        c.Watch().Arm(CliContext::kDefaultBudget); // each round of requests answers in time
        const auto rows = once();
        for (size_t i = 0; i < rows.size(); ++i) {
            const QString line = rows[i].Line();
            if (line == last[i])
                continue;
            last[i] = line;
            const QByteArray text = c.Json() ? JsonLine(rows[i]) : line.toUtf8();
            WriteStdout(text + '\n');
        }
        if (StopSignal())
            return kExitFailed; // main reports the signal
        if (seconds > 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() >= seconds)
            return kExitPass;
        std::this_thread::sleep_for(kWatchPeriod);
    }
}

int LineHook(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(5);
    args.ExpectOptions({});
    const auto board = c.Open(2);
    const int line = LineWord(args, 3);
    const std::string& where = args.Word(4, "up or down");
    if (where != "up" && where != "down")
        throw UsageError("\"" + where + "\" is not up or down");
    if (board->model->hookLocked)
        throw UsageError("this board does not take the hook from the program");
    if (!SetLineState(board->LineIn(line),
                      LineState::Command(where == "up" ? LineState::kHookUp : LineState::kHookDown)))
        throw DeviceError("the board refused the hook command");
    PrintTable({StateRecord(line, board->LineIn(line), false)}, c.Json());
    return kExitPass;
}

int LineDial(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(5);
    args.ExpectOptions({"tone", "pulse"});
    const bool tone = args.Has("tone");
    if (tone == args.Has("pulse"))
        throw UsageError("give one of --tone and --pulse");
    const std::string& digits = args.Word(4, "DIGITS");
    std::vector<const DialKey*> keys;
    for (char ch : digits) {
        const DialKey* found = nullptr;
        for (const DialKey& key : kDialKeys)
            if (key.character == ch)
                found = &key;
        if (!found)
            throw UsageError(std::string("\"") + ch + "\" is not a dial digit (0-9 * # A-D)");
        if (found->toneOnly && !tone)
            throw UsageError(std::string("\"") + ch + "\" can only be dialled by tone");
        keys.push_back(found);
    }
    const auto board = c.Open(2);
    const int line = LineWord(args, 3);
    CDevice& device = board->LineIn(line);
    if (board->model->hookLocked)
        throw UsageError("this board does not dial from the program");
    std::string dialled;
    for (const DialKey* key : keys) {
        c.Watch().Arm(CliContext::kDefaultBudget);
        if (!SetLineState(device, LineState::DigitCommand(key->code, tone ? 1 : 0)))
            throw DeviceError("the board refused digit " + std::string(1, key->character) + " after \"" + dialled +
                              "\"");
        dialled += key->character;
        std::this_thread::sleep_for(tone ? kToneDigitPause : kPulseDigitPause);
    }
    CRecord r;
    r.Add("line", QJsonValue(line), QString::number(line));
    r.Add("dialled", QString::fromStdString(dialled));
    r.Add("mode", tone ? QStringLiteral("tone") : QStringLiteral("pulse"));
    PrintRecord(r, c.Json());
    return kExitPass;
}

// The levels block's field at a byte offset of the block.
uint16_t& LevelAt(LineLevels& levels, size_t offset) {
    return offset == 0 ? levels.beepAmplitude : levels.dialAmplitude;
}

CRecord SettingsRecord(int line, const LineSettings& settings, LineLevels levels) {
    CRecord r;
    r.Add("line", QJsonValue(line), QString::number(line));
    for (const SettingsControl& control : kSettingsControls) {
        const uint16_t value =
            control.block == SettingsBlock::Settings ? settings.At(control.offset) : LevelAt(levels, control.offset);
        r.Add(QString::fromLatin1(control.name), static_cast<double>(value));
    }
    return r;
}

int LineSettingsCommand(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectOptions({});
    const std::string& action = args.Word(2, "get or set");
    if (action != "get" && action != "set")
        throw UsageError("\"" + action + "\" is not get or set");
    if (action == "get")
        args.ExpectWords(5);
    const auto board = c.Open(3);
    const int line = LineWord(args, 4);
    CDevice& device = board->LineIn(line);
    auto settings = GetLineSettings(device);
    auto levels = GetLineLevels(device);
    if (!settings || !levels)
        throw DeviceError("cannot get the settings of line " + std::to_string(line));
    if (action == "set") {
        if (args.Words().size() <= 5)
            throw UsageError("nothing to set: give NAME=VALUE ...");
        for (size_t i = 5; i < args.Words().size(); ++i) {
            const std::string& pair = args.Words()[i];
            const size_t eq = pair.find('=');
            const SettingsControl* control = nullptr;
            for (const SettingsControl& candidate : kSettingsControls)
                if (eq != std::string::npos && pair.compare(0, eq, candidate.name) == 0 &&
                    std::strlen(candidate.name) == eq)
                    control = &candidate;
            if (!control)
                throw UsageError("\"" + pair + "\" is not NAME=VALUE with a setting's name");
            const uint32_t value = NumberWord(pair.substr(eq + 1), "setting value");
            if (value > 0xFFFF)
                throw UsageError("\"" + pair + "\": a setting is one 16-bit word");
            if (control->block == SettingsBlock::Settings) {
                settings->Set(control->offset, static_cast<uint16_t>(value));
            } else {
                LevelAt(*levels, control->offset) = static_cast<uint16_t>(value);
            }
        }
        if (!SetLineSettings(device, *settings) || !SetLineLevels(device, *levels))
            throw DeviceError("cannot set the settings of line " + std::to_string(line));
        settings = GetLineSettings(device);
        levels = GetLineLevels(device);
        if (!settings || !levels)
            throw DeviceError("cannot get the settings of line " + std::to_string(line));
    }
    PrintRecord(SettingsRecord(line, *settings, *levels), c.Json());
    return kExitPass;
}

} // namespace

int RunLine(CliContext& c) {
    const std::string& action = c.Args().Word(1, "status, hook, dial or settings");
    if (action == "status")
        return LineStatus(c);
    if (action == "hook")
        return LineHook(c);
    if (action == "dial")
        return LineDial(c);
    if (action == "settings")
        return LineSettingsCommand(c);
    throw UsageError("\"" + action + "\" is not status, hook, dial or settings");
}
