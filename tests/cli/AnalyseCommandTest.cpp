// veltrin-cli analyse started as a process on a raw recording synthesised here: the figures it prints
// and the limits that make it fail, naming the figure.
#include "ProgramRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

ProgramRun Analyse(const QStringList& arguments) { return RunProgram(arguments); }

// One second at 16 kHz as the program records it: silence, then a 1 kHz tone at -20 dBFS with its
// second harmonic 40 dB down (so THD+N is -40 dB), then silence again.
QString WriteRecording(const QTemporaryDir& dir) {
    const QString path = dir.filePath("line.raw");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    constexpr uint32_t rate = 16000;
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(static_cast<char>((rate >> shift) & 0xFF));
    for (int i = 0; i < 16000; ++i) {
        const double t = i / static_cast<double>(rate);
        const bool tone = i >= 1000 && i < 15000;
        const double x =
            tone ? 0.1 * std::sin(2 * std::numbers::pi * 1000 * t) + 0.001 * std::sin(2 * std::numbers::pi * 2000 * t)
                 : 0.0;
        const auto sample = static_cast<int16_t>(std::lround(x * 32768));
        bytes.append(static_cast<char>(sample & 0xFF));
        bytes.append(static_cast<char>((sample >> 8) & 0xFF));
    }
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path;
}

TEST(AnalyseCommand, PrintsTheFiguresAndFailsOnlyOutsideTheLimits) {
    QTemporaryDir dir;
    const QString path = WriteRecording(dir);
    const ProgramRun plain = Analyse({"--json", "analyse", path});
    ASSERT_EQ(plain.code, 0) << plain.err.toStdString();
    const QJsonObject figures = QJsonDocument::fromJson(plain.out).object();
    EXPECT_NEAR(figures["frequency"].toDouble(), 1000.0, 1.0);
    EXPECT_NEAR(figures["level"].toDouble(), -20.0, 0.05);
    EXPECT_NEAR(figures["thdn"].toDouble(), -40.0, 0.2);
    EXPECT_LT(figures["noise"].toDouble(), -90.0);
    EXPECT_FALSE(figures.contains("passed"));
    // One rounding for every figure, in JSON as in text: two decimals.
    for (const char* key : {"frequency", "level", "thd", "thdn", "noise"}) {
        const double value = figures[key].toDouble();
        EXPECT_EQ(value, std::round(value * 100) / 100) << key << " " << value;
    }
    // A limit equal to the value shown passes: the comparison is on that value.
    const QString level = QString::number(figures["level"].toDouble(), 'f', 2);
    EXPECT_EQ(Analyse({"analyse", path, "--min-level", level, "--max-level", level}).code, 0) << level.toStdString();

    struct Case {
        QStringList limits;
        int code;
        const char* named; // what stderr must name when it fails
    };
    const Case cases[] = {
        {{"--min-level", "-21", "--max-level", "-19", "--max-thdn", "-35", "--max-noise", "-80", "--freq", "1000"},
         0,
         ""},
        {{"--min-level", "-19.5"}, 1, "level -20.00 dBFS"},
        {{"--max-level=-20.5"}, 1, "level -20.00 dBFS"},
        {{"--max-thdn", "-45"}, 1, "THD+N -39.9"},
        {{"--max-noise", "-199"}, 1, "noise"},
        {{"--freq", "1020"}, 1, "frequency 1000.00 Hz"},
        {{"--freq", "1020", "--freq-tolerance", "3"}, 0, ""},
        {{"--max-thdn", "low"}, 2, "--max-thdn"},
        {{"--freq-tolerance", "3"}, 2, "--freq"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limits.join(' ').toStdString());
        const ProgramRun run = Analyse(QStringList{"analyse", path} + c.limits);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.named))) << run.err.toStdString();
        if (c.code != 2) {
            EXPECT_TRUE(run.out.contains(c.code == 0 ? "passed: yes" : "passed: no")) << run.out.toStdString();
        }
    }
    EXPECT_EQ(Analyse({"analyse", dir.filePath("missing.raw")}).code, 2);
}

} // namespace
