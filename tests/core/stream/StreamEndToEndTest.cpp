// The streaming engine against the simulated board, worker thread included: a played file arrives in the
// board's capture byte for byte, a recording is one unbroken run of what the input delivered, and a
// line's recording holds, in loopback, the file its output played. The test steps the board's clock
// once per worker pass, so the outcome does not depend on how fast the machine is.
#include "ChannelRun.h"
#include "RequestCodes.h"
#include "SimFixture.h"
#include "StreamChannel.h"
#include "StreamRequests.h"
#include "StreamWorker.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>

namespace {

using namespace std::chrono_literals;

// Counts the worker's passes and stops a file channel that has been played to its end.
class LockstepSink : public IStreamSink {
public:
    explicit LockstepSink(std::vector<StreamChannel*> channels) : m_channels(std::move(channels)) {}
    void ShowFigures(std::span<const ChannelFigures>) override {
        std::lock_guard lock(m_mutex);
        ++m_passes;
        m_changed.notify_all();
    }
    void Report(int channel, const PassEvent& event) override {
        if (event.kind != PassEvent::Kind::PlayedToEnd)
            return;
        StreamChannel& c = *m_channels[static_cast<size_t>(channel)];
        if (SendStreamCommand(*c.device, StreamCommand::kStop))
            c.running.store(false);
        std::lock_guard lock(m_mutex);
        ++m_ended;
    }
    // Waits until the worker has finished one more pass; false if it does not within a few seconds.
    bool AwaitPass() {
        std::unique_lock lock(m_mutex);
        const int seen = m_passes;
        return m_changed.wait_for(lock, 5s, [&] { return m_passes > seen; });
    }
    int Ended() {
        std::lock_guard lock(m_mutex);
        return m_ended;
    }

private:
    std::vector<StreamChannel*> m_channels;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_passes = 0;
    int m_ended = 0;
};

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from) {
    std::vector<int16_t> samples;
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return samples;
}

struct StreamEndToEnd : ::testing::Test {
    TempDir dir;
    SimFixtureBoards boards{{sim::BoardConfig{}}};
    std::unique_ptr<CDevice> cfg = boards.Open(0, "VELTRIN_CFG");

    // A raw 16 kHz file of `count` samples that never repeat within it.
    std::string WriteTone(const std::string& name, int count, std::vector<int16_t>* samples) {
        std::vector<uint8_t> image;
        PutU32(image, 16000);
        for (int i = 0; i < count; ++i) {
            samples->push_back(static_cast<int16_t>((i * 7919) % 30011 - 15000));
            PutS16(image, samples->back());
        }
        return dir.Write(name, image);
    }
    void StartOutputFile(StreamChannel& c, CDevice* device, const std::string& path) {
        c.device = device;
        ASSERT_TRUE(c.file.OpenForReading(path));
        c.source.store(StreamChannel::kSourceFile);
        c.actualRate.store(16000);
        ASSERT_TRUE(SendStreamCommand(*device, StreamCommand::kStart));
        c.MarkRunning();
    }
    void StartRecording(StreamChannel& c, CDevice* device, const std::string& path) {
        c.device = device;
        c.direction = StreamDirection::Input;
        auto recording = std::make_shared<CSoundFile>();
        ASSERT_TRUE(recording->CreateForRecording(path, 16000));
        c.SetRecording(std::move(recording), c.NextRun());
        c.source.store(StreamChannel::kRecording);
        c.actualRate.store(16000);
        ASSERT_TRUE(SendStreamCommand(*device, StreamCommand::kStart));
        c.MarkRunning();
    }
    // Lets the worker run `passes` passes with `step` of board time before each.
    static void Run(LockstepSink& sink, int passes, std::chrono::milliseconds step, SimFixtureBoards& b) {
        for (int i = 0; i < passes; ++i) {
            b.clock->Advance(step);
            ASSERT_TRUE(sink.AwaitPass()) << "the worker stalled";
        }
    }
};

} // namespace

