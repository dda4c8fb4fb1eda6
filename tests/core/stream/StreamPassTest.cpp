// The streaming pass against a scripted device: the feeding threshold and cap, the end-of-file decision,
// the free-space peak, and an input's recording.
#include "StreamPass.h"
#include "StreamChannel.h"
#include "TempDir.h"

#include "RecordingDevice.h"
#include "RequestCodes.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A channel device whose buffer state and byte count the test sets.
struct ScriptedChannel {
    explicit ScriptedChannel(StreamDirection direction) : device("chan", log) {
        channel.device = &device;
        channel.direction = direction;
        channel.actualRate.store(16000);
        device.SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (call.op == RecordedCall::Op::Read)
                return {1, std::vector<uint8_t>(std::min(call.outputSize, available), 0x11)};
            if (call.code == req::kGetBufferState)
                return {1, Vec(BufferState{32768, space}.Encode())};
            if (call.code == req::kGetCounters)
                return {1, Vec(StreamCounters{0, played, level}.Encode())};
            return {1, {}};
        });
    }
    size_t BytesWritten() const {
        size_t total = 0;
        for (const auto& call : log->Calls())
            if (call.op == RecordedCall::Op::Write)
                total += call.input.size();
        return total;
    }

    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice device;
    StreamChannel channel;
    std::vector<int16_t> buffer = std::vector<int16_t>(kPassSamples);
    uint32_t space = 0;
    uint32_t available = 0;
    uint32_t played = 0;
    int16_t level = 0;
};

} // namespace

TEST(StreamPass, FeedsFromTheThresholdUpToTheCap) {
    struct Case {
        uint32_t space;
        size_t bytes;
    };
    for (const Case c : {Case{1023, 0}, Case{1024, 1024}, Case{131072, 131072}, Case{400000, 160000}}) {
        ScriptedChannel s(StreamDirection::Output);
        ASSERT_TRUE(s.channel.sine.Init(16000, 32500, 1000));
        s.channel.MarkRunning();
        s.space = c.space;
        const PassResult pass = RunStreamPass(s.channel, s.buffer);
        EXPECT_EQ(s.BytesWritten(), c.bytes) << "free space " << c.space;
        EXPECT_FALSE(pass.playedToEnd) << "a sine never ends by itself";
    }
}

TEST(StreamPass, StoppedChannelsArePolledButNotFed) {
    ScriptedChannel s(StreamDirection::Output);
    ASSERT_TRUE(s.channel.sine.Init(16000, 32500, 1000));
    s.space = 8192;
    s.played = 32000;
    s.level = 1234;
    const PassResult pass = RunStreamPass(s.channel, s.buffer);
    EXPECT_EQ(s.BytesWritten(), 0u);
    ASSERT_TRUE(pass.figures.counters);
    EXPECT_EQ(pass.figures.counters->bytes, 32000u);
    EXPECT_EQ(pass.figures.counters->level, 1234);
    EXPECT_EQ(pass.figures.rate, 16000);
}

TEST(StreamPass, PeakNeverFallsUntilReset) {
    ScriptedChannel s(StreamDirection::Output);
    std::vector<uint32_t> shown;
    for (uint32_t space : {4000u, 9000u, 2000u}) {
        s.space = space;
        shown.push_back(RunStreamPass(s.channel, s.buffer).figures.freeSpacePeak);
    }
    EXPECT_EQ(shown, (std::vector<uint32_t>{4000, 9000, 9000}));
    s.channel.freeSpacePeak.store(0);
    EXPECT_EQ(RunStreamPass(s.channel, s.buffer).figures.freeSpacePeak, 2000u);
}

TEST(StreamPass, FileChannelEndsWhenTheDeviceHasPlayedIt) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 16000);
    for (int i = 0; i < 3000; ++i)
        PutS16(image, static_cast<int16_t>(i));
    const std::string path = dir.Write("tone.raw", image);

    ScriptedChannel s(StreamDirection::Output);
    ASSERT_TRUE(s.channel.file.OpenForReading(path));
    s.channel.source.store(StreamChannel::kSourceFile);
    s.channel.MarkRunning();
    s.space = 4096;
    EXPECT_FALSE(RunStreamPass(s.channel, s.buffer).playedToEnd);
    EXPECT_EQ(s.BytesWritten(), 4096u);
    EXPECT_FALSE(RunStreamPass(s.channel, s.buffer).playedToEnd);
    EXPECT_EQ(s.BytesWritten(), 6000u) << "never past the end of the data";
    s.played = 5998;
    EXPECT_FALSE(RunStreamPass(s.channel, s.buffer).playedToEnd);
    s.played = 6000;
    EXPECT_TRUE(RunStreamPass(s.channel, s.buffer).playedToEnd);
}

