// The masks a telephone channel's measurements are held to: limits over ranges of frequency or level,
// named by the recommendation's clause they come from, or read from a user's mask file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class MaskKind {
    LossFrequency,   // x: Hz; y: loss in dB relative to the loss at 1020 Hz (more loss is positive)
    GainLevel,       // x: input level in dBm0; y: gain in dB relative to the gain at -10 dBm0
    IdleNoise,       // no x; y: psophometrically weighted idle channel noise in dBm0p
    DistortionLevel, // x: level in dBm0 of a 1020 Hz tone; y: signal to total distortion in dB
};

// Limits on y over from <= x <= to (both inclusive); either limit may be absent.
struct MaskSegment {
    double from = 0.0;
    double to = 0.0;
    std::optional<double> low;
    std::optional<double> high;
};

struct ChannelMask {
    MaskKind kind = MaskKind::LossFrequency;
    std::string clause; // where the limits come from
    std::vector<MaskSegment> segments;
};

// The file's name for each kind: "loss-frequency", "gain-level", "idle-noise", "distortion-level".
std::string_view MaskName(MaskKind kind);

// The limits that hold at x: every segment that holds x applies (at an edge two segments share, both),
// the highest low and the lowest high. Nothing covered when no segment holds x.
struct MaskLimits {
    bool covered = false;
    std::optional<double> low;
    std::optional<double> high;
};
MaskLimits LimitsAt(const ChannelMask& mask, double x);

enum class MaskVerdict { Inside, Outside, NotCovered };
// y on a limit is inside.
MaskVerdict CheckMask(const ChannelMask& mask, double x, double y);

// The recommendations' masks, one per kind, each with its clause (ITU-T G.712). Their limit values are
// not held here: the recommendation's tables were not at hand when this was written, and limits made up
// would pass or fail channels wrongly; until they are entered, a mask file gives them.
const std::vector<ChannelMask>& RecommendedMasks();

// A mask file: one limit per line, `KIND FROM TO LOW HIGH`, where KIND is one of the names above, FROM
// and TO bound x (both `-` for idle-noise, which has no x) and LOW and HIGH bound y, `-` for no limit.
// A line may name its source with `clause KIND TEXT...`. `#` starts a comment; blank lines are skipped.
//   # loss against frequency, relative to 1020 Hz
//   loss-frequency 300 3000 -0.5 0.5
//   idle-noise - - - -65
//   clause idle-noise Our line card's data sheet, table 4
// Each kind the file names replaces that kind's mask whole.
struct MaskFile {
    std::vector<ChannelMask> masks;
    std::vector<std::string> errors; // "line N: what is wrong"; the masks are not to be used when any
};
MaskFile ParseMaskFile(std::string_view text);
// Reads and parses the file at `path`; an unreadable file is one error naming it.
MaskFile LoadMaskFile(const std::string& path);
// `base` with each kind that `overrides` holds replaced.
std::vector<ChannelMask> OverrideMasks(std::vector<ChannelMask> base, const std::vector<ChannelMask>& overrides);
