// A streaming device whose every answer is drawn from a seeded random source within what a driver may
// legally do: short, capped and odd transfers, slow requests, requests hung until Cancel, a board that
// plays or captures too slowly or too fast, refused transfers, a board that vanishes. It makes its own
// input signal and keeps every byte an output run was given, so runs can be checked byte by byte.
#pragma once

#include "Device.h"
#include "StreamChannel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

// The configuration device of one board: the codec's one rate and the stereo outputs' rates.
class ChaosConfig final : public CDevice {
public:
    uint32_t Read(void*, uint32_t, uint32_t* done) override;
    uint32_t Write(const void*, uint32_t, uint32_t* done) override;
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override;
    uint32_t Cancel() override { return 1; }
    uint32_t CodecRate() const { return m_codecRate.load(); }

private:
    std::atomic<uint32_t> m_codecRate{8000};
    std::atomic<uint32_t> m_stereoRates[2] = {44100, 44100};
};

struct ChaosBehaviour {
    uint32_t dmaLength = 32768; // even
    uint32_t transferCap = 0;   // most bytes one Read or Write moves
    bool oddCounts = false;     // transfers may move an odd count
    uint32_t paceMin = 0;       // bytes the board plays or captures between two buffer-state queries
    uint32_t paceMax = 0;
    double slowChance = 0;    // a request takes up to 300 µs
    double hangChance = 0;    // while running, a transfer or query hangs until Cancel
    double refuseChance = 0;  // a transfer fails and moves nothing
    uint64_t vanishAfter = 0; // requests after which every request fails; 0: never
};

class ChaosDevice final : public CDevice {
public:
    // A hang nobody cancels ends by itself after this long and counts as a wait that outlived its bound.
    static constexpr std::chrono::milliseconds kHangLimit{4000};

    struct Run {
        bool synchro = false;
        bool stopped = false;
        bool stoppedLikeStarted = true;
        uint32_t rate = 0;          // the codec rate at the start request
        bool mixedRate = false;     // a sample was captured at another rate
        std::vector<uint8_t> bytes; // output: every byte the run took, in order
        uint64_t captured = 0;      // input: bytes captured during the run
    };

    // `codec` (may be null) tells an input the rate its samples are captured at; `salt` makes the input
    // signal of this device its own.
    ChaosDevice(StreamDirection direction, const ChaosBehaviour& behaviour, uint64_t seed, const ChaosConfig* codec,
                uint32_t salt);

    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override;
    uint32_t Cancel() override;

    // The input signal: sample `index` of run `run`, never the same shifted by a byte or a run.
    static int16_t Sample(uint32_t salt, uint32_t run, uint64_t index);
    uint32_t Salt() const { return m_salt; }

    std::vector<Run> Runs() const;
    bool Vanished() const;
    uint64_t StrayWrites() const;   // writes while stopped
    uint64_t HangsOutlived() const; // hangs that ended by themselves

private:
    enum class Gate { Go, Fail };
    // Counts the request and plays the driver's delays; Fail: the board is gone or the hang was cancelled.
    Gate Enter(std::unique_lock<std::mutex>& lock, bool mayHang);
    uint32_t DrawCount(uint32_t most);
    bool Chance(double p);
    void Advance(); // the board plays or captures between two queries

    mutable std::mutex m_mutex;
    std::condition_variable m_cancelled;
    const StreamDirection m_direction;
    const ChaosBehaviour m_behaviour;
    const ChaosConfig* m_codec;
    const uint32_t m_salt;
    std::mt19937_64 m_random;
    uint64_t m_requests = 0;
    uint64_t m_cancels = 0;
    int m_hangs = 0;
    bool m_running = false;
    uint32_t m_fill = 0;     // output: bytes waiting to be played
    uint64_t m_played = 0;   // output: played in this run
    uint64_t m_consumed = 0; // input: handed over in this run
    std::vector<Run> m_runs;
    uint64_t m_strayWrites = 0;
    uint64_t m_hangsOutlived = 0;
};
