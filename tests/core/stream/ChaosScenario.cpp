// The chaos scenario: a board of chaos devices, a pass thread standing for the streaming worker, the
// test's thread acting as the pages do, and the invariants checked afterwards.
#include "ChaosScenario.h"

#include "ChannelRun.h"
#include "ChaosDevice.h"
#include "StreamPass.h"
#include "TempDir.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A Start or Stop may wait kPassWait for a pass; the rest is room for a slow machine and the sanitizer.
constexpr auto kWaitBound = CChannelRun::kPassWait + std::chrono::milliseconds(1500);

struct Started {
    uint32_t rate = 0;
    uint32_t engineRun = 0;
    bool record = false;
    std::string path; // the recording
    bool sine = false;
};

struct Slot {
    std::string name;
    ChannelKind kind = ChannelKind::CodecInput;
    int line = 0;
    std::unique_ptr<ChaosDevice> device;
    std::unique_ptr<StreamChannel> channel;
    std::unique_ptr<CChannelRun> run;
    // An output's sources: the sine, or a raw file of `playData` after its rate header.
    bool sine = false;
    uint32_t frequency = 1000;
    uint32_t amplitude = 0;
    std::string playPath;
    std::vector<uint8_t> playData;
    // What the test's thread knows, as a page does.
    bool running = false;
    uint32_t rate = 0;
    std::string usedPath; // the file the current run plays or records into
    std::vector<Started> started;
    std::map<uint32_t, int> failuresReported; // engine run -> recording failures said
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Scenario {
public:
    Scenario(uint64_t seed, std::string folder) : m_seed(seed), m_folder(std::move(folder)), m_random(seed) {}

    ChaosOutcome Run() {
        Build();
        rlimit saved{};
        if (m_diskLimit != 0) {
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limited = saved;
            limited.rlim_cur = m_diskLimit;
            setrlimit(RLIMIT_FSIZE, &limited);
        }
        std::thread passes([this] { PassLoop(); });
        const int actions = Draw(4, 12);
        for (int i = 0; i < actions; ++i) {
            Pause();
            TakeEvents();
            Slot& slot = m_slots[static_cast<size_t>(Draw(0, static_cast<int>(m_slots.size()) - 1))];
            if (slot.running)
                Stop(slot);
            else
                Start(slot);
        }
        Pause();
        TakeEvents();
        for (Slot& slot : m_slots)
            if (slot.running)
                Stop(slot);
        m_quit.store(true);
        // A pass hung in a request is cancelled, as the pages do when they close.
        while (!m_passesEnded.load()) {
            for (Slot& slot : m_slots)
                slot.device->Cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        passes.join();
        TakeEvents();
        for (Slot& slot : m_slots)
            if (auto recording = slot.channel->TakeRecording())
                recording->Close(); // a channel whose board vanished before its stop
        if (m_diskLimit != 0)
            setrlimit(RLIMIT_FSIZE, &saved);
        for (Slot& slot : m_slots)
            Check(slot);
        return std::move(m_outcome);
    }

private:
    int Draw(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_random) < p; }
    template <typename T> T Pick(std::initializer_list<T> values) {
        return *(values.begin() + Draw(0, static_cast<int>(values.size()) - 1));
    }
    void Violation(const Slot& slot, const std::string& text) {
        m_outcome.violations.push_back(slot.name + ": " + text);
    }
    void Pause() {
        if (!Chance(0.2))
            std::this_thread::sleep_for(std::chrono::microseconds(Draw(0, 3000)));
    }

    ChaosBehaviour DrawBehaviour() {
        ChaosBehaviour b;
        b.dmaLength = Pick<uint32_t>({4096, 8192, 32768});
        b.transferCap = Pick<uint32_t>({static_cast<uint32_t>(Draw(1, 31) * 2 + 1), 2048, 4096, 1u << 20});
        b.oddCounts = Chance(0.5);
        switch (Draw(0, 2)) {
        case 0: // slower than the passes come
            b.paceMin = 0;
            b.paceMax = 512;
            break;
        case 1:
            b.paceMin = 512;
            b.paceMax = 4096;
            break;
        default: // faster than the passes can keep up with
            b.paceMin = b.dmaLength / 2;
            b.paceMax = b.dmaLength;
            break;
        }
        b.slowChance = Chance(0.5) ? 0.05 : 0;
        b.hangChance = Chance(0.15) ? 0.002 : 0;
        b.refuseChance = Chance(0.3) ? 0.05 : 0;
        b.vanishAfter = m_diskLimit == 0 && Chance(0.08) ? static_cast<uint64_t>(Draw(5, 400)) : 0;
        if (std::getenv("VELTRIN_CHAOS_VERBOSE"))
            std::fprintf(stderr,
                         "dma %u cap %u odd %d pace %u-%u slow %.2f hang %.3f refuse %.2f vanish %llu disk %llu\n",
                         b.dmaLength, b.transferCap, b.oddCounts, b.paceMin, b.paceMax, b.slowChance, b.hangChance,
                         b.refuseChance, static_cast<unsigned long long>(b.vanishAfter),
                         static_cast<unsigned long long>(m_diskLimit));
        return b;
    }

    void Build() {
        if (Chance(0.12))
            m_diskLimit = static_cast<rlim_t>(4 + Draw(0, 40000));
        struct Place {
            const char* name;
            ChannelKind kind;
            int line;
        };
        std::vector<Place> places = {{"line 0 input", ChannelKind::CodecInput, 0},
                                     {"line 0 output", ChannelKind::CodecOutput, 0},
                                     {"line 1 input", ChannelKind::CodecInput, 1},
                                     {"line 1 output", ChannelKind::CodecOutput, 1},
                                     {"stereo left", ChannelKind::StereoOutput, 0}};
        std::shuffle(places.begin(), places.end(), m_random);
        places.resize(static_cast<size_t>(Draw(1, 3)));
        m_slots.resize(places.size());
        for (size_t i = 0; i < places.size(); ++i) {
            Slot& slot = m_slots[i];
            slot.name = places[i].name;
            slot.kind = places[i].kind;
            slot.line = places[i].line;
            const bool input = slot.kind == ChannelKind::CodecInput;
            const auto direction = input ? StreamDirection::Input : StreamDirection::Output;
            slot.device = std::make_unique<ChaosDevice>(direction, DrawBehaviour(), m_random(), &m_config,
                                                        static_cast<uint32_t>(m_seed * 8 + i));
            slot.channel = std::make_unique<StreamChannel>();
            slot.channel->device = slot.device.get();
            slot.channel->direction = direction;
            slot.run = std::make_unique<CChannelRun>(*slot.channel, slot.kind, &m_config, slot.line, slot.line);
            if (input) {
                slot.channel->source.store(StreamChannel::kNotRecording);
                continue;
            }
            slot.sine = Chance(0.3);
            if (slot.sine) {
                slot.frequency = Pick<uint32_t>({440, 1000});
                slot.amplitude = static_cast<uint32_t>(Draw(1, 32767));
                slot.channel->source.store(StreamChannel::kSourceSine);
                continue;
            }
            // Any length, an odd one (half a sample at the end) included.
            slot.playData.resize(static_cast<size_t>(Chance(0.2) ? Draw(0, 300) : Draw(0, 60000)));
            for (uint8_t& byte : slot.playData)
                byte = static_cast<uint8_t>(m_random());
            std::vector<uint8_t> image;
            PutU32(image, 8000);
            image.insert(image.end(), slot.playData.begin(), slot.playData.end());
            slot.playPath = m_folder + "/play" + std::to_string(i) + ".raw";
            std::ofstream(slot.playPath, std::ios::binary)
                .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
            if (!slot.channel->file.OpenForReading(slot.playPath))
                Violation(slot, "a raw file of " + std::to_string(image.size()) + " bytes does not open");
            slot.channel->source.store(StreamChannel::kSourceFile);
        }
    }

    void PassLoop() {
        std::vector<int16_t> buffer(kPassSamples);
        std::minstd_rand pace(static_cast<uint32_t>(m_seed));
        while (!m_quit.load()) {
            for (size_t i = 0; i < m_slots.size(); ++i) {
                PassResult result = RunStreamPass(*m_slots[i].channel, buffer);
                if (result.event.kind != PassEvent::Kind::None) {
                    std::lock_guard lock(m_eventsMutex);
                    m_events.push_back({static_cast<int>(i), result.event});
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50 + pace() % 250));
        }
        m_passesEnded.store(true);
    }

    // The pages' handling of a report: an end of file or a playback that cannot read stops the channel.
    void TakeEvents() {
        std::deque<std::pair<int, PassEvent>> events;
        {
            std::lock_guard lock(m_eventsMutex);
            events.swap(m_events);
        }
        for (auto& [index, event] : events) {
            Slot& slot = m_slots[static_cast<size_t>(index)];
            if (event.kind == PassEvent::Kind::RecordingFailed)
                ++slot.failuresReported[event.run];
            if (!slot.run->IsCurrent(event.run))
                continue;
            if (event.kind == PassEvent::Kind::PlayedToEnd || event.kind == PassEvent::Kind::PlaybackFailed)
                Stop(slot);
        }
    }

    // What refuses a start at `rate` into `path` while the other channels run as they do.
    std::string ExpectedRefusal(const Slot& slot, uint32_t rate, const std::string& path, bool recording) const {
        for (const Slot& other : m_slots)
            if (&other != &slot && other.running && other.kind != ChannelKind::StereoOutput &&
                slot.kind != ChannelKind::StereoOutput && other.rate != rate)
                return "the codec runs at " + std::to_string(other.rate) + " Hz on line ";
        for (const Slot& other : m_slots) {
            if (&other == &slot || !other.running || path.empty() || other.usedPath != path)
                continue;
            const bool otherRecords = other.kind == ChannelKind::CodecInput;
            if (recording || otherRecords)
                return "is in use";
        }
        return {};
    }

    void Start(Slot& slot) {
        StartRequest request;
        const bool stereo = slot.kind == ChannelKind::StereoOutput;
        request.rate = stereo ? Pick<uint32_t>({8000, 44100, 48000}) : Pick<uint32_t>({8000, 16000});
        std::string path;
        if (slot.kind == ChannelKind::CodecInput) {
            request.record = Chance(0.8);
            request.synchro = Chance(0.3);
            path = m_folder + "/rec" + slot.name.substr(5, 1) + "_" + std::to_string(m_files++) + ".raw";
            // Now and then into a file another channel uses.
            for (const Slot& other : m_slots)
                if (&other != &slot && other.running && !other.usedPath.empty() && Chance(0.3))
                    path = other.usedPath;
            request.recordingPath = path;
        } else if (slot.sine) {
            std::lock_guard lock(slot.channel->sourceMutex);
            slot.channel->sine.Init(request.rate, slot.amplitude, slot.frequency);
        } else {
            slot.channel->file.Rewind();
            path = slot.playPath;
        }
        const bool recording = request.record;
        if (slot.kind == ChannelKind::CodecInput && !recording)
            path.clear();
        const std::string refusal = ExpectedRefusal(slot, request.rate, path, recording);

        const auto began = Clock::now();
        const RunStatus status = slot.run->Start(request);
        if (Clock::now() - began > kWaitBound)
            Violation(slot, "Start outlived its bound");
        if (!refusal.empty()) {
            ++m_outcome.refusals;
            if (status.changed || status.error.find(refusal) == std::string::npos)
                Violation(slot, "Start should have been refused with \"" + refusal + "\", got \"" + status.error +
                                    "\"" + (status.changed ? " and ran" : ""));
            if (!status.changed)
                return;
        } else if (!status.changed) {
            if (!slot.device->Vanished())
                Violation(slot, "Start refused: \"" + status.error + "\"");
            return;
        }
        ++m_outcome.starts;
        slot.running = true;
        slot.rate = request.rate;
        slot.usedPath = recording || slot.kind != ChannelKind::CodecInput ? path : std::string();
        Started started;
        started.rate = request.rate;
        started.engineRun = slot.channel->runId.load();
        started.record = recording;
        started.path = path;
        started.sine = slot.sine;
        slot.started.push_back(started);
    }

    void Stop(Slot& slot) {
        const auto began = Clock::now();
        const RunStatus status = slot.run->Stop();
        if (Clock::now() - began > kWaitBound)
            Violation(slot, "Stop outlived its bound");
        if (status.step == RunStatus::Step::Recording && !slot.started.empty())
            ++slot.failuresReported[slot.started.back().engineRun];
        if (status.changed) {
            slot.running = false;
            slot.usedPath.clear();
            return;
        }
        if (!slot.device->Vanished())
            Violation(slot, "Stop refused: \"" + status.error + "\"");
    }

    void CheckOutput(const Slot& slot, size_t index, const Started& started, const ChaosDevice::Run& run) {
        std::vector<uint8_t> expected = slot.playData;
        if (started.sine) {
            SineGenerator sine;
            sine.Init(started.rate, slot.amplitude, slot.frequency);
            std::vector<int16_t> samples(run.bytes.size() / 2 + 1);
            sine.Generate(static_cast<int32_t>(samples.size()), samples.data());
            expected.assign(reinterpret_cast<const uint8_t*>(samples.data()),
                            reinterpret_cast<const uint8_t*>(samples.data()) + samples.size() * 2);
        }
        const std::string what = "run " + std::to_string(index) + " ";
        if (run.bytes.size() > expected.size()) {
            Violation(slot, what + "took " + std::to_string(run.bytes.size()) + " bytes of a source of " +
                                std::to_string(expected.size()));
            return;
        }
        const auto mismatch = std::mismatch(run.bytes.begin(), run.bytes.end(), expected.begin());
        if (mismatch.first != run.bytes.end())
            Violation(slot, what + "differs from its source at byte " +
                                std::to_string(mismatch.first - run.bytes.begin()) + " of " +
                                std::to_string(run.bytes.size()));
    }

    void CheckRecording(const Slot& slot, size_t index, const Started& started, const ChaosDevice::Run& run) {
        const std::string what = "recording " + std::to_string(index) + " ";
        if (run.mixedRate)
            Violation(slot, what + "had samples taken at another codec rate");
        if (!started.record)
            return;
        const std::vector<uint8_t> file = ReadFile(started.path);
        if (file.size() < 4) {
            Violation(slot, what + "has no rate header");
            return;
        }
        const uint32_t header = file[0] | (file[1] << 8) | (file[2] << 16) | (uint32_t{file[3]} << 24);
        if (header != run.rate || header != started.rate)
            Violation(slot, what + "states " + std::to_string(header) + " Hz, taken at " + std::to_string(run.rate));
        const size_t data = file.size() - 4;
        if (data % 2 != 0)
            Violation(slot, what + "holds half a sample");
        for (size_t i = 0; i + 1 < data; i += 2) {
            const auto want =
                static_cast<uint16_t>(ChaosDevice::Sample(slot.device->Salt(), static_cast<uint32_t>(index), i / 2));
            const uint16_t got = static_cast<uint16_t>(file[4 + i] | (file[5 + i] << 8));
            if (got != want) {
                Violation(slot, what + "differs from the input at sample " + std::to_string(i / 2) + " of " +
                                    std::to_string(data / 2));
                return;
            }
        }
        const auto found = slot.failuresReported.find(started.engineRun);
        const int reported = found == slot.failuresReported.end() ? 0 : found->second;
        if (slot.device->Vanished() || !run.stopped) {
            if (data > run.captured)
                Violation(slot, what + "holds more than was captured");
            if (reported > 1)
                Violation(slot, what + "failure said " + std::to_string(reported) + " times");
            return;
        }
        const bool full = m_diskLimit != 0 && run.captured + 4 > m_diskLimit;
        const uint64_t expect = full ? (m_diskLimit - 4) & ~uint64_t{1} : run.captured;
        if (data != expect)
            Violation(slot, what + "holds " + std::to_string(data) + " bytes of the " + std::to_string(run.captured) +
                                " captured" + (full ? " on a full disk" : ""));
        if (reported != (full ? 1 : 0))
            Violation(slot, what + "failure said " + std::to_string(reported) + " times");
    }

    void Check(const Slot& slot) {
        const std::vector<ChaosDevice::Run> runs = slot.device->Runs();
        if (slot.device->HangsOutlived() != 0)
            Violation(slot, "a hung request was never cancelled");
        if (slot.device->StrayWrites() != 0)
            Violation(slot, std::to_string(slot.device->StrayWrites()) + " writes came while the board was stopped");
        if (runs.size() != slot.started.size()) {
            Violation(slot, "the board saw " + std::to_string(runs.size()) + " runs, the engine started " +
                                std::to_string(slot.started.size()));
            return;
        }
        for (size_t i = 0; i < runs.size(); ++i) {
            if (!runs[i].stoppedLikeStarted)
                Violation(slot, "run " + std::to_string(i) + " stopped with another request than it started with");
            if (slot.kind == ChannelKind::CodecInput)
                CheckRecording(slot, i, slot.started[i], runs[i]);
            else
                CheckOutput(slot, i, slot.started[i], runs[i]);
        }
    }

    const uint64_t m_seed;
    const std::string m_folder;
    std::mt19937_64 m_random;
    ChaosConfig m_config;
    rlim_t m_diskLimit = 0;
    std::vector<Slot> m_slots;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_passesEnded{false};
    std::mutex m_eventsMutex;
    std::deque<std::pair<int, PassEvent>> m_events;
    int m_files = 0;
    ChaosOutcome m_outcome;
};

} // namespace

ChaosOutcome RunChaosScenario(uint64_t seed, const std::string& folder) { return Scenario(seed, folder).Run(); }
