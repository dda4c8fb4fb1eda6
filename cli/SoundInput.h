// The sound file a command reads (analyse, play --file): the channel --channel chooses, and a file that is
// no sound file, or one at a rate no board takes, refused with a message naming it.
#pragma once

#include "SoundFile.h"

#include <optional>
#include <string>

class CliArgs;

// --channel left|right; nothing when not given (the left, or only, channel is read).
std::optional<SoundChannel> ChannelOption(const CliArgs& args);

// Opens `path` into `file`: a usage error naming the file when it cannot be opened or read as a sound
// file, when its rate is outside kMinRate..kMaxRate, or when --channel right asks a mono file for a
// second channel.
void OpenSoundFile(CSoundFile& file, const std::string& path, std::optional<SoundChannel> channel);
