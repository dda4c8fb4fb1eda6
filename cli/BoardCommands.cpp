// The board commands of veltrin-cli: list, info, memory, identity, prefix, program load, watchdog and
// voltmeter calibration, over the same requests as the maintenance and calibration pages.
#include "BoardMaintenance.h"
#include "CalibrationBlocks.h"
#include "CalibrationRequests.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "DeviceRequests.h"
#include "DriverLibrary.h"
#include "DumpText.h"
#include "Fixture.h"
#include "MemoryBlocks.h"
#include "RequestCodes.h"
#include "SelfTestReport.h"
#include "StreamRequests.h"

#include <QProcess>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

// The maximum voltage, its answer checked for success and size.
uint16_t ReadMaxVoltage(CDevice& cfg) {
    const auto answer = QueryRaw<MaxVoltageBlock::kSize>(cfg, req::kGetMaxVoltage);
    if (answer.ok != 1 || answer.returned != MaxVoltageBlock::kSize)
        throw DeviceError("the maximum voltage request " +
                          std::string(answer.ok != 1 ? "failed" : "was answered short"));
    return MaxVoltageBlock::Decode(answer.bytes.data(), answer.returned)->volts;
}

using namespace std::chrono_literals;

// The settle time the memory page leaves between a reset and the program load.
constexpr auto kResetSettle = 500ms;
// The memory page kicks the watchdog this often.
constexpr auto kKickPeriod = 2ms;
// The words each memory holds: the DSP's on-chip memory and the bridge's configuration EEPROM.
constexpr uint32_t kDaramWords = 0x10000;
constexpr uint32_t kEepromWords = 256;

std::string Text(const QString& text) { return text.toStdString(); }

CRecord BoardRow(size_t number, const FoundBoard& b) {
    CRecord r;
    r.Add("board", QJsonValue(static_cast<int>(number)), QString::number(number));
    r.Add("name", QString::fromLatin1(b.record.name.c_str()));
    r.Add("type", QJsonValue(static_cast<double>(b.record.type)), Hex(b.record.type));
    r.Add("id", QJsonValue(static_cast<double>(b.record.boardId)), QString::number(b.record.boardId));
    r.Add("lines", QJsonValue(static_cast<int>(b.record.channels)), QString::number(b.record.channels));
    r.Add("settings", QJsonValue(b.record.index), QString::number(b.record.index));
    if (!b.error.empty())
        r.Add("error", QString::fromStdString(b.error));
    return r;
}

MemoryKind ParseMemory(const CliArgs& args) {
    const auto memory = args.Value("memory");
    if (!memory)
        throw UsageError("--memory daram|eeprom is required");
    if (*memory == "daram")
        return MemoryKind::Daram;
    if (*memory == "eeprom")
        return MemoryKind::Eeprom;
    throw UsageError("--memory: \"" + *memory + "\" is not daram or eeprom");
}

// The words from `start` on lie inside the memory; nothing wraps around its end.
void CheckRange(MemoryKind kind, uint32_t start, uint32_t count) {
    const uint32_t words = kind == MemoryKind::Daram ? kDaramWords : kEepromWords;
    if (count == 0 || start >= words || count > words - start)
        throw UsageError("words " + Text(Hex(start)) + " to " + Text(Hex(start + count - 1)) + " lie outside the " +
                         (kind == MemoryKind::Daram ? "DARAM" : "EEPROM") + " (" + Text(Hex(0)) + " to " +
                         Text(Hex(words - 1)) + ")");
}

uint32_t Required(const CliArgs& args, const char* option) {
    const auto value = args.Number(option);
    if (!value)
        throw UsageError(std::string("--") + option + " is required");
    return *value;
}

