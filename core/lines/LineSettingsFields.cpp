// The line settings dialog's table of controls and its number texts.
#include "LineSettingsFields.h"

namespace {

constexpr const char* kUpDown = "Phone up/down detect";
constexpr const char* kRing = "Ring detect";
constexpr const char* kAon = "AON settings";
constexpr const char* kTone = "Tone dial settings";
constexpr const char* kPulse = "Pulse dial settings";
constexpr const char* kBeep = "Warrning beep settings";
constexpr const char* kPulseDetect = "Pulse dial detect settings";
constexpr const char* kVolts = "( V )";
constexpr const char* kMs = "( ms )";

using B = SettingsBlock;
using K = SettingsKind;

} // namespace

const std::array<const char*, 7> kSettingsGroups{kUpDown, kRing, kAon, kTone, kPulse, kBeep, kPulseDetect};

// Offset 22 is not shown: the dialog hands it back as the board gave it.
const std::array<SettingsControl, 23> kSettingsControls{{
    {B::Settings, 0, K::Edit, "Phone up threshold :", kVolts, kUpDown, "phoneUpThreshold"},
    {B::Settings, 4, K::Edit, "Phone up delay :", kMs, kUpDown, "phoneUpDelay"},
    {B::Settings, 6, K::Edit, "Phone down delay :", kMs, kUpDown, "phoneDownDelay"},
    {B::Settings, 2, K::Edit, "Ring threshold :", kVolts, kRing, "ringThreshold"},
    {B::Settings, 8, K::Edit, "Ring delay :", kMs, kRing, "ringDelay"},
    {B::Settings, 10, K::Edit, "Ring to ring delay :", kMs, kRing, "ringToRingDelay"},
    {B::Settings, 24, K::Edit, "Hook up ring :", "", kRing, "hookUpRing"},
    {B::Settings, 12, K::Edit, "Aon delay :", kMs, kAon, "aonDelay"},
    {B::Settings, 14, K::Edit, "Aon to aon delay :", kMs, kAon, "aonToAonDelay"},
    {B::Settings, 16, K::Edit, "Aon duration :", kMs, kAon, "aonDuration"},
    {B::Settings, 18, K::Amplitude, "Aon amplitude:", "(smpl)", kAon, "aonAmplitude"},
    {B::Settings, 20, K::Edit, "Aon number :", kMs, kAon, "aonNumber"},
    {B::Settings, 34, K::Switch, "Aon request enable :", "", kAon, "aonEnable"},
    {B::Settings, 26, K::Edit, "Digit duration :", kMs, kTone, "digitDuration"},
    {B::Levels, 2, K::Amplitude, "Dial amplitude :", "", kTone, "dialAmplitude"},
    {B::Settings, 32, K::Edit, "Pulse duration :", kMs, kPulse, "pulseDuration"},
    {B::Settings, 28, K::Edit, "Warnig beep duration :", kMs, kBeep, "beepDuration"},
    {B::Settings, 30, K::Edit, "Warrning beep pereod :", kMs, kBeep, "beepPeriod"},
    {B::Levels, 0, K::Amplitude, "Warrning beep ampl :", "", kBeep, "beepAmplitude"},
    {B::Settings, 36, K::Switch, "Warrning beep enable :", "", kBeep, "beepEnable"},
    {B::Settings, 38, K::Edit, "Max pulse duration :", kMs, kPulseDetect, "maxPulseDuration"},
    {B::Settings, 40, K::Edit, "Min pulse duration :", kMs, kPulseDetect, "minPulseDuration"},
    {B::Settings, 42, K::Edit, "Inpulse digit to digit :", kMs, kPulseDetect, "pulseDigitToDigit"},
}};

QString FieldText(uint16_t value) {
    // The fields are unsigned 16-bit words: 0x8000 and up are shown as 32768 and up.
    return QString::number(value);
}

uint16_t FieldValue(const QString& text) {
    if (text.isEmpty())
        return 0;
    uint32_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        // Working modulo 65536 digit by digit gives the low 16 bits of a number of any length.
        value = (value * 10 + static_cast<uint32_t>(c.unicode() - '0')) & 0xFFFF;
    }
    return static_cast<uint16_t>(value);
}

QString AmplitudeItemText(int level) { return QString::asprintf("% 4d dB", level); }
