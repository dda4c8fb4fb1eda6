// Opening and reading TRN and raw sound files, and the files that must be refused.
#include "SoundFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

constexpr char kTag[] = "KVRautoidentification";

// A TRN image: tag (20 characters plus the given 21st), filler, rate at 102, then the samples.
std::vector<uint8_t> TrnImage(uint32_t rate, const std::vector<int16_t>& samples, char letter21 = 'n') {
    std::vector<uint8_t> bytes(kTag, kTag + 20);
    bytes.push_back(static_cast<uint8_t>(letter21));
    bytes.resize(102, 0xAB);
    PutU32(bytes, rate);
    for (int16_t s : samples)
        PutS16(bytes, s);
    return bytes;
}

std::vector<uint8_t> RawImage(uint32_t rate, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    PutU32(bytes, rate);
    for (int16_t s : samples)
        PutS16(bytes, s);
    return bytes;
}

std::vector<int16_t> Ramp(int count) {
    std::vector<int16_t> samples;
    for (int i = 0; i < count; ++i)
        samples.push_back(static_cast<int16_t>(i * 331 - 16000));
    return samples;
}

class SoundFileTest : public ::testing::Test {
protected:
    TempDir dir;
    CSoundFile file;
};

TEST_F(SoundFileTest, NewObjectHasNoFile) {
    int16_t buffer[4] = {7, 7, 7, 7};
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.ReadSamples(4, buffer), 0);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_FALSE(file.Rewind());
    EXPECT_FALSE(file.Close());
}

TEST_F(SoundFileTest, TrnFileOpensWithRateAndSamples) {
    const auto samples = Ramp(200);
    ASSERT_TRUE(file.OpenForReading(dir.Write("a.dat", TrnImage(22050, samples))));
    EXPECT_EQ(file.SampleRate(), 22050u);
    EXPECT_EQ(file.DataStart(), 106);
    EXPECT_EQ(file.DataEnd(), 106 + 400);
    EXPECT_EQ(file.DataLength(), 400);
    EXPECT_EQ(file.Position(), 106);

    std::vector<int16_t> got(300, 0);
    EXPECT_EQ(file.ReadSamples(150, got.data()), 150);
    EXPECT_EQ(file.ReadSamples(150, got.data() + 150), 50);
    EXPECT_EQ(file.ReadSamples(150, got.data()), 0);
    got.resize(200);
    EXPECT_EQ(got, samples);
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(SoundFileTest, TagIsComparedOnTwentyCharacters) {
    // A different 21st character still reads as TRN.
    ASSERT_TRUE(file.OpenForReading(dir.Write("x.dat", TrnImage(8000, Ramp(3), 'X'))));
    EXPECT_EQ(file.SampleRate(), 8000u);
    EXPECT_EQ(file.DataStart(), 106);

    // A different 20th character makes it raw: the rate is the first four bytes ("KVRa").
    auto image = TrnImage(8000, Ramp(3));
    image[19] = 'x';
    ASSERT_TRUE(file.OpenForReading(dir.Write("y.dat", image)));
    EXPECT_EQ(file.SampleRate(), 0x6152564Bu);
    EXPECT_EQ(file.DataStart(), 4);
}

TEST_F(SoundFileTest, TrnFilesCutInTheirHeaderAndFilesWithoutARateAreRefused) {
    auto trn = TrnImage(8000, {});
    trn.resize(105);
    EXPECT_FALSE(file.OpenForReading(dir.Write("short.dat", trn)));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.OpenForReading(dir.Write("empty.dat", {})));
    EXPECT_FALSE(file.OpenForReading(dir.Write("three.dat", {0x40, 0x1F, 0})));

    // Raw files shorter than the TRN header open: 48 samples, and the rate header alone.
    ASSERT_TRUE(file.OpenForReading(dir.Write("raw100.dat", RawImage(8000, Ramp(48)))));
    EXPECT_EQ(file.DataLength(), 96);
    int16_t first[2] = {};
    ASSERT_EQ(file.ReadSamples(2, first), 2);
    EXPECT_EQ(first[1], Ramp(48)[1]);
    ASSERT_TRUE(file.OpenForReading(dir.Write("raw4.dat", RawImage(8000, {}))));
    EXPECT_EQ(file.DataLength(), 0);

    // 106 bytes: the shortest raw file, 51 samples.
    ASSERT_TRUE(file.OpenForReading(dir.Write("raw106.dat", RawImage(8000, Ramp(51)))));
    EXPECT_EQ(file.DataLength(), 102);
}