int MemoryRead(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(3);
    args.ExpectOptions({"memory", "start", "count", "out", "format"});
    const MemoryKind kind = ParseMemory(args);
    const uint32_t start = Required(args, "start");
    const uint32_t count = Required(args, "count");
    if (count == 0)
        throw UsageError("--count must be 1 or more words");
    CheckRange(kind, start, count);
    const std::string format = args.Value("format").value_or("text");
    if (format != "bin" && format != "text")
        throw UsageError("--format: \"" + format + "\" is not bin or text");
    const auto out = args.Value("out");
    if (format == "bin" && !out)
        throw UsageError("--format bin needs --out FILE");
    const auto board = c.Open(2);
    // An answer claiming more bytes than asked fails the request; one with fewer is a device error here.
    std::vector<uint8_t> bytes(size_t{count} * 2);
    uint32_t returned = 0;
    const MemoryOperation op{start, count, MemoryOperation::kRead, static_cast<uint16_t>(kind)};
    if (const Failure failure =
            ReadMemory(board->Cfg(), op, bytes.data(), static_cast<uint32_t>(bytes.size()), &returned))
        throw DeviceError(Text(*failure));
    if (returned != count * 2)
        throw DeviceError("the memory read of " + std::to_string(count * 2) + " bytes was answered with " +
                          std::to_string(returned) + " bytes");
    bytes.resize(returned);

    if (out && format == "bin") {
        WriteFileReplacing(
            *out, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
        return kExitPass;
    }
    std::vector<std::string> lines;
    for (size_t w = 0; w * 2 < bytes.size(); w += kDumpWordsPerLine) {
        const size_t words = std::min<size_t>(kDumpWordsPerLine, bytes.size() / 2 - w);
        lines.push_back(DumpLine(start + static_cast<uint32_t>(w), bytes.data() + w * 2, words));
    }
    if (out) {
        QByteArray text;
        for (const std::string& line : lines)
            text += QByteArray::fromStdString(line) + '\n';
        WriteFileReplacing(*out, text);
        return kExitPass;
    }
    if (c.Json()) {
        QJsonArray words;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            words.append(GetMemoryWord(bytes.data(), static_cast<uint32_t>(i / 2)));
        CRecord r;
        r.Add("start", QJsonValue(static_cast<double>(start)), Hex(start));
        r.Add("words", QJsonValue(words), QString());
        PrintRecord(r, true);
    } else if (!c.Quiet()) {
        QByteArray text;
        for (const std::string& line : lines)
            text += QByteArray::fromStdString(line) + '\n';
        WriteStdout(text);
    }
    return kExitPass;
}

int MemoryWrite(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectOptions({"memory", "start", "in"});
    const MemoryKind kind = ParseMemory(args);
    const uint32_t start = Required(args, "start");
    std::vector<uint8_t> bytes;
    if (const auto in = args.Value("in")) {
        args.ExpectWords(3);
        std::ifstream file(*in, std::ios::binary);
        if (!file)
            throw UsageError("cannot open " + *in);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        bytes.resize(bytes.size() / 2 * 2);
    } else {
        for (size_t i = 3; i < args.Words().size(); ++i) {
            const uint32_t word = NumberWord(args.Words()[i], "memory word");
            if (word > 0xFFFF)
                throw UsageError("\"" + args.Words()[i] + "\" does not fit a 16-bit word");
            bytes.push_back(static_cast<uint8_t>(word & 0xFF));
            bytes.push_back(static_cast<uint8_t>(word >> 8));
        }
    }
    if (bytes.empty())
        throw UsageError("nothing to write: give WORD... or --in FILE");
    const auto count = static_cast<uint32_t>(bytes.size() / 2);
    CheckRange(kind, start, count);
    const auto board = c.Open(2);
    const MemoryOperation op{start, count, MemoryOperation::kWrite, static_cast<uint16_t>(kind)};
    if (const Failure failure = WriteMemory(board->Cfg(), op, bytes.data(), static_cast<uint32_t>(bytes.size())))
        throw DeviceError(Text(*failure));
    CRecord r;
    r.Add("written", QJsonValue(static_cast<double>(count)), QString::number(count));
    PrintRecord(r, c.Json());
    return kExitPass;
}

} // namespace

