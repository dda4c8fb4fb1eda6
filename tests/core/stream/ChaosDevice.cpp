// The chaos device's answers.
#include "ChaosDevice.h"

#include "RequestCodes.h"
#include "StreamBlocks.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

uint32_t Le32(const void* input) {
    const auto* p = static_cast<const uint8_t*>(input);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutLe32(void* output, uint32_t value) {
    auto* p = static_cast<uint8_t*>(output);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename Block> uint32_t Answer(const Block& block, void* output, uint32_t outputSize, uint32_t* returned) {
    const auto bytes = block.Encode();
    if (outputSize < bytes.size())
        return 0;
    std::memcpy(output, bytes.data(), bytes.size());
    *returned = static_cast<uint32_t>(bytes.size());
    return 1;
}

} // namespace

uint32_t ChaosConfig::Read(void*, uint32_t, uint32_t* done) {
    *done = 0;
    return 0;
}

uint32_t ChaosConfig::Write(const void*, uint32_t, uint32_t* done) {
    *done = 0;
    return 0;
}

uint32_t ChaosConfig::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                   uint32_t outputSize, uint32_t* returned) {
    *returned = 0;
    auto set = [&](std::atomic<uint32_t>& rate) {
        if (inputSize != 4)
            return 0u;
        rate.store(Le32(input));
        return 1u;
    };
    auto get = [&](const std::atomic<uint32_t>& rate) {
        if (outputSize < 4)
            return 0u;
        PutLe32(output, rate.load());
        *returned = 4;
        return 1u;
    };
    switch (code) {
    case req::kSetCodecRate:
        return set(m_codecRate);
    case req::kGetCodecRate:
        return get(m_codecRate);
    case req::kSetLeftRate:
        return set(m_stereoRates[0]);
    case req::kSetRightRate:
        return set(m_stereoRates[1]);
    case req::kGetLeftRate:
        return get(m_stereoRates[0]);
    case req::kGetRightRate:
        return get(m_stereoRates[1]);
    default:
        return 1;
    }
}

ChaosDevice::ChaosDevice(StreamDirection direction, const ChaosBehaviour& behaviour, uint64_t seed,
                         const ChaosConfig* codec, uint32_t salt)
    : m_direction(direction), m_behaviour(behaviour), m_codec(codec), m_salt(salt), m_random(seed) {}

int16_t ChaosDevice::Sample(uint32_t salt, uint32_t run, uint64_t index) {
    // An odd step keeps a period of 65536 samples: a sample shifted by one byte or taken from another run
    // never matches.
    return static_cast<int16_t>(static_cast<uint16_t>(index * 40503u + run * 7919u + salt * 104729u + 1));
}

bool ChaosDevice::Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(m_random) < p; }

uint32_t ChaosDevice::DrawCount(uint32_t most) {
    most = std::min(most, m_behaviour.transferCap);
    if (most == 0)
        return 0;
    uint32_t n = std::uniform_int_distribution<uint32_t>(1, most)(m_random);
    // Most drivers move as much as they can; the draw above is the exception that tests the callers.
    if (Chance(0.5))
        n = most;
    // A driver of whole samples hands over nothing only when less than one is there.
    if (!m_behaviour.oddCounts)
        n = most >= 2 ? std::max(n & ~1u, 2u) : 0;
    return n;
}

ChaosDevice::Gate ChaosDevice::Enter(std::unique_lock<std::mutex>& lock, bool mayHang) {
    ++m_requests;
    if (m_behaviour.vanishAfter != 0 && m_requests > m_behaviour.vanishAfter)
        return Gate::Fail;
    if (Chance(m_behaviour.slowChance)) {
        const auto pause = std::chrono::microseconds(std::uniform_int_distribution<int>(1, 300)(m_random));
        lock.unlock();
        std::this_thread::sleep_for(pause);
        lock.lock();
    }
    // Only a running channel's requests wait for the board; a stopped one answers at once.
    // One hang a device: each costs the engine its cancel delay, and one shows what it does.
    if (mayHang && m_running && m_hangs == 0 && Chance(m_behaviour.hangChance)) {
        ++m_hangs;
        const uint64_t cancels = m_cancels;
        if (!m_cancelled.wait_for(lock, kHangLimit, [&] { return m_cancels != cancels; }))
            ++m_hangsOutlived;
        return Gate::Fail;
    }
    return Gate::Go;
}

