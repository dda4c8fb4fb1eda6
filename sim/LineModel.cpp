// Simulated board part: phone lines: hook state, rings, voltage, caller number, line commands, settings,
// amplitudes, interface power, line options.
#include "LineModel.h"

#include "BlockCodec.h"
#include "RequestCodes.h"

#include <algorithm>
#include <iterator>

namespace sim {

namespace {

constexpr uint32_t kStateSize = 46;
constexpr uint32_t kShortStateSize = 8;
constexpr uint32_t kSettingsSize = 44;
constexpr uint32_t kLevelsSize = 4;
constexpr uint32_t kPowerSize = 2;

constexpr uint16_t kStateOffHook = 1;
constexpr uint16_t kStateOnHook = 2;
constexpr uint16_t kStateRinging = 4;

constexpr uint16_t kCommandHookUp = 1;
constexpr uint16_t kCommandHookDown = 2;
constexpr uint16_t kCommandCommutationOn = 8;
constexpr uint16_t kCommandCommutationOff = 16;
constexpr uint16_t kNoDigit = 0xFFFF;

constexpr size_t kAonEnableField = 34 / 2;
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
    return {20,     40, 50,  400, 200,   6000, 500, 100, 3000, 3,  80,
            0x0C35, 0,  100, 200, 15000, 60,   1,   0,   80,   20, 300};
}

bool LineModel::HasLineOptions() const {
    const uint32_t type = m_state.config.type & 0xFFFF;
    return type == 0x310D || type == 0x330D;
}

bool LineModel::HasCommutation() const {
    const uint32_t type = m_state.config.type & 0xFFFF;
    return type == 0x340 || type == 0x350;
}

bool LineModel::HasInterfacePower() const {
    const uint32_t type = m_state.config.type & 0xFFFF;
    return type != 0x340 && type != 0x350 && type != 0x360;
}

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
        return kStateOffHook;
    return static_cast<uint16_t>(kStateOnHook | (l.calling && l.ringing ? kStateRinging : 0));
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
    if (request.Sizes(0, kStateSize)) {
        uint8_t* b = request.output;
        std::fill(b, b + kStateSize, uint8_t{0});
        block::PutU16(b, 0, StateWord(line));
        block::PutU16(b, 2, At(line).rings);
        block::PutU16(b, 4, static_cast<uint16_t>(Voltage(line)));
        block::PutU16(b, 12, ControlInput(line) ? 1 : 0);
        block::PutText(b, 14, 32, At(line).number);
        request.returned = kStateSize;
        return Handled::Ok;
    }
    if (HasLineOptions() && request.Sizes(0, kShortStateSize)) {
        const LineOptions& options = At(line).options;
        uint8_t* b = request.output;
        block::PutU16(b, 0, ControlInput(line) ? 1 : 0);
        block::PutU16(b, 2, options.sensorPower);
        block::PutU16(b, 4, options.compensation);
        block::PutU16(b, 6, options.tape);
        request.returned = kShortStateSize;
        return Handled::Ok;
    }
    return Handled::Fail;
}

Handled LineModel::SetState(int line, ControlRequest& request) {
    Line& l = At(line);
    const uint8_t* b = request.input;
    if (request.Sizes(kStateSize, 0)) {
        const uint16_t command = block::GetU16(b, 0);
        const uint16_t dialType = block::GetU16(b, 6);
        const uint16_t digit = block::GetU16(b, 8);
        if (digit != kNoDigit) {
            // A digit takes the line off-hook and dials; pulses can carry the ten digits only.
            if (command != kCommandHookUp || digit > 15 || dialType > 1 || (dialType == 0 && digit > 9))
                return Handled::Fail;
            TakeOffHook(l);
            if (l.dialled.size() == kMaxDialled)
                l.dialled.erase(l.dialled.begin());
            l.dialled.push_back({digit, dialType});
            return Handled::Ok;
        }
        switch (command) {
        case kCommandHookUp:
            TakeOffHook(l);
            return Handled::Ok;
        case kCommandHookDown:
            l.offHook = false;
            return Handled::Ok;
        case kCommandCommutationOn:
        case kCommandCommutationOff:
            if (!HasCommutation())
                return Handled::Fail;
            l.commutation = command == kCommandCommutationOn;
            return Handled::Ok;
        default:
            return Handled::Fail;
        }
    }
    if (HasLineOptions() && request.Sizes(kShortStateSize, 0)) {
        const LineOptions wanted{block::GetU16(b, 2), block::GetU16(b, 4), block::GetU16(b, 6)};
        // The external input is read-only and goes out as zero; the options take their listed values.
        if (block::GetU16(b, 0) != 0 || wanted.sensorPower > 2 || wanted.compensation > 1 || wanted.tape > 1)
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
        if (!request.Sizes(0, kSettingsSize))
            return Handled::Fail;
        for (size_t i = 0; i < l.settings.size(); ++i)
            block::PutU16(request.output, 2 * i, l.settings[i]);
        request.returned = kSettingsSize;
        return Handled::Ok;
    case req::kSetLineSettings:
        if (!request.Sizes(kSettingsSize, 0))
            return Handled::Fail;
        for (size_t i = 0; i < l.settings.size(); ++i)
            l.settings[i] = block::GetU16(request.input, 2 * i);
        return Handled::Ok;
    case req::kGetAmplitudes:
        if (!request.Sizes(0, kLevelsSize))
            return Handled::Fail;
        block::PutU16(request.output, 0, l.levels[0]);
        block::PutU16(request.output, 2, l.levels[1]);
        request.returned = kLevelsSize;
        return Handled::Ok;
    case req::kSetAmplitudes:
        if (!request.Sizes(kLevelsSize, 0))
            return Handled::Fail;
        l.levels = {block::GetU16(request.input, 0), block::GetU16(request.input, 2)};
        return Handled::Ok;
    case req::kInterfacePower: {
        if (!request.Sizes(kPowerSize, 0) || !HasInterfacePower())
            return Handled::Fail;
        const uint16_t power = block::GetU16(request.input, 0);
        if (power > 1)
            return Handled::Fail;
        l.power = power == 1;
        return Handled::Ok;
    }
    default:
        return Handled::No;
    }
}

} // namespace sim
