// veltrin-cli started as a process against the simulator library: listing, the self-test passing and
// failing, an exact recording, a loopback, and the exit codes of bad command lines.
#include "RequestCodes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include <signal.h>

namespace {

struct Result {
    int code = -1;
    QByteArray out;
    QString err;
    QJsonValue Json() const {
        const QJsonDocument document = QJsonDocument::fromJson(out);
        return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    }
};

struct CliProgram : ::testing::Test {
    QTemporaryDir home;

    // The program's surroundings inside the test's home: never the user's own test records, not this
    // machine's driver library setting, no kernel boards.
    QProcessEnvironment HomeEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CONFIG_DIRS", home.path() + "/system");
        env.insert("VELTRIN_DEVICE_ROOT", home.path() + "/dev");
        return env;
    }

    Result Start(const QStringList& arguments, const QMap<QString, QString>& extra = {}) {
        QProcessEnvironment env = HomeEnvironment();
        env.insert("TMPDIR", home.path());
        env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2,0x330D:501:2");
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(PROGRAM, arguments);
        Result run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "veltrin-cli did not finish: " << arguments.join(' ').toStdString();
            return run;
        }
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
};

QString CodeText(uint32_t code) { return "0x" + QString::number(code, 16); }

} // namespace

TEST_F(CliProgram, ListShowsTheBoardsInTabOrder) {
    const Result run = Start({"--demo", "--json", "list"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QJsonArray boards = run.Json()["boards"].toArray();
    ASSERT_EQ(boards.size(), 2);
    EXPECT_EQ(run.Json()["schema"].toInt(), 1);
    EXPECT_EQ(boards[0]["board"].toInt(), 0);
    EXPECT_EQ(boards[0]["type"].toInt(), 0x310);
    EXPECT_EQ(boards[0]["id"].toInt(), 200);
    EXPECT_EQ(boards[1]["id"].toInt(), 501);
    EXPECT_EQ(boards[1]["lines"].toInt(), 2);
    EXPECT_EQ(boards[1]["settings"].toInt(), -1) << "library boards keep their settings under DEV-1";
}

TEST_F(CliProgram, SelfTestPassesOnEveryDemoBoardWithEveryLineLoopedBack) {
    const Result run =
        Start({"--demo", "--json", "selftest", "--for", "0.5", "--loopback"}, {{"VELTRIN_SIM_INPUT", "loopback"}});
    ASSERT_EQ(run.code, 0) << run.out.toStdString() << run.err.toStdString();
    const QJsonObject report = run.Json().toObject();
    EXPECT_TRUE(report["passed"].toBool());
    const QJsonArray boards = report["boards"].toArray();
    ASSERT_EQ(boards.size(), 2);
    for (const QJsonValue& board : boards) {
        QStringList names;
        for (const QJsonValue& step : board["steps"].toArray()) {
            names << step["step"].toString();
            EXPECT_EQ(step["result"].toString(), "pass") << step["step"].toString().toStdString();
            if (QRegularExpression("^loopback line \\d+$").match(step["step"].toString()).hasMatch()) {
                EXPECT_TRUE(step["detail"].toString().contains("one unbroken run"))
                    << step["detail"].toString().toStdString();
            }
        }
        for (const char* expected :
             {"identity", "memory", "watchdog", "line 1", "stream left", "stream right", "stream line 1",
              "loopback line 1", "loopback line 1 level", "loopback line 1 THD+N", "loopback line 1 noise"})
            EXPECT_TRUE(names.contains(expected)) << expected;
    }
}

// A request that fails or is answered short is a step that could not measure: an error (exit 3), never a
// failure of the board.
TEST_F(CliProgram, InjectedFaultFailsTheSelfTestAndNamesTheStep) {
    struct Case {
        QString fault;
        QString step;
    };
    const Case cases[] = {
        {"fail:VELTRIN_CFG:" + CodeText(req::kWatchdogStart), "watchdog"},
        {"short:VELTRIN_CFG:" + CodeText(req::kMemoryData), "memory"},
        {"fail:PHONE_LINE1_IN_DEV:" + CodeText(req::kGetLineState), "line 1"},
        {"fail:LINE_OUT_RIGHT:" + CodeText(req::kGetCounters), "stream right"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.toStdString());
        const Result run =
            Start({"--demo", "--json", "selftest", "0", "--for", "0.3"}, {{"VELTRIN_SIM_FAULTS", c.fault}});
        EXPECT_EQ(run.code, 3) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.step + " error")) << run.err.toStdString();
        const QJsonObject board = run.Json()["boards"][0].toObject();
        EXPECT_FALSE(board["passed"].toBool());
        EXPECT_EQ(board["verdict"].toString(), "error");
        for (const QJsonValue& step : board["steps"].toArray()) {
            if (step["step"].toString() == c.step) {
                EXPECT_EQ(step["result"].toString(), "error");
            }
        }
    }
}

TEST_F(CliProgram, RecordingOfTheSequenceHoldsExactlyTheSamplesAskedFor) {
    const QString file = home.path() + "/rec.raw";
    const Result run =
        Start({"--demo", "record", "1", "line:1", "--out", file, "--for", "2"}, {{"VELTRIN_SIM_INPUT", "sequence"}});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    QFile recorded(file);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    const QByteArray bytes = recorded.readAll();
    ASSERT_EQ(bytes.size(), 4 + 2 * 2 * 16000) << "two seconds at the board's 16000 samples/s";
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    EXPECT_EQ(data[0] | (data[1] << 8) | (data[2] << 16), 16000);
    for (int i = 0; i < 32000; ++i)
        ASSERT_EQ(static_cast<int16_t>(data[4 + 2 * i] | (data[5 + 2 * i] << 8)), static_cast<int16_t>(i))
            << "sample " << i;
}

