// The engine's edges against a scripted device: short writes, odd reads, the drain at Stop, a failing
// recording write, a read held across Stop and Start, and end-of-file reports per run.
#include "ChannelRun.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "StreamPass.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// The bytes of samples 0, 1, 2 ... little-endian.
std::vector<uint8_t> Counting(size_t bytes) {
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(i % 2 == 0 ? (i / 2) & 0xFF : (i / 2) >> 8);
    return out;
}

struct Scripted {
    explicit Scripted(StreamDirection direction) {
        channel.device = &device;
        channel.direction = direction;
        device.SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (call.op == RecordedCall::Op::Read)
                return onRead(call);
            if (call.op == RecordedCall::Op::Write)
                return onWrite ? onWrite(call) : ScriptedAnswer{};
            if (call.code == req::kGetBufferState)
                return {1, Vec(BufferState{32768, space}.Encode())};
            if (call.code == req::kGetCounters)
                return {1, Vec(StreamCounters{0, played, 0}.Encode())};
            return {refuseStop && call.code == req::kStream ? 0u : 1u, {}};
        });
        cfg.SetHandler([](const RecordedCall&) { return ScriptedAnswer{1, Le32({16000})}; });
    }
    std::vector<PassEvent> Passes(int count) {
        std::vector<PassEvent> events;
        for (int i = 0; i < count; ++i)
            if (auto event = RunStreamPass(channel, buffer).event; event.kind != PassEvent::Kind::None)
                events.push_back(event);
        return events;
    }

    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice device{"chan", log};
    RecordingDevice cfg{"cfg", log};
    StreamChannel channel;
    std::vector<int16_t> buffer = std::vector<int16_t>(kPassSamples);
    uint32_t space = 0;
    uint32_t played = 0;
    bool refuseStop = false;
    std::function<ScriptedAnswer(const RecordedCall&)> onRead;
    std::function<ScriptedAnswer(const RecordedCall&)> onWrite;
};

// An input that hands out the counting stream in reads of the sizes given, in turn.
void DeliverCounting(Scripted& s, std::vector<uint8_t>& stream, size_t& given, std::vector<uint32_t> sizes) {
    stream = Counting(1 << 20);
    s.onRead = [&stream, &given, sizes, turn = size_t{0}](const RecordedCall& call) mutable {
        const size_t n = std::min<size_t>(sizes[turn++ % sizes.size()], call.outputSize);
        std::vector<uint8_t> bytes(stream.begin() + given, stream.begin() + given + n);
        given += n;
        return ScriptedAnswer{1, bytes};
    };
}

std::vector<uint8_t> Recorded(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAll(path);
    return {bytes.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(4, bytes.size())), bytes.end()};
}

} // namespace

TEST(StreamEdges, BytesAWriteDidNotTakeAreOfferedFirstNextPass) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 16000);
    const std::vector<uint8_t> data = Counting(3000);
    image.insert(image.end(), data.begin(), data.end());
    const std::string path = dir.Write("play.raw", image);
    // Bytes taken per write; 0 is a failed write.
    for (const uint32_t take : {0u, 1u, 2u, 3u, 511u, 1023u, 1024u, 4096u}) {
        for (const bool sine : {false, true}) {
            Scripted s(StreamDirection::Output);
            s.space = 1024;
            std::vector<uint8_t> accepted;
            int writes = 0;
            s.onWrite = [&](const RecordedCall& call) {
                // Every third write fails whatever `take` says; the others take `take` bytes.
                const uint32_t n =
                    ++writes % 3 == 0 ? 0 : static_cast<uint32_t>(std::min<size_t>(take, call.input.size()));
                accepted.insert(accepted.end(), call.input.begin(), call.input.begin() + n);
                return ScriptedAnswer{n > 0 ? 1u : 0u, {}, n};
            };
            if (sine) {
                ASSERT_TRUE(s.channel.sine.Init(16000, 8000, 1000));
            } else {
                ASSERT_TRUE(s.channel.file.OpenForReading(path));
                s.channel.source.store(StreamChannel::kSourceFile);
            }
            s.channel.MarkRunning();
            for (int pass = 0; pass < 9000 && accepted.size() < data.size(); ++pass)
                RunStreamPass(s.channel, s.buffer);
            if (take == 0) {
                EXPECT_TRUE(accepted.empty());
                continue;
            }
            std::vector<uint8_t> expected = data;
            if (sine) {
                SineGenerator fresh;
                ASSERT_TRUE(fresh.Init(16000, 8000, 1000));
                std::vector<int16_t> samples(accepted.size() / 2 + 1);
                fresh.Generate(static_cast<int32_t>(samples.size()), samples.data());
                const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
                expected.assign(bytes, bytes + accepted.size());
            }
            ASSERT_GE(accepted.size(), data.size()) << "take " << take;
            accepted.resize(expected.size());
            EXPECT_EQ(accepted, expected) << "take " << take << (sine ? " sine" : " file");
            EXPECT_GE(s.channel.bytesWritten.load(), data.size());
        }
    }
}

