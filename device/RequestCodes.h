// The board driver's control requests: one named constant per request, grouped by the device it goes to.
// A code is the Windows CTL_CODE of device type 0x22, METHOD_BUFFERED, FILE_ANY_ACCESS: 0x220000 + 4 * fn.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t ControlCode(uint32_t function) { return 0x220000u + 4u * function; }

namespace req {

// Configuration device ("VELTRIN_CFG").
inline constexpr uint32_t kResetDsp = ControlCode(0x900);         // 0x222400, 0/0
inline constexpr uint32_t kLoadProgram = ControlCode(0x901);      // 0x222404, 50 or 0/0
inline constexpr uint32_t kMemoryStart = ControlCode(0x904);      // 0x222410, 12/0
inline constexpr uint32_t kMemoryData = ControlCode(0x905);       // 0x222414, 2n/0 or 0/2n
inline constexpr uint32_t kSetLeftRate = ControlCode(0x90E);      // 0x222438, 4/0
inline constexpr uint32_t kSetRightRate = ControlCode(0x90F);     // 0x22243C, 4/0
inline constexpr uint32_t kSetCodecRate = ControlCode(0x910);     // 0x222440, 4/0
inline constexpr uint32_t kGetLeftRate = ControlCode(0x911);      // 0x222444, 0/4
inline constexpr uint32_t kGetRightRate = ControlCode(0x912);     // 0x222448, 0/4
inline constexpr uint32_t kGetCodecRate = ControlCode(0x913);     // 0x22244C, 0/4
inline constexpr uint32_t kCalibrationStep = ControlCode(0x915);  // 0x222454, 4/0
inline constexpr uint32_t kApplyCalibration = ControlCode(0x919); // 0x222464, 0/0
inline constexpr uint32_t kSetMaxVoltage = ControlCode(0x91A);    // 0x222468, 2/0
inline constexpr uint32_t kGetMaxVoltage = ControlCode(0x91B);    // 0x22246C, 0/2
inline constexpr uint32_t kGetBoardInfo = ControlCode(0x91C);     // 0x222470, 0/66
inline constexpr uint32_t kConfirmBoard = ControlCode(0x91D);     // 0x222474, 0/8, output not used
inline constexpr uint32_t kPrepareBoard = ControlCode(0x91F);     // 0x22247C, 0/12, output not used
inline constexpr uint32_t kWatchdogStart = ControlCode(0x925);    // 0x222494, 4/0
inline constexpr uint32_t kWatchdogStop = ControlCode(0x926);     // 0x222498, 0/0
inline constexpr uint32_t kWatchdogKick = ControlCode(0x927);     // 0x22249C, 0/0
inline constexpr uint32_t kWriteBoardId = ControlCode(0x929);     // 0x2224A4, 4/0
inline constexpr uint32_t kPushSwitch = ControlCode(0x92C);       // 0x2224B0, 2/0

// Phone-line input device ("PHONE_LINE%d_IN_DEV").
inline constexpr uint32_t kGetLineState = ControlCode(0x908);    // 0x222420, 0/46 or 0/8
inline constexpr uint32_t kSetLineState = ControlCode(0x909);    // 0x222424, 46/0 or 8/0
inline constexpr uint32_t kGetLineSettings = ControlCode(0x90A); // 0x222428, 0/44
inline constexpr uint32_t kSetLineSettings = ControlCode(0x90B); // 0x22242C, 44/0
inline constexpr uint32_t kInterfacePower = ControlCode(0x916);  // 0x222458, 2/0
inline constexpr uint32_t kGetAmplitudes = ControlCode(0x92D);   // 0x2224B4, 0/4
inline constexpr uint32_t kSetAmplitudes = ControlCode(0x92E);   // 0x2224B8, 4/0

// Streaming devices (output channels, line inputs, line outputs).
inline constexpr uint32_t kStream = ControlCode(0x902);          // 0x222408, 10/0 start or stop
inline constexpr uint32_t kGetCounters = ControlCode(0x903);     // 0x22240C, 0/10
inline constexpr uint32_t kSetAttenuation = ControlCode(0x906);  // 0x222418, 10/0
inline constexpr uint32_t kGetAttenuation = ControlCode(0x907);  // 0x22241C, 0/10
inline constexpr uint32_t kGetBufferState = ControlCode(0x914);  // 0x222450, 0/8
inline constexpr uint32_t kSetAttenuation2 = ControlCode(0x923); // 0x22248C, 10/0
inline constexpr uint32_t kGetAttenuation2 = ControlCode(0x924); // 0x222490, 0/10
inline constexpr uint32_t kSyncCodecInput = ControlCode(0x92A);  // 0x2224A8, 10/0

// Left output device ("LINE_OUT_LEFT").
inline constexpr uint32_t kOutputMode = ControlCode(0x90C); // 0x222430, 4/0

// The device each request goes to.
enum class RequestDevice { Config, LineInput, Stream, LeftOutput };

struct RequestInfo {
    uint32_t code;
    const char* name;
    RequestDevice device;
};

// Every request above, once: a new code belongs here too, so the checks that walk the catalogue cover it.
inline constexpr std::array kAllRequests = {
    RequestInfo{kResetDsp, "ResetDsp", RequestDevice::Config},
    RequestInfo{kLoadProgram, "LoadProgram", RequestDevice::Config},
    RequestInfo{kMemoryStart, "MemoryStart", RequestDevice::Config},
    RequestInfo{kMemoryData, "MemoryData", RequestDevice::Config},
    RequestInfo{kSetLeftRate, "SetLeftRate", RequestDevice::Config},
    RequestInfo{kSetRightRate, "SetRightRate", RequestDevice::Config},
    RequestInfo{kSetCodecRate, "SetCodecRate", RequestDevice::Config},
    RequestInfo{kGetLeftRate, "GetLeftRate", RequestDevice::Config},
    RequestInfo{kGetRightRate, "GetRightRate", RequestDevice::Config},
    RequestInfo{kGetCodecRate, "GetCodecRate", RequestDevice::Config},
    RequestInfo{kCalibrationStep, "CalibrationStep", RequestDevice::Config},
    RequestInfo{kApplyCalibration, "ApplyCalibration", RequestDevice::Config},
    RequestInfo{kSetMaxVoltage, "SetMaxVoltage", RequestDevice::Config},
    RequestInfo{kGetMaxVoltage, "GetMaxVoltage", RequestDevice::Config},
    RequestInfo{kGetBoardInfo, "GetBoardInfo", RequestDevice::Config},
    RequestInfo{kConfirmBoard, "ConfirmBoard", RequestDevice::Config},
    RequestInfo{kPrepareBoard, "PrepareBoard", RequestDevice::Config},
    RequestInfo{kWatchdogStart, "WatchdogStart", RequestDevice::Config},
    RequestInfo{kWatchdogStop, "WatchdogStop", RequestDevice::Config},
    RequestInfo{kWatchdogKick, "WatchdogKick", RequestDevice::Config},
    RequestInfo{kWriteBoardId, "WriteBoardId", RequestDevice::Config},
    RequestInfo{kPushSwitch, "PushSwitch", RequestDevice::Config},
    RequestInfo{kGetLineState, "GetLineState", RequestDevice::LineInput},
    RequestInfo{kSetLineState, "SetLineState", RequestDevice::LineInput},
    RequestInfo{kGetLineSettings, "GetLineSettings", RequestDevice::LineInput},
    RequestInfo{kSetLineSettings, "SetLineSettings", RequestDevice::LineInput},
    RequestInfo{kInterfacePower, "InterfacePower", RequestDevice::LineInput},
    RequestInfo{kGetAmplitudes, "GetAmplitudes", RequestDevice::LineInput},
    RequestInfo{kSetAmplitudes, "SetAmplitudes", RequestDevice::LineInput},
    RequestInfo{kStream, "Stream", RequestDevice::Stream},
    RequestInfo{kGetCounters, "GetCounters", RequestDevice::Stream},
    RequestInfo{kSetAttenuation, "SetAttenuation", RequestDevice::Stream},
    RequestInfo{kGetAttenuation, "GetAttenuation", RequestDevice::Stream},
    RequestInfo{kGetBufferState, "GetBufferState", RequestDevice::Stream},
    RequestInfo{kSetAttenuation2, "SetAttenuation2", RequestDevice::Stream},
    RequestInfo{kGetAttenuation2, "GetAttenuation2", RequestDevice::Stream},
    RequestInfo{kSyncCodecInput, "SyncCodecInput", RequestDevice::Stream},
    RequestInfo{kOutputMode, "OutputMode", RequestDevice::LeftOutput},
};

} // namespace req