TEST_F(CliProgram, LoopbackReportsThePlayedToneOnlyWhereTheInputHearsIt) {
    struct Case {
        const char* input;
        int code;
        double frequency;
        bool unbroken;
    };
    const Case cases[] = {{"loopback", 0, 1200.0, true}, {"tone", 1, 1000.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const Result run = Start({"--demo", "--json", "loopback", "0", "line:1", "--sine", "1200", "--for", "0.5"},
                                 {{"VELTRIN_SIM_INPUT", c.input}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        const QJsonObject report = run.Json().toObject();
        EXPECT_EQ(report["played"].toInt(), 1200);
        EXPECT_NEAR(report["frequency"].toDouble(), c.frequency, 2.0);
        EXPECT_NEAR(report["levelDb"].toDouble(), -15.3, 0.2) << "the 8000 amplitude tone, either way";
        EXPECT_EQ(report["unbroken"].toBool(), c.unbroken);
        EXPECT_EQ(report["low"].toDouble(), 1188.0);
        EXPECT_EQ(report["high"].toDouble(), 1212.0);
    }
}

TEST_F(CliProgram, BadCommandLinesExitWithTwoAndAUsageLine) {
    const QStringList cases[] = {
        {"--demo"},
        {"--demo", "frobnicate"},
        {"--demo", "--bogus", "list"},
        {"--demo", "info", "7"},
        {"--demo", "info", "x"},
        {"--demo", "mem", "read", "0", "--memory", "flash", "--start", "0", "--count", "4"},
        {"--demo", "mem", "read", "0", "--memory", "daram", "--start", "0"},
        {"--demo", "mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "4", "--format", "bin"},
        {"--demo", "play", "0", "middle", "--sine", "440"},
        {"--demo", "play", "0", "left", "--sine", "440", "--file", "x.raw"},
        {"--demo", "record", "0", "line:9", "--out", "x.raw", "--for", "1"},
        {"--demo", "line", "dial", "0", "1", "12*", "--pulse"},
        {"--demo", "calibrate", "1", "--lines", "0", "--max-voltage", "60"},
        {"--demo", "--driver-library", "x.so", "list"},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Result run = Start(arguments);
        EXPECT_EQ(run.code, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage: veltrin-cli")) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "nothing on standard output";
    }
}

TEST_F(CliProgram, DriverProblemsExitWithThree) {
    EXPECT_EQ(Start({"--driver-library", home.path() + "/missing.so", "list"}).code, 3);
    const Result run = Start({"--driver-library", SIM_DRIVER, "play", "0", "left", "--sine", "440"},
                             {{"VELTRIN_SIM_FAULTS", "refuse:LINE_OUT_LEFT"}});
    EXPECT_EQ(run.code, 3) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("stereo output device")) << run.err.toStdString();
}

TEST_F(CliProgram, BoardAndLineCommandsReportWhatTheBoardAnswers) {
    struct Case {
        QStringList arguments;
        QString key;
        QJsonValue expected;
    };
    const Case cases[] = {
        {{"mem", "read", "0", "--memory", "eeprom", "--start", "0x22", "--count", "1"}, "words", QJsonArray{0x310}},
        {{"id", "set", "1", "4242"}, "boardId", 4242},
        {{"id", "set", "0", "70000"}, "boardId", 70000},
        {{"prefix", "set", "0", "0x0320"}, "prefix", 0x320},
        {{"mem", "write", "0", "--memory", "daram", "--start", "0x40", "1", "2", "0xBEEF"}, "written", 3},
        {{"watchdog", "0", "--interval", "100", "--for", "0.2"}, "stopped", true},
        {{"calibrate", "1", "--lines", "0,1", "--max-voltage", "90", "--yes", "--no-wait"}, "maxVoltage", 90},
        {{"line", "settings", "set", "0", "1", "ringDelay=321", "dialAmplitude=3"}, "ringDelay", 321},
        {{"line", "settings", "set", "0", "1", "ringDelay=321", "dialAmplitude=3"}, "dialAmplitude", 3},
        {{"info", "1"}, "maxVoltage", 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Result run = Start(QStringList{"--demo", "--json"} + c.arguments);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.Json()[c.key], c.expected) << run.out.toStdString();
    }
    const Result hook = Start({"--demo", "--json", "line", "hook", "0", "1", "up"});
    EXPECT_EQ(hook.Json()["rows"][0]["hook"].toString(), "off") << hook.out.toStdString();
    const Result dump = Start({"--demo", "mem", "read", "0", "--memory", "eeprom", "--start", "0x20", "--count", "9"});
    const std::string last = std::string("0028: FFFF ") + std::string(46 - 11, ' ');
    EXPECT_EQ(dump.out.toStdString(), "0020: FFFF FFFF 0310 FFFF FFFF FFFF FFFF FFFF \n" + last + "\n")
        << "the memory page's dump lines, 46 characters each";
}

TEST_F(CliProgram, PlayedFileReachesTheLineByteForByteAndEndsByItself) {
    QByteArray file;
    const auto put = [&file](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put(16000, 4);
    for (int i = 0; i < 6000; ++i)
        put(static_cast<uint16_t>((i * 7919) % 30011 - 15000), 2);
    QFile sound(home.path() + "/tone.raw");
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.write(file);
    sound.close();
    const Result run = Start({"--demo", "--json", "play", "0", "line:1", "--file", sound.fileName()},
                             {{"VELTRIN_SIM_CAPTURE", home.path()}});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.Json()["playedToEnd"].toBool());
    EXPECT_EQ(run.Json()["samplesWritten"].toInt(), 6000);
    QFile capture(home.path() + "/VSIM0-PHONE_LINE1_OUT_DEV.raw");
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    EXPECT_TRUE(capture.readAll() == file.mid(4)) << "the samples as the file holds them";
}

namespace {

// A 46-byte line state block in the log's hexadecimal: the state (or command) word at offset 0, rings and
// voltage zero, the dial type at 6, the digit at 8, then reserved, control input and the number zero.
std::string LineBlock(const char* command, const char* dialType, const char* digit) {
    return std::string("in=46:") + command + "0000" + "0000" + dialType + digit + "0000" + "0000" +
           std::string(64, '0');
}

} // namespace

// The requests a command sends, as the simulator's request log records them (device, code, input bytes),
// written from the block layouts' offsets.
TEST_F(CliProgram, CommandsSendThePagesRequestBytes) {
    const std::string setLine1 = "PHONE_LINE1_IN_DEV 0x222424 ";
    struct Case {
        QStringList arguments;
        std::vector<std::string> requests; // in this order in the log
    };
    const Case cases[] = {
        {{"line", "dial", "0", "1", "5", "--tone"}, {setLine1 + LineBlock("0100", "0100", "0500")}},
        {{"line", "dial", "0", "1", "#0", "--tone"},
         {setLine1 + LineBlock("0100", "0100", "0B00"), setLine1 + LineBlock("0100", "0100", "0000")}},
        {{"line", "dial", "0", "0", "7", "--pulse"},
         {"PHONE_LINE0_IN_DEV 0x222424 " + LineBlock("0100", "0000", "0700")}},
        {{"line", "hook", "0", "1", "down"}, {setLine1 + LineBlock("0200", "0000", "FFFF")}},
        {{"watchdog", "0", "--interval", "300", "--for", "0.01"},
         {"VELTRIN_CFG 0x222494 in=4:2C010000", "VELTRIN_CFG 0x22249C in=0:", "VELTRIN_CFG 0x222498 in=0:"}},
        {{"prefix", "set", "0", "0x0320"},
         {"VELTRIN_CFG 0x222410 in=12:220000000100000001000100", "VELTRIN_CFG 0x222414 in=2:2003"}},
        {{"id", "set", "0", "70000"},
         {"VELTRIN_CFG 0x222410 in=12:380000000200000001000100", "VELTRIN_CFG 0x222414 in=4:70110100"}},
        {{"id", "set", "1", "70000"}, {"VELTRIN_CFG 0x2224A4 in=4:70110100"}},
        {{"mem", "write", "0", "--memory", "daram", "--start", "0x40", "1", "0xBEEF"},
         {"VELTRIN_CFG 0x222410 in=12:400000000200000001000000", "VELTRIN_CFG 0x222414 in=4:0100EFBE"}},
        {{"load", "0"}, {"VELTRIN_CFG 0x222400 in=0:", "VELTRIN_CFG 0x222404 in=50:70726F672E69303000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const QString log = home.filePath("requests.log");
        QFile::remove(log);
        const Result run = Start(QStringList{"--demo"} + c.arguments, {{"VELTRIN_SIM_LOG", log}});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::string text = file.readAll().toStdString();
        size_t at = 0;
        for (const std::string& request : c.requests) {
            const size_t found = text.find(request, at);
            ASSERT_NE(found, std::string::npos) << request;
            at = found + request.size();
        }
    }
}

// Every fault a production test must not let through: the exit code and what standard error says.
TEST_F(CliProgram, FaultsNeverPassAndSayWhatFailed) {
    const QString cfg = "VELTRIN_CFG:";
    struct Case {
        QString faults;
        QStringList arguments;
        int code;
        QString message;
    };
    const Case cases[] = {
        // A listed board that cannot be used keeps its number and fails every command on it.
        {"refuse:VSIM0", {"list"}, 3, "board 0 (VSIM0)"},
        {"refuse:VSIM0", {"selftest", "--for", "0.2"}, 3, "board 0: open error"},
        {"refuse:VSIM0", {"info", "0"}, 3, "board 0 (VSIM0)"},
        {"fail:VSIM0", {"selftest", "0"}, 3, "preparation request of VSIM0 failed"},
        {"fail:*", {"list"}, 3, "board 1 (VSIM1)"},
        {"refuse:VSIM0\\LINE_OUT_LEFT", {"selftest", "0", "--for", "0.2"}, 3, "stream left error"},
        // Answers that are short or fail.
        {"short:" + cfg + CodeText(req::kMemoryData) + ":2",
         {"mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "3"},
         3,
         "answered with 4 bytes"},
        {"fail:" + cfg + CodeText(req::kSetCodecRate), {"loopback", "0", "line:1", "--rate", "8000"}, 3, "8000"},
        {"fail:" + cfg + CodeText(req::kGetCodecRate), {"info", "0"}, 3, "cannot get the codec rate"},
        // Exit 1 names the step and what was measured.
        {"fail:" + cfg + CodeText(req::kWatchdogKick),
         {"watchdog", "0", "--interval", "100", "--for", "0.05"},
         3,
         "watchdog error: "},
        {"", {"loopback", "0", "line:1", "--for", "0.3"}, 1, "loopback line 1 failed: measured 1000.0 Hz"},
        {"", {"--expect-boards", "3", "list"}, 1, "2 found, 3 expected"},
        // Input checked before anything is sent.
        {"", {"calibrate", "1", "--lines", "65536", "--max-voltage", "60", "--yes", "--no-wait"}, 2, "no line 65536"},
        {"", {"calibrate", "1", "--lines", "0", "--max-voltage", "60", "--yes"}, 2, "--no-wait"},
        {"", {"play", "0", "left", "--sine", "440", "--rate", "0"}, 2, "--rate 0"},
        {"", {"play", "0", "left", "--sine", "440", "--rate", "999999"}, 2, "--rate 999999"},
        {"", {"watchdog", "0", "--interval", "0"}, 2, "--interval"},
        {"", {"mem", "read", "0", "--memory", "daram", "--start", "0xFFF8", "--count", "16"}, 2, "outside the DARAM"},
        {"", {"mem", "read", "0", "--memory", "eeprom", "--start", "0x400", "--count", "1"}, 2, "outside the EEPROM"},
        {"", {"mem", "write", "0", "--memory", "eeprom", "--start", "0xFF", "1", "2"}, 2, "outside the EEPROM"},
        {"", {"list", "--rate", "8000"}, 2, "--rate does not apply"},
        {"", {"line", "hook", "0", "1", "up", "--watch"}, 2, "--watch does not apply"},
        {"",
         {"mem", "write", "0", "--memory", "daram", "--start", "0", "--count", "1", "5"},
         2,
         "--count does not apply"},
        {"", {"watchdog", "0", "--interval", "5", "--interval", "6"}, 2, "given twice"},
        {"", {"selftest", "id:999"}, 2, "no board with ID 999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.faults + " " + c.arguments.join(' ')).toStdString());
        const Result run = Start(QStringList{"--demo"} + c.arguments, {{"VELTRIN_SIM_FAULTS", c.faults}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    // A garbage file is no sound file, whatever its first bytes read as.
    QFile garbage(home.filePath("garbage.raw"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("XYZWhatever this is, it is not sound");
    garbage.close();
    const Result run = Start({"--demo", "--json", "play", "0", "left", "--file", garbage.fileName()});
    EXPECT_EQ(run.code, 2) << run.err.toStdString();
    EXPECT_EQ(run.Json()["exit"].toInt(), 2) << "the error as JSON on standard output too";
    EXPECT_TRUE(run.Json()["error"].toString().contains("sound file")) << run.out.toStdString();
}

TEST_F(CliProgram, BoardsAreNamedByIdAndKeepTheirNumbers) {
    const Result byId = Start({"--demo", "--json", "info", "id:501"}, {{"VELTRIN_SIM_FAULTS", "refuse:VSIM0"}});
    ASSERT_EQ(byId.code, 0) << byId.err.toStdString();
    EXPECT_EQ(byId.Json()["board"].toInt(), 1) << "board 0 cannot be opened and still counts";
    EXPECT_EQ(byId.Json()["schema"].toInt(), 1);

    // A kernel device that opens but does not answer is a listed board too, ahead of the library's.
    ASSERT_TRUE(QDir().mkpath(home.filePath("dev/VELTRIN2")));
    QFile silent(home.filePath("dev/VELTRIN2/VELTRIN_CFG"));
    ASSERT_TRUE(silent.open(QIODevice::WriteOnly));
    silent.close();
    const Result list = Start({"--demo", "--json", "list"});
    EXPECT_EQ(list.code, 3);
    EXPECT_TRUE(list.err.contains("board 0 (\\\\.\\VELTRIN2): the board preparation request"))
        << list.err.toStdString();
    EXPECT_EQ(list.Json()["boards"][1]["id"].toInt(), 200) << list.out.toStdString();
    EXPECT_EQ(Start({"--demo", "info", "id:200"}).code, 0);
}

TEST_F(CliProgram, FailedWritesOfStandardOutputAndFilesExitWithThree) {
    const auto toFull = [this](const QStringList& arguments) {
        QProcessEnvironment env = HomeEnvironment();
        env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2");
        QProcess process;
        process.setProcessEnvironment(env);
        process.setStandardOutputFile("/dev/full");
        process.start(PROGRAM, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return process.exitCode();
    };
    if (!QFileInfo("/dev/full").exists())
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(toFull({"--demo", "--json", "selftest", "--for", "0.2"}), 3);
    EXPECT_EQ(toFull({"--demo", "mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "3", "--out",
                      home.filePath("dump.txt")}),
              0);
    EXPECT_EQ(
        Start({"--demo", "mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "3", "--out", "/dev/full"})
            .code,
        3);
    EXPECT_EQ(QDir(home.path()).entryList({"*.part"}, QDir::Files).size(), 0) << "no temporary file left behind";
}

TEST_F(CliProgram, LoopbackFiguresAreHeldToTheirLimits) {
    struct Case {
        QString impair;
        QStringList options;
        int code;
        QString message; // on standard error
    };
    const Case cases[] = {
        {"", {}, 0, ""},
        {"noise:-50", {}, 1, "loopback line 1 failed: noise -49."},
        {"harmonic:-30", {}, 1, "loopback line 1 failed: THD+N -30.0"},
        {"harmonic:-30", {"--max-thdn", "-25"}, 0, ""},
        {"", {"--min-level", "-6"}, 1, "loopback line 1 failed: level -12.2"},
        {"noise:-50", {"--max-noise", "-45", "--max-thdn", "-30"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.impair + " " + c.options.join(' ')).toStdString());
        const Result run = Start(QStringList{"--demo", "--json", "loopback", "0", "line:1", "--for", "0.5"} + c.options,
                                 {{"VELTRIN_SIM_INPUT", "loopback"}, {"VELTRIN_SIM_IMPAIR", c.impair}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_EQ(run.err.isEmpty(), c.message.isEmpty()) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        QMap<QString, QJsonObject> figures;
        for (const QJsonValue& figure : run.Json()["figures"].toArray())
            figures[figure["figure"].toString()] = figure.toObject();
        ASSERT_EQ(figures.keys(), QStringList({"THD+N", "frequency", "level", "noise"}));
        EXPECT_NEAR(figures["frequency"]["value"].toDouble(), 1500.0, 0.5);
        EXPECT_NEAR(figures["level"]["value"].toDouble(), -12.25, 0.3) << "the 8000 amplitude tone";
        EXPECT_EQ(figures["THD+N"]["unit"].toString(), "dB");
        if (c.impair.isEmpty()) {
            EXPECT_LT(figures["noise"]["value"].toDouble(), -90.0) << "a clean loopback";
        }
    }
}

TEST_F(CliProgram, SelfTestFailsALoopbackFigureOutsideItsLimit) {
    const QString junit = home.filePath("report.xml");
    const Result run = Start({"--demo", "--json", "selftest", "0", "--loopback", "--for", "0.3", "--junit", junit},
                             {{"VELTRIN_SIM_INPUT", "loopback"}, {"VELTRIN_SIM_IMPAIR", "harmonic:-30"}});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("loopback line 1 THD+N failed: THD+N -30.0")) << run.err.toStdString();
    int failed = 0;
    for (const QJsonValue& step : run.Json()["boards"][0]["steps"].toArray()) {
        if (step["result"].toString() != "fail")
            continue;
        ++failed;
        EXPECT_TRUE(step["step"].toString().endsWith(" THD+N")) << step["step"].toString().toStdString();
        EXPECT_EQ(step["high"].toDouble(), -40.0);
    }
    EXPECT_EQ(failed, 2) << "THD+N of both lines";
    QFile file(junit);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("<failure"), 2);
}

TEST_F(CliProgram, CrosstalkIsTheNeighboursToneAgainstTheLinesOwnLoopback) {
    struct Case {
        QString impair;
        QStringList lines;
        QStringList options;
        int code;
        bool heard;
        double crosstalk; // dB, when heard
        QString message;  // on standard error
        QString input = "loopback";
    };
    const Case cases[] = {
        {"crosstalk:-60", {"line:0", "line:1"}, {}, 0, true, -60.0, ""},
        {"crosstalk:-60", {"line:0", "line:1"}, {}, 1, false, 0.0, "line 0 does not hear its own 1500 Hz tone", "tone"},
        {"crosstalk:-60,noise:-80", {"line:1", "line:0"}, {"--max-crosstalk", "-50"}, 0, true, -60.0, ""},
        {"crosstalk:-40",
         {"line:1", "line:0"},
         {"--max-crosstalk", "-50"},
         1,
         true,
         -40.0,
         "crosstalk line 1 to line 0 failed: crosstalk -"},
        {"", {"line:0", "line:1"}, {"--max-crosstalk", "-50"}, 0, false, 0.0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.impair + " " + c.lines.join(' ')).toStdString());
        const Result run =
            Start(QStringList{"--demo", "--json", "crosstalk", "0"} + c.lines + QStringList{"--for", "0.4"} + c.options,
                  {{"VELTRIN_SIM_INPUT", c.input}, {"VELTRIN_SIM_IMPAIR", c.impair}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        if (c.input != "loopback")
            continue; // no reference level, so no figure
        const QJsonObject report = run.Json().toObject();
        EXPECT_NEAR(report["referenceLevel"].toDouble(), -12.25, 0.3);
        EXPECT_EQ(report["heard"].toBool(), c.heard);
        if (c.heard) {
            EXPECT_NEAR(report["value"].toDouble(), c.crosstalk, 0.5);
        } else {
            EXPECT_LT(report["value"].toDouble(), -120.0);
        }
    }
}

TEST_F(CliProgram, SelfTestReportsEveryStepAsJUnitAndInJson) {
    const QString junit = home.filePath("report.xml");
    const Result run = Start({"--demo", "--json", "selftest", "--for", "0.2", "--junit", junit},
                             {{"VELTRIN_SIM_FAULTS", "fail:VSIM1\\VELTRIN_CFG:" + CodeText(req::kWatchdogKick)}});
    EXPECT_EQ(run.code, 3) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("board 1: watchdog error: 10 of 10 kicks refused")) << run.err.toStdString();
    // Every JSON step carries its measurement and limits.
    for (const QJsonValue& board : run.Json()["boards"].toArray())
        for (const QJsonValue& step : board["steps"].toArray())
            for (const char* key : {"value", "unit", "low", "high"})
                EXPECT_TRUE(step.toObject().contains(key)) << step["step"].toString().toStdString() << " " << key;
    QFile file(junit);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int cases = 0;
    int timed = 0;
    QStringList failures;
    QStringList skipped;
    QString testcase;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"testcase") {
            ++cases;
            timed += xml.attributes().hasAttribute("time") ? 1 : 0;
            testcase = xml.attributes().value("classname").toString() + "/" + xml.attributes().value("name").toString();
        } else if (xml.name() == u"failure" || xml.name() == u"error") {
            failures << testcase + ": " + xml.name().toString() + ": " + xml.readElementText();
        } else if (xml.name() == u"skipped") {
            skipped << testcase;
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    int steps = 0;
    for (const QJsonValue& board : run.Json()["boards"].toArray())
        steps += static_cast<int>(board["steps"].toArray().size());
    EXPECT_EQ(cases, steps) << "one test case per step per board";
    EXPECT_EQ(timed, cases);
    ASSERT_EQ(failures.size(), 1) << failures.join('\n').toStdString();
    EXPECT_EQ(failures[0], "board 1 id 501/watchdog: error: 10 of 10 kicks refused");
    EXPECT_EQ(skipped.size(), 4 * 5) << "the loopbacks, their three figures and their continuity of the two lines of "
                                        "both boards: no loopback fixture declared";
}

TEST_F(CliProgram, ParallelSelfTestTakesLittleMoreThanOneBoard) {
    const QMap<QString, QString> fourBoards{{"VELTRIN_SIM_BOARDS", "0x310:1:2,0x310:2:2,0x330D:3:2,0x330D:4:2"}};
    const auto timed = [&](const char* jobs) {
        QElapsedTimer timer;
        timer.start();
        const Result run = Start({"--demo", "-q", "selftest", "--for", "1", "--jobs", jobs}, fourBoards);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "-q leaves standard output empty";
        return static_cast<double>(timer.elapsed());
    };
    const double serial = timed("1");
    const double parallel = timed("4");
    EXPECT_LE(parallel, 0.6 * serial) << parallel << " ms against " << serial << " ms";
}

TEST_F(CliProgram, RecordingIsRenamedWhenCompleteAndDevicesAreWrittenInPlace) {
    struct Case {
        QString out;
        int code;
        QString message; // on standard error
        int parts;       // temporary files left, named on standard error
    };
    const Case cases[] = {
        {home.filePath("rec.raw"), 0, "", 0},
        {"/dev/null", 0, "", 0},
        {"/dev/full", 3, "cannot write /dev/full", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out.toStdString());
        if (!QFileInfo::exists(c.out) && c.out.startsWith("/dev/"))
            continue;
        const Result run = Start({"--demo", "record", "0", "line:1", "--out", c.out, "--for", "0.2"});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_TRUE(QFileInfo(c.out).isFile() || c.out.startsWith("/dev/")) << "the device is not renamed over";
        const QStringList parts = QDir(home.path()).entryList({"*.part"}, QDir::Files);
        ASSERT_EQ(parts.size(), c.parts);
        for (const QString& part : parts) {
            EXPECT_TRUE(run.err.contains("kept in " + home.filePath(part))) << run.err.toStdString();
            EXPECT_EQ(QFileInfo(home.filePath(part)).size(), 4 + 2 * 3200) << "the whole recording";
            QFile::remove(home.filePath(part));
        }
    }
}

TEST_F(CliProgram, SigtermDuringARecordingStopsTheInputAndKeepsWholeSamples) {
    const QString file = home.filePath("rec.raw");
    const QString log = home.filePath("requests.log");
    QProcessEnvironment env = HomeEnvironment();
    env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2");
    env.insert("VELTRIN_SIM_LOG", log);
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(PROGRAM, {"--demo", "record", "0", "line:1", "--out", file, "--for", "3"});
    ASSERT_TRUE(process.waitForStarted());
    // Once the recording's temporary file exists the program is recording (its signal handlers in place).
    const auto parts = [&] { return QDir(home.path()).entryList({"rec.raw.*.part"}, QDir::Files); };
    for (int waited = 0; waited < 10000 && parts().isEmpty(); waited += 50)
        QThread::msleep(50);
    QThread::msleep(300);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000)) << "the recording ends on SIGTERM";
    EXPECT_LT(timer.elapsed(), 2500) << "ended early, not after the 3 s asked for";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + 15);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains("signal 15")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file)) << "the name asked for is kept for a complete recording";
    ASSERT_EQ(parts().size(), 1);
    EXPECT_TRUE(err.contains("kept in " + home.filePath(parts()[0]))) << err.toStdString();
    QFile recording(home.filePath(parts()[0]));
    ASSERT_TRUE(recording.open(QIODevice::ReadOnly));
    EXPECT_GT(recording.size(), 4);
    EXPECT_EQ((recording.size() - 4) % 2, 0) << "whole 16-bit samples";
    QFile requests(log);
    ASSERT_TRUE(requests.open(QIODevice::ReadOnly));
    const QByteArray logged = requests.readAll();
    EXPECT_TRUE(logged.contains("PHONE_LINE1_IN_DEV 0x222408 in=10:01")) << "started";
    EXPECT_TRUE(logged.contains("PHONE_LINE1_IN_DEV 0x222408 in=10:02")) << "and stopped";
}

TEST_F(CliProgram, CalibrationWaitsForTheFixtureToSetEachVoltage) {
    const QString volts = home.filePath("volts.txt");
    QFile script(home.filePath("fixture.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QString("echo \"$1\" >> '%1'; sleep 0.3; [ \"$1\" != 13 ]\n").arg(volts).toUtf8());
    script.close();
    struct Case {
        const char* maxVoltage;
        int code;
        QByteArray set; // the voltages the fixture was asked for, in order
    };
    const Case cases[] = {{"90", 0, "0\n90\n"}, {"13", 3, "0\n13\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxVoltage);
        QFile::remove(volts);
        QElapsedTimer timer;
        timer.start();
        const Result run = Start({"--demo", "calibrate", "1", "--lines", "0,1", "--max-voltage", c.maxVoltage,
                                  "--fixture", "/bin/sh " + script.fileName()});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_GE(timer.elapsed(), 600) << "each voltage had its moment";
        QFile asked(volts);
        ASSERT_TRUE(asked.open(QIODevice::ReadOnly));
        EXPECT_EQ(asked.readAll(), c.set);
    }
}

TEST_F(CliProgram, HelpAfterACommandShowsItsUsage) {
    const Result run = Start({"--demo", "selftest", "--jobs", "2", "-h"});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(run.out.startsWith("usage: veltrin-cli selftest")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("--junit")) << run.out.toStdString();
}

// The fault table: every request kind a testing command sends, answered failed, short or stale, or
// hanging until it is cancelled, ends the run as an error (exit 3) naming a step, never as a pass nor
// as the board's failure, and a hang ends within seconds of its deadline. The cells run side by side.
TEST_F(CliProgram, EveryFaultOfEveryRequestKindIsAnError) {
    struct Kind {
        const char* device;
        uint32_t code;
        QStringList arguments;
        bool answered = true;  // the request has an answer that can come short
        bool repeated = false; // asked more than once in the run, so an answer can repeat an earlier one
    };
    const QStringList selftest{"selftest", "0", "--for", "0.2", "--loopback"};
    const QStringList loopback{"loopback", "0", "line:1", "--for", "0.2"};
    const QStringList play{"play", "0", "line:1", "--sine", "440", "--for", "0.2"};
    const QStringList record{"record", "0", "line:1", "--for", "0.2", "--out"};
    const Kind kinds[] = {
        {"VELTRIN_CFG", req::kPrepareBoard, selftest},
        {"VELTRIN_CFG", req::kPrepareBoard, loopback},
        {"VELTRIN_CFG", req::kMemoryStart, selftest, false},
        {"VELTRIN_CFG", req::kMemoryData, selftest, true, true},
        {"VELTRIN_CFG", req::kWatchdogStart, selftest, false},
        {"VELTRIN_CFG", req::kWatchdogKick, selftest, false},
        {"VELTRIN_CFG", req::kWatchdogStop, selftest, false},
        {"PHONE_LINE1_IN_DEV", req::kGetLineState, selftest},
        {"VELTRIN_CFG", req::kGetLeftRate, selftest},
        {"VELTRIN_CFG", req::kGetCodecRate, selftest},
        {"LINE_OUT_RIGHT", req::kStream, selftest, false},
        {"LINE_OUT_LEFT", req::kGetCounters, selftest, true, true},
        {"PHONE_LINE0_OUT_DEV", req::kGetCounters, selftest, true, true},
        {"PHONE_LINE1_IN_DEV", req::kGetCounters, selftest, true, true},
        {"PHONE_LINE1_OUT_DEV", req::kGetCounters, loopback, true, true},
        {"PHONE_LINE1_IN_DEV", req::kGetCounters, loopback, true, true},
        {"VELTRIN_CFG", req::kGetCodecRate, loopback},
        {"PHONE_LINE1_OUT_DEV", req::kGetCounters, play, true, true},
        {"PHONE_LINE1_OUT_DEV", req::kStream, play, false},
        {"VELTRIN_CFG", req::kGetCodecRate, record},
        {"PHONE_LINE1_IN_DEV", req::kStream, record, false},
    };
    struct Cell {
        QString rule;
        QStringList arguments;
        std::unique_ptr<QProcess> process;
        QElapsedTimer timer;
    };
    std::vector<Cell> cells;
    int n = 0;
    for (const char* fault : {"fail", "short", "stale", "hang"}) {
        for (const Kind& k : kinds) {
            // A request without an answer cannot come short; the first answer to a code is always fresh.
            if ((QString(fault) == "short" && !k.answered) || (QString(fault) == "stale" && !k.repeated))
                continue;
            QStringList arguments = QStringList{"--demo", "--json"} + k.arguments;
            if (arguments.last() == "--out")
                arguments << home.filePath(QString("rec%1.raw").arg(n++));
            cells.push_back(
                {QString("%1:VSIM0\\%2:%3").arg(fault, k.device, CodeText(k.code)), arguments, nullptr, {}});
        }
    }
    constexpr size_t kSideBySide = 12;
    for (size_t first = 0; first < cells.size(); first += kSideBySide) {
        const size_t end = std::min(cells.size(), first + kSideBySide);
        for (size_t i = first; i < end; ++i) {
            QProcessEnvironment env = HomeEnvironment();
            env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2,0x330D:501:2");
            env.insert("VELTRIN_SIM_FAULTS", cells[i].rule);
            env.insert("VELTRIN_SIM_INPUT", "loopback");
            cells[i].process = std::make_unique<QProcess>();
            cells[i].process->setProcessEnvironment(env);
            cells[i].timer.start();
            cells[i].process->start(PROGRAM, cells[i].arguments);
        }
        for (size_t i = first; i < end; ++i) {
            Cell& cell = cells[i];
            SCOPED_TRACE((cell.rule + " " + cell.arguments.join(' ')).toStdString());
            if (!cell.process->waitForFinished(30000)) {
                cell.process->kill();
                cell.process->waitForFinished();
                ADD_FAILURE() << "did not end";
                continue;
            }
            const qint64 took = cell.timer.elapsed();
            const QString err = QString::fromUtf8(cell.process->readAllStandardError());
            const QJsonObject out = QJsonDocument::fromJson(cell.process->readAllStandardOutput()).object();
            EXPECT_EQ(cell.process->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(cell.process->exitCode(), 3) << err.toStdString();
            EXPECT_FALSE(err.isEmpty());
            EXPECT_FALSE(out["passed"].toBool(false));
            EXPECT_LT(took, 15000) << "a hung request ends within seconds of its deadline";
        }
    }
}

// SIGTERM at seeded random moments of a self-test: the program ends within about a second with 143,
// still writes its JSON report of what was measured, and every stream it started got its stop request.
TEST_F(CliProgram, StopSignalAtAnyMomentIsReportedAndStopsEveryStream) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(150, 1300);
    for (int round = 0; round < 5; ++round) {
        const int wait = delay(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", SIGTERM after " + std::to_string(wait) + " ms");
        const QString log = home.filePath("signal.log");
        QFile::remove(log);
        QProcessEnvironment env = HomeEnvironment();
        env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2,0x330D:501:2");
        env.insert("VELTRIN_SIM_LOG", log);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(PROGRAM, {"--demo", "--json", "selftest", "--for", "0.6", "--jobs", "2"});
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(wait));
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_LT(sinceSignal.elapsed(), 1500) << "the signal is honoured within about a second";
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
        const QJsonObject report = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        if (process.exitCode() == 0)
            continue; // it had finished before the signal came
        EXPECT_EQ(process.exitCode(), 143);
        EXPECT_EQ(report["command"].toString(), "selftest");
        EXPECT_FALSE(report["boards"].toArray().isEmpty()) << "what was measured is reported";
        // A signal that came before the last step ended leaves that step, and so the run, unpassed.
        bool unfinished = false;
        for (const QJsonValue& board : report["boards"].toArray())
            for (const QJsonValue& step : board["steps"].toArray())
                unfinished = unfinished || step["detail"].toString().contains("signal 15");
        if (unfinished) {
            EXPECT_FALSE(report["passed"].toBool(true));
            EXPECT_EQ(report["signal"].toInt(), 15);
        }
        QFile file(log);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QMap<QString, int> running;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() < 4 || words[2] != "0x222408")
                continue;
            running[QString::fromUtf8(words[1])] += words[3].startsWith("in=10:01") ? 1 : -1;
        }
        for (auto it = running.begin(); it != running.end(); ++it)
            EXPECT_EQ(it.value(), 0) << it.key().toStdString() << " started without its stop";
    }
}

// A healthy board under a process that stands still for 1.2 s mid-stream still passes: the data the
// host lost is measured again, never blamed on the board.
TEST_F(CliProgram, ProcessStallDoesNotFailAHealthyBoard) {
    QProcessEnvironment env = HomeEnvironment();
    env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2");
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(PROGRAM, {"--demo", "--json", "selftest", "--for", "1"});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(500); // the streams are running by now
    ::kill(static_cast<pid_t>(process.processId()), SIGSTOP);
    QThread::msleep(1200);
    ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
    ASSERT_TRUE(process.waitForFinished(20000));
    const QByteArray out = process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 0) << out.toStdString() << process.readAllStandardError().toStdString();
}

// The fixture's output is diagnostics, a failing fixture leaves the board's maximum voltage as it was,
// and a stop signal during the wait ends the fixture with everything it started.
TEST_F(CliProgram, CalibrationFixtureIsContainedAndAFailureRestoresTheBoard) {
    const QString log = home.filePath("calibrate.log");
    QFile script(home.filePath("fixture.sh"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QString("echo fixture-says-$1; [ \"$1\" != 13 ] || exit 4; [ \"$1\" != 14 ] || "
                         "{ sleep 30 & echo $! > '%1'; wait; }\n")
                     .arg(home.filePath("child.pid"))
                     .toUtf8());
    script.close();
    const auto calibrate = [&](const char* volts) {
        QStringList arguments{"--demo", "--json",        "calibrate", "1",         "--lines",
                              "0",      "--max-voltage", volts,       "--fixture", "/bin/sh " + script.fileName()};
        return arguments;
    };
    {
        QFile::remove(log);
        const Result run = Start(calibrate("13"), {{"VELTRIN_SIM_LOG", log}});
        EXPECT_EQ(run.code, 3) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("fixture-says")) << "the fixture's output is not in the JSON";
        EXPECT_TRUE(run.err.contains("fixture-says-13")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("back at 60 V")) << run.err.toStdString();
        QFile requests(log);
        ASSERT_TRUE(requests.open(QIODevice::ReadOnly));
        const QByteArray logged = requests.readAll();
        const qsizetype set = logged.indexOf("0x222468 in=2:0D00");
        ASSERT_GE(set, 0);
        EXPECT_GT(logged.indexOf("0x222468 in=2:3C00", set), set) << "60 V set again after the failed 13 V";
    }
    {
        QProcessEnvironment env = HomeEnvironment();
        env.insert("VELTRIN_SIM_BOARDS", "0x310:200:2,0x330D:501:2");
        QProcess process;
        process.setProcessEnvironment(env);
        const QStringList arguments = calibrate("14");
        process.start(PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted());
        QFile pid(home.filePath("child.pid"));
        for (int waited = 0; waited < 10000 && pid.size() == 0; waited += 50)
            QThread::msleep(50);
        QElapsedTimer timer;
        timer.start();
        process.terminate();
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_LT(timer.elapsed(), 1500) << "SIGTERM honoured during the fixture's wait";
        EXPECT_EQ(process.exitCode(), 143);
        ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
        const pid_t child = static_cast<pid_t>(pid.readAll().trimmed().toInt());
        ASSERT_GT(child, 0);
        // Ended: gone, or a zombie its new parent has not reaped yet.
        const auto running = [child] {
            QFile stat(QString("/proc/%1/stat").arg(child));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray text = stat.readAll();
            const qsizetype close = text.lastIndexOf(')');
            return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z';
        };
        for (int waited = 0; waited < 1000 && running(); waited += 50)
            QThread::msleep(50);
        EXPECT_FALSE(running()) << "the fixture's own child was ended too";
    }
}

// Every JSON report begins with "schema" and "command", carries a top-level verdict and says why it
// did not pass.
TEST_F(CliProgram, JsonReportsLeadWithSchemaAndCommandAndGiveTheirReason) {
    struct Case {
        QStringList arguments;
        int code;
        QString reasonKey;
        QString reason; // contained in the reason's text; empty for a pass
    };
    const Case cases[] = {
        {{"list", "--expect-boards", "3"}, 1, "reason", "2 found, 3 expected"},
        {{"selftest", "0", "--for", "0.1", "--expect-boards", "3"}, 1, "reasons", "boards found failed"},
        {{"selftest", "0", "--for", "0.1", "--strict"}, 1, "reasons", "skipped: no loopback fixture declared"},
        {{"loopback", "0", "line:1", "--for", "0.2"}, 0, "reasons", ""},
        {{"play", "0", "left", "--sine", "440", "--for", "0.2"}, 0, "detail", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Result run = Start(QStringList{"--demo", "--json"} + c.arguments, {{"VELTRIN_SIM_INPUT", "loopback"}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith("{\n    \"schema\": 1,\n    \"command\": \"" + c.arguments[0].toUtf8() + "\""))
            << run.out.left(80).toStdString();
        const QJsonObject report = run.Json().toObject();
        EXPECT_EQ(report["passed"].toBool(), c.code == 0);
        const QJsonValue why = report[c.reasonKey];
        const QString text = why.isArray() ? QJsonDocument(why.toArray()).toJson() : why.toString();
        EXPECT_TRUE(text.contains(c.reason)) << text.toStdString();
    }
}

// Every testing command keeps one record per board that `records show` gives back exactly as the
// command's JSON reported it, with its outcome and attempt number; a store that is not one ends the run
// before any request reaches a board.
TEST_F(CliProgram, EveryTestingCommandKeepsItsStepsAsReported) {
    const QString store = home.filePath("store.sqlite");
    const QMap<QString, QString> loop = {{"VELTRIN_SIM_INPUT", "loopback"}};
    struct Case {
        QStringList arguments;
        int code;
        const char* outcome;
        bool boards;     // the steps lie under boards[0] (selftest)
        int attempt = 1; // of its first run here: the command's runs on that board before, plus one
    };
    const Case cases[] = {
        {{"selftest", "0", "--loopback", "--for", "0.2"}, 0, "pass", true},
        {{"loopback", "0", "line:1", "--for", "0.3"}, 0, "pass", false},
        {{"loopback", "0", "line:0", "--for", "0.3", "--min-level", "-3"}, 1, "fail", false, 3},
        {{"crosstalk", "0", "line:0", "line:1", "--for", "0.3"}, 0, "pass", false},
        {{"calibrate", "1", "--lines", "0,1", "--max-voltage", "60", "--yes", "--no-wait"}, 0, "pass", false},
        {{"watchdog", "0", "--interval", "300", "--for", "0.1"}, 0, "pass", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        for (int attempt = c.attempt; attempt <= c.attempt + 1; ++attempt) {
            const Result run = Start(
                QStringList{"--demo", "--json"} + c.arguments + QStringList{"--records", "sqlite:" + store}, loop);
            ASSERT_EQ(run.code, c.code) << run.err.toStdString();
            const QJsonObject reported = run.Json().toObject();
            const QJsonArray steps =
                c.boards ? reported["boards"].toArray()[0].toObject()["steps"].toArray() : reported["steps"].toArray();
            ASSERT_FALSE(steps.isEmpty()) << run.out.toStdString();
            const Result list =
                Start({"records", "list", "--json", "--records", store, "--command", c.arguments[0], "--limit", "1"});
            ASSERT_EQ(list.code, 0) << list.err.toStdString();
            const QString id = list.Json().toObject()["records"].toArray()[0].toObject()["run"].toString();
            const Result show = Start({"records", "show", id, "--json", "--records", store});
            ASSERT_EQ(show.code, 0) << show.err.toStdString();
            const QJsonObject record = show.Json().toObject()["record"].toObject();
            EXPECT_EQ(record["outcome"].toString(), c.outcome);
            EXPECT_EQ(record["attempt"].toInt(), attempt);
            EXPECT_EQ(record["command"].toString(), c.arguments[0]);
            EXPECT_EQ(record["board"].toObject()["number"].toInt(), c.arguments[1].toInt());
            EXPECT_LE(record["started"].toString(), record["ended"].toString());
            const QJsonArray kept = record["steps"].toArray();
            ASSERT_EQ(kept.size(), steps.size());
            for (qsizetype i = 0; i < steps.size(); ++i) {
                const QJsonObject shown = steps[i].toObject();
                const QJsonObject back = kept[i].toObject();
                EXPECT_EQ(back["name"], shown["step"]);
                for (const char* key : {"result", "value", "unit", "low", "high", "seconds", "detail"})
                    EXPECT_EQ(back[key], shown[key]) << key << " of " << shown["step"].toString().toStdString();
            }
        }
    }

    // A file that is not a records store: exit 3 naming it, nothing sent to any board, the file untouched.
    const QString notes = home.filePath("notes.txt");
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a store\n");
    file.close();
    const QString log = home.filePath("requests.log");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Result run =
            Start(QStringList{"--demo"} + c.arguments + QStringList{"--records", notes}, {{"VELTRIN_SIM_LOG", log}});
        EXPECT_EQ(run.code, 3) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("not a records store")) << run.err.toStdString();
        EXPECT_EQ(QFileInfo(log).size(), 0) << "a request reached a board";
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("not a store\n"));
        file.close();
    }
}

// A command that fails never touches the file it was to write: its temporary file beside it is gone,
// unless it is a recording kept on purpose (named on standard error, whole samples).
TEST_F(CliProgram, FailedCommandsLeaveTheirTargetsAndNoStrayTemporaryFiles) {
    const QString folder = home.filePath("out");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/target";
    struct Case {
        QString faults;
        QStringList arguments; // the target follows
        int code;
    };
    const QString cfg = "VSIM0\\VELTRIN_CFG:" + CodeText(req::kMemoryData);
    const Case cases[] = {
        {"fail:" + cfg, {"mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "4", "--out"}, 3},
        {"short:" + cfg, {"mem", "read", "0", "--memory", "daram", "--start", "0", "--count", "4", "--out"}, 3},
        {"refuse:VSIM0\\PHONE_LINE1_IN_DEV", {"record", "0", "line:1", "--for", "0.2", "--out"}, 3},
        {"hang:VSIM0\\PHONE_LINE1_IN_DEV:" + CodeText(req::kStream),
         {"record", "0", "line:1", "--for", "0.2", "--out"},
         3},
        {"refuse:VSIM0", {"selftest", "0", "--for", "0.2", "--junit"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.faults + " " + c.arguments.join(' ')).toStdString());
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\n");
        old.close();
        const Result run = Start(QStringList{"--demo"} + c.arguments + QStringList{target},
                                 {{"VELTRIN_SIM_FAULTS", c.faults}, {"VELTRIN_SIM_INPUT", "loopback"}});
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        const bool report = c.arguments.contains("--junit"); // a failed run still writes its report
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        if (report)
            EXPECT_TRUE(old.readAll().startsWith("<?xml"));
        else
            EXPECT_EQ(old.readAll(), QByteArray("old\n"));
        old.close();
        for (const QFileInfo& left : QDir(folder).entryInfoList(QDir::Files)) {
            if (left.fileName() == "target")
                continue;
            EXPECT_TRUE(c.arguments.first() == "record" && run.err.contains(left.filePath()))
                << "stray " << left.fileName().toStdString();
            EXPECT_EQ(left.size() >= 4 ? (left.size() - 4) % 2 : 0, 0) << left.fileName().toStdString();
            QFile::remove(left.filePath());
        }
    }
}

// A line input that drops, repeats or shifts blocks fails the loopback's continuity and names the first
// glitches' times, through noise, distortion and any level; the same loopback without the fault passes it.
TEST_F(CliProgram, LoopbackContinuityFailsOnEveryKindOfGlitchAndPassesWithoutOne) {
    struct Case {
        QString fault;
        QString impair;
        QString ampl;
        bool glitched;
    };
    const Case cases[] = {
        {"", "", "8000", false},
        {"", "noise:-60,harmonic:-40", "2000", false},
        {"glitch:PHONE_LINE1_IN_DEV:100", "", "8000", true},
        {"glitch:*:100:repeat", "noise:-60", "20000", true},
        {"glitch:VSIM0:100:shift", "noise:-55,harmonic:-35", "3000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.fault + " " + c.impair + " " + c.ampl).toStdString());
        const Result run = Start(
            {"--demo", "--json", "loopback", "0", "line:1", "--for", "0.5", "--ampl", c.ampl},
            {{"VELTRIN_SIM_INPUT", "loopback"}, {"VELTRIN_SIM_FAULTS", c.fault}, {"VELTRIN_SIM_IMPAIR", c.impair}});
        const QJsonObject report = run.Json().toObject();
        QJsonObject continuity;
        for (const QJsonValue& step : report["steps"].toArray())
            if (step["step"].toString() == "loopback line 1 continuity")
                continuity = step.toObject();
        ASSERT_FALSE(continuity.isEmpty()) << run.out.toStdString();
        EXPECT_EQ(report["unbroken"].toBool(), !c.glitched);
        const QJsonArray times = report["glitchTimes"].toArray();
        EXPECT_EQ(report["glitches"].toInt(), times.size());
        EXPECT_EQ(continuity["value"].toInt(), times.size());
        EXPECT_EQ(continuity["result"].toString(), c.glitched ? "fail" : "pass");
        if (!c.glitched) {
            EXPECT_TRUE(times.isEmpty());
            EXPECT_TRUE(continuity["detail"].toString().startsWith("no glitch in "))
                << continuity["detail"].toString().toStdString();
            continue;
        }
        EXPECT_EQ(run.code, 1) << run.err.toStdString();
        // A glitch every 50 to 150 ms in the half second and more of tone judged.
        EXPECT_GE(times.size(), 3);
        for (qsizetype i = 1; i < times.size(); ++i)
            EXPECT_GT(times[i].toDouble(), times[i - 1].toDouble() + 0.04) << "one glitch is counted once";
        const QString first = QString::number(times[0].toDouble(), 'f', 3) + " s";
        EXPECT_TRUE(
            run.err.contains("loopback line 1 failed: " + QString::number(times.size()) + " glitches, at " + first))
            << run.err.toStdString();
    }
}

TEST_F(CliProgram, SelfTestFailsTheContinuityOfAGlitchingLineOnly) {
    const Result run =
        Start({"--demo", "--json", "selftest", "1", "--loopback", "--for", "0.5"},
              {{"VELTRIN_SIM_INPUT", "loopback"}, {"VELTRIN_SIM_FAULTS", "glitch:PHONE_LINE0_IN_DEV:120:repeat"}});
    EXPECT_EQ(run.code, 1) << run.err.toStdString();
    QMap<QString, QJsonObject> steps;
    for (const QJsonValue& step : run.Json()["boards"][0]["steps"].toArray())
        steps[step["step"].toString()] = step.toObject();
    EXPECT_EQ(steps["loopback line 0 continuity"]["result"].toString(), "fail");
    EXPECT_TRUE(steps["loopback line 0 continuity"]["detail"].toString().contains(" glitches, at "));
    EXPECT_EQ(steps["loopback line 1 continuity"]["result"].toString(), "pass");
    EXPECT_FALSE(steps["loopback line 0"]["detail"].toString().contains("unbroken"));
    EXPECT_TRUE(steps["loopback line 1"]["detail"].toString().contains("one unbroken run"));
}
