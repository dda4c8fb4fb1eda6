// The simulated streaming channels: pacing from the clock, input signals, overflow, requests, capture.
#include "BlockCodec.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"
#include "StreamBlocks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace std::chrono_literals;

namespace {

struct StreamModelTest : ::testing::Test {
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}, {0x330D, 501, 4, "", ""}}};

    static uint32_t Ctl(CDevice& device, uint32_t code, std::vector<uint8_t> in, uint8_t* out = nullptr,
                        uint32_t outSize = 0) {
        uint32_t returned = 0;
        return device.DevIoControl(code, in.data(), static_cast<uint32_t>(in.size()), out, outSize, &returned);
    }
    static void Start(CDevice& device) { ASSERT_EQ(Ctl(device, req::kStream, Le16({1, 1, 0, 0, 0})), 1u); }
    static StreamCounters Counters(CDevice& device) {
        uint8_t block[StreamCounters::kSize] = {};
        EXPECT_EQ(Ctl(device, req::kGetCounters, {}, block, sizeof block), 1u);
        return *StreamCounters::Decode(block, sizeof block);
    }
    static BufferState Buffer(CDevice& device) {
        uint8_t block[BufferState::kSize] = {};
        EXPECT_EQ(Ctl(device, req::kGetBufferState, {}, block, sizeof block), 1u);
        return *BufferState::Decode(block, sizeof block);
    }
    static uint32_t Write(CDevice& device, const std::vector<int16_t>& samples) {
        std::vector<uint8_t> bytes;
        for (int16_t s : samples)
            bytes.insert(bytes.end(), {static_cast<uint8_t>(s), static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8)});
        uint32_t done = 0;
        EXPECT_EQ(device.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), 1u);
        return done;
    }
    std::vector<int16_t> Read(CDevice& device, uint32_t bytes) {
        std::vector<uint8_t> raw(bytes);
        uint32_t done = 0;
        EXPECT_EQ(device.Read(raw.data(), bytes, &done), 1u);
        std::vector<int16_t> samples;
        for (uint32_t i = 0; i + 1 < done; i += 2)
            samples.push_back(static_cast<int16_t>(raw[i] | (raw[i + 1] << 8)));
        return samples;
    }
    void UseSignal(sim::InputSignal signal) { sim.simulator->BoardAt(0).Streams().SetInputSignal(signal); }
    sim::StreamStats Stats(sim::DeviceKind kind, int line = 0) {
        auto lock = sim.simulator->BoardAt(0).Lock();
        return sim.simulator->BoardAt(0).Streams().Stats({kind, line});
    }
};

} // namespace

