// veltrin-cli: the command-line production test of the Veltrin boards. Data on standard output (text or
// JSON), diagnostics on standard error; exit 0 pass, 1 a test failed, 2 usage or no board, 3 device error,
// 128+N when signal N stopped it.
#include "AnalyseCommand.h"
#include "CliArgs.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "RecordOptions.h"
#include "RecordsCommand.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

struct CommandEntry {
    const char* name;
    const char* usage;
    int (*run)(CliContext&);
    std::set<std::string> options; // besides the global ones
};

const CommandEntry kCommands[] = {
    {"list", "list [--expect-boards N]", &RunList, {"expect-boards"}},
    {"info", "info BOARD", &RunInfo, {}},
    {"mem",
     "mem read BOARD --memory daram|eeprom --start A --count N [--out FILE --format bin|text]\n"
     "       mem write BOARD --memory daram|eeprom --start A (WORD... | --in FILE)",
     &RunMemory,
     {"memory", "start", "count", "out", "format", "in"}},
    {"id", "id set BOARD N", &RunIdSet, {}},
    {"prefix", "prefix set BOARD 0xNNNN", &RunPrefixSet, {}},
    {"load", "load BOARD", &RunLoad, {}},
    {"watchdog", "watchdog BOARD --interval MS [--for SECONDS]", &RunWatchdog, {"interval", "for"}},
    {"line",
     "line status BOARD [LINE] [--watch [--for SECONDS]]\n"
     "       line hook BOARD LINE up|down\n"
     "       line dial BOARD LINE DIGITS --tone|--pulse\n"
     "       line settings get BOARD LINE | line settings set BOARD LINE NAME=VALUE...",
     &RunLine,
     {"watch", "for", "tone", "pulse"}},
    {"play",
     "play BOARD left|right|line:N (--file F | --sine HZ [--ampl A]) [--rate R] [--for SECONDS]",
     &RunPlay,
     {"file", "sine", "ampl", "rate", "for"}},
    {"record", "record BOARD line:N --out F [--rate R] --for SECONDS", &RunRecord, {"out", "rate", "for"}},
    {"loopback",
     "loopback BOARD line:N [--rate R] [--for SECONDS] [--sine HZ] [--ampl A] [--min-level DB] [--max-level DB] "
     "[--max-thdn DB] [--max-noise DB]",
     &RunLoopback,
     {"rate", "for", "sine", "ampl", "min-level", "max-level", "max-thdn", "max-noise"}},
    {"calibrate",
     "calibrate BOARD --lines 0,1 --max-voltage V [--fixture CMD | --yes --no-wait]",
     &RunCalibrate,
     {"lines", "max-voltage", "yes", "fixture", "no-wait"}},
    {"selftest",
     "selftest [BOARD] [--for SECONDS] [--loopback] [--jobs N] [--junit FILE] [--expect-boards N] [--strict] "
     "[--min-level DB] [--max-level DB] [--max-thdn DB] [--max-noise DB]",
     &RunSelfTest,
     {"for", "loopback", "jobs", "junit", "expect-boards", "min-level", "max-level", "max-thdn", "max-noise",
      "strict"}},
    {"crosstalk",
     "crosstalk BOARD line:A line:B [--rate R] [--for SECONDS] [--sine HZ] [--ampl A] [--max-crosstalk DB]",
     &RunCrosstalk,
     {"rate", "for", "sine", "ampl", "max-crosstalk"}},
    {"analyse",
     "analyse FILE [--min-level DB] [--max-level DB] [--max-thdn DB] [--max-noise DB] [--freq HZ "
     "[--freq-tolerance PCT]]",
     &RunAnalyse,
     {"min-level", "max-level", "max-thdn", "max-noise", "freq", "freq-tolerance"}},
    {"records", kRecordsUsage, &RunRecords, RecordsCommandOptions()},
};

// The commands that test a board, each keeping a record of every board it tested.
bool TestingCommand(const CommandEntry& c) {
    static const std::set<std::string> testing = {"selftest", "loopback", "crosstalk", "calibrate", "watchdog"};
    return testing.count(c.name) != 0;
}

std::set<std::string> OptionsOf(const CommandEntry& c) {
    std::set<std::string> options = c.options;
    if (TestingCommand(c))
        options.insert(RecordOptionNames().begin(), RecordOptionNames().end());
    if (c.name == std::string("selftest") || c.name == std::string("loopback"))
        options.insert({"warn-cpk", "warn-window"});
    return options;
}

const char* kGlobal =
    "usage: veltrin-cli [--driver-library PATH | --demo] [--json] [-q | -v] COMMAND ... [-h | --help]";

