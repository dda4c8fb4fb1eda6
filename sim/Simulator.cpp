// Device naming, exclusive opens, fault injection and routing of operations to the boards.
#include "Simulator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

Simulator::Simulator(std::vector<BoardConfig> boards, std::shared_ptr<const Clock> clock) : m_clock(std::move(clock)) {
    for (size_t i = 0; i < boards.size(); ++i) {
        BoardConfig config = std::move(boards[i]);
        m_bases.push_back(config.base.empty() ? "VSIM" + std::to_string(i) : config.base);
        m_boards.push_back(std::make_unique<Board>(std::move(config), *m_clock));
    }
}

Simulator::~Simulator() {
    std::unique_lock lock(m_tableMutex);
    m_closing = true;
    m_released.notify_all();
    // A held request wakes, counts itself out and touches nothing of the simulator afterwards.
    m_released.wait_for(lock, std::chrono::seconds(5), [this] { return m_hanging == 0; });
}

std::unique_ptr<Simulator> Simulator::FromEnvironment() {
    std::vector<BoardConfig> boards = DefaultBoards();
    if (const char* text = std::getenv("VELTRIN_SIM_BOARDS"); text && *text) {
        std::string error;
        if (auto parsed = ParseBoardConfigs(text, &error))
            boards = std::move(*parsed);
        else
            std::fprintf(stderr, "veltrin-sim: VELTRIN_SIM_BOARDS: %s; using the default boards\n", error.c_str());
    }
    auto simulator = std::make_unique<Simulator>(std::move(boards), std::make_shared<SteadyClock>());
    if (const char* text = std::getenv("VELTRIN_SIM_FAULTS"); text && *text) {
        std::vector<FaultRule> rules;
        std::string error;
        if (Faults::Parse(text, &rules, &error)) {
            for (auto& rule : rules) {
                if (rule.kind == FaultRule::Kind::Glitch)
                    simulator->AddGlitch(rule);
                else
                    simulator->FaultInjection().Add(rule);
            }
        } else {
            std::fprintf(stderr, "veltrin-sim: VELTRIN_SIM_FAULTS: %s; no faults injected\n", error.c_str());
        }
    }
    if (const char* text = std::getenv("VELTRIN_SIM_INPUT"); text && *text) {
        if (const auto signal = ParseInputSignal(text)) {
            for (size_t b = 0; b < simulator->BoardCount(); ++b) {
                auto lock = simulator->BoardAt(b).Lock();
                simulator->BoardAt(b).Streams().SetInputSignal(*signal);
            }
        } else {
            std::fprintf(
                stderr, "veltrin-sim: VELTRIN_SIM_INPUT: \"%s\" is not tone, sequence or loopback; using tone\n", text);
        }
    }
    if (const char* text = std::getenv("VELTRIN_SIM_IMPAIR"); text && *text) {
        std::string error;
        if (const auto impairments = ParseImpairments(text, &error)) {
            for (size_t b = 0; b < simulator->BoardCount(); ++b) {
                auto lock = simulator->BoardAt(b).Lock();
                simulator->BoardAt(b).Streams().SetImpairments(*impairments);
            }
        } else {
            std::fprintf(stderr, "veltrin-sim: VELTRIN_SIM_IMPAIR: %s; no impairments\n", error.c_str());
        }
    }
    if (const char* text = std::getenv("VELTRIN_SIM_CAPTURE"); text && *text)
        simulator->SetCaptureDirectory(text);
    return simulator;
}

void Simulator::AddGlitch(const FaultRule& rule) {
    for (size_t b = 0; b < m_boards.size(); ++b) {
        auto lock = m_boards[b]->Lock();
        m_boards[b]->Streams().AddGlitch(rule, m_bases[b]);
    }
}

void Simulator::SetCaptureDirectory(const std::string& directory) {
    for (size_t b = 0; b < m_boards.size(); ++b) {
        auto lock = m_boards[b]->Lock();
        m_boards[b]->Streams().SetCapture(directory, m_bases[b]);
    }
}

int32_t Simulator::Create(const std::string& name) {
    const auto slash = name.rfind('\\');
    if (slash == std::string::npos)
        return -1;
    const std::string base = name.substr(0, slash);
    const std::string leaf = name.substr(slash + 1);
    for (size_t b = 0; b < m_boards.size(); ++b) {
        if (m_bases[b] != base)
            continue;
        const auto device = m_boards[b]->DeviceFor(leaf);
        if (!device || m_faults.Fire(FaultRule::Kind::Refuse, name, 0))
            return -1;
        std::lock_guard lock(m_tableMutex);
        for (const auto& [handle, open] : m_open)
            if (open.name == name && !open.vanished)
                return -1; // opened exclusively
        const int32_t handle = m_nextHandle++;
        m_open.emplace(handle, OpenHandle{b, *device, name});
        return handle;
    }
    return -1;
}

std::optional<Simulator::OpenHandle> Simulator::Find(int32_t handle) {
    std::lock_guard lock(m_tableMutex);
    const auto it = m_open.find(handle);
    if (it == m_open.end() || it->second.vanished)
        return std::nullopt;
    return it->second;
}

