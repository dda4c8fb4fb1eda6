// veltrin-cli: the command-line production test of the Veltrin boards. Data on standard output (text or
// JSON), diagnostics on standard error; exit 0 pass, 1 a test failed, 2 usage or no board, 3 device error.
#include "AnalyseCommand.h"
#include "CliArgs.h"
#include "CliCommands.h"
#include "CliOutput.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

struct CommandEntry {
    const char* name;
    const char* usage;
    int (*run)(CliContext&);
};

const CommandEntry kCommands[] = {
    {"list", "list", &RunList},
    {"info", "info BOARD", &RunInfo},
    {"mem",
     "mem read BOARD --memory daram|eeprom --start A --count N [--out FILE --format bin|text]\n"
     "       mem write BOARD --memory daram|eeprom --start A (WORD... | --in FILE)",
     &RunMemory},
    {"id", "id set BOARD N", &RunIdSet},
    {"prefix", "prefix set BOARD 0xNNNN", &RunPrefixSet},
    {"load", "load BOARD", &RunLoad},
    {"watchdog", "watchdog BOARD --interval MS [--for SECONDS]", &RunWatchdog},
    {"line",
     "line status BOARD [LINE] [--watch [--for SECONDS]]\n"
     "       line hook BOARD LINE up|down\n"
     "       line dial BOARD LINE DIGITS --tone|--pulse\n"
     "       line settings get BOARD LINE | line settings set BOARD LINE NAME=VALUE...",
     &RunLine},
    {"play", "play BOARD left|right|line:N (--file F | --sine HZ [--ampl A]) [--rate R] [--for SECONDS]", &RunPlay},
    {"record", "record BOARD line:N --out F [--rate R] --for SECONDS", &RunRecord},
    {"loopback", "loopback BOARD line:N [--rate R] [--for SECONDS] [--sine HZ] [--ampl A]", &RunLoopback},
    {"calibrate", "calibrate BOARD --lines 0,1 --max-voltage V [--yes]", &RunCalibrate},
    {"selftest", "selftest [BOARD] [--for SECONDS] [--loopback]", &RunSelfTest},
    {"analyse",
     "analyse FILE [--min-level DB] [--max-level DB] [--max-thdn DB] [--max-noise DB] [--freq HZ "
     "[--freq-tolerance PCT]]",
     &RunAnalyse},
};

const char* kGlobal = "usage: veltrin-cli [--driver-library PATH | --demo] [--json] COMMAND ...";

void PrintHelp() {
    std::printf("%s\n\nCommands:\n", kGlobal);
    for (const CommandEntry& c : kCommands)
        std::printf("  %s\n", c.usage);
    std::printf("\nBOARD is the number list shows. Lines count from 0.\n"
                "Exit codes: 0 pass, 1 a test failed, 2 usage or no board, 3 device or driver error.\n"
                "  --driver-library PATH  reach the boards through that driver library\n"
                "  --demo                 use the bundled board simulator (demo boards)\n"
                "  --json                 write the results as JSON\n"
                "  --loopback             (selftest) every line's input must hear its output\n"
                "  --yes                  (calibrate) do not ask; the fixture sets the voltages\n");
}

} // namespace

int main(int argc, char** argv) {
    // Qt Core only for the settings, the file names and JSON; no event loop is needed.
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandEntry* command = nullptr;
    try {
        CliArgs args = CliArgs::Parse(arguments);
        if (args.Has("help")) {
            PrintHelp();
            return kExitPass;
        }
        if (args.Has("version")) {
            std::printf("veltrin-cli 2.1\n");
            return kExitPass;
        }
        if (args.Words().empty())
            throw UsageError("no command given (--help lists them)");
        for (const CommandEntry& c : kCommands)
            if (args.Words().front() == c.name)
                command = &c;
        if (!command)
            throw UsageError("unknown command \"" + args.Words().front() + "\"");
        if (args.Has("driver-library") && args.Has("demo"))
            throw UsageError("--driver-library and --demo exclude each other");
        LibraryChoice choice{args.Value("driver-library").value_or(""), args.Has("demo")};
        CliContext context(std::move(args), std::move(choice));
        return command->run(context);
    } catch (const CliError& error) {
        Diagnostic(error.what());
        if (error.Code() == kExitUsage) {
            if (command)
                std::fprintf(stderr, "usage: veltrin-cli %s\n", command->usage);
            else
                std::fprintf(stderr, "%s\n", kGlobal);
        }
        return error.Code();
    } catch (const std::exception& error) {
        Diagnostic(error.what());
        return kExitDevice;
    }
}
