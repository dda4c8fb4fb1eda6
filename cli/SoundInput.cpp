// Opening a sound file for a command, with the reasons a file is refused said in the command's words.
#include "SoundInput.h"

#include "CliArgs.h"

std::optional<SoundChannel> ChannelOption(const CliArgs& args) {
    const auto text = args.Value("channel");
    if (!text) {
        if (args.Has("channel"))
            throw UsageError("--channel needs left or right");
        return std::nullopt;
    }
    if (*text == "left")
        return SoundChannel::Left;
    if (*text == "right")
        return SoundChannel::Right;
    throw UsageError("--channel: \"" + *text + "\" is not left or right");
}

void OpenSoundFile(CSoundFile& file, const std::string& path, std::optional<SoundChannel> channel) {
    if (!file.OpenForReading(path, channel.value_or(SoundChannel::Left))) {
        const std::string why = file.LastError();
        throw UsageError("cannot open the sound file " + path + (why.empty() ? "" : ": " + why));
    }
    const uint32_t rate = file.SampleRate();
    if (rate < kMinRate || rate > kMaxRate) {
        // A raw file's rate is its first four bytes: far out of range, they say it is no sound file at all.
        if (!file.IsWav())
            throw UsageError(path + " is not a sound file (its rate would be " + std::to_string(rate) + " Hz)");
        throw UsageError(path + " is sampled at " + std::to_string(rate) + " Hz, which no board takes (" +
                         std::to_string(kMinRate) + ".." + std::to_string(kMaxRate) + " Hz)");
    }
    if (channel == SoundChannel::Right && file.Channels() < 2)
        throw UsageError(path + " has one channel: --channel right needs a stereo file");
}
