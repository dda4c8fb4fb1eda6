// The simulated driver: its boards, the names of their devices and the table of open handles.
#pragma once

#include "Board.h"
#include "BoardConfig.h"
#include "Clock.h"
#include "Faults.h"
#include "Request.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Simulator {
public:
    Simulator(std::vector<BoardConfig> boards, std::shared_ptr<const Clock> clock);
    // Releases requests still held by a hang fault (they fail) and waits a bounded time for them to leave.
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Boards from VELTRIN_SIM_BOARDS, faults from VELTRIN_SIM_FAULTS, the line inputs' signal from
    // VELTRIN_SIM_INPUT and their impairments from VELTRIN_SIM_IMPAIR, and the capture folder from
    // VELTRIN_SIM_CAPTURE, on the steady clock. Bad text is reported on standard error; the defaults
    // (no faults, a tone, no impairments) are used instead.
    static std::unique_ptr<Simulator> FromEnvironment();

    // Every board appends what its outputs accept to DIR/<base name>-<leaf>.raw; empty turns it off.
    void SetCaptureDirectory(const std::string& directory);

    // Enumeration: one device per board, named by the board's base name.
    uint32_t DeviceCount() const { return static_cast<uint32_t>(m_boards.size()); }
    const std::string& BaseName(uint32_t board) const { return m_bases.at(board); }

    // The driver operations. Create returns -1 for an unknown name, a line the board lacks, a device
    // already open or a refused open.
    int32_t Create(const std::string& name);
    uint32_t Read(int32_t handle, void* buffer, uint32_t size, uint32_t* done);
    uint32_t Write(int32_t handle, const void* buffer, uint32_t size, uint32_t* done);
    uint32_t Control(int32_t handle, uint32_t code, const void* input, uint32_t inputSize, void* output,
                     uint32_t outputSize, uint32_t* returned);
    uint32_t Close(int32_t handle);
    // Ends the requests a hang fault holds on that handle (they fail); nonzero when the handle is open.
    // A request that starts hanging after the call is not released by it.
    uint32_t Cancel(int32_t handle);

    Board& BoardAt(size_t index) { return *m_boards.at(index); }
    size_t BoardCount() const { return m_boards.size(); }
    sim::Faults& FaultInjection() { return m_faults; }
    // A glitch rule acts on what line inputs deliver, so the boards' stream models carry it out.
    void AddGlitch(const FaultRule& rule);
    // Number of handles currently open (all devices of all boards).
    size_t OpenCount() const;
    // Number of requests a hang fault is holding right now.
    size_t HangingCount() const;

    // The longest a hang fault holds a request when nothing cancels it: a driver that never answers is
    // modelled as one that fails after this long, so a forgotten hang cannot stop a process for good.
    static constexpr auto kHangLimit = std::chrono::minutes(5);

private:
    struct OpenHandle {
        size_t board;
        DeviceAddress device;
        std::string name;
        bool vanished = false;
        uint64_t cancels = 0; // Cancel calls so far: a hung request waits for this to change
    };
    // A successful answer as the program saw it, repeated by a stale fault.
    struct Answer {
        std::vector<uint8_t> bytes;
        uint32_t returned = 0;
    };
    // The open handle's record copied out under the table lock, or null.
    std::optional<OpenHandle> Find(int32_t handle);
    bool Vanishes(int32_t handle, const std::string& name, uint32_t code);
    // When a hang fault fires, holds the request until the handle is cancelled or closed; true then.
    bool Hangs(int32_t handle, const std::string& name, uint32_t code);
    // When a stale fault fires, writes the previous successful answer to that code on that device over
    // this one and returns its byte count; otherwise remembers this answer as the previous one.
    std::optional<uint32_t> Stale(const std::string& name, const ControlRequest& request);

    std::shared_ptr<const Clock> m_clock;
    std::vector<std::unique_ptr<Board>> m_boards;
    std::vector<std::string> m_bases;
    sim::Faults m_faults;

    mutable std::mutex m_tableMutex;
    std::map<int32_t, OpenHandle> m_open;
    int32_t m_nextHandle = 1;
    std::condition_variable m_released; // with m_tableMutex: a handle was cancelled or closed
    size_t m_hanging = 0;
    bool m_closing = false;

    std::mutex m_answerMutex;
    std::map<std::pair<std::string, uint32_t>, Answer> m_answers; // by device name and request code
};

} // namespace sim