int RunList(CliContext& c) {
    c.Args().ExpectWords(1);
    const auto& boards = c.Boards().Boards();
    const bool countFound = c.ExpectedBoardsFound();
    if (boards.empty() && !c.Args().Has("expect-boards")) {
        Diagnostic("no boards found");
        if (c.Json())
            PrintTable({}, true, QStringLiteral("boards"));
        return kExitUsage;
    }
    std::vector<CRecord> rows;
    bool broken = false;
    for (size_t n = 0; n < boards.size(); ++n) {
        rows.push_back(BoardRow(n, boards[n]));
        if (!boards[n].error.empty()) {
            Diagnostic("board " + std::to_string(n) + " (" + boards[n].record.name + "): " + boards[n].error);
            broken = true;
        }
    }
    if (c.Json() && c.Args().Has("expect-boards")) {
        // The count asked for is a step of its own, with its reason when it is not met.
        const uint32_t expected = *c.Args().Number("expect-boards");
        CRecord r;
        r.Add("boards", rows);
        r.Add("expected", static_cast<double>(expected));
        r.Add("passed", countFound && !broken);
        r.Add("reason",
              countFound ? QJsonValue()
                         : QJsonValue(QStringLiteral("%1 found, %2 expected").arg(boards.size()).arg(expected)),
              QString());
        PrintRecord(r, true);
    } else {
        PrintTable(rows, c.Json(), QStringLiteral("boards"));
    }
    if (broken)
        return kExitDevice;
    return countFound ? kExitPass : kExitFailed;
}

int RunInfo(CliContext& c) {
    c.Args().ExpectWords(2);
    const auto board = c.Open(1);
    const size_t number = c.Boards().Number(c.Args().Words()[1]);
    CRecord r = BoardRow(number, board->found);
    const BoardModel& model = *board->model;
    CDriverLibrary* library = c.Boards().LibraryFor(board->found);
    r.Add("device", QString::fromLatin1(board->found.record.devicePath.c_str()));
    r.Add("driver", library ? QString::fromLocal8Bit(library->Path().c_str()) : QStringLiteral("kernel"));
    r.Add("family", model.newFamily ? QStringLiteral("new") : QStringLiteral("old"));
    r.Add("phoneLines", model.phoneLines);
    r.Add("lineOptions", model.lineOptions);
    r.Add("calibration", model.calibration);
    r.Add("headphones", model.headphones);
    CDevice& cfg = board->Cfg();
    const BoardIdReading id = ReadBoardId(cfg, model.newFamily);
    if (id.failure)
        throw DeviceError(Text(*id.failure));
    r.Add("boardId", QJsonValue(static_cast<double>(id.id)), QString::number(id.id));
    // Every answer the board owes counts: one that fails or comes short is a device error.
    for (int ch = 0; ch < 2; ++ch) {
        const auto rate = GetOutputRate(cfg, ch);
        if (!rate)
            throw DeviceError(std::string("cannot get the rate of the ") + (ch == 0 ? "left" : "right") + " output");
        r.Add(ch == 0 ? "leftRate" : "rightRate", static_cast<double>(*rate));
    }
    if (board->Lines() > 0) {
        const auto rate = GetCodecRate(cfg);
        if (!rate)
            throw DeviceError("cannot get the codec rate");
        r.Add("codecRate", static_cast<double>(*rate));
    }
    if (model.calibration) {
        r.Add("maxVoltage", static_cast<double>(ReadMaxVoltage(cfg)));
    }
    PrintRecord(r, c.Json());
    return kExitPass;
}

int RunMemory(CliContext& c) {
    const std::string& action = c.Args().Word(1, "read or write");
    if (action == "read")
        return MemoryRead(c);
    if (action == "write")
        return MemoryWrite(c);
    throw UsageError("\"" + action + "\" is not read or write");
}

int RunIdSet(CliContext& c) {
    const CliArgs& args = c.Args();
    if (args.Word(1, "set") != "set")
        throw UsageError("\"" + args.Words()[1] + "\" is not set");
    args.ExpectWords(4);
    const uint32_t id = NumberWord(args.Word(3, "ID"), "board ID");
    const auto board = c.Open(2);
    if (const Failure failure = WriteBoardId(board->Cfg(), board->model->newFamily, id))
        throw DeviceError(Text(*failure));
    const BoardIdReading check = ReadBoardId(board->Cfg(), board->model->newFamily);
    if (check.failure)
        throw DeviceError(Text(*check.failure));
    CRecord r;
    r.Add("boardId", QJsonValue(static_cast<double>(check.id)), QString::number(check.id));
    PrintRecord(r, c.Json());
    if (check.id != id)
        Diagnostic("id set failed: the board reads ID " + std::to_string(check.id) + " after " + std::to_string(id) +
                   " was written");
    return check.id == id ? kExitPass : kExitFailed;
}

