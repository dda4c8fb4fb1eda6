// libFuzzer target for every request block decoder: the first byte picks the block, the rest is the
// answer. Every length from nothing to the whole answer is decoded from a buffer of exactly that size
// (so a read past it is caught), and a block that decodes must survive its own encoding unchanged.
#include "BoardInfo.h"
#include "CalibrationBlocks.h"
#include "LineBlocks.h"
#include "MemoryBlocks.h"
#include "StreamBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

template <typename Block> void Check(const uint8_t* data, size_t size) {
    for (size_t length = 0; length <= size; ++length) {
        const std::vector<uint8_t> answer(data, data + length);
        const auto block = Block::Decode(answer.data(), static_cast<uint32_t>(answer.size()));
        if (!block)
            continue;
        const auto encoded = block->Encode();
        const auto again = Block::Decode(encoded.data(), static_cast<uint32_t>(encoded.size()));
        Require(again.has_value());
        Require(again->Encode() == encoded);
    }
}

void CheckBoardId(const uint8_t* data, size_t size) {
    for (size_t length = 0; length <= size; ++length) {
        const std::vector<uint8_t> answer(data, data + length);
        const auto id = BoardInformation::DecodeId(answer.data(), static_cast<uint32_t>(answer.size()));
        // The ID is the little-endian word at offset 54 of the information block.
        if (id)
            Require(*id == (answer[54] | answer[55] << 8 | answer[56] << 16 | static_cast<uint32_t>(answer[57]) << 24));
    }
}

using Checker = void (*)(const uint8_t*, size_t);
constexpr Checker kCheckers[] = {
    Check<BoardInformation>,     CheckBoardId,        Check<MaxVoltageBlock>,
    Check<CalibrationStepBlock>, Check<LineState>,    Check<LineStateShort>,
    Check<LineSettings>,         Check<LineLevels>,   Check<MemoryOperation>,
    Check<ProgramLoadRequest>,   Check<BoardIdWords>, Check<AttenuationBlock>,
    Check<StreamCommand>,        Check<BufferState>,  Check<StreamCounters>,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 512)
        return 0;
    kCheckers[data[0] % std::size(kCheckers)](data + 1, size - 1);
    return 0;
}