TEST_F(StreamModelTest, OutputDrainsWholeSamplesAtItsRateOverUnevenStepsAndCountsUnderruns) {
    struct Case {
        uint32_t rate;
        std::chrono::nanoseconds step;
        int steps;
    };
    for (const Case c : {Case{8000, 123'457ns, 1500}, Case{44100, 77'777ns, 4000}, Case{11025, 999'999ns, 1200}}) {
        SCOPED_TRACE(c.rate);
        sim = SimFixtureBoards({{0x310, 200, 8, "", ""}});
        auto cfg = sim.Open(0, "VELTRIN_CFG");
        auto left = sim.Open(0, "LINE_OUT_LEFT");
        ASSERT_EQ(Ctl(*cfg, req::kSetLeftRate, Le32({c.rate})), 1u);
        // A full buffer of a square wave of amplitude 1234, written before the start.
        std::vector<int16_t> wave(16384);
        for (size_t i = 0; i < wave.size(); ++i)
            wave[i] = i % 2 ? 1234 : -1234;
        EXPECT_EQ(Write(*left, wave), 32768u);
        Start(*left);
        for (int i = 0; i < c.steps; ++i) {
            sim.clock->Advance(c.step);
            Counters(*left);
        }
        const uint64_t due = static_cast<uint64_t>(c.step.count()) * c.steps * c.rate / 1'000'000'000;
        ASSERT_LT(due, 16384u);
        EXPECT_EQ(Counters(*left).bytes, 2 * due);
        EXPECT_EQ(Counters(*left).level, 1234);
        EXPECT_EQ(Buffer(*left).space, 2 * due);
        EXPECT_EQ(Stats(sim::DeviceKind::OutLeft).underruns, 0u);

        sim.clock->Advance(3s); // runs dry once, however long it stays dry
        Counters(*left);
        sim.clock->Advance(1s);
        EXPECT_EQ(Counters(*left).bytes, 32768u);
        EXPECT_EQ(Counters(*left).level, 0);
        EXPECT_EQ(Stats(sim::DeviceKind::OutLeft).underruns, 1u);
        Write(*left, {5, 6});
        sim.clock->Advance(1s);
        Counters(*left); // the board catches up at a request
        EXPECT_EQ(Stats(sim::DeviceKind::OutLeft).underruns, 2u);
    }
}

TEST_F(StreamModelTest, SequenceInputDeliversOneUnbrokenRunAcrossManyReads) {
    UseSignal(sim::InputSignal::Sequence);
    auto in = sim.Open(0, "PHONE_LINE2_IN_DEV");
    Start(*in);
    std::vector<int16_t> all;
    const uint32_t sizes[] = {7, 1000, 2, 4097, 30000};
    for (int i = 0; i < 400; ++i) {
        sim.clock->Advance(std::chrono::microseconds(20'000 + 37 * (i % 11)));
        const auto part = Read(*in, sizes[i % 5]);
        all.insert(all.end(), part.begin(), part.end());
    }
    const auto rest = Read(*in, 65536);
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all.size(), uint64_t{16000} * sim.clock->Now().count() / 1'000'000'000);
    for (size_t k = 0; k < all.size(); ++k)
        ASSERT_EQ(all[k], static_cast<int16_t>(k)) << k;
    EXPECT_EQ(Stats(sim::DeviceKind::LineIn, 2).lostInputBytes, 0u);
}

TEST_F(StreamModelTest, OverflowDropsTheOldestSamplesAndCountsThem) {
    UseSignal(sim::InputSignal::Sequence);
    auto in = sim.Open(0, "PHONE_LINE0_IN_DEV");
    Start(*in);
    sim.clock->Advance(1s);
    Read(*in, 2000);
    sim.clock->Advance(2s); // 48000 samples in all, 1000 read, 16384 kept
    EXPECT_EQ(Buffer(*in).space, 32768u);
    EXPECT_EQ(Stats(sim::DeviceKind::LineIn).lostInputBytes, 2u * (48000 - 1000 - 16384));
    const auto kept = Read(*in, 40000);
    ASSERT_EQ(kept.size(), 16384u);
    EXPECT_EQ(kept.front(), static_cast<int16_t>(48000 - 16384));
    EXPECT_EQ(kept.back(), static_cast<int16_t>(47999));
    EXPECT_EQ(Counters(*in).bytes, 96000u);
}

TEST_F(StreamModelTest, LoopbackInputHearsWhatItsLinePlayedAndSilenceAfter) {
    UseSignal(sim::InputSignal::Loopback);
    auto in = sim.Open(0, "PHONE_LINE1_IN_DEV");
    auto out = sim.Open(0, "PHONE_LINE1_OUT_DEV");
    std::vector<int16_t> played(1000);
    for (size_t i = 0; i < played.size(); ++i)
        played[i] = static_cast<int16_t>(i * 31 - 9000);
    Write(*out, played);
    Start(*out);
    Start(*in);
    sim.clock->Advance(50ms); // 800 samples at 16000 Hz
    EXPECT_EQ(Read(*in, 1600), std::vector<int16_t>(played.begin(), played.begin() + 800));
    sim.clock->Advance(50ms);
    auto expected = std::vector<int16_t>(played.begin() + 800, played.end());
    expected.resize(800, 0);
    EXPECT_EQ(Read(*in, 4000), expected);
}

TEST_F(StreamModelTest, LoopbackInputLosesNoSampleWhenItStartedBetweenTwoOfTheOutputs) {
    UseSignal(sim::InputSignal::Loopback);
    auto in = sim.Open(0, "PHONE_LINE1_IN_DEV");
    auto out = sim.Open(0, "PHONE_LINE1_OUT_DEV");
    std::vector<int16_t> played(16000);
    for (size_t i = 0; i < played.size(); ++i)
        played[i] = static_cast<int16_t>(i * 7 + 1);
    Write(*out, played);
    Start(*out);
    sim.clock->Advance(std::chrono::microseconds(40)); // two thirds of a sample at 16000 Hz
    Start(*in);
    std::vector<int16_t> heard;
    for (int step = 0; step < 40; ++step) {
        sim.clock->Advance(std::chrono::microseconds(9001 + 37 * step)); // no step a whole number of samples
        const auto got = Read(*in, 40000);
        heard.insert(heard.end(), got.begin(), got.end());
    }
    ASSERT_GT(heard.size(), 5000u);
    const auto first = std::find(played.begin(), played.end(), heard.front());
    ASSERT_NE(first, played.end());
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), first)) << "one unbroken run of what the line played";
}

TEST_F(StreamModelTest, AttenuationRangesFollowTheDeviceKindAndTheRequestSet) {
    struct Case {
        size_t board;
        const char* leaf;
        uint32_t get, set;
        int16_t initial, min, max;
    };
    const Case cases[] = {
        {0, "LINE_OUT_RIGHT", req::kGetAttenuation, req::kSetAttenuation, 255, 0, 255},
        {0, "PHONE_LINE7_OUT_DEV", req::kGetAttenuation, req::kSetAttenuation, 8, 0, 14},
        {1, "PHONE_LINE3_IN_DEV", req::kGetAttenuation, req::kSetAttenuation, 8, 0, 14},
        {1, "LINE_OUT_LEFT", req::kGetAttenuation2, req::kSetAttenuation2, 0, -960, 0},
        {1, "PHONE_LINE0_OUT_DEV", req::kGetAttenuation2, req::kSetAttenuation2, 0, -360, 240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.leaf) + " " + std::to_string(c.get));
        auto device = sim.Open(c.board, c.leaf);
        uint8_t block[10];
        ASSERT_EQ(Ctl(*device, c.get, {}, block, 10), 1u);
        auto answer = AttenuationBlock::Decode(block, 10);
        EXPECT_EQ(answer->value, c.initial);
        EXPECT_EQ(answer->max, c.max);
        EXPECT_EQ(answer->min, c.min);
        EXPECT_EQ(Ctl(*device, c.set, Le16({static_cast<uint16_t>(c.max + 1), 0, 0, 0, 0})), 0u);
        EXPECT_EQ(Ctl(*device, c.set, Le16({static_cast<uint16_t>(c.min - 1), 0, 0, 0, 0})), 0u);
        // A set keeps value and mute; the range words it carries are not taken.
        EXPECT_EQ(Ctl(*device, c.set, Le16({static_cast<uint16_t>(c.min), 1, 0, 99, 99})), 1u);
        ASSERT_EQ(Ctl(*device, c.get, {}, block, 10), 1u);
        answer = AttenuationBlock::Decode(block, 10);
        EXPECT_EQ(answer->value, c.min);
        EXPECT_EQ(answer->mute, 1);
        EXPECT_EQ(answer->max, c.max);
    }
    auto oldFamily = sim.Open(0, "LINE_OUT_LEFT");
    uint8_t block[10];
    EXPECT_EQ(Ctl(*oldFamily, req::kGetAttenuation2, {}, block, 10), 0u);
    EXPECT_EQ(Ctl(*oldFamily, req::kSetAttenuation2, Le16({0, 0, 0, 0, 0})), 0u);
}

