// Recording into raw files, reading recordings back, closing under a writing thread, and files made by sox.
#include "SoundFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <sys/stat.h>

namespace {

class SoundFileRecordingTest : public ::testing::Test {
protected:
    TempDir dir;
    CSoundFile file;
};

TEST_F(SoundFileRecordingTest, RecordingIsRawHeaderAndSamplesByteForByte) {
    const std::string path = dir.Path("rec.dat");
    ASSERT_TRUE(file.CreateForRecording(path, 48000));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.SampleRate(), 48000u);

    std::vector<int16_t> samples;
    for (int i = 0; i < 700; ++i)
        samples.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    // Blocks as a worker would append them: uneven sizes, an odd byte count rounded down to whole samples.
    EXPECT_TRUE(file.Append(samples.data(), 2 * 300));
    EXPECT_TRUE(file.Append(samples.data() + 300, 2 * 399 + 1));
    EXPECT_TRUE(file.Append(samples.data() + 699, 2));
    EXPECT_TRUE(file.Append(samples.data(), 0));
    EXPECT_TRUE(file.Close());

    std::vector<uint8_t> expected;
    PutU32(expected, 48000);
    for (int16_t s : samples)
        PutS16(expected, s);
    EXPECT_EQ(ReadAll(path), expected);

    CSoundFile reader;
    ASSERT_TRUE(reader.OpenForReading(path));
    EXPECT_EQ(reader.SampleRate(), 48000u);
    std::vector<int16_t> got(700);
    EXPECT_EQ(reader.ReadSamples(1000, got.data()), 700);
    EXPECT_EQ(got, samples);
}

TEST_F(SoundFileRecordingTest, EveryRecordingReadsBackHoweverShort) {
    const std::vector<int16_t> samples(51, 1234);
    ASSERT_TRUE(file.CreateForRecording(dir.Path("51.dat"), 8000));
    file.Append(samples.data(), 2 * 51);
    file.Close();
    ASSERT_TRUE(file.CreateForRecording(dir.Path("50.dat"), 8000));
    file.Append(samples.data(), 2 * 50);
    file.Close();

    CSoundFile reader;
    ASSERT_TRUE(reader.OpenForReading(dir.Path("51.dat")));
    EXPECT_EQ(reader.DataLength(), 102);
    ASSERT_TRUE(reader.OpenForReading(dir.Path("50.dat")));
    EXPECT_EQ(reader.DataLength(), 100);
}

TEST_F(SoundFileRecordingTest, CreatingEmptiesAnExistingFile) {
    const std::string path = dir.Write("old.dat", std::vector<uint8_t>(5000, 0x55));
    ASSERT_TRUE(file.CreateForRecording(path, 16000));
    file.Close();
    EXPECT_EQ(ReadAll(path), (std::vector<uint8_t>{0x80, 0x3E, 0, 0}));
}

TEST_F(SoundFileRecordingTest, FailuresLeaveNoFileOpen) {
    EXPECT_FALSE(file.CreateForRecording(dir.Path("no/such/folder/rec.dat"), 8000));
    EXPECT_FALSE(file.IsOpen());
    const int16_t sample = 5;
    EXPECT_FALSE(file.Append(&sample, 2));
    EXPECT_FALSE(file.CreateForRecording(dir.Path(""), 8000));
    // Neither a FIFO (nobody reads it: a blocking open or write would hang) nor a device is a recording.
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.CreateForRecording(dir.Path("fifo"), 8000));
    EXPECT_FALSE(file.CreateForRecording("/dev/null", 8000));
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(SoundFileRecordingTest, ClosingWhileAWorkerAppendsIsSafe) {
    const std::string path = dir.Path("race.dat");
    ASSERT_TRUE(file.CreateForRecording(path, 8000));
    std::vector<int16_t> block(4096, 77);
    std::atomic<int> appended{0};
    std::atomic<bool> started{false};
    std::thread worker([&] {
        while (true) {
            if (!file.Append(block.data(), 2 * static_cast<int64_t>(block.size())))
                break;
            ++appended;
            started = true;
        }
    });
    while (!started)
        std::this_thread::yield();
    EXPECT_TRUE(file.Close());
    worker.join();

    // Every block is either wholly in the file or not there at all.
    const auto bytes = ReadAll(path);
    EXPECT_EQ(bytes.size(), 4 + static_cast<size_t>(appended.load()) * 2 * block.size());
}

#ifdef VELTRIN_SOX_PROGRAM
bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

// A tone made by sox, wrapped in the raw layout, reads back with its rate and the very samples that sox
// itself reports for that file.
TEST_F(SoundFileRecordingTest, RawFileMadeBySoxOpensWithRateAndSamples) {
    const std::string sox = VELTRIN_SOX_PROGRAM;
    const std::string pcm = dir.Path("tone.s16");
    const std::string text = dir.Path("tone.txt");
    ASSERT_TRUE(RunCommand(sox + " -n -r 11025 -b 16 -e signed-integer -c 1 -L -t raw '" + pcm +
                           "' synth 0.05 sine 440 vol 0.7 2>/dev/null"));
    ASSERT_TRUE(
        RunCommand(sox + " -r 11025 -b 16 -e signed-integer -c 1 -L -t raw '" + pcm + "' -t dat '" + text + "'"));

    std::vector<uint8_t> image;
    PutU32(image, 11025);
    const auto pcmBytes = ReadAll(pcm);
    image.insert(image.end(), pcmBytes.begin(), pcmBytes.end());
    ASSERT_TRUE(file.OpenForReading(dir.Write("tone.dat", image)));
    EXPECT_EQ(file.SampleRate(), 11025u);

    // sox's text form: comment lines, then "time value" per sample with the value scaled to -1..1.
    std::vector<int16_t> reported;
    std::ifstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';')
            continue;
        double time = 0, value = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf", &time, &value), 2) << line;
        reported.push_back(static_cast<int16_t>(std::lround(value * 32768.0)));
    }
    ASSERT_GT(reported.size(), 500u);
    std::vector<int16_t> got(reported.size() + 10);
    EXPECT_EQ(file.ReadSamples(static_cast<int32_t>(got.size()), got.data()), static_cast<int32_t>(reported.size()));
    got.resize(reported.size());
    EXPECT_EQ(got, reported);
}

// A real WAV file opens as WAV: its own rate, and its samples after its 44-byte header, none of the
// header played as samples.
TEST_F(SoundFileRecordingTest, WavFileMadeBySoxOpensAsWav) {
    const std::string wav = dir.Path("tone.wav");
    ASSERT_TRUE(RunCommand(std::string(VELTRIN_SOX_PROGRAM) + " -n -r 8000 -b 16 -c 1 '" + wav +
                           "' synth 0.02 sine 500 2>/dev/null"));
    ASSERT_TRUE(file.OpenForReading(wav));
    EXPECT_EQ(file.SampleRate(), 8000u);
    EXPECT_EQ(file.DataStart(), 0);
    const auto bytes = ReadAll(wav);
    EXPECT_EQ(file.DataLength(), 2 * 160);
    int16_t first[2] = {};
    ASSERT_EQ(file.ReadSamples(2, first), 2);
    EXPECT_EQ(static_cast<uint16_t>(first[1]), bytes[46] | (bytes[47] << 8));
}
#endif

} // namespace
