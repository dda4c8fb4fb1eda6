// Memory operations, board identity, reset, program load, watchdog and push switch requests, with the
// page's failure messages.
#include "BoardMaintenance.h"

#include "BoardInfo.h"
#include "DeviceRequests.h"
#include "RequestCodes.h"

namespace {

const QString kCannotStart = QStringLiteral("Cann't start DSP memory operation");
const QString kCannotGetId = QStringLiteral("Cann't get board ID");

bool StartOperation(CDevice& device, const MemoryOperation& op) { return SendBlock(device, req::kMemoryStart, op); }

MemoryOperation IdOperation(uint16_t direction) {
    return {kEepromIdWord, 2, direction, static_cast<uint16_t>(MemoryKind::Eeprom)};
}

} // namespace

Failure ReadMemory(CDevice& device, const MemoryOperation& op, uint8_t* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    if (!StartOperation(device, op))
        return kCannotStart;
    uint32_t got = 0;
    if (!QueryInto(device, req::kMemoryData, buffer, size, &got))
        return QStringLiteral("DSP memory operation isn't succesful");
    *returned = got < size ? got : size;
    return std::nullopt;
}

Failure WriteMemory(CDevice& device, const MemoryOperation& op, const uint8_t* data, uint32_t size) {
    const uint32_t bytes = op.count * 2;
    if (size < bytes)
        return QStringLiteral("DSP memory operation isn't succesful");
    if (!StartOperation(device, op))
        return kCannotStart;
    if (!SendBytes(device, req::kMemoryData, data, bytes))
        return QStringLiteral("DSP memory operation isn't succesful");
    return std::nullopt;
}

BoardIdReading ReadBoardId(CDevice& device, bool newFamily) {
    BoardIdReading result;
    if (newFamily) {
        const auto answer = QueryRaw<BoardInformation::kSize>(device, req::kGetBoardInfo);
        // An answer that stops before the ID field carries no ID; taking zeros for it would show a wrong one.
        const auto id = answer.ok ? BoardInformation::DecodeId(answer.bytes.data(), answer.returned) : std::nullopt;
        if (!id)
            result.failure = kCannotGetId;
        else
            result.id = *id;
        return result;
    }
    if (!StartOperation(device, IdOperation(MemoryOperation::kRead))) {
        result.failure = kCannotStart;
        return result;
    }
    if (const auto words = QueryDecoded<BoardIdWords>(device, req::kMemoryData))
        result.id = words->id;
    else
        result.failure = kCannotGetId;
    return result;
}

Failure WriteBoardId(CDevice& device, bool newFamily, uint32_t id) {
    if (!newFamily && !StartOperation(device, IdOperation(MemoryOperation::kWrite)))
        return kCannotStart;
    const uint32_t code = newFamily ? req::kWriteBoardId : req::kMemoryData;
    if (!SendBlock(device, code, BoardIdWords{id}))
        return QStringLiteral("Cann't write board ID");
    return std::nullopt;
}

Failure WriteBoardPrefix(CDevice& device, uint16_t type) {
    const MemoryOperation op{kEepromTypeWord, 1, MemoryOperation::kWrite, static_cast<uint16_t>(MemoryKind::Eeprom)};
    if (!StartOperation(device, op))
        return kCannotStart;
    if (!SendU16(device, req::kMemoryData, type))
        return QStringLiteral("Cann't write board prefix");
    return std::nullopt;
}

bool ResetDsp(CDevice& device) { return SendEmpty(device, req::kResetDsp); }

bool LoadProgram(CDevice& device, bool named) {
    return named ? SendBlock(device, req::kLoadProgram, ProgramLoadRequest{}) : SendEmpty(device, req::kLoadProgram);
}

bool StartWatchdog(CDevice& device, uint32_t intervalMs) { return SendU32(device, req::kWatchdogStart, intervalMs); }

bool StopWatchdog(CDevice& device) { return SendEmpty(device, req::kWatchdogStop); }

bool KickWatchdog(CDevice& device) { return SendEmpty(device, req::kWatchdogKick); }

bool SetPushSwitch(CDevice& device, bool pressed) { return SendU16(device, req::kPushSwitch, pressed ? 1 : 0); }