int RunPrefixSet(CliContext& c) {
    const CliArgs& args = c.Args();
    if (args.Word(1, "set") != "set")
        throw UsageError("\"" + args.Words()[1] + "\" is not set");
    args.ExpectWords(4);
    const uint32_t type = NumberWord(args.Word(3, "PREFIX"), "prefix");
    if (type > 0xFFFF)
        throw UsageError("the prefix is one 16-bit word");
    const auto board = c.Open(2);
    if (const Failure failure = WriteBoardPrefix(board->Cfg(), static_cast<uint16_t>(type)))
        throw DeviceError(Text(*failure));
    CRecord r;
    r.Add("prefix", QJsonValue(static_cast<int>(type)), Hex(type));
    PrintRecord(r, c.Json());
    return kExitPass;
}

int RunLoad(CliContext& c) {
    c.Args().ExpectWords(2);
    const auto board = c.Open(1);
    CDevice& cfg = board->Cfg();
    if (!ResetDsp(cfg))
        throw DeviceError("cannot reset the board");
    std::this_thread::sleep_for(kResetSettle);
    if (!LoadProgram(cfg, true))
        throw DeviceError("cannot load the program into the board");
    CRecord r;
    r.Add("loaded", QString::fromStdString(ProgramLoadRequest{}.name));
    PrintRecord(r, c.Json());
    return kExitPass;
}

int RunWatchdog(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const uint32_t interval = Required(args, "interval");
    if (interval == 0)
        throw UsageError("--interval must be 1 ms or more");
    const double seconds = Duration(args).value_or(1.0);
    const auto board = c.Open(1);
    CDevice& cfg = board->Cfg();
    if (!StartWatchdog(cfg, interval))
        throw DeviceError("the board refused to start the watchdog");
    uint32_t kicks = 0;
    uint32_t refused = 0;
    {
        CProgress progress("watchdog", seconds);
        const auto begin = std::chrono::steady_clock::now();
        for (;;) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            if (elapsed >= seconds || StopSignal())
                break;
            c.Watch().Arm(CliContext::kDefaultBudget); // each kick answers in time
            if (KickWatchdog(cfg))
                ++kicks;
            else
                ++refused;
            progress.Update(elapsed);
            std::this_thread::sleep_for(kKickPeriod);
        }
    }
    const bool stopped = StopWatchdog(cfg);
    CRecord r;
    r.Add("interval", static_cast<double>(interval));
    r.Add("kicks", static_cast<double>(kicks));
    r.Add("kicksRefused", static_cast<double>(refused));
    r.Add("stopped", stopped);
    // The board has no request that reports expiries.
    r.Add("expiries", QJsonValue(QJsonValue::Null), QStringLiteral("not reported by the board"));
    // One step: the kicks the board took, at least one, none refused.
    Step step = Judged("watchdog", static_cast<double>(kicks), "kicks", 1.0, std::nullopt,
                       std::to_string(kicks) + " kicks in " + QString::number(seconds).toStdString() + " s, " +
                           std::to_string(refused) + " refused",
                       0);
    if (refused != 0 || !stopped) {
        step.outcome = Outcome::Error;
        if (!stopped)
            step.detail = "the board refused to stop the watchdog after " + std::to_string(kicks) + " kicks";
    }
    c.ReportSteps({step});
    r.Add("steps", std::vector<CRecord>{StepRecord(step)});
    if (!stopped) // before any result, so that the error is the one thing written
        throw DeviceError(step.detail);
    PrintRecord(r, c.Json());
    if (refused == 0 && kicks == 0) {
        Diagnostic("watchdog failed: 0 kicks in " + QString::number(seconds).toStdString() + " s (at least 1 needed)");
        return kExitFailed;
    }
    // A refused kick is a request that failed: the board could not be measured, as in every command.
    if (refused != 0)
        Diagnostic("watchdog error: " + std::to_string(refused) + " of " + std::to_string(kicks + refused) +
                   " kicks refused");
    return refused == 0 ? kExitPass : kExitDevice;
}

