// The program as a whole, started as a process: command line, screenshots, the single instance.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ProgramTest : ::testing::Test {
    QTemporaryDir home;
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_CONFIG_DIRS", home.path() + "/system"); // not this machine's driver library setting
        env.insert("XDG_RUNTIME_DIR", home.path());
        env.insert("TMPDIR", home.path());
        env.insert("VELTRIN_DEVICE_ROOT", home.path() + "/dev"); // no kernel boards here
        env.insert("VELTRIN_SIM_BOARDS", "0x310:200:8,0x330D:501:4");
        // Under the leak checker the whole program now and then reports one allocation that Qt's core
        // library makes and keeps at exit, with no frame of ours on its stack; our own objects are
        // leak-checked by the in-process tests, so the child process runs without the leak check.
        if (env.contains("ASAN_OPTIONS"))
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        return env;
    }
    QProcess* Start(const QStringList& arguments) {
        auto* process = new QProcess;
        process->setProcessEnvironment(Environment());
        process->start(PROGRAM, arguments);
        m_processes.emplace_back(process);
        return process;
    }
    void TearDown() override {
        for (auto& p : m_processes) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

TEST_F(ProgramTest, HelpAndVersion) {
    QProcess* help = Start({"--help"});
    ASSERT_TRUE(help->waitForFinished(20000));
    EXPECT_EQ(help->exitCode(), 0);
    const QString text = help->readAllStandardOutput();
    for (const char* option : {"--driver-library", "--demo", "--screenshot", "--version"})
        EXPECT_TRUE(text.contains(option)) << option;
    QProcess* version = Start({"--version"});
    ASSERT_TRUE(version->waitForFinished(20000));
    EXPECT_TRUE(QString(version->readAllStandardOutput()).contains("2.1"));
}

TEST_F(ProgramTest, ScreenshotRunWritesOnePictureAPageAndExitsCleanly) {
    const QString dir = home.path() + "/shots";
    QProcess* run = Start({"--demo", "--screenshot", dir});
    ASSERT_TRUE(run->waitForFinished(120000));
    EXPECT_EQ(run->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
    const QStringList listed = QString(run->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const QStringList files = QDir(dir).entryList({"*.png"}, QDir::Files, QDir::Name);
    EXPECT_EQ(listed.size(), files.size());
    EXPECT_TRUE(files.contains("analyser.png"));
    EXPECT_TRUE(files.contains("records.png"));
    for (const QString& file : files) {
        EXPECT_TRUE(file.startsWith("board0-") || file.startsWith("board1-") || file == "about.png" ||
                    file == "analyser.png" || file == "records.png")
            << file.toStdString();
        EXPECT_FALSE(QImage(QDir(dir).filePath(file)).isNull()) << file.toStdString();
    }
}

TEST_F(ProgramTest, NoBoardsIsReportedAndTheProgramEnds) {
    QProcess* run = Start({"--screenshot", home.path() + "/none"});
    ASSERT_TRUE(run->waitForFinished(30000));
    EXPECT_EQ(run->exitCode(), 0);
    EXPECT_TRUE(QString(run->readAllStandardError()).contains("Error: KVR R310, R320, R330 not found"));
}

TEST_F(ProgramTest, UnloadableLibraryIsNamedOnStandardError) {
    QProcess* run = Start({"--driver-library", home.path() + "/missing.so", "--screenshot", home.path() + "/x"});
    ASSERT_TRUE(run->waitForFinished(30000));
    const QString errors = run->readAllStandardError();
    EXPECT_TRUE(errors.contains("cannot load driver library")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("missing.so"));
}

TEST_F(ProgramTest, SecondStartExitsAtOnceWhileTheFirstRuns) {
    QProcess* first = Start({"--demo"});
    ASSERT_TRUE(first->waitForStarted(10000));
    // Wait until the first instance listens (its socket appears in the temporary folder).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return QFileInfo::exists(home.path() + "/veltrin-test-" + qEnvironmentVariable("USER", "user")) ||
                   !QDir(home.path()).entryList({"veltrin-test-*"}, QDir::System).isEmpty();
        },
        20000));
    QProcess* second = Start({"--demo"});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(QString(second->readAllStandardError()).contains("without the single-instance check"));
    EXPECT_EQ(first->state(), QProcess::Running);
}

#ifdef __linux__
// The first window waits for every library the program is linked to: the ones only the records window,
// the calibration records, the analyser and sound files need are loaded when first used instead.
TEST_F(ProgramTest, StartsWithoutTheLibrariesOnlyLaterWindowsNeed) {
    QProcess readelf;
    readelf.start("readelf", {"--dynamic", "--wide", PROGRAM});
    ASSERT_TRUE(readelf.waitForFinished(30000));
    ASSERT_EQ(readelf.exitCode(), 0);
    const QString needed = readelf.readAllStandardOutput();
    ASSERT_TRUE(needed.contains("libQt6Widgets")) << needed.toStdString();
    for (const char* late : {"libQt6Sql", "libQt6Svg", "libQt6Network", "libfftw3", "libsndfile"})
        EXPECT_FALSE(needed.contains(late)) << late;
}

// A program whose records module is missing still runs; the records picture is left out and the module
// it looked for is named.
TEST_F(ProgramTest, AMissingRecordsModuleIsNamedAndTheRestRuns) {
    const QString bin = home.path() + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString program = bin + "/veltrin-test";
    ASSERT_TRUE(QFile::copy(PROGRAM, program));
    const QString simulator = QFileInfo(PROGRAM).dir().filePath("libveltrin-sim.so");
    ASSERT_TRUE(QFile::copy(simulator, bin + "/libveltrin-sim.so"));
    QProcess run;
    run.setProcessEnvironment(Environment());
    run.start(program, {"--demo", "--screenshot", home.path() + "/shots"});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString errors = run.readAllStandardError();
    EXPECT_EQ(run.exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("test records module libveltrin-records.so")) << errors.toStdString();
    const QStringList files = QDir(home.path() + "/shots").entryList({"*.png"}, QDir::Files);
    EXPECT_TRUE(files.contains("analyser.png"));
    EXPECT_FALSE(files.contains("records.png"));
}
#endif
