// WAV files written here through libsndfile in every accepted encoding, mono and stereo, read back
// through CSoundFile as the 16-bit samples of the chosen channel; and the WAV files it must refuse.
#include "SoundFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <random>

namespace {

// Samples every encoding holds exactly: 8-bit files only the top byte.
std::vector<int16_t> Signal(std::mt19937& random, size_t count, bool eightBit) {
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<int16_t> samples(count);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(eightBit ? value(random) & ~0xFF : value(random));
    samples[0] = -32768; // both ends of the range, which a wrong scale would clip or wrap
    samples[1] = eightBit ? 0x7F00 : 32767;
    return samples;
}

// Writes the channels interleaved: floats (full scale 1.0) into a float file, 32-bit ints (the sample in
// the top 16 bits) into the others, which libsndfile converts to the file's encoding.
bool WriteWav(const std::string& path, int format, int rate, const std::vector<std::vector<int16_t>>& channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const auto frames = static_cast<sf_count_t>(channels[0].size());
    std::vector<int> ints;
    std::vector<float> floats;
    for (size_t i = 0; i < channels[0].size(); ++i)
        for (const auto& channel : channels) {
            ints.push_back(static_cast<int>(static_cast<uint32_t>(channel[i]) << 16));
            floats.push_back(static_cast<float>(channel[i]) / 32768.0f);
        }
    const bool written =
        (format == SF_FORMAT_FLOAT || format == SF_FORMAT_DOUBLE ? sf_writef_float(file, floats.data(), frames)
                                                                 : sf_writef_int(file, ints.data(), frames)) == frames;
    return sf_close(file) == 0 && written;
}

TEST(WavFile, EveryEncodingAndChannelReadsBackExactly) {
    struct Encoding {
        const char* name;
        int format;
    };
    const Encoding encodings[] = {{"8-bit", SF_FORMAT_PCM_U8},
                                  {"16-bit", SF_FORMAT_PCM_16},
                                  {"24-bit", SF_FORMAT_PCM_24},
                                  {"32-bit", SF_FORMAT_PCM_32},
                                  {"float", SF_FORMAT_FLOAT}};
    TempDir dir;
    std::mt19937 random(20261208);
    for (const Encoding& e : encodings)
        for (const int channels : {1, 2})
            for (const SoundChannel chosen : {SoundChannel::Left, SoundChannel::Right}) {
                if (channels == 1 && chosen == SoundChannel::Right)
                    continue;
                SCOPED_TRACE(std::string(e.name) + (channels == 1 ? " mono" : " stereo") +
                             (chosen == SoundChannel::Left ? " left" : " right"));
                const bool eightBit = e.format == SF_FORMAT_PCM_U8;
                std::vector<std::vector<int16_t>> signal;
                for (int c = 0; c < channels; ++c)
                    signal.push_back(Signal(random, 3001, eightBit));
                const std::string path = dir.Path(std::string(e.name) + std::to_string(channels) + ".wav");
                ASSERT_TRUE(WriteWav(path, e.format, 44100, signal));

                CSoundFile file;
                ASSERT_TRUE(file.OpenForReading(path, chosen)) << file.LastError();
                EXPECT_TRUE(file.IsWav());
                EXPECT_EQ(file.Channels(), channels);
                EXPECT_EQ(file.SampleRate(), 44100u);
                EXPECT_EQ(file.DataLength(), 2 * 3001);
                const auto& want = signal[chosen == SoundChannel::Right ? 1 : 0];
                // Read in pieces of varied sizes, then again after a rewind.
                for (int pass = 0; pass < 2; ++pass) {
                    std::vector<int16_t> got;
                    std::uniform_int_distribution<int32_t> piece(1, 5000);
                    for (;;) {
                        std::vector<int16_t> buffer(static_cast<size_t>(piece(random)));
                        const int32_t n = file.ReadSamples(static_cast<int32_t>(buffer.size()), buffer.data());
                        ASSERT_GE(n, 0);
                        if (n == 0)
                            break;
                        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
                    }
                    EXPECT_EQ(got, want);
                    EXPECT_EQ(file.Position(), file.DataLength());
                    ASSERT_TRUE(file.Rewind());
                }
                // Straight to a sample: what follows is the file's own from there.
                const auto at = std::uniform_int_distribution<size_t>(0, want.size() - 1)(random);
                ASSERT_TRUE(file.SeekSample(at));
                std::vector<int16_t> tail(want.size());
                EXPECT_EQ(file.ReadSamples(static_cast<int32_t>(tail.size()), tail.data()),
                          static_cast<int32_t>(want.size() - at));
                EXPECT_TRUE(std::equal(want.begin() + static_cast<std::ptrdiff_t>(at), want.end(), tail.begin()));
            }
}

TEST(WavFile, FilesThatStartAsWavButCannotBePlayedAreRefused) {
    TempDir dir;
    const std::vector<int16_t> one(100, 1000);
    // Encodings and layouts outside PCM 8/16/24/32-bit and float, mono or stereo.
    const std::string ulaw = dir.Path("ulaw.wav");
    ASSERT_TRUE(WriteWav(ulaw, SF_FORMAT_ULAW, 8000, {one}));
    const std::string doubles = dir.Path("double.wav");
    ASSERT_TRUE(WriteWav(doubles, SF_FORMAT_DOUBLE, 8000, {one}));
    const std::string three = dir.Path("three.wav");
    ASSERT_TRUE(WriteWav(three, SF_FORMAT_PCM_16, 8000, {one, one, one}));
    // A good file cut inside its header.
    const std::string good = dir.Path("good.wav");
    ASSERT_TRUE(WriteWav(good, SF_FORMAT_PCM_16, 8000, {one}));
    auto bytes = ReadAll(good);
    bytes.resize(30);
    const std::string cut = dir.Write("cut.wav", bytes);

    for (const std::string& path : {ulaw, doubles, three, cut}) {
        SCOPED_TRACE(path);
        CSoundFile file;
        EXPECT_FALSE(file.OpenForReading(path));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.LastError().empty());
    }
}

} // namespace