TEST(StreamEdges, OddReadsAndTheDrainAtStopKeepEverySampleInOrder) {
    struct Case {
        std::vector<uint32_t> sizes;
        uint32_t heldAtStop; // what the board still holds when Stop comes
    };
    for (const Case& c : {Case{{1, 3, 2, 7, 1024, 5}, 301}, Case{{2047, 1}, 4096}, Case{{2048}, 0}, Case{{3}, 1},
                          Case{{2047, 1}, 3}, Case{{5}, 0}}) {
        TempDir dir;
        Scripted s(StreamDirection::Input);
        std::vector<uint8_t> stream;
        size_t given = 0;
        DeliverCounting(s, stream, given, c.sizes);
        CChannelRun run(s.channel, ChannelKind::CodecInput, &s.cfg);
        StartRequest request;
        request.rate = 16000;
        request.record = true;
        request.recordingPath = dir.Path("rec.raw");
        ASSERT_TRUE(run.Start(request).changed);
        s.space = 2048;
        s.Passes(40);
        // The board holds `heldAtStop` bytes more; the drain takes them in reads as the board gives them.
        s.space = c.heldAtStop;
        const size_t before = given;
        s.onRead = [&, n = c.heldAtStop](const RecordedCall& call) {
            const size_t count = std::min<size_t>({n - (given - before), call.outputSize, 1000});
            std::vector<uint8_t> bytes(stream.begin() + given, stream.begin() + given + count);
            given += count;
            if (given - before == n)
                s.space = 0;
            return ScriptedAnswer{1, bytes};
        };
        const RunStatus stopped = run.Stop();
        EXPECT_TRUE(stopped.changed);
        EXPECT_TRUE(stopped.error.empty()) << stopped.error;
        const std::vector<uint8_t> recorded = Recorded(dir.Path("rec.raw"));
        EXPECT_EQ(recorded.size(), given & ~size_t{1}) << "every whole sample delivered, the drain included";
        EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), stream.begin())) << "in order, none shifted";
        EXPECT_EQ(stopped.notice.empty(), given % 2 == 0) << "a half sample at the very end is dropped and said";
    }
}

TEST(StreamEdges, FailingRecordingWriteEndsTheRecordingWholeAndIsReportedOnce) {
    TempDir dir;
    const std::string path = dir.Path("full.raw");
    Scripted s(StreamDirection::Input);
    std::vector<uint8_t> stream;
    size_t given = 0;
    DeliverCounting(s, stream, given, {600});
    auto recording = std::make_shared<CSoundFile>();
    ASSERT_TRUE(recording->CreateForRecording(path, 16000));
    s.channel.SetRecording(std::move(recording), s.channel.NextRun());
    s.channel.source.store(StreamChannel::kRecording);
    s.channel.MarkRunning();
    s.space = 2048;

    // The file may not grow past an odd size: the second block lands only in part, tearing a sample.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4 + 1001;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::vector<PassEvent> events = s.Passes(5);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, PassEvent::Kind::RecordingFailed);
    EXPECT_EQ(events[0].run, s.channel.runId.load());
    EXPECT_NE(events[0].text.find(path), std::string::npos) << events[0].text;
    EXPECT_EQ(std::filesystem::file_size(path), 4u + 1000u) << "cut back to whole samples";
    const std::vector<uint8_t> recorded = Recorded(path);
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), stream.begin()));
    EXPECT_FALSE(s.channel.Recording()) << "the recording has ended";
}

TEST(StreamEdges, BlockReadAcrossStopAndStartStaysOutOfTheNewRecording) {
    TempDir dir;
    Scripted s(StreamDirection::Input);
    auto first = std::make_shared<CSoundFile>();
    ASSERT_TRUE(first->CreateForRecording(dir.Path("first.raw"), 16000));
    s.channel.SetRecording(first, s.channel.NextRun());
    s.channel.source.store(StreamChannel::kRecording);
    s.channel.MarkRunning();
    first.reset();
    s.space = 2048;
    // While the read is in the driver, the channel is stopped and started into a new recording.
    s.onRead = [&](const RecordedCall& call) {
        s.channel.running.store(false);
        s.channel.TakeRecording();
        auto second = std::make_shared<CSoundFile>();
        EXPECT_TRUE(second->CreateForRecording(dir.Path("second.raw"), 16000));
        s.channel.SetRecording(std::move(second), s.channel.NextRun());
        s.channel.MarkRunning();
        s.onRead = [](const RecordedCall&) { return ScriptedAnswer{1, {}}; };
        return ScriptedAnswer{1, Counting(call.outputSize)};
    };
    s.Passes(1);
    EXPECT_EQ(std::filesystem::file_size(dir.Path("second.raw")), 4u);
    EXPECT_EQ(std::filesystem::file_size(dir.Path("first.raw")), 4u + 2048u) << "the block belongs to its run";
}

TEST(StreamEdges, EndOfFileIsReportedOncePerRunAndAnEarlierRunsReportIsStale) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 16000);
    image.resize(4 + 2000, 0);
    const std::string path = dir.Write("play.raw", image);
    Scripted s(StreamDirection::Output);
    ASSERT_TRUE(s.channel.file.OpenForReading(path));
    s.channel.source.store(StreamChannel::kSourceFile);
    CChannelRun run(s.channel, ChannelKind::CodecOutput, &s.cfg);
    StartRequest request;
    request.rate = 16000;
    ASSERT_TRUE(run.Start(request).changed);
    // No room to feed: the device's count alone, at exactly the data length, ends the file.
    s.played = 1999;
    EXPECT_TRUE(s.Passes(2).empty());
    s.played = 2000;
    s.refuseStop = true;
    std::vector<PassEvent> events = s.Passes(5);
    ASSERT_EQ(events.size(), 1u) << "a refused stop leaves the channel running; its end is told once";
    EXPECT_EQ(events[0].kind, PassEvent::Kind::PlayedToEnd);
    EXPECT_EQ(run.Stop().error, "Cann't stop device");
    EXPECT_TRUE(run.IsCurrent(events[0].run));

    s.refuseStop = false;
    ASSERT_TRUE(run.Stop().changed);
    ASSERT_TRUE(s.channel.file.Rewind());
    ASSERT_TRUE(run.Start(request).changed);
    EXPECT_FALSE(run.IsCurrent(events[0].run)) << "the report of the earlier run must not stop this one";
    events = s.Passes(3);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(run.IsCurrent(events[0].run));
}
