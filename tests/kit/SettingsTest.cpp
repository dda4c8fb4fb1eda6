// The per-board settings store on a temporary QSettings location.
#include "Settings.h"
#include "SettingsSandbox.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {
QSettings Raw() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "VeltrinTest", QCoreApplication::applicationName());
}
} // namespace

TEST(Settings, SectionPathsUseTheSignedBoardIndex) {
    EXPECT_EQ(BoardSection(0, "PCM"), "DEV0\\PCM");
    EXPECT_EQ(BoardSection(-1, "CFG\\LINE3"), "DEV-1\\CFG\\LINE3");
}

TEST(Settings, IntegersAndFilesRoundTripUnderNestedSections) {
    SettingsSandbox sandbox;
    EXPECT_TRUE(WriteBoardInt(-1, "CFG\\LINE3", "AON_ENABLED", 0));
    EXPECT_TRUE(WriteBoardInt(2, "PCM", "MUTE", -7));
    EXPECT_TRUE(WriteBoardFile(-1, "PCM\\LEFT", "/home/user/sound.dat"));
    EXPECT_EQ(ReadBoardInt(-1, "CFG\\LINE3", "AON_ENABLED", 1), 0);
    EXPECT_EQ(ReadBoardInt(2, "PCM", "MUTE", 0), -7);
    EXPECT_EQ(ReadBoardFile(-1, "PCM\\LEFT"), "/home/user/sound.dat");
    // Stored as real groups: DEV-1 / CFG / LINE3, not one flat key with backslashes.
    QSettings raw = Raw();
    EXPECT_TRUE(raw.childGroups().contains("DEV-1"));
    raw.beginGroup("DEV-1/CFG/LINE3");
    EXPECT_EQ(raw.childKeys(), QStringList{"AON_ENABLED"});
}

TEST(Settings, AbsentOrUnreadableValuesGiveTheDefault) {
    SettingsSandbox sandbox;
    EXPECT_EQ(ReadBoardInt(0, "NEVER", "X", 55), 55);
    EXPECT_EQ(ReadBoardFile(0, "NEVER"), "");
    QSettings raw = Raw();
    raw.setValue("DEV0/PCM/TEXT", "abc");
    raw.setValue("DEV0/PCM/HUGE", "99999999999");
    raw.setValue("DEV0/PCM/LIST", QStringList{"a", "b"});
    raw.setValue("DEV0/PCM/UNSIGNED", "4294967295");
    raw.sync();
    EXPECT_EQ(ReadBoardInt(0, "PCM", "TEXT", 3), 3);
    EXPECT_EQ(ReadBoardInt(0, "PCM", "HUGE", 3), 3);
    EXPECT_EQ(ReadBoardInt(0, "PCM", "LIST", 3), 3);
    EXPECT_EQ(ReadBoardInt(0, "PCM", "UNSIGNED", 3), -1); // a DWORD stored unsigned keeps its 32 bits
}

TEST(Settings, EachWriteIsVisibleToAnotherReaderAtOnce) {
    SettingsSandbox sandbox;
    WriteBoardInt(1, "SINE", "FREQ", 1000);
    EXPECT_EQ(Raw().value("DEV1/SINE/FREQ").toInt(), 1000);
    EXPECT_TRUE(WriteAppInt("LOAD_PROGRAM_ON_START", 1));
    EXPECT_EQ(ReadAppInt("LOAD_PROGRAM_ON_START", 0), 1);
}

TEST(Settings, BatchedWritesAreReadAtOnceAndReachTheFileWhenTheBatchEnds) {
    SettingsSandbox sandbox;
    WriteBoardInt(0, "PCM", "MODE", 1); // the file exists before the batch
    const QString path = Raw().fileName();
    auto fileText = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    {
        const SettingsBatch batch;
        const SettingsBatch nested;
        EXPECT_TRUE(WriteBoardInt(1, "SINE", "FREQ", 1000));
        EXPECT_TRUE(WriteBoardFile(1, "PCM\\LEFT", "/tmp/a.raw"));
        EXPECT_EQ(ReadBoardInt(1, "SINE", "FREQ", 0), 1000);
        EXPECT_EQ(ReadBoardFile(1, "PCM\\LEFT"), "/tmp/a.raw");
        EXPECT_FALSE(fileText().contains("FREQ")) << "written before the batch ended";
    }
    EXPECT_TRUE(fileText().contains("FREQ=1000"));
    EXPECT_TRUE(fileText().contains("MODE=1"));
    WriteBoardInt(1, "SINE", "FREQ", 2000); // after the batch, each write is stored at once again
    EXPECT_TRUE(fileText().contains("FREQ=2000"));
}
