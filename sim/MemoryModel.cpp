// Simulated board part: DSP on-chip memory and EEPROM, memory operations, DSP reset and program load, board ID,
// watchdog, push switch.
#include "MemoryModel.h"

#include "BoardModels.h"
#include "MemoryImage.h"
#include "RequestCodes.h"

#include <algorithm>
#include <utility>

namespace sim {

MemoryModel::MemoryModel(BoardState& state) : m_state(state), m_eeprom(kEepromWords, 0xFFFF) {
    // The board comes up with its program loaded by the driver (see DaramWords) and its identity in the EEPROM.
    m_eeprom[kEepromTypeWord] = static_cast<uint16_t>(m_state.config.type);
    SetEepromId(m_state.config.id);
}

void MemoryModel::SetEepromId(uint32_t id) {
    m_eeprom[kEepromIdWord] = static_cast<uint16_t>(id);
    m_eeprom[kEepromIdWord + 1] = static_cast<uint16_t>(id >> 16);
    m_state.config.id = id;
}

std::vector<uint16_t>& MemoryModel::DaramWords() const {
    if (m_daram.empty()) {
        m_daram.resize(kDaramWords);
        FillProgramImage(m_daram);
    }
    return m_daram;
}

void MemoryModel::ResetDsp() {
    m_daram.assign(kDaramWords, 0);
    m_program = Program::Reset;
}

Handled MemoryModel::Control(const DeviceAddress& device, ControlRequest& request, Duration now) {
    if (device.kind != DeviceKind::Config)
        return Handled::No;
    // A memory operation is two requests back to back: any request on this device ends the one that was
    // started, so a data phase that did not follow its start at once fails.
    const std::optional<Operation> pending = std::exchange(m_pending, std::nullopt);

    switch (request.code) {
    case req::kMemoryStart:
        return StartOperation(request);
    case req::kMemoryData:
        if (!pending)
            return Handled::Fail;
        return DataPhase(request, *pending);
    case req::kResetDsp:
        if (!request.Sizes(0, 0))
            return Handled::Fail;
        ResetDsp();
        return Handled::Ok;
    case req::kLoadProgram:
        return LoadProgram(request);
    case req::kWatchdogStart:
        return StartWatchdog(request, now);
    case req::kWatchdogStop:
        if (!request.Sizes(0, 0))
            return Handled::Fail;
        m_watchdog.reset();
        return Handled::Ok;
    case req::kWatchdogKick:
        if (!request.Sizes(0, 0))
            return Handled::Fail;
        ++m_kicks;
        if (m_watchdog)
            m_watchdog->lastKick = now;
        return Handled::Ok;
    case req::kWriteBoardId:
        return WriteBoardId(request);
    case req::kPushSwitch: {
        const auto value = request.InputU16();
        if (!value || *value > 1)
            return Handled::Fail;
        m_pushSwitch = *value;
        return Handled::Ok;
    }
    default:
        return Handled::No;
    }
}

Handled MemoryModel::StartOperation(const ControlRequest& request) {
    const auto decoded = request.Input<MemoryOperation>();
    if (!decoded)
        return Handled::Fail;
    const Operation op = *decoded;
    if (op.direction > 1 || op.memory > 1)
        return Handled::Fail;
    // One operation moves at most the whole memory; addresses wrap around its size.
    if (op.count > (op.memory == 0 ? kDaramWords : kEepromWords))
        return Handled::Fail;
    m_pending = op;
    return Handled::Ok;
}

Handled MemoryModel::DataPhase(ControlRequest& request, const Operation& op) {
    const uint32_t bytes = op.count * 2;
    std::vector<uint16_t>& memory = op.memory == 0 ? DaramWords() : m_eeprom;
    const auto size = static_cast<uint32_t>(memory.size());
    if (op.direction == 0) {
        if (!request.Sizes(0, bytes))
            return Handled::Fail;
        for (uint32_t i = 0; i < op.count; ++i)
            PutMemoryWord(request.output, i, memory[(op.start + i) % size]);
        request.returned = bytes;
        return Handled::Ok;
    }
    if (!request.Sizes(bytes, 0))
        return Handled::Fail;
    bool idTouched = false;
    for (uint32_t i = 0; i < op.count; ++i) {
        const uint32_t address = (op.start + i) % size;
        memory[address] = GetMemoryWord(request.input, i);
        idTouched = idTouched || (op.memory == 1 && (address == kEepromIdWord || address == kEepromIdWord + 1));
    }
    // The information block reports the ID the EEPROM holds.
    if (idTouched)
        m_state.config.id =
            static_cast<uint32_t>(m_eeprom[kEepromIdWord]) | (static_cast<uint32_t>(m_eeprom[kEepromIdWord + 1]) << 16);
    return Handled::Ok;
}

Handled MemoryModel::LoadProgram(const ControlRequest& request) {
    if (request.outputSize != 0)
        return Handled::Fail;
    if (request.inputSize != 0) {                              // an empty input names the driver's default program
        const auto load = request.Input<ProgramLoadRequest>(); // a name must end within the block
        if (!load || load->name != kProgramName)
            return Handled::Fail; // no such program file
    }
    // The DSP accepts a program only while it is held in reset.
    if (m_program != Program::Reset)
        return Handled::Fail;
    m_daram.resize(kDaramWords);
    FillProgramImage(m_daram);
    m_program = Program::Running;
    return Handled::Ok;
}

Handled MemoryModel::StartWatchdog(const ControlRequest& request, Duration now) {
    const auto interval = request.InputU32();
    if (!interval || *interval == 0)
        return Handled::Fail; // a watchdog that can never be kicked in time is refused
    m_watchdog = Watchdog{std::chrono::milliseconds(*interval), now};
    return Handled::Ok;
}

Handled MemoryModel::WriteBoardId(const ControlRequest& request) {
    if (!IsNewFamily(m_state.config.type))
        return Handled::Fail; // older boards take their ID through the EEPROM only
    const auto words = request.Input<BoardIdWords>();
    if (!words)
        return Handled::Fail;
    SetEepromId(words->id);
    return Handled::Ok;
}

void MemoryModel::Advance(Duration now) {
    if (!m_watchdog || now < m_watchdog->lastKick + m_watchdog->interval)
        return;
    // Every whole interval without a kick is one expiry; the watchdog stays armed after it.
    const int64_t missed = (now - m_watchdog->lastKick) / m_watchdog->interval;
    m_expiries = static_cast<uint32_t>(std::min<int64_t>(int64_t{m_expiries} + missed, UINT32_MAX));
    m_watchdog->lastKick += m_watchdog->interval * missed;
    ResetDsp();
}

} // namespace sim