void ChaosDevice::Advance() {
    if (!m_running)
        return;
    const uint32_t pace = std::uniform_int_distribution<uint32_t>(m_behaviour.paceMin, m_behaviour.paceMax)(m_random);
    Run& run = m_runs.back();
    if (m_direction == StreamDirection::Output) {
        const uint32_t played = std::min(pace, m_fill);
        m_fill -= played;
        m_played += played;
        return;
    }
    // The board captures whole samples, and never more than its buffer holds (no overrun).
    const auto available = static_cast<uint32_t>(run.captured - m_consumed);
    const uint32_t captured = std::min(pace, m_behaviour.dmaLength - available) & ~1u;
    if (captured > 0 && m_codec && m_codec->CodecRate() != run.rate)
        run.mixedRate = true;
    run.captured += captured;
}

uint32_t ChaosDevice::Read(void* buffer, uint32_t size, uint32_t* done) {
    *done = 0;
    std::unique_lock lock(m_mutex);
    if (Enter(lock, true) == Gate::Fail || Chance(m_behaviour.refuseChance) || m_runs.empty())
        return 0;
    const Run& run = m_runs.back();
    const uint32_t n = DrawCount(static_cast<uint32_t>(std::min<uint64_t>(size, run.captured - m_consumed)));
    auto* out = static_cast<uint8_t*>(buffer);
    const auto index = static_cast<uint32_t>(m_runs.size() - 1);
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t at = m_consumed + i;
        const auto sample = static_cast<uint16_t>(Sample(m_salt, index, at / 2));
        out[i] = static_cast<uint8_t>(at % 2 == 0 ? sample & 0xFF : sample >> 8);
    }
    m_consumed += n;
    *done = n;
    return 1;
}

uint32_t ChaosDevice::Write(const void* buffer, uint32_t size, uint32_t* done) {
    *done = 0;
    std::unique_lock lock(m_mutex);
    if (Enter(lock, true) == Gate::Fail || Chance(m_behaviour.refuseChance))
        return 0;
    if (!m_running) {
        ++m_strayWrites; // the board would play these at its next start
        return 0;
    }
    const uint32_t n = DrawCount(std::min(size, m_behaviour.dmaLength - m_fill));
    const auto* in = static_cast<const uint8_t*>(buffer);
    Run& run = m_runs.back();
    run.bytes.insert(run.bytes.end(), in, in + n);
    m_fill += n;
    *done = n;
    return 1;
}

uint32_t ChaosDevice::DevIoControl(uint32_t code, const void* input, uint32_t inputSize, void* output,
                                   uint32_t outputSize, uint32_t* returned) {
    *returned = 0;
    std::unique_lock lock(m_mutex);
    const bool query = code == req::kGetBufferState || code == req::kGetCounters;
    if (Enter(lock, query) == Gate::Fail)
        return 0;
    if (code == req::kGetBufferState) {
        Advance();
        BufferState state;
        state.length = m_behaviour.dmaLength;
        if (m_direction == StreamDirection::Output)
            state.space = m_behaviour.dmaLength - m_fill;
        else
            state.space = m_runs.empty() ? 0 : static_cast<uint32_t>(m_runs.back().captured - m_consumed);
        return Answer(state, output, outputSize, returned);
    }
    if (code == req::kGetCounters) {
        StreamCounters counters;
        counters.bytes = static_cast<uint32_t>(m_direction == StreamDirection::Output ? m_played : m_consumed);
        return Answer(counters, output, outputSize, returned);
    }
    if (code == req::kStream || code == req::kSyncCodecInput) {
        const auto command = StreamCommand::Decode(static_cast<const uint8_t*>(input), inputSize);
        if (!command)
            return 0;
        const bool synchro = code == req::kSyncCodecInput;
        if (command->command == StreamCommand::kStart && !m_running) {
            Run run;
            run.synchro = synchro;
            run.rate = m_codec ? m_codec->CodecRate() : 0;
            m_runs.push_back(std::move(run));
            m_running = true;
            m_fill = 0;
            m_played = 0;
            m_consumed = 0;
        } else if (command->command == StreamCommand::kStop && m_running) {
            m_running = false;
            m_runs.back().stopped = true;
            m_runs.back().stoppedLikeStarted = m_runs.back().synchro == synchro;
        }
        return 1;
    }
    return 1;
}

uint32_t ChaosDevice::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        ++m_cancels;
    }
    m_cancelled.notify_all();
    return 1;
}

std::vector<ChaosDevice::Run> ChaosDevice::Runs() const {
    std::lock_guard lock(m_mutex);
    return m_runs;
}

bool ChaosDevice::Vanished() const {
    std::lock_guard lock(m_mutex);
    return m_behaviour.vanishAfter != 0 && m_requests > m_behaviour.vanishAfter;
}

uint64_t ChaosDevice::StrayWrites() const {
    std::lock_guard lock(m_mutex);
    return m_strayWrites;
}

uint64_t ChaosDevice::HangsOutlived() const {
    std::lock_guard lock(m_mutex);
    return m_hangsOutlived;
}
