// The stream model's attenuation: the two request sets' settings and the gain they give a channel.
#include "StreamModel.h"

#include "BoardModels.h"
#include "RequestCodes.h"
#include "StreamBlocks.h"
#include "StreamParts.h"

#include <algorithm>

namespace sim {

using namespace streams;

namespace {

// The codec lines' first-set gain steps, in dB.
constexpr double kCodecSteps[] = {-36, -30, -24, -18, -12, -9, -6, -3, 0, 3, 6, 9, 12, 18, 24};

} // namespace

double StreamModel::Gain(const Channel& c, bool stereo) const {
    const bool second = BoardModelFor(m_state.config.type).secondAttenuation;
    const Setting& setting = second ? c.second : c.first;
    if (setting.mute)
        return 0.0;
    if (second)
        return FromDb(setting.value / 10.0);
    if (stereo) // steps of 1/256, the top of the range passing the samples unchanged
        return setting.value == kStereoFirst.max ? 1.0 : setting.value / 256.0;
    return FromDb(kCodecSteps[std::clamp<int>(setting.value, kCodecFirst.min, kCodecFirst.max)]);
}

Handled StreamModel::Attenuation(Channel& c, bool stereo, bool second, ControlRequest& request) {
    if (second && !BoardModelFor(m_state.config.type).secondAttenuation)
        return Handled::Fail;
    const Range range = RangeOf(stereo, second);
    Setting& setting = second ? c.second : c.first;
    const bool set = request.code == req::kSetAttenuation || request.code == req::kSetAttenuation2;
    if (set) {
        if (!request.Sizes(AttenuationBlock::kSize, 0))
            return Handled::Fail;
        const auto block = AttenuationBlock::Decode(request.input, request.inputSize);
        if (!block || block->value < range.min || block->value > range.max)
            return Handled::Fail;
        setting = {block->value, block->mute != 0};
        return Handled::Ok;
    }
    if (!request.Sizes(0, AttenuationBlock::kSize))
        return Handled::Fail;
    AttenuationBlock block;
    block.value = setting.value;
    block.mute = setting.mute ? 1 : 0;
    block.max = range.max;
    block.min = range.min;
    const auto bytes = block.Encode();
    std::copy(bytes.begin(), bytes.end(), request.output);
    request.returned = AttenuationBlock::kSize;
    return Handled::Ok;
}

} // namespace sim
