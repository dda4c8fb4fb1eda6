// Simulated board part: DSP on-chip memory and EEPROM, memory operations, DSP reset and program load, board ID,
// watchdog, push switch.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "MemoryBlocks.h"
#include "Request.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class MemoryModel {
public:
    static constexpr uint32_t kDaramWords = 0x10000; // DSP on-chip memory, 64 K words
    static constexpr uint32_t kEepromWords = 256;    // bridge configuration EEPROM
    static constexpr uint32_t kEepromTypeWord = ::kEepromTypeWord;
    static constexpr uint32_t kEepromIdWord = ::kEepromIdWord; // two words, low word first

    explicit MemoryModel(BoardState& state);

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`: counts watchdog expiries and resets the DSP on one.
    void Advance(Duration now);

    // Inspection for tests and the other parts (under the board's lock).
    const std::vector<uint16_t>& Daram() const { return DaramWords(); }
    const std::vector<uint16_t>& Eeprom() const { return m_eeprom; }
    bool ProgramRunning() const { return m_program == Program::Running; }
    bool WatchdogRunning() const { return m_watchdog.has_value(); }
    uint32_t WatchdogExpiries() const { return m_expiries; }
    uint32_t WatchdogKicks() const { return m_kicks; }
    uint16_t PushSwitch() const { return m_pushSwitch; }

private:
    enum class Program { Running, Reset };
    using Operation = MemoryOperation;
    struct Watchdog {
        Duration interval;
        Duration lastKick;
    };

    Handled StartOperation(const ControlRequest& request);
    Handled DataPhase(ControlRequest& request, const Operation& operation);
    Handled LoadProgram(const ControlRequest& request);
    Handled StartWatchdog(const ControlRequest& request, Duration now);
    Handled WriteBoardId(const ControlRequest& request);
    void ResetDsp();
    // The DSP memory, made from the program image on first use: boards nobody reads cost no memory.
    std::vector<uint16_t>& DaramWords() const;
    void SetEepromId(uint32_t id);

    BoardState& m_state;
    mutable std::vector<uint16_t> m_daram; // empty until first used
    std::vector<uint16_t> m_eeprom;
    Program m_program = Program::Running;
    std::optional<Operation> m_pending; // started by 0x222410, consumed by the next request
    std::optional<Watchdog> m_watchdog;
    uint32_t m_expiries = 0;
    uint32_t m_kicks = 0;
    uint16_t m_pushSwitch = 0;
};

} // namespace sim
