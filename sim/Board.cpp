// A simulated board: device names, the information queries and routing to the board's parts.
#include "Board.h"

#include "DeviceNames.h"
#include "RequestCodes.h"

#include <cstring>

namespace sim {

Board::Board(BoardConfig config, const Clock& clock) : m_clock(clock), m_state(std::move(config)) {
    if (m_state.config.name.empty())
        m_state.config.name = BoardNameFor(m_state.config.type);
}

BoardInformation Board::Information() const {
    BoardInformation info;
    info.name = m_state.config.name;
    info.type = m_state.config.type;
    info.boardId = m_state.config.id;
    info.channels = m_state.config.channels;
    return info;
}

std::optional<DeviceAddress> Board::DeviceFor(const std::string& leaf) const {
    if (leaf == kConfigLeaf)
        return DeviceAddress{DeviceKind::Config, 0};
    if (leaf == kLeftOutputLeaf)
        return DeviceAddress{DeviceKind::OutLeft, 0};
    if (leaf == kRightOutputLeaf)
        return DeviceAddress{DeviceKind::OutRight, 0};
    for (int line = 0; line < static_cast<int>(m_state.config.channels) && line < static_cast<int>(kMaxLines); ++line) {
        if (leaf == LineInLeaf(line))
            return DeviceAddress{DeviceKind::LineIn, line};
        if (leaf == LineOutLeaf(line))
            return DeviceAddress{DeviceKind::LineOut, line};
    }
    return std::nullopt;
}

void Board::AdvanceAll(Duration now) {
    m_memory.Advance(now);
    m_lines.Advance(now);
    m_streams.Advance(now);
    m_calibration.Advance(now);
}

Handled Board::ControlInformation(const DeviceAddress& device, ControlRequest& request) {
    if (device.kind != DeviceKind::Config)
        return Handled::No;
    switch (request.code) {
    case req::kGetBoardInfo:
        return request.Answer(Information()) ? Handled::Ok : Handled::Fail;
    case req::kPrepareBoard:
    case req::kConfirmBoard: {
        // Answers whose bytes the application does not read: zeros of the size it asks for.
        const uint32_t size = request.code == req::kPrepareBoard ? kPrepareBoardSize : kConfirmBoardSize;
        if (!request.Sizes(0, size))
            return Handled::Fail;
        std::memset(request.output, 0, size);
        request.returned = size;
        return Handled::Ok;
    }
    default:
        return Handled::No;
    }
}

uint32_t Board::Control(const DeviceAddress& device, ControlRequest& request) {
    std::lock_guard lock(m_mutex);
    const Duration now = m_clock.Now();
    AdvanceAll(now);
    request.returned = 0;
    // The memory part sees every request first: any request on the configuration device ends a memory
    // operation that was started, the information queries included.
    Handled result = m_memory.Control(device, request, now);
    if (result == Handled::No)
        result = ControlInformation(device, request);
    if (result == Handled::No)
        result = m_lines.Control(device, request, now);
    if (result == Handled::No)
        result = m_streams.Control(device, request, now);
    if (result == Handled::No)
        result = m_calibration.Control(device, request, now);
    if (result != Handled::Ok) {
        request.returned = 0;
        return 0; // unknown to every part, or refused: a strict board catches the caller's mistakes
    }
    return 1;
}

uint32_t Board::Read(const DeviceAddress& device, void* buffer, uint32_t size, uint32_t* done) {
    std::lock_guard lock(m_mutex);
    AdvanceAll(m_clock.Now());
    return m_streams.Read(device, static_cast<uint8_t*>(buffer), size, done) ? 1 : 0;
}

uint32_t Board::Write(const DeviceAddress& device, const void* buffer, uint32_t size, uint32_t* done) {
    std::lock_guard lock(m_mutex);
    AdvanceAll(m_clock.Now());
    return m_streams.Write(device, static_cast<const uint8_t*>(buffer), size, done) ? 1 : 0;
}

} // namespace sim
