// StreamChannel: one streaming channel's state, shared by its page (user-interface thread) and the
// page's streaming worker. No widgets: the pages keep their controls beside it.
#pragma once

#include "SampleTap.h"
#include "SineGenerator.h"
#include "SoundFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

class CDevice;

enum class StreamDirection : int16_t { Input = 0, Output = 1 };

struct StreamChannel {
    // Output channels: the sine is the source (else the file). Input channels: not recording into the file.
    static constexpr int32_t kSourceSine = 1;
    static constexpr int32_t kSourceFile = 0;
    static constexpr int32_t kNotRecording = 1;
    static constexpr int32_t kRecording = 0;

    CDevice* device = nullptr; // absent: the channel cannot run
    StreamDirection direction = StreamDirection::Output;

    // What the worker reads. The page changes source, file and generator only while the channel is
    // stopped and publishes them with the release store of `running`.
    std::atomic<bool> running{false};
    std::atomic<int32_t> source{kSourceSine};
    std::atomic<int32_t> actualRate{0};
    // Highest free space seen since Start or Reset; the worker raises it, the page clears it.
    std::atomic<uint32_t> freeSpacePeak{0};

    SineGenerator sine;
    CSoundFile file; // the file an output channel plays

    // An input channel's recording. The page hands it over at Start and takes it back at Stop; the worker
    // borrows it for one append at a time. Whoever lets go last closes the file, so the user-interface
    // thread never waits for a write in progress on a slow disk, and an append under way when the page
    // takes the recording back still finishes, whole, into that recording.
    // The recording belongs to one run (`run`, the run id the next MarkRunning gives): a block read for
    // another run never lands in it.
    void SetRecording(std::shared_ptr<CSoundFile> recording, uint32_t run) {
        std::lock_guard lock(m_recordingMutex);
        m_recording = std::move(recording);
        m_recordingRun = run;
    }
    // The page's hand-back: the recording leaves the channel; the caller's reference is the page's last.
    std::shared_ptr<CSoundFile> TakeRecording() {
        std::lock_guard lock(m_recordingMutex);
        return std::exchange(m_recording, nullptr);
    }
    // The worker's borrow: the mutex guards only this copy, never a write.
    std::shared_ptr<CSoundFile> Recording() const {
        std::lock_guard lock(m_recordingMutex);
        return m_recording;
    }
    // The worker's borrow for one run: nothing when the recording belongs to another run.
    std::shared_ptr<CSoundFile> RecordingOf(uint32_t run) const {
        std::lock_guard lock(m_recordingMutex);
        return m_recordingRun == run ? m_recording : nullptr;
    }
    // Lets go of the recording when it is still `recording` (a failed append ends it).
    std::shared_ptr<CSoundFile> TakeRecordingIf(const std::shared_ptr<CSoundFile>& recording) {
        std::lock_guard lock(m_recordingMutex);
        return m_recording == recording ? std::exchange(m_recording, nullptr) : nullptr;
    }

    // Held by the worker only while it takes samples from the generator, and by the page while it
    // prepares the generator for a Start, so a Stop and a quick Start cannot meet a pass half-way.
    std::mutex sourceMutex;
    // Since the last Start: bytes handed to the device, and whether the file had no more data to give.
    // A file that shrank after it was opened ends when the device has played what it was given.
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<bool> fileExhausted{false};

    // The run the channel is in: raised by every Start, so reports of an earlier run are told apart.
    std::atomic<uint32_t> runId{0};
    uint32_t NextRun() const { return runId.load(std::memory_order_relaxed) + 1; }

    // Held by a pass over the channel and by an input's drain at Stop, so the two never read the device
    // or touch the carried bytes at once. Front ends take it with LockPassWithin: a pass hung in the
    // driver must not hang them.
    std::mutex passMutex;
    // Takes passMutex within `bound` (polled: a plain mutex, so every checking tool sees the lock).
    bool LockPassWithin(std::chrono::milliseconds bound) {
        const auto until = std::chrono::steady_clock::now() + bound;
        while (!passMutex.try_lock()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Worker state of the current run (guarded by passMutex; reset when a pass sees a new run id).
    struct Carry {
        uint32_t run = 0;
        std::vector<uint8_t> unsent; // output: bytes the device has not taken yet, offered first
        bool oddByte = false;        // input: the byte of a sample whose other half has not come yet
        uint8_t odd = 0;
        int readFailures = 0;     // output file: reads failing in a row
        uint32_t reportedRun = 0; // the run whose failure has been reported
        uint32_t endReported = 0; // the run whose end of file has been reported
    } carry;

    // Marks the channel running after its source is ready (Start). Clears what the worker counts and
    // starts a new run.
    void MarkRunning() {
        runId.fetch_add(1, std::memory_order_relaxed);
        bytesWritten.store(0, std::memory_order_relaxed);
        fileExhausted.store(false, std::memory_order_relaxed);
        freeSpacePeak.store(0, std::memory_order_relaxed);
        running.store(true, std::memory_order_release);
    }

    // An input's tap: the pass hands it every whole sample it reads, while recording or not. A view
    // attaches one and detaches it (empty) when it closes; without one a pass pays one relaxed load.
    void AttachTap(std::shared_ptr<CSampleTap> tap) {
        if (tap)
            tap->Reset(static_cast<uint32_t>(std::max(actualRate.load(std::memory_order_relaxed), 0)));
        std::lock_guard lock(m_tapMutex);
        m_tapped.store(tap != nullptr, std::memory_order_relaxed);
        m_tap = std::move(tap);
    }
    // Start: the tap holds nothing of an earlier run and is stamped with the new run's rate.
    void ResetTap(uint32_t rate) {
        std::lock_guard lock(m_tapMutex);
        if (m_tap)
            m_tap->Reset(rate);
    }
    void TapSamples(std::span<const int16_t> samples) {
        if (samples.empty() || !m_tapped.load(std::memory_order_relaxed))
            return;
        std::shared_ptr<CSampleTap> tap;
        {
            std::lock_guard lock(m_tapMutex);
            tap = m_tap;
        }
        if (tap)
            tap->Push(samples);
    }

private:
    mutable std::mutex m_tapMutex;
    std::shared_ptr<CSampleTap> m_tap;
    std::atomic<bool> m_tapped{false};
    mutable std::mutex m_recordingMutex;
    std::shared_ptr<CSoundFile> m_recording;
    uint32_t m_recordingRun = 0;
};