TEST(StreamPass, ShrunkFileEndsWhenWhatWasWrittenIsPlayed) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 16000);
    image.resize(4 + 20000, 0);
    const std::string path = dir.Write("shrinks.raw", image);
    ScriptedChannel s(StreamDirection::Output);
    ASSERT_TRUE(s.channel.file.OpenForReading(path));
    std::filesystem::resize_file(path, 4 + 2048); // cut after it was opened
    s.channel.source.store(StreamChannel::kSourceFile);
    s.channel.MarkRunning();
    s.space = 4096;
    RunStreamPass(s.channel, s.buffer);
    EXPECT_EQ(s.BytesWritten(), 2048u);
    s.played = 2048;
    EXPECT_TRUE(RunStreamPass(s.channel, s.buffer).playedToEnd) << "no silence for ever";
}

TEST(StreamPass, InputIsDrainedAndRecordedOnlyWhileRecording) {
    TempDir dir;
    ScriptedChannel s(StreamDirection::Input);
    auto recording = std::make_shared<CSoundFile>();
    ASSERT_TRUE(recording->CreateForRecording(dir.Path("rec.raw"), 16000));
    s.channel.SetRecording(recording, s.channel.NextRun());
    s.channel.MarkRunning();
    struct Case {
        int32_t source;
        uint32_t available;
        size_t recorded;
    };
    size_t total = 4;
    for (const Case c : {Case{StreamChannel::kRecording, 100, 0}, Case{StreamChannel::kRecording, 2048, 2048},
                         Case{StreamChannel::kNotRecording, 4096, 0}}) {
        s.channel.source.store(c.source);
        s.space = s.available = c.available;
        RunStreamPass(s.channel, s.buffer);
        total += c.recorded;
        EXPECT_EQ(std::filesystem::file_size(dir.Path("rec.raw")), total) << "available " << c.available;
    }
    // Taken back by the page: the next pass records nothing, and the page's reference was the last.
    s.channel.source.store(StreamChannel::kRecording);
    std::weak_ptr<CSoundFile> held = recording;
    recording.reset();
    s.channel.TakeRecording();
    RunStreamPass(s.channel, s.buffer);
    EXPECT_EQ(std::filesystem::file_size(dir.Path("rec.raw")), total);
    EXPECT_TRUE(held.expired());
}

TEST(StreamPass, MovesItsShareHoweverTheDriverSplitsIt) {
    struct Case {
        StreamDirection direction;
        uint32_t space; // free (outputs) or available (inputs) bytes
        uint32_t cap;   // most bytes the driver moves a call
        size_t bytes;
        size_t calls;
    };
    const auto out = StreamDirection::Output;
    const auto in = StreamDirection::Input;
    const Case cases[] = {
        {out, 32768, 1u << 20, 32768, 1}, {out, 32768, 2048, 32768, 16},
        {out, 400000, 4096, 160000, 40},  {out, 4096, 3, 3 * size_t{kPassTransfers}, size_t{kPassTransfers}},
        {in, 9600, 4096, 9600, 3},        {in, 100, 4096, 0, 0},
        {in, 200000, 65536, 160000, 3},   {in, 4096, 7, 7 * size_t{kPassTransfers}, size_t{kPassTransfers}},
    };
    for (const Case& c : cases) {
        ScriptedChannel s(c.direction);
        ASSERT_TRUE(s.channel.sine.Init(16000, 32500, 1000));
        s.channel.source.store(c.direction == out ? StreamChannel::kSourceSine : StreamChannel::kNotRecording);
        s.channel.MarkRunning();
        s.space = c.space;
        uint32_t left = c.space;
        s.device.SetHandler([&](const RecordedCall& call) -> ScriptedAnswer {
            if (call.op == RecordedCall::Op::Write)
                return {1, {}, std::min<uint32_t>(c.cap, static_cast<uint32_t>(call.input.size()))};
            if (call.op == RecordedCall::Op::Read) {
                const uint32_t n = std::min({c.cap, call.outputSize, left});
                left -= n;
                return {1, std::vector<uint8_t>(n, 0x22)};
            }
            if (call.code == req::kGetBufferState)
                return {1, Vec(BufferState{32768, c.space}.Encode())};
            return {1, Vec(StreamCounters{}.Encode())};
        });
        RunStreamPass(s.channel, s.buffer);
        size_t calls = 0;
        for (const auto& call : s.log->Calls())
            calls += call.op == RecordedCall::Op::Read || call.op == RecordedCall::Op::Write ? 1 : 0;
        const size_t moved = c.direction == out ? s.channel.bytesWritten.load() : c.space - left;
        EXPECT_EQ(moved, c.bytes) << "space " << c.space << ", cap " << c.cap;
        EXPECT_EQ(calls, c.calls) << "space " << c.space << ", cap " << c.cap;
    }
}
