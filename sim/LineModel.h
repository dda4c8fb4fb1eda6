// Simulated board part: phone lines: hook state, rings, voltage, caller number, line commands, settings,
// amplitudes, interface power, line options.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Request.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One digit a line was asked to dial: its code (0..15) and dial type (0 pulse, 1 tone).
struct DialledDigit {
    uint16_t code = 0;
    uint16_t dialType = 0;
    bool operator==(const DialledDigit&) const = default;
};

// The options a line-options board keeps per line.
struct LineOptions {
    uint16_t sensorPower = 0; // 0 off, 1 +60 V, 2 -60 V
    uint16_t compensation = 0;
    uint16_t tape = 0;
    bool operator==(const LineOptions&) const = default;
};

class LineModel {
public:
    // Line 0 rings on its own: the first call at kFirstCall, each following one kCallPause after the
    // previous call ended. A call rings kRingsPerCall times, one burst of kRingOn every kRingCycle, and
    // delivers its caller number kNumberAfter into the call (after the first burst), as exchanges do.
    static constexpr Duration kFirstCall = std::chrono::seconds(3);
    static constexpr Duration kCallPause = std::chrono::seconds(12);
    static constexpr Duration kRingCycle = std::chrono::seconds(4);
    static constexpr Duration kRingOn = std::chrono::seconds(1);
    static constexpr Duration kNumberAfter = std::chrono::milliseconds(1500);
    static constexpr int kRingsPerCall = 4;

    // True line voltages, before the voltmeter's own error.
    static constexpr int16_t kOnHookVolts = -60;
    static constexpr int16_t kOffHookVolts = -9;
    static constexpr int16_t kRingingVolts = -100;

    // The control (external) input of line n is active for the last kInputActive of every
    // kInputPeriod + n seconds, so lines toggle out of step; it is inactive from time 0.
    static constexpr Duration kInputPeriod = std::chrono::seconds(10);
    static constexpr Duration kInputActive = std::chrono::seconds(2);

    explicit LineModel(BoardState& state);

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

    // Observation and control for tests and the demo; call under the board's lock.
    void StartCall(int line, const std::string& number, Duration now);
    uint16_t StateWord(int line) const;
    uint16_t Rings(int line) const { return At(line).rings; }
    const std::string& CallerNumber(int line) const { return At(line).number; }
    int16_t Voltage(int line) const;
    bool ControlInput(int line) const;
    bool OffHook(int line) const { return At(line).offHook; }
    bool Commutation(int line) const { return At(line).commutation; }
    bool InterfacePower(int line) const { return At(line).power; }
    const std::vector<DialledDigit>& Dialled(int line) const { return At(line).dialled; }
    // The dialled digits as the keys show them ("0".."9", "*", "#", "A".."D").
    std::string DialledText(int line) const;
    const std::array<uint16_t, 22>& Settings(int line) const { return At(line).settings; }
    void SetSettings(int line, const std::array<uint16_t, 22>& settings) { At(line).settings = settings; }
    const std::array<uint16_t, 2>& Levels(int line) const { return At(line).levels; }
    const LineOptions& Options(int line) const { return At(line).options; }
    void SetOptions(int line, const LineOptions& options) { At(line).options = options; }

    static std::array<uint16_t, 22> DefaultSettings();

private:
    struct Line {
        bool offHook = false;
        bool ringing = false; // inside a ring burst of the current call
        bool calling = false;
        Duration callStart{};
        std::string callNumber; // delivered once the first burst is over
        uint16_t rings = 0;
        std::string number; // the caller number last delivered
        bool commutation = false;
        bool power = true;
        std::array<uint16_t, 22> settings{};
        std::array<uint16_t, 2> levels{3, 8};
        LineOptions options;
        std::vector<DialledDigit> dialled;
    };

    Line& At(int line) { return m_lines.at(static_cast<size_t>(line)); }
    const Line& At(int line) const { return m_lines.at(static_cast<size_t>(line)); }
    bool HasLineOptions() const;
    bool HasCommutation() const;
    bool HasInterfacePower() const;
    void UpdateCall(Line& line, Duration now);
    void TakeOffHook(Line& line);

    Handled GetState(int line, ControlRequest& request);
    Handled SetState(int line, ControlRequest& request);

    BoardState& m_state;
    std::array<Line, 8> m_lines{};
    Duration m_now{};
    Duration m_nextCall = kFirstCall;
    size_t m_calls = 0;
};

} // namespace sim