TEST_F(StreamEndToEnd, PlayedFileArrivesInTheCaptureAndTheChannelStopsItself) {
    boards.simulator->SetCaptureDirectory(dir.Path(""));
    std::vector<int16_t> tone;
    const std::string path = WriteTone("tone.raw", 20000, &tone);
    auto left = boards.Open(0, "LINE_OUT_LEFT");
    StreamChannel channel;
    StartOutputFile(channel, left.get(), path);
    LockstepSink sink({&channel});
    CStreamWorker worker({&channel}, sink);
    ASSERT_TRUE(worker.Start());
    Run(sink, 20, 100ms, boards); // 2 s of board time for 1.25 s of sound
    worker.RequestStop();
    worker.Join();
    EXPECT_EQ(sink.Ended(), 1);
    EXPECT_FALSE(channel.running.load());
    EXPECT_EQ(Samples(ReadAll(dir.Path("VSIM0-LINE_OUT_LEFT.raw")), 0), tone);
    auto lock = boards.simulator->BoardAt(0).Lock();
    EXPECT_EQ(boards.simulator->BoardAt(0).Streams().Stats({sim::DeviceKind::OutLeft, 0}).underruns, 1u)
        << "once, when the file ran out";
}

TEST_F(StreamEndToEnd, RecordingIsOneUnbrokenRunOfTheInput) {
    {
        auto lock = boards.simulator->BoardAt(0).Lock();
        boards.simulator->BoardAt(0).Streams().SetInputSignal(sim::InputSignal::Sequence);
    }
    auto input = boards.Open(0, "PHONE_LINE2_IN_DEV");
    StreamChannel channel;
    StartRecording(channel, input.get(), dir.Path("rec.raw"));
    LockstepSink sink({&channel});
    CStreamWorker worker({&channel}, sink);
    ASSERT_TRUE(worker.Start());
    Run(sink, 60, 70ms, boards); // 4.2 s of board time in uneven 1120-sample steps
    channel.TakeRecording();     // as the page's Input Stop: the recording leaves while the worker runs
    Run(sink, 3, 70ms, boards);
    worker.RequestStop();
    worker.Join();

    const std::vector<int16_t> recorded = Samples(ReadAll(dir.Path("rec.raw")), 4);
    ASSERT_GE(recorded.size(), 60u * 1120u - 1120u);
    for (size_t i = 0; i < recorded.size(); ++i)
        ASSERT_EQ(recorded[i], static_cast<int16_t>(i)) << "sample " << i;
    auto lock = boards.simulator->BoardAt(0).Lock();
    EXPECT_EQ(boards.simulator->BoardAt(0).Streams().Stats({sim::DeviceKind::LineIn, 2}).lostInputBytes, 0u);
}

TEST_F(StreamEndToEnd, LoopbackRecordingHoldsThePlayedFile) {
    {
        auto lock = boards.simulator->BoardAt(0).Lock();
        boards.simulator->BoardAt(0).Streams().SetInputSignal(sim::InputSignal::Loopback);
    }
    std::vector<int16_t> tone;
    const std::string path = WriteTone("tone.raw", 12000, &tone);
    auto output = boards.Open(0, "PHONE_LINE0_OUT_DEV");
    auto input = boards.Open(0, "PHONE_LINE0_IN_DEV");
    StreamChannel in;
    StreamChannel out;
    StartRecording(in, input.get(), dir.Path("loop.raw"));
    StartOutputFile(out, output.get(), path);
    LockstepSink sink({&in, &out});
    CStreamWorker worker({&in, &out}, sink);
    ASSERT_TRUE(worker.Start());
    Run(sink, 20, 80ms, boards);
    worker.RequestStop();
    worker.Join();
    in.TakeRecording();

    const std::vector<int16_t> recorded = Samples(ReadAll(dir.Path("loop.raw")), 4);
    EXPECT_NE(std::search(recorded.begin(), recorded.end(), tone.begin(), tone.end()), recorded.end())
        << "the whole file, sample for sample, in " << recorded.size() << " recorded samples";
}