void PrintHelp() {
    std::printf("%s\n\nCommands:\n", kGlobal);
    for (const CommandEntry& c : kCommands)
        std::printf("  %s\n", c.usage);
    std::printf("\nBOARD is the number list shows or id:N, the board with ID N. Lines count from 0.\n"
                "Exit codes: 0 pass, 1 a test failed, 2 usage error or no such board, 3 device or driver error,\n"
                "128+N stopped by signal N (130 SIGINT, 143 SIGTERM).\n"
                "  --driver-library PATH  reach the boards through that driver library\n"
                "  --demo                 use the bundled board simulator (demo boards)\n"
                "  --json                 write the results (and errors) as JSON\n"
                "  -q, --quiet            no text results on standard output; the exit code tells\n"
                "  -v, --verbose          say on standard error what is being done\n"
                "  -h, --help             this text; after a command, that command's usage\n"
                "  --version              the program's version\n");
}

void PrintCommandHelp(const CommandEntry& c) {
    std::printf("usage: veltrin-cli %s\n", c.usage);
    if (const std::set<std::string> options = OptionsOf(c); !options.empty()) {
        std::printf("options:");
        for (const std::string& o : options)
            std::printf(" --%s", o.c_str());
        std::printf("\n");
    }
    std::printf("global options: --driver-library PATH, --demo, --json, -q, -v\n");
}

} // namespace

int main(int argc, char** argv) {
    // Qt Core only for the settings, the file names and JSON; no event loop is needed.
    QCoreApplication app(argc, argv);
    InstallStopSignals();
    // A closed pipe or a file size limit makes the write fail instead of killing the program: the
    // command then stops what it started and reports the failed write (exit 3).
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandEntry* command = nullptr;
    bool json = false;
    const auto signalled = [](int code) {
        if (const int signal = StopSignal()) {
            Diagnostic("stopped by signal " + std::to_string(signal) +
                       (signal == SIGINT    ? " (SIGINT)"
                        : signal == SIGTERM ? " (SIGTERM)"
                                            : ""));
            return 128 + signal;
        }
        return code;
    };
    std::unique_ptr<CliContext> context;
    const int code = [&]() -> int {
        try {
            for (const std::string& a : arguments)
                json = json || a == "--json";
            CliArgs args = CliArgs::Parse(arguments);
            if (!args.Words().empty())
                for (const CommandEntry& c : kCommands)
                    if (args.Words().front() == c.name)
                        command = &c;
            if (command)
                SetJsonCommand(command->name);
            if (args.Has("help")) {
                if (command)
                    PrintCommandHelp(*command);
                else
                    PrintHelp();
                return kExitPass;
            }
            if (args.Has("version")) {
                std::printf("veltrin-cli %s\n", VELTRIN_VERSION);
                return kExitPass;
            }
            if (args.Words().empty())
                throw UsageError("no command given (--help lists them)");
            if (!command)
                throw UsageError("unknown command \"" + args.Words().front() + "\"");
            args.ExpectOptions(OptionsOf(*command));
            if (args.Has("driver-library") && args.Has("demo"))
                throw UsageError("--driver-library and --demo exclude each other");
            if (args.Has("quiet") && args.Has("verbose"))
                throw UsageError("-q and -v exclude each other");
            SetQuiet(args.Has("quiet"));
            if (TestingCommand(*command))
                RecordSettingsFromArgs(args); // a bad store URL or mode is a usage error, found first
            LibraryChoice choice{args.Value("driver-library").value_or(""), args.Has("demo")};
            context = std::make_unique<CliContext>(std::move(args), std::move(choice));
            if (TestingCommand(*command))
                context->KeepRecords(command->name, arguments);
            const int result = command->run(*context);
            // Whatever is still buffered must reach standard output too.
            if (std::fflush(stdout) != 0 || std::ferror(stdout))
                throw DeviceError("cannot write to standard output");
            return signalled(result);
        } catch (const CliError& error) {
            if (StopSignal()) {
                // What the stop left behind (a recording kept under its temporary name) is still said.
                Diagnostic(error.what());
                return signalled(kExitFailed);
            }
            Diagnostic(error.what());
            if (error.Code() == kExitUsage) {
                if (command)
                    std::fprintf(stderr, "usage: veltrin-cli %s\n", command->usage);
                else
                    std::fprintf(stderr, "%s\n", kGlobal);
            }
            if (json)
                PrintJsonError(error.what(), error.Code());
            return error.Code();
        } catch (const std::exception& error) {
            if (StopSignal())
                return signalled(kExitFailed);
            Diagnostic(error.what());
            if (json)
                PrintJsonError(error.what(), kExitDevice);
            return kExitDevice;
        }
    }();
    // Every tested board's record, its outcome from the run's exit code (a stopped run's too).
    if (context && context->Records()) {
        try {
            return context->Records()->Finish(code);
        } catch (const std::exception& error) {
            Diagnostic(std::string("the records of this run are not kept: ") + error.what());
            return StopSignal() ? code : kExitDevice;
        }
    }
    return code;
}
