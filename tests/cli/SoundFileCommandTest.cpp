// veltrin-cli with the sound files users have: analyse on WAV files written here through libsndfile (a
// quiet tone after silence, noise alone, the channel chosen of a stereo file), files refused naming
// themselves, and `record --format wav` read back, whole or stopped early.
#include "CliCommands.h"
#include "CliOutput.h"
#include "ProgramRun.h"
#include "RecordingFile.h"
#include "SoundFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

struct CliRun {
    int code = -1;
    QJsonObject figures;
    QString err;
};

CliRun Cli(const QStringList& arguments) {
    const ProgramRun run = RunProgram(arguments);
    return {run.code, QJsonDocument::fromJson(run.out).object(), run.err};
}

// A 16-bit WAV file at 48 kHz of the channels given (full scale 1.0), through libsndfile.
QString WriteWav(const QTemporaryDir& dir, const QString& name, const std::vector<std::vector<double>>& channels) {
    const QString path = dir.filePath(name);
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr);
    std::vector<double> interleaved;
    for (size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& c : channels)
            interleaved.push_back(c[i]);
    const auto frames = static_cast<sf_count_t>(channels[0].size());
    EXPECT_EQ(sf_writef_double(file, interleaved.data(), frames), frames);
    sf_close(file);
    return path;
}

// `silent` seconds of silence, then `toned` seconds of a tone at `dbfs` (RMS, 0 dBFS a full-scale sine),
// undithered: 16-bit data holds such a tone down to -90 dBFS with its quantisation as harmonics.
std::vector<double> QuietTone(double silent, double toned, double hz, double dbfs) {
    std::vector<double> x(static_cast<size_t>((silent + toned) * 48000), 0.0);
    const double peak = std::pow(10.0, dbfs / 20.0);
    for (size_t i = static_cast<size_t>(silent * 48000); i < x.size(); ++i)
        x[i] = peak * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 48000.0);
    return x;
}

std::vector<double> Noise(double seconds, double rms) {
    std::mt19937 random(9);
    std::normal_distribution<double> gauss(0.0, rms);
    std::vector<double> x(static_cast<size_t>(seconds * 48000));
    for (double& v : x)
        v = gauss(random);
    return x;
}

TEST(SoundFileCommands, AnalyseFindsTheToneOrSaysThereIsNone) {
    QTemporaryDir dir;
    // Quiet tones after silence, one near the data's floor (its level changed by its quantisation).
    const QString quiet = WriteWav(dir, "quiet.wav", {QuietTone(3.0, 2.0, 997.0, -60.0)});
    const QString faint = WriteWav(dir, "faint.wav", {QuietTone(3.0, 2.0, 997.0, -85.0)});
    const QString noise = WriteWav(dir, "noise.wav", {Noise(2.0, 0.05)});
    const QString stereo = WriteWav(dir, "stereo.wav", {Noise(2.0, 0.05), QuietTone(0.5, 1.5, 440.0, -20.0)});
    struct Case {
        QStringList arguments;
        int code;
        std::optional<double> frequency; // nothing: "no tone"
        double level;
        double tolerance;  // of the level
        const char* named; // in stderr
    };
    const Case cases[] = {
        {{quiet}, 0, 997.0, -60.0, 0.05, ""},
        {{quiet, "--max-thdn", "-30", "--freq", "997"}, 0, 997.0, -60.0, 0.05, ""},
        {{faint}, 0, 997.0, -85.0, 1.0, ""},
        {{noise}, 0, std::nullopt, -23.0, 0.3, ""},
        {{noise, "--max-thdn", "0"}, 1, std::nullopt, -23.0, 0.3, "THD+N: no tone"},
        {{noise, "--freq", "1000"}, 1, std::nullopt, -23.0, 0.3, "frequency: no tone"},
        {{stereo, "--channel", "right"}, 0, 440.0, -20.0, 0.05, ""},
        {{stereo, "--channel", "left"}, 0, std::nullopt, -23.0, 0.3, ""},
        {{noise, "--channel", "right"}, 2, std::nullopt, 0, 0, "noise.wav has one channel"},
        {{noise, "--channel", "middle"}, 2, std::nullopt, 0, 0, "--channel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliRun run = Cli(QStringList{"--json", "analyse"} + c.arguments);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.named))) << run.err.toStdString();
        if (c.code == 2)
            continue;
        EXPECT_EQ(run.figures["tone"].toBool(), c.frequency.has_value());
        if (c.frequency) {
            EXPECT_NEAR(run.figures["frequency"].toDouble(), *c.frequency, *c.frequency * 1e-4);
        } else {
            for (const char* key : {"frequency", "thd", "thdn"})
                EXPECT_TRUE(run.figures[key].isNull()) << key;
        }
        EXPECT_NEAR(run.figures["level"].toDouble(), c.level, c.tolerance);
    }
}

TEST(SoundFileCommands, FilesThatAreNoSoundFilesAreRefusedNamingThemselves) {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString good = WriteWav(dir, "good.wav", {Noise(0.1, 0.1)});
    QFile in(good);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QStringList refused = {write("notes.txt", "Line 3 was quiet on Tuesday.\n"), write("cut.wav", in.read(30)),
                                 write("riff.wav", "RIFF\x10\0\0\0WAVEjunk")};
    for (const QString& path : refused)
        for (const char* command : {"analyse", "play"}) {
            SCOPED_TRACE(path.toStdString() + " " + command);
            const QStringList arguments = QString::fromLatin1(command) == QLatin1String("analyse")
                                              ? QStringList{"analyse", path}
                                              : QStringList{"--demo", "play", "0", "left", "--file", path};
            const CliRun run = Cli(arguments);
            EXPECT_EQ(run.code, 2) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(path)) << run.err.toStdString();
        }
}