// Counts the bytes a device handed over in successful reads; once told, its reads claim more bytes than
// the buffer holds, as a misbehaving driver's might.
class CountingReads final : public CDevice {
public:
    explicit CountingReads(std::unique_ptr<CDevice> inner) : m_inner(std::move(inner)) {}
    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override {
        const uint32_t ok = m_inner->Read(buffer, size, done);
        if (ok && claimBeyond.load())
            *done = size + claimBeyond.load();
        else if (ok)
            delivered += *done;
        return ok;
    }
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override {
        return m_inner->Write(buffer, size, done);
    }
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override {
        return m_inner->DevIoControl(code, input, inputSize, output, outputSize, returned);
    }
    uint32_t Cancel() override { return m_inner->Cancel(); }
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint32_t> claimBeyond{0};

private:
    std::unique_ptr<CDevice> m_inner;
};

TEST_F(StreamEndToEnd, RecordingKeepsEverythingDeliveredWhenTheBoardMisbehavesOrVanishes) {
    struct Case {
        const char* what;
        bool vanish;          // every request on the board fails from then on
        uint32_t claimBeyond; // or the reads claim this many bytes more than their buffer
    };
    const Case cases[] = {{"board vanishes", true, 0}, {"reads claim more than the buffer", false, 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimFixtureBoards b{{sim::BoardConfig{}}};
        {
            auto lock = b.simulator->BoardAt(0).Lock();
            b.simulator->BoardAt(0).Streams().SetInputSignal(sim::InputSignal::Sequence);
        }
        auto input = std::make_unique<CountingReads>(b.Open(0, "PHONE_LINE1_IN_DEV"));
        const std::string path = dir.Path(std::string("lost-") + (c.vanish ? "v" : "o"));
        StreamChannel channel;
        StartRecording(channel, input.get(), path);
        LockstepSink sink({&channel});
        CStreamWorker worker({&channel}, sink);
        ASSERT_TRUE(worker.Start());
        Run(sink, 10, 70ms, b);
        if (c.vanish)
            b.simulator->FaultInjection().Add({sim::FaultRule::Kind::Vanish, "VSIM0", 0, 1, -1});
        input->claimBeyond = c.claimBeyond;
        const auto lossStart = std::chrono::steady_clock::now();
        Run(sink, 6, 70ms, b); // the worker keeps its pace: it still waits between passes
        EXPECT_GE(std::chrono::steady_clock::now() - lossStart, 5 * CStreamWorker::kPeriod);
        channel.TakeRecording();
        worker.RequestStop();
        worker.Join();

        const std::vector<int16_t> recorded = Samples(ReadAll(path), 4);
        EXPECT_EQ(recorded.size() * 2, input->delivered.load()) << "every delivered sample, nothing more";
        EXPECT_GE(recorded.size(), 9u * 1120u);
        for (size_t i = 0; i < recorded.size(); ++i)
            ASSERT_EQ(recorded[i], static_cast<int16_t>(i)) << "sample " << i;
    }
}

TEST_F(StreamEndToEnd, StopDrainsWhatTheBoardCapturedIntoTheRecording) {
    {
        auto lock = boards.simulator->BoardAt(0).Lock();
        boards.simulator->BoardAt(0).Streams().SetInputSignal(sim::InputSignal::Sequence);
    }
    auto input = boards.Open(0, "PHONE_LINE1_IN_DEV");
    StreamChannel channel;
    channel.device = input.get();
    channel.direction = StreamDirection::Input;
    CChannelRun run(channel, ChannelKind::CodecInput, cfg.get());
    StartRequest request;
    request.rate = 48000;
    request.record = true;
    request.recordingPath = dir.Path("rec.raw");
    ASSERT_TRUE(run.Start(request).changed);
    LockstepSink sink({&channel});
    CStreamWorker worker({&channel}, sink);
    ASSERT_TRUE(worker.Start());
    Run(sink, 20, 50ms, boards);
    boards.clock->Advance(45ms); // captured since the last pass: the tail a Stop must not lose
    const RunStatus stopped = run.Stop();
    worker.RequestStop();
    worker.Join();
    EXPECT_TRUE(stopped.changed);
    const auto counters = GetStreamCounters(*input);
    ASSERT_TRUE(counters);
    const std::vector<int16_t> recorded = Samples(ReadAll(dir.Path("rec.raw")), 4);
    EXPECT_EQ(recorded.size() * 2, counters->bytes) << "every sample up to the stop request";
    for (size_t i = 0; i < recorded.size(); ++i)
        ASSERT_EQ(recorded[i], static_cast<int16_t>(i)) << "sample " << i;
}
