// Simulated board part: phone lines: hook state, rings, voltage, caller number, line commands, settings,
// amplitudes, interface power, line options.
#include "LineModel.h"

#include "BoardModels.h"
#include "LineBlocks.h"
#include "RequestCodes.h"

#include <algorithm>
#include <iterator>

namespace sim {

namespace {

constexpr size_t kAonEnableField = LineSettings::kAonEnableOffset / 2;
constexpr size_t kMaxDialled = 256; // a line keeps its most recent digits only

// The callers of line 0, in turn.
const char* const kCallers[] = {"4957310042", "8129064417", "3832251180", "4232719905"};

} // namespace

LineModel::LineModel(BoardState& state) : m_state(state) {
    for (Line& line : m_lines)
        line.settings = DefaultSettings();
}

std::array<uint16_t, 22> LineModel::DefaultSettings() {
    // Thresholds in volts and delays in milliseconds as a board leaves the factory; offset 22 is an
    // internal word the application must hand back untouched.
    return {20, 40, 50, 400, 200, 6000, 500, 100, 3000, 3, 80, 0x0C35, 0, 100, 200, 15000, 60, 1, 0, 80, 20, 300};
}

bool LineModel::HasLineOptions() const { return BoardModelFor(m_state.config.type).lineOptions; }

bool LineModel::HasCommutation() const { return BoardModelFor(m_state.config.type).commutation; }

bool LineModel::HasInterfacePower() const { return !BoardModelFor(m_state.config.type).fixedInterfacePower; }

void LineModel::StartCall(int line, const std::string& number, Duration now) {
    Line& l = At(line);
    if (l.offHook)
        return; // a busy line does not ring
    l.calling = true;
    l.callStart = now;
    l.callNumber = number;
    l.rings = 0;
    l.number.clear();
    UpdateCall(l, now);
}

void LineModel::UpdateCall(Line& line, Duration now) {
    if (!line.calling)
        return;
    const Duration elapsed = now - line.callStart;
    const auto cycle = elapsed / kRingCycle;
    if (cycle >= kRingsPerCall) {
        line.calling = false; // nobody answered; the display keeps the rings and the number
        line.ringing = false;
        return;
    }
    line.rings = static_cast<uint16_t>(cycle + 1);
    line.ringing = elapsed % kRingCycle < kRingOn;
    if (elapsed >= kNumberAfter && line.number.empty() && line.settings[kAonEnableField] != 0)
        line.number = line.callNumber;
}

void LineModel::TakeOffHook(Line& line) {
    line.offHook = true;
    line.calling = false; // answered
    line.ringing = false;
}

void LineModel::Advance(Duration now) {
    m_now = now;
    for (Line& line : m_lines)
        UpdateCall(line, now);
    Line& first = m_lines[0];
    if (first.calling || now < m_nextCall)
        return;
    if (first.offHook) {
        m_nextCall = now + kCallPause; // try again once the line may be free
        return;
    }
    StartCall(0, kCallers[m_calls % std::size(kCallers)], now);
    ++m_calls;
    m_nextCall = now + kRingsPerCall * kRingCycle + kCallPause;
}

uint16_t LineModel::StateWord(int line) const {
    const Line& l = At(line);
    if (l.offHook)
        return LineState::kOffHook;
    return static_cast<uint16_t>(LineState::kOnHook | (l.calling && l.ringing ? LineState::kRinging : 0));
}

int16_t LineModel::Voltage(int line) const {
    const Line& l = At(line);
    int16_t volts = kOnHookVolts;
    if (!l.power)
        volts = 0;
    else if (l.offHook)
        volts = kOffHookVolts;
    else if (l.calling && l.ringing)
        volts = kRingingVolts;
    return m_state.MeasuredVoltage(line, volts);
}

bool LineModel::ControlInput(int line) const {
    const Duration period = kInputPeriod + std::chrono::seconds(line);
    return m_now % period >= period - kInputActive;
}

std::string LineModel::DialledText(int line) const {
    static const char kKeys[] = "0123456789*#ABCD";
    std::string text;
    for (const DialledDigit& digit : At(line).dialled)
        text += kKeys[digit.code & 15];
    return text;
}

Handled LineModel::GetState(int line, ControlRequest& request) {
    if (request.Sizes(0, LineState::kSize)) {
        LineState state;
        state.state = StateWord(line);
        state.rings = At(line).rings;
        state.voltage = Voltage(line);
        state.controlInput = ControlInput(line) ? 1 : 0;
        state.SetNumberText(At(line).number);
        request.Answer(state);
        return Handled::Ok;
    }
    if (HasLineOptions() && request.Sizes(0, LineStateShort::kSize)) {
        const LineOptions& options = At(line).options;
        request.Answer(LineStateShort{static_cast<uint16_t>(ControlInput(line) ? 1 : 0), options.sensorPower,
                                      options.compensation, options.tape});
        return Handled::Ok;
    }
    return Handled::Fail;
}

Handled LineModel::SetState(int line, ControlRequest& request) {
    Line& l = At(line);
    if (const auto block = request.Input<LineState>()) {
        const uint16_t command = block->state;
        const uint16_t dialType = block->dialType;
        const uint16_t digit = block->digit;
        if (digit != LineState::kNoDigit) {
            // A digit takes the line off-hook and dials; pulses can carry the ten digits only.
            if (command != LineState::kHookUp || digit > 15 || dialType > 1 || (dialType == 0 && digit > 9))
                return Handled::Fail;
            TakeOffHook(l);
            if (l.dialled.size() == kMaxDialled)
                l.dialled.erase(l.dialled.begin());
            l.dialled.push_back({digit, dialType});
            return Handled::Ok;
        }
        switch (command) {
        case LineState::kHookUp:
            TakeOffHook(l);
            return Handled::Ok;
        case LineState::kHookDown:
            l.offHook = false;
            return Handled::Ok;
        case LineState::kCommutationOn:
        case LineState::kCommutationOff:
            if (!HasCommutation())
                return Handled::Fail;
            l.commutation = command == LineState::kCommutationOn;
            return Handled::Ok;
        default:
            return Handled::Fail;
        }
    }
    const auto options = HasLineOptions() ? request.Input<LineStateShort>() : std::nullopt;
    if (options) {
        const LineOptions wanted{options->sensorPower, options->compensation, options->tape};
        // The external input is read-only and goes out as zero; the options take their listed values.
        if (options->externalInput != 0 || wanted.sensorPower > 2 || wanted.compensation > 1 || wanted.tape > 1)
            return Handled::Fail;
        l.options = wanted;
        return Handled::Ok;
    }
    return Handled::Fail;
}

Handled LineModel::Control(const DeviceAddress& device, ControlRequest& request, Duration now) {
    if (device.kind != DeviceKind::LineIn || device.line < 0 || device.line >= 8)
        return Handled::No;
    m_now = now;
    const int line = device.line;
    Line& l = At(line);
    switch (request.code) {
    case req::kGetLineState:
        return GetState(line, request);
    case req::kSetLineState:
        return SetState(line, request);
    case req::kGetLineSettings:
        return request.Answer(LineSettings{l.settings}) ? Handled::Ok : Handled::Fail;
    case req::kSetLineSettings: {
        const auto settings = request.Input<LineSettings>();
        if (!settings)
            return Handled::Fail;
        l.settings = settings->fields;
        return Handled::Ok;
    }
    case req::kGetAmplitudes:
        return request.Answer(LineLevels{l.levels[0], l.levels[1]}) ? Handled::Ok : Handled::Fail;
    case req::kSetAmplitudes: {
        const auto levels = request.Input<LineLevels>();
        if (!levels)
            return Handled::Fail;
        l.levels = {levels->beepAmplitude, levels->dialAmplitude};
        return Handled::Ok;
    }
    case req::kInterfacePower: {
        const auto power = request.InputU16();
        if (!power || !HasInterfacePower() || *power > 1)
            return Handled::Fail;
        l.power = *power == 1;
        return Handled::Ok;
    }
    default:
        return Handled::No;
    }
}

} // namespace sim
