// Simulated board part: streaming channels: attenuation and gain (acting on what outputs play and inputs
// hear), sample and codec rates, stream start and stop, DMA buffer state, counters, routing mode.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Faults.h"
#include "Impairments.h"
#include "Request.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// What a line input captures while it runs: a 1 kHz tone, the sample index since the start (so a
// recording can be checked for gaps), or what the same line's output played. The tone and the loopback
// pass through the input's gain and mute and take on the impairments; the sequence stays exact.
enum class InputSignal { Tone, Sequence, Loopback };

// "tone", "sequence" or "loopback"; null for any other text.
std::optional<InputSignal> ParseInputSignal(const std::string& text);

// What a channel has moved since the board was made, for tests and benchmarks.
struct StreamStats {
    uint64_t bytesPlayed = 0;    // outputs: bytes drained from the DMA buffer
    uint32_t underruns = 0;      // outputs: times the buffer ran dry while samples were due
    uint64_t lostInputBytes = 0; // inputs: oldest bytes dropped because nobody read them in time
};

class StreamModel {
public:
    static constexpr uint32_t kBufferBytes = 32768;
    static constexpr uint32_t kDefaultRate = 16000;

    explicit StreamModel(BoardState& state);
    ~StreamModel();
    StreamModel(const StreamModel&) = delete;
    StreamModel& operator=(const StreamModel&) = delete;

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

    // Sample transfer; false for a device that does not stream in that direction. Never waits: moves
    // what fits now, in whole samples.
    bool Read(const DeviceAddress& device, uint8_t* buffer, uint32_t size, uint32_t* done);
    bool Write(const DeviceAddress& device, const uint8_t* buffer, uint32_t size, uint32_t* done);

    // Callers hold Board::Lock().
    void SetInputSignal(InputSignal signal) { m_signal = signal; }
    InputSignal Signal() const { return m_signal; }
    void SetImpairments(const Impairments& impairments);
    // A glitch fault on the inputs of this board (base name `base`) the rule's device matches.
    void AddGlitch(const FaultRule& rule, const std::string& base);
    // Appends every accepted output byte to DIR/<base>-<leaf>.raw; an empty directory turns it off.
    void SetCapture(const std::string& directory, const std::string& base);
    StreamStats Stats(const DeviceAddress& device) const;
    uint32_t WorkMode() const { return m_workMode; }

private:
    struct Setting {
        int16_t value = 0;
        bool mute = false;
    };
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    struct Channel {
        bool output = false;
        std::string leaf;
        Setting first;
        Setting second;

        // The DMA buffer as a ring of samples; allocated with the first sample put in, so boards whose
        // streams never run cost no buffer memory.
        std::vector<int16_t> ring;
        size_t head = 0; // oldest sample
        size_t count = 0;

        bool running = false;
        Duration since{};       // when counting at the current rate began
        uint64_t accounted = 0; // samples due since `since` that were already handled
        uint64_t produced = 0;  // samples moved since the start: the sequence index of inputs
        uint64_t bytes = 0;     // bytes moved since the start
        int16_t level = 0;
        bool dry = false;

        StreamStats stats;

        // Outputs: what this advance played, for a loopback input. `interval` samples were due; the
        // first played.size() of them came from the buffer (zeros when muted), the rest were silence.
        uint64_t interval = 0;
        std::vector<int16_t> played;
        double playedAmplitude = 0.0; // of a sine with the played samples' RMS

        NoiseSource noise;  // inputs: the noise impairment, seeded per line
        InputGlitch glitch; // inputs: the glitch fault, off unless set
        LineShaper shaper;  // inputs: the band filter and compressor

        std::unique_ptr<std::FILE, FileCloser> capture;
        bool captureFailed = false;
    };

    static void AllocateRing(Channel& channel) {
        if (channel.ring.empty())
            channel.ring.resize(kBufferBytes / 2);
    }
    Channel* Find(const DeviceAddress& device);
    const Channel* Find(const DeviceAddress& device) const;
    Channel& OutputOfLine(int line) { return m_channels[10 + static_cast<size_t>(line)]; }
    uint32_t RateOf(size_t index) const;
    uint64_t Due(Channel& channel, uint32_t rate, Duration now);
    void Rebase(size_t first, size_t last, Duration now);
    void AdvanceOutput(Channel& channel, uint64_t due);
    void AdvanceInput(size_t index, uint64_t due);
    // Sample j of an input's `due`, k since its start, at the input's gain (0 when muted).
    int16_t InputSample(size_t index, uint64_t k, uint64_t due, uint64_t j, double gain);
    // What a line output played at the instant of sample j of an input's `due`; null where it played nothing.
    const int16_t* PlayedAt(size_t outputIndex, uint64_t due, uint64_t j) const;
    // The channel's gain as a linear factor from the request set its board answers; 0 when muted.
    double Gain(const Channel& channel, bool stereo) const;
    void Capture(Channel& channel, const uint8_t* bytes, uint32_t size);

    Handled Attenuation(Channel& channel, bool stereo, bool second, ControlRequest& request);
    Handled Rate(uint32_t* rate, bool set, ControlRequest& request, size_t first, size_t last, Duration now);
    Handled Command(Channel& channel, ControlRequest& request, Duration now);

    BoardState& m_state;
    // 0 left, 1 right, 2..9 line inputs 0..7, 10..17 line outputs 0..7.
    std::array<Channel, 18> m_channels;
    uint32_t m_leftRate = kDefaultRate;
    uint32_t m_rightRate = kDefaultRate;
    uint32_t m_codecRate = kDefaultRate;
    uint32_t m_workMode = 0;
    InputSignal m_signal = InputSignal::Tone;
    // The impairments as linear factors; 0 for one that is off.
    double m_noiseRms = 0.0; // in sample units
    double m_harmonic = 0.0;
    double m_crosstalk = 0.0;
    std::string m_captureDirectory;
    std::string m_captureBase;
};

} // namespace sim
