// One simulated board: its identity, its devices and the parts that answer their requests.
#pragma once

#include "BoardInfo.h"
#include "BoardState.h"
#include "CalibrationModel.h"
#include "Clock.h"
#include "LineModel.h"
#include "MemoryModel.h"
#include "Request.h"
#include "StreamModel.h"

#include <mutex>
#include <optional>
#include <string>

namespace sim {

class Board {
public:
    Board(BoardConfig config, const Clock& clock);

    const BoardConfig& Config() const { return m_state.config; }
    BoardInformation Information() const;

    // The device a leaf names ("VELTRIN_CFG", "PHONE_LINE3_IN_DEV", ...), if this board has it.
    std::optional<DeviceAddress> DeviceFor(const std::string& leaf) const;

    // Success flag of one request; thread-safe.
    uint32_t Control(const DeviceAddress& device, ControlRequest& request);
    uint32_t Read(const DeviceAddress& device, void* buffer, uint32_t size, uint32_t* done);
    uint32_t Write(const DeviceAddress& device, const void* buffer, uint32_t size, uint32_t* done);

    // Direct access for tests and the parts; hold Lock() while using them from another thread.
    std::unique_lock<std::mutex> Lock() { return std::unique_lock(m_mutex); }
    BoardState& State() { return m_state; }
    MemoryModel& Memory() { return m_memory; }
    LineModel& Lines() { return m_lines; }
    StreamModel& Streams() { return m_streams; }
    CalibrationModel& Calibration() { return m_calibration; }

private:
    void AdvanceAll(Duration now);
    Handled ControlInformation(const DeviceAddress& device, ControlRequest& request);

    const Clock& m_clock;
    std::mutex m_mutex;
    BoardState m_state;
    MemoryModel m_memory{m_state};
    LineModel m_lines{m_state};
    StreamModel m_streams{m_state};
    CalibrationModel m_calibration{m_state};
};

} // namespace sim
