// Memory operations and board identity requests, with the page's failure messages.
#include "BoardMaintenance.h"

#include "BlockCodec.h"
#include "BoardInfo.h"
#include "Device.h"
#include "RequestCodes.h"

#include <array>

namespace {

const QString kCannotStart = QStringLiteral("Cann't start DSP memory operation");
const QString kCannotGetId = QStringLiteral("Cann't get board ID");

bool StartOperation(CDevice& device, const MemoryOperation& op) {
    const auto block = op.Encode();
    uint32_t returned = 0;
    return device.DevIoControl(req::kMemoryStart, block.data(), MemoryOperation::kSize, nullptr, 0, &returned) != 0;
}

MemoryOperation IdOperation(uint16_t direction) {
    return {kEepromIdWord, 2, direction, static_cast<uint16_t>(MemoryKind::Eeprom)};
}

} // namespace

Failure ReadMemory(CDevice& device, const MemoryOperation& op, uint8_t* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    if (!StartOperation(device, op))
        return kCannotStart;
    uint32_t got = 0;
    if (!device.DevIoControl(req::kMemoryData, nullptr, 0, buffer, size, &got))
        return QStringLiteral("DSP memory operation isn't succesful");
    *returned = got < size ? got : size;
    return std::nullopt;
}

BoardIdReading ReadBoardId(CDevice& device, bool newFamily) {
    BoardIdReading result;
    uint32_t returned = 0;
    if (newFamily) {
        std::array<uint8_t, BoardInformation::kSize> info{};
        const uint32_t ok =
            device.DevIoControl(req::kGetBoardInfo, nullptr, 0, info.data(), BoardInformation::kSize, &returned);
        // An answer that stops before the ID field carries no ID; taking zeros for it would show a wrong one.
        if (!ok || returned < 58)
            result.failure = kCannotGetId;
        else
            result.id = block::GetU32(info.data(), 54);
        return result;
    }
    if (!StartOperation(device, IdOperation(MemoryOperation::kRead))) {
        result.failure = kCannotStart;
        return result;
    }
    std::array<uint8_t, 4> words{};
    if (!device.DevIoControl(req::kMemoryData, nullptr, 0, words.data(), 4, &returned) || returned < 4)
        result.failure = kCannotGetId;
    else
        result.id = block::GetU32(words.data(), 0);
    return result;
}

Failure WriteBoardId(CDevice& device, bool newFamily, uint32_t id) {
    std::array<uint8_t, 4> bytes{};
    block::PutU32(bytes.data(), 0, id);
    uint32_t returned = 0;
    if (!newFamily && !StartOperation(device, IdOperation(MemoryOperation::kWrite)))
        return kCannotStart;
    const uint32_t code = newFamily ? req::kWriteBoardId : req::kMemoryData;
    if (!device.DevIoControl(code, bytes.data(), 4, nullptr, 0, &returned))
        return QStringLiteral("Cann't write board ID");
    return std::nullopt;
}

Failure WriteBoardPrefix(CDevice& device, uint16_t type) {
    const MemoryOperation op{kEepromTypeWord, 1, MemoryOperation::kWrite, static_cast<uint16_t>(MemoryKind::Eeprom)};
    if (!StartOperation(device, op))
        return kCannotStart;
    std::array<uint8_t, 2> bytes{};
    block::PutU16(bytes.data(), 0, type);
    uint32_t returned = 0;
    if (!device.DevIoControl(req::kMemoryData, bytes.data(), 2, nullptr, 0, &returned))
        return QStringLiteral("Cann't write board prefix");
    return std::nullopt;
}