bool Simulator::Vanishes(int32_t handle, const std::string& name, uint32_t code) {
    if (!m_faults.Fire(FaultRule::Kind::Vanish, name, code))
        return false;
    std::lock_guard lock(m_tableMutex);
    if (auto it = m_open.find(handle); it != m_open.end())
        it->second.vanished = true;
    return true;
}

bool Simulator::Hangs(int32_t handle, const std::string& name, uint32_t code) {
    if (!m_faults.Fire(FaultRule::Kind::Hang, name, code))
        return false;
    std::unique_lock lock(m_tableMutex);
    const auto it = m_open.find(handle);
    if (it == m_open.end())
        return true; // closed meanwhile
    const uint64_t cancels = it->second.cancels;
    ++m_hanging;
    m_released.wait_for(lock, kHangLimit, [&] {
        const auto now = m_open.find(handle);
        return m_closing || now == m_open.end() || now->second.cancels != cancels;
    });
    --m_hanging;
    m_released.notify_all();
    return true;
}

std::optional<uint32_t> Simulator::Stale(const std::string& name, const ControlRequest& request) {
    const bool stale = m_faults.Fire(FaultRule::Kind::Stale, name, request.code);
    std::lock_guard lock(m_answerMutex);
    Answer& previous = m_answers[{name, request.code}];
    if (stale && !previous.bytes.empty()) {
        const auto size = static_cast<uint32_t>(std::min<size_t>(previous.bytes.size(), request.outputSize));
        if (size > 0)
            std::memcpy(request.output, previous.bytes.data(), size);
        return std::min(previous.returned, request.outputSize);
    }
    // The first answer to a code is always fresh: there is nothing earlier to repeat.
    const uint32_t kept = std::min(request.returned, request.outputSize);
    previous.bytes.assign(request.output, request.output + kept);
    previous.returned = kept;
    return std::nullopt;
}

uint32_t Simulator::Read(int32_t handle, void* buffer, uint32_t size, uint32_t* done) {
    if (done)
        *done = 0;
    const auto open = Find(handle);
    if (!open || Vanishes(handle, open->name, 0) || m_faults.Fire(FaultRule::Kind::Fail, open->name, 0) ||
        Hangs(handle, open->name, 0))
        return 0;
    const uint32_t ok = m_boards[open->board]->Read(open->device, buffer, size, done);
    if (ok && done)
        if (const auto extra = m_faults.FireOver(open->name, 0))
            *done = size + *extra; // claims bytes it never wrote
    return ok;
}

uint32_t Simulator::Write(int32_t handle, const void* buffer, uint32_t size, uint32_t* done) {
    if (done)
        *done = 0;
    const auto open = Find(handle);
    if (!open || Vanishes(handle, open->name, 0) || m_faults.Fire(FaultRule::Kind::Fail, open->name, 0) ||
        Hangs(handle, open->name, 0))
        return 0;
    return m_boards[open->board]->Write(open->device, buffer, size, done);
}

uint32_t Simulator::Control(int32_t handle, uint32_t code, const void* input, uint32_t inputSize, void* output,
                            uint32_t outputSize, uint32_t* returned) {
    if (returned)
        *returned = 0;
    const auto open = Find(handle);
    if (!open || Vanishes(handle, open->name, code) || m_faults.Fire(FaultRule::Kind::Fail, open->name, code) ||
        Hangs(handle, open->name, code))
        return 0;
    ControlRequest request;
    request.code = code;
    request.input = static_cast<const uint8_t*>(input);
    request.inputSize = inputSize;
    request.output = static_cast<uint8_t*>(output);
    request.outputSize = outputSize;
    const uint32_t ok = m_boards[open->board]->Control(open->device, request);
    uint32_t count = request.returned;
    if (ok && request.output) {
        if (const auto previous = Stale(open->name, request)) {
            if (returned)
                *returned = *previous;
            return ok;
        }
    }
    if (ok) {
        if (const auto withheld = m_faults.FireShort(open->name, code))
            count = count > *withheld ? count - *withheld : 0;
        else if (const auto extra = m_faults.FireOver(open->name, code))
            count = outputSize + *extra; // claims more than the buffer holds; nothing is written past it
    }
    if (returned)
        *returned = count;
    return ok;
}

uint32_t Simulator::Close(int32_t handle) {
    std::lock_guard lock(m_tableMutex);
    if (!m_open.erase(handle))
        return 0;
    m_released.notify_all();
    return 1;
}

uint32_t Simulator::Cancel(int32_t handle) {
    std::lock_guard lock(m_tableMutex);
    const auto it = m_open.find(handle);
    if (it == m_open.end())
        return 0;
    ++it->second.cancels;
    m_released.notify_all();
    return 1;
}

size_t Simulator::HangingCount() const {
    std::lock_guard lock(m_tableMutex);
    return m_hanging;
}

size_t Simulator::OpenCount() const {
    std::lock_guard lock(m_tableMutex);
    size_t count = 0;
    for (const auto& entry : m_open)
        count += entry.second.vanished ? 0 : 1;
    return count;
}

} // namespace sim