namespace {

void Calibrate(CliContext& c, CDevice& cfg, const std::vector<uint32_t>& lines, uint32_t volts,
               const std::optional<std::string>& fixture, bool ask) {
    if (!SetMaxVoltage(cfg, static_cast<uint16_t>(volts)))
        throw DeviceError("cannot set the maximum voltage");
    const std::string steps[] = {"Set the voltage source to 0 V",
                                 "Set the voltage source to " + std::to_string(volts) + " V",
                                 "Ready to compute the correction coefficients"};
    const uint32_t stepVolts[] = {0, volts};
    for (uint16_t step = 0; step < 3; ++step) {
        if (StopSignal())
            throw DeviceError("calibration stopped");
        // No request is pending while the fixture or the operator sets the voltage.
        c.Watch().Disarm();
        if (fixture && step < 2) {
            if (c.Verbose())
                Diagnostic("fixture: setting " + std::to_string(stepVolts[step]) + " V");
            RunFixture(*fixture, stepVolts[step]);
        } else if (ask) {
            std::fprintf(stderr, "%s, then press Enter: ", steps[step].c_str());
            std::fflush(stderr);
            std::string answer;
            if (!std::getline(std::cin, answer))
                throw UsageError("calibration cancelled");
        }
        c.Watch().Arm(CliContext::kDefaultBudget);
        for (uint32_t line : lines)
            if (!RunCalibrationStep(cfg, static_cast<uint16_t>(line), step))
                throw DeviceError("cannot run calibration step " + std::to_string(step) + " on line " +
                                  std::to_string(line));
    }
    if (!ApplyCalibration(cfg))
        throw DeviceError("cannot set the calibration");
}

} // namespace

int RunCalibrate(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const auto linesText = args.Value("lines");
    if (!linesText)
        throw UsageError("--lines is required, for example --lines 0,1");
    const uint32_t volts = Required(args, "max-voltage");
    if (volts == 0 || volts > 0xFFFF)
        throw UsageError("--max-voltage must be 1..65535");
    const auto fixture = args.Value("fixture");
    if (fixture && (args.Has("yes") || args.Has("no-wait")))
        throw UsageError("--fixture sets the voltages: it goes without --yes and --no-wait");
    if (args.Has("no-wait") && !args.Has("yes"))
        throw UsageError("--no-wait goes with --yes");
    if (args.Has("yes") && !args.Has("no-wait"))
        throw UsageError("--yes without --fixture needs --no-wait: nothing would wait for the voltages");
    const bool ask = !args.Has("yes") && !fixture;
    if (ask && !InputIsTerminal())
        throw UsageError("standard input is not a terminal: give --fixture CMD, or --yes --no-wait when the "
                         "voltages are already set");
    std::vector<uint32_t> lines;
    std::stringstream list(*linesText);
    for (std::string item; std::getline(list, item, ',');)
        lines.push_back(NumberWord(item, "line number"));
    if (lines.empty())
        throw UsageError("--lines names no line");
    const auto board = c.Open(1);
    if (!board->model->calibration)
        throw UsageError("this board has no voltmeter calibration");
    for (uint32_t line : lines)
        if (line >= static_cast<uint32_t>(board->Lines()))
            throw UsageError("no line " + std::to_string(line) + " on this board (lines 0.." +
                             std::to_string(board->Lines() - 1) + ")");
    CDevice& cfg = board->Cfg();
    const uint16_t current = ReadMaxVoltage(cfg);
    // From here on, a calibration that does not finish leaves the board's maximum voltage as it was.
    try {
        Calibrate(c, cfg, lines, volts, fixture, ask);
    } catch (...) {
        bool restored = false;
        try {
            restored = SetMaxVoltage(cfg, current) && ReadMaxVoltage(cfg) == current;
        } catch (const std::exception&) {
            // said below
        }
        if (!restored)
            Diagnostic("cannot restore the maximum voltage " + std::to_string(current) + " V");
        else
            Diagnostic("the maximum voltage is back at " + std::to_string(current) + " V");
        throw;
    }
    QJsonArray calibrated;
    QStringList lineTexts;
    for (uint32_t line : lines) {
        calibrated.append(static_cast<int>(line));
        lineTexts << QString::number(line);
    }
    CRecord r;
    r.Add("maxVoltage", static_cast<double>(volts));
    r.Add("calibrated", QJsonValue(calibrated), lineTexts.join(QLatin1Char(',')));
    const Step step = MakeStep("calibration", Outcome::Pass,
                               "lines " + lineTexts.join(QLatin1Char(',')).toStdString() + " calibrated to " +
                                   std::to_string(volts) + " V");
    c.ReportSteps({step});
    r.Add("steps", std::vector<CRecord>{StepRecord(step)});
    PrintRecord(r, c.Json());
    return kExitPass;
}
