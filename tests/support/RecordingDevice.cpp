// The recording device double.
#include "RecordingDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void RequestLog::Add(RecordedCall call) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(std::move(call));
}

std::vector<RecordedCall> RequestLog::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<std::string> RequestLog::Codes() const {
    std::vector<std::string> codes;
    for (const auto& call : Calls()) {
        if (call.op != RecordedCall::Op::Control)
            continue;
        char text[64];
        std::snprintf(text, sizeof text, "%s:0x%X", call.device.c_str(), call.code);
        codes.emplace_back(text);
    }
    return codes;
}

void RequestLog::Clear() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

RecordingDevice::RecordingDevice(std::string name, std::shared_ptr<RequestLog> log)
    : m_name(std::move(name)), m_log(log ? std::move(log) : std::make_shared<RequestLog>()) {}

RecordingDevice::~RecordingDevice() {
    if (m_onDestroy)
        m_onDestroy(m_name);
}

void RecordingDevice::Answer(uint32_t code, ScriptedAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_script[code].push_back(std::move(answer));
}

ScriptedAnswer RecordingDevice::Next(const RecordedCall& call) {
    if (m_handler)
        return m_handler(call);
    std::lock_guard lock(m_mutex);
    auto& queue = m_script[call.code];
    if (!queue.empty()) {
        ScriptedAnswer answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
    return {m_defaultOk, std::vector<uint8_t>(m_defaultOk ? call.outputSize : 0, 0)};
}

uint32_t RecordingDevice::Read(void* buffer, uint32_t size, uint32_t* done) {
    RecordedCall call{m_name, RecordedCall::Op::Read, 0, {}, size};
    m_log->Add(call);
    const ScriptedAnswer answer = Next(call);
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(answer.output.size(), size));
    if (count)
        std::memcpy(buffer, answer.output.data(), count);
    if (done)
        *done = count;
    return answer.ok;
}

uint32_t RecordingDevice::Write(const void* buffer, uint32_t size, uint32_t* done) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    RecordedCall call{m_name, RecordedCall::Op::Write, 0, std::vector<uint8_t>(bytes, bytes + size), 0};
    m_log->Add(call);
    const ScriptedAnswer answer = Next(call);
    if (done)
        *done = answer.ok ? std::min(answer.taken.value_or(size), size) : 0;
    return answer.ok;
}

uint32_t RecordingDevice::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                       uint32_t outputSize, uint32_t* returned) {
    const auto* bytes = static_cast<const uint8_t*>(input);
    RecordedCall call{m_name, RecordedCall::Op::Control, code,
                      bytes ? std::vector<uint8_t>(bytes, bytes + inputSize) : std::vector<uint8_t>{}, outputSize};
    m_log->Add(call);
    const ScriptedAnswer answer = Next(call);
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(answer.output.size(), outputSize));
    if (count && output)
        std::memcpy(output, answer.output.data(), count);
    if (returned)
        *returned = count;
    return answer.ok;
}

uint32_t RecordingDevice::Cancel() {
    m_log->Add({m_name, RecordedCall::Op::Cancel, 0, {}, 0});
    if (m_onCancel)
        m_onCancel();
    return 1;
}

std::vector<uint8_t> Le16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> bytes;
    for (uint16_t v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    return bytes;
}

std::vector<uint8_t> Le32(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> bytes;
    for (uint32_t v : values)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(v >> shift));
    return bytes;
}