TEST(SoundFileCommands, RecordingAsWavReadsBackWithItsHeaderRight) {
    QTemporaryDir dir;
    qputenv("VELTRIN_SIM_BOARDS", "0x310:200:2");
    qputenv("VELTRIN_SIM_INPUT", "tone");
    QLibrary simulator(QStringLiteral(SIM_DRIVER));
    ASSERT_TRUE(simulator.load()) << simulator.errorString().toStdString();
    SetQuiet(true);
    const std::string path = dir.filePath("rec.wav").toStdString();
    CliContext context(
        CliArgs::Parse({"record", "0", "line:1", "--out", path, "--format", "wav", "--rate", "8000", "--for", "0.25"}),
        LibraryChoice{SIM_DRIVER, false});
    EXPECT_EQ(RunRecord(context), 0);
    SetQuiet(false);
    CSoundFile file;
    ASSERT_TRUE(file.OpenForReading(path)) << file.LastError();
    EXPECT_TRUE(file.IsWav());
    EXPECT_EQ(file.SampleRate(), 8000u);
    EXPECT_EQ(file.DataLength(), 2 * 2000);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 44 + 2 * 2000);

    // Stopped early (the path a signal takes): what was kept is cut to whole samples and its header
    // counts exactly them.
    const std::string target = dir.filePath("early.wav").toStdString();
    CRecordingFile early(target, SoundFormat::Wav);
    {
        CSoundFile writing;
        ASSERT_TRUE(writing.CreateForRecording(early.Path(), 16000, SoundFormat::Wav));
        const std::vector<int16_t> samples(777, 1234);
        ASSERT_TRUE(writing.Append(samples.data(), 2 * 777));
    }
    { // and a torn half sample on top, as a write cut off mid-way leaves
        QFile torn(QString::fromStdString(early.Path()));
        ASSERT_TRUE(torn.open(QIODevice::Append));
        torn.write("\x01", 1);
    }
    early.Trim(early.Size());
    const std::string kept = early.Keep();
    ASSERT_TRUE(file.OpenForReading(kept)) << file.LastError();
    EXPECT_EQ(file.SampleRate(), 16000u);
    EXPECT_EQ(file.DataLength(), 2 * 777);
    std::vector<int16_t> got(800);
    EXPECT_EQ(file.ReadSamples(800, got.data()), 777);
    EXPECT_EQ(got[776], 1234);
    file.Close();
    QFile::remove(QString::fromStdString(kept));
}

} // namespace