TEST_F(StreamModelTest, StreamCommandsAndRatesAreStrict) {
    auto in = sim.Open(0, "PHONE_LINE0_IN_DEV");
    auto out = sim.Open(0, "PHONE_LINE0_OUT_DEV");
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    struct Case {
        CDevice* device;
        uint32_t code;
        std::vector<uint8_t> input;
        uint32_t ok;
    };
    const Case cases[] = {
        {in.get(), req::kSyncCodecInput, Le16({1, 1, 0, 0, 0}), 1},
        {out.get(), req::kSyncCodecInput, Le16({1, 1, 0, 0, 0}), 0},
        {out.get(), req::kStream, Le16({2, 1, 0, 0, 0}), 1},
        {out.get(), req::kStream, Le16({3, 1, 0, 0, 0}), 0},
        {out.get(), req::kStream, Le16({1, 0, 0, 0, 0}), 0},
        {out.get(), req::kStream, Le16({1, 1, 0, 1, 0}), 0},
        {out.get(), req::kStream, Le16({1, 1, 0, 0, 1}), 0},
        {out.get(), req::kStream, Le16({1, 1, 0, 0}), 0},
        {cfg.get(), req::kSetCodecRate, Le32({3999}), 0},
        {cfg.get(), req::kSetCodecRate, Le32({96001}), 0},
        {cfg.get(), req::kSetCodecRate, Le32({96000}), 1},
        {cfg.get(), req::kSetRightRate, Le32({4000}), 1},
        {in.get(), req::kOutputMode, Le32({3}), 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Ctl(*cases[i].device, cases[i].code, cases[i].input), cases[i].ok) << "case " << i;
    uint8_t rate[4];
    ASSERT_EQ(Ctl(*cfg, req::kGetCodecRate, {}, rate, 4), 1u);
    EXPECT_EQ(block::GetU32(rate, 0), 96000u);
    uint32_t done = 0;
    EXPECT_EQ(in->Write(rate, 4, &done), 0u); // inputs are only read, outputs only written
    EXPECT_EQ(out->Read(rate, 4, &done), 0u);
}

TEST_F(StreamModelTest, CaptureFileHoldsExactlyTheBytesTheOutputAccepted) {
    const auto dir =
        std::filesystem::path(::testing::TempDir()) / ("stream-capture-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    sim.simulator->SetCaptureDirectory(dir.string());
    auto right = sim.Open(0, "LINE_OUT_RIGHT");
    std::vector<uint8_t> source(40001);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i * 7 + i / 256);
    uint32_t done = 0, accepted = 0;
    ASSERT_EQ(right->Write(source.data(), 3, &done), 1u); // whole samples only
    accepted += done;
    ASSERT_EQ(right->Write(source.data() + accepted, 40000, &done), 1u); // only what fits
    accepted += done;
    EXPECT_EQ(accepted, 32768u);
    std::ifstream file(dir / "VSIM0-LINE_OUT_RIGHT.raw", std::ios::binary);
    const std::vector<uint8_t> captured{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(captured, std::vector<uint8_t>(source.begin(), source.begin() + accepted));
    std::filesystem::remove_all(dir);
}

TEST(StreamModelEnvironment, InputSignalComesFromTheEnvironmentAndBadTextKeepsTheTone) {
    for (const auto& [text, signal] :
         {std::pair{"sequence", sim::InputSignal::Sequence}, std::pair{"noise", sim::InputSignal::Tone}}) {
        ::setenv("VELTRIN_SIM_INPUT", text, 1);
        testing::internal::CaptureStderr();
        auto simulator = sim::Simulator::FromEnvironment();
        const std::string messages = testing::internal::GetCapturedStderr();
        ::unsetenv("VELTRIN_SIM_INPUT");
        EXPECT_EQ(simulator->BoardAt(0).Streams().Signal(), signal) << text;
        EXPECT_EQ(messages.find("VELTRIN_SIM_INPUT") != std::string::npos, signal == sim::InputSignal::Tone);
    }
}

TEST_F(StreamModelTest, StartClearsTheByteCountOfTheRunBefore) {
    for (const char* leaf : {"PHONE_LINE1_IN_DEV", "LINE_OUT_LEFT"}) {
        auto device = sim.Open(0, leaf);
        for (int run = 0; run < 2; ++run) {
            Start(*device);
            EXPECT_EQ(Counters(*device).bytes, 0u) << leaf << " run " << run;
            const std::vector<uint8_t> samples(8000, 1);
            uint32_t done = 0;
            device->Write(samples.data(), 8000, &done); // an input refuses it; an output plays it
            sim.clock->Advance(100ms);
            EXPECT_GT(Counters(*device).bytes, 0u) << leaf;
            ASSERT_EQ(Ctl(*device, req::kStream, Le16({2, 1, 0, 0, 0})), 1u);
        }
    }
}
