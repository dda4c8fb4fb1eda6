// veltrin-cli's stream commands in-process against one simulator that stays loaded between them, so a
// rate one command sets is still set for the next.
#include "CliCommands.h"
#include "CliOutput.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RecordRate, RecordingTakesTheCodecRateNotTheLeftOutputs) {
    QTemporaryDir dir;
    qputenv("VELTRIN_SIM_BOARDS", "0x310:200:2");
    qputenv("VELTRIN_SIM_INPUT", "tone");
    QLibrary simulator(QStringLiteral(SIM_DRIVER)); // held, so the boards keep their state between commands
    ASSERT_TRUE(simulator.load()) << simulator.errorString().toStdString();
    SetQuiet(true);
    const auto run = [&](int (*command)(CliContext&), const std::vector<std::string>& words) {
        CliContext context(CliArgs::Parse(words), LibraryChoice{SIM_DRIVER, false});
        return command(context);
    };
    const QString file = dir.filePath("rec.raw");
    EXPECT_EQ(run(&RunPlay, {"play", "0", "left", "--sine", "1000", "--rate", "8000", "--for", "0.1"}), 0);
    EXPECT_EQ(run(&RunRecord, {"record", "0", "line:1", "--out", file.toStdString(), "--for", "0.2"}), 0);
    SetQuiet(false);
    QFile recording(file);
    ASSERT_TRUE(recording.open(QIODevice::ReadOnly));
    const QByteArray header = recording.read(4);
    ASSERT_EQ(header.size(), 4);
    const auto* h = reinterpret_cast<const uint8_t*>(header.constData());
    EXPECT_EQ(h[0] | (h[1] << 8) | (h[2] << 16), 16000) << "the codec's rate, not the left output's 8000";
    EXPECT_EQ(recording.size(), 4 + 2 * 3200);
}