TEST_F(SoundFileTest, TrnWithoutSamplesHasNoData) {
    ASSERT_TRUE(file.OpenForReading(dir.Write("none.dat", TrnImage(16000, {}))));
    int16_t buffer[2];
    EXPECT_EQ(file.DataLength(), 0);
    EXPECT_EQ(file.ReadSamples(2, buffer), 0);
}

// A file that starts as a WAV file is read as one or refused, never played as raw samples.
TEST_F(SoundFileTest, BrokenWavFileIsRefusedRatherThanReadAsRaw) {
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0x24, 0x08, 0, 0, 'W', 'A', 'V', 'E'};
    wav.resize(200, 0x11);
    EXPECT_FALSE(file.OpenForReading(dir.Write("a.wav", wav)));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.LastError().empty());
}

TEST_F(SoundFileTest, OddTailIsReadAsOneSampleThenEnd) {
    auto image = TrnImage(8000, {});
    image.insert(image.end(), {0x34, 0x12, 0x56});
    ASSERT_TRUE(file.OpenForReading(dir.Write("odd.dat", image)));
    int16_t buffer[10] = {};
    EXPECT_EQ(file.ReadSamples(10, buffer), 1);
    EXPECT_EQ(buffer[0], 0x1234);
    EXPECT_EQ(file.Position(), 109);
    EXPECT_EQ(file.ReadSamples(10, buffer), 0);
}

TEST_F(SoundFileTest, RewindAfterTheEndMakesTheDataPlayableAgain) {
    const auto samples = Ramp(60);
    ASSERT_TRUE(file.OpenForReading(dir.Write("r.dat", RawImage(11025, samples))));
    std::vector<int16_t> got(60);
    EXPECT_EQ(file.ReadSamples(100, got.data()), 60);
    EXPECT_EQ(file.ReadSamples(100, got.data()), 0);
    ASSERT_TRUE(file.Rewind());
    EXPECT_EQ(file.Position(), 4);
    std::fill(got.begin(), got.end(), 0);
    EXPECT_EQ(file.ReadSamples(100, got.data()), 60);
    EXPECT_EQ(got, samples);
}

TEST_F(SoundFileTest, NonPositiveCountsReadNothing) {
    ASSERT_TRUE(file.OpenForReading(dir.Write("r.dat", RawImage(8000, Ramp(60)))));
    int16_t buffer[1];
    EXPECT_EQ(file.ReadSamples(0, buffer), 0);
    EXPECT_EQ(file.ReadSamples(-5, buffer), 0);
    EXPECT_EQ(file.ReadSamples(5, nullptr), 0);
    EXPECT_EQ(file.Position(), 4);
}

TEST_F(SoundFileTest, UnusableFilesAreRefused) {
    EXPECT_FALSE(file.OpenForReading(dir.Path("missing.dat")));
    std::filesystem::create_directory(dir.Path("folder.dat"));
    EXPECT_FALSE(file.OpenForReading(dir.Path("folder.dat")));
    // A rate no page can hold as a signed 32-bit number.
    EXPECT_FALSE(file.OpenForReading(dir.Write("huge.dat", RawImage(0xFFFFFFFFu, Ramp(60)))));
    EXPECT_FALSE(file.OpenForReading(dir.Write("huge.trn", TrnImage(0x80000000u, Ramp(60)))));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.OpenForReading(dir.Write("max.dat", RawImage(0x7FFFFFFFu, Ramp(60)))));
}

TEST_F(SoundFileTest, OpeningAnotherFileReplacesTheFirst) {
    ASSERT_TRUE(file.OpenForReading(dir.Write("a.dat", RawImage(8000, Ramp(60)))));
    ASSERT_TRUE(file.OpenForReading(dir.Write("b.dat", TrnImage(16000, Ramp(10)))));
    EXPECT_EQ(file.SampleRate(), 16000u);
    // A failed open leaves no file open at all.
    EXPECT_FALSE(file.OpenForReading(dir.Path("missing.dat")));
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(SoundFileTest, LengthsBeyondFourGigabytesAreKept) {
    const std::string path = dir.Write("long.dat", RawImage(8000, Ramp(60)));
    const uintmax_t size = (uintmax_t{1} << 32) + 10;
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    if (error)
        GTEST_SKIP() << "no sparse file of that size here";
    ASSERT_TRUE(file.OpenForReading(path));
    EXPECT_EQ(file.DataEnd(), static_cast<int64_t>(size));
    EXPECT_EQ(file.DataLength(), static_cast<int64_t>(size) - 4);
    std::vector<int16_t> got(60);
    EXPECT_EQ(file.ReadSamples(60, got.data()), 60);
    EXPECT_EQ(got, Ramp(60));
}

} // namespace
