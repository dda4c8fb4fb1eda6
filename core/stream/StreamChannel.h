// StreamChannel: one streaming channel's state, shared by its page (user-interface thread) and the
// page's streaming worker. No widgets: the pages keep their controls beside it.
#pragma once

#include "SineGenerator.h"
#include "SoundFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

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
    void SetRecording(std::shared_ptr<CSoundFile> recording) {
        std::lock_guard lock(m_recordingMutex);
        m_recording = std::move(recording);
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

    // Held by the worker only while it takes samples from the generator, and by the page while it
    // prepares the generator for a Start, so a Stop and a quick Start cannot meet a pass half-way.
    std::mutex sourceMutex;
    // Since the last Start: bytes handed to the device, and whether the file had no more data to give.
    // A file that shrank after it was opened ends when the device has played what it was given.
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<bool> fileExhausted{false};

    // Marks the channel running after its source is ready (Start). Clears what the worker counts.
    void MarkRunning() {
        bytesWritten.store(0, std::memory_order_relaxed);
        fileExhausted.store(false, std::memory_order_relaxed);
        freeSpacePeak.store(0, std::memory_order_relaxed);
        running.store(true, std::memory_order_release);
    }

private:
    mutable std::mutex m_recordingMutex;
    std::shared_ptr<CSoundFile> m_recording;
};
