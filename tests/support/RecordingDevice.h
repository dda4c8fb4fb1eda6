// A device double that logs every request with its input bytes and answers from a script.
#pragma once

#include "Device.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A fixed array of bytes as the vector a request takes.
template <size_t N> std::vector<uint8_t> Vec(const std::array<uint8_t, N>& a) { return {a.begin(), a.end()}; }

// One call made on a recording device.
struct RecordedCall {
    enum class Op { Read, Write, Control, Cancel };
    std::string device; // the name the device was given
    Op op = Op::Control;
    uint32_t code = 0;
    std::vector<uint8_t> input; // control input block, or the bytes written
    uint32_t outputSize = 0;    // control output capacity, or the read size

    bool operator==(const RecordedCall&) const = default;
};

// A scripted answer: success flag and the output bytes (their count is what is returned).
struct ScriptedAnswer {
    ScriptedAnswer(uint32_t okFlag = 1, std::vector<uint8_t> bytes = {}, std::optional<uint32_t> takenBytes = {})
        : ok(okFlag), output(std::move(bytes)), taken(takenBytes) {}
    uint32_t ok = 1;
    std::vector<uint8_t> output;
    std::optional<uint32_t> taken; // a write: the bytes the device took (all of them when absent)
};

// Calls of several devices land in one log so a test sees their order across devices.
class RequestLog {
public:
    void Add(RecordedCall call);
    std::vector<RecordedCall> Calls() const;
    // Only the control calls, as "device:code" texts in order, e.g. "cfg:0x222470".
    std::vector<std::string> Codes() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedCall> m_calls;
};

class RecordingDevice : public CDevice {
public:
    RecordingDevice(std::string name, std::shared_ptr<RequestLog> log);
    ~RecordingDevice() override;

    // Queues answers for a code; once its queue is empty the code gets the default answer.
    void Answer(uint32_t code, ScriptedAnswer answer);
    // The answer for codes with no queued answer: success with a zeroed output of the full size.
    void SetDefault(uint32_t ok) { m_defaultOk = ok; }
    // Computes answers instead of the queue (takes precedence when set).
    void SetHandler(std::function<ScriptedAnswer(const RecordedCall&)> handler) { m_handler = std::move(handler); }
    // Called when the device is destroyed, so tests can check the closing order.
    void OnDestroy(std::function<void(const std::string&)> hook) { m_onDestroy = std::move(hook); }
    // Called by Cancel, so a test can release a request it holds.
    void OnCancel(std::function<void()> hook) { m_onCancel = std::move(hook); }

    uint32_t Read(void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t* done) override;
    uint32_t DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                          uint32_t* returned) override;
    uint32_t Cancel() override;

private:
    ScriptedAnswer Next(const RecordedCall& call);

    std::string m_name;
    std::shared_ptr<RequestLog> m_log;
    std::mutex m_mutex;
    std::map<uint32_t, std::deque<ScriptedAnswer>> m_script;
    uint32_t m_defaultOk = 1;
    std::function<ScriptedAnswer(const RecordedCall&)> m_handler;
    std::function<void(const std::string&)> m_onDestroy;
    std::function<void()> m_onCancel;
};

// Little helpers for building expected blocks in tests.
std::vector<uint8_t> Le16(std::initializer_list<uint16_t> values);
std::vector<uint8_t> Le32(std::initializer_list<uint32_t> values);
