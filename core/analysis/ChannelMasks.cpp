// Mask limits, their check, and the mask file's parser.
#include "ChannelMasks.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr MaskKind kKinds[] = {MaskKind::LossFrequency, MaskKind::GainLevel, MaskKind::IdleNoise,
                               MaskKind::DistortionLevel};

bool KindNamed(std::string_view name, MaskKind& kind) {
    for (const MaskKind k : kKinds)
        if (MaskName(k) == name) {
            kind = k;
            return true;
        }
    return false;
}

// A number, or `-` for none; false for anything else.
bool Number(const std::string& text, std::optional<double>& value) {
    if (text == "-") {
        value.reset();
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

ChannelMask& MaskOf(std::vector<ChannelMask>& masks, MaskKind kind) {
    for (ChannelMask& m : masks)
        if (m.kind == kind)
            return m;
    masks.push_back({kind, "", {}});
    return masks.back();
}

} // namespace

std::string_view MaskName(MaskKind kind) {
    switch (kind) {
    case MaskKind::LossFrequency:
        return "loss-frequency";
    case MaskKind::GainLevel:
        return "gain-level";
    case MaskKind::IdleNoise:
        return "idle-noise";
    case MaskKind::DistortionLevel:
        return "distortion-level";
    }
    return "";
}

MaskLimits LimitsAt(const ChannelMask& mask, double x) {
    MaskLimits limits;
    for (const MaskSegment& s : mask.segments) {
        if (mask.kind != MaskKind::IdleNoise && (x < s.from || x > s.to))
            continue;
        limits.covered = true;
        if (s.low)
            limits.low = limits.low ? std::max(*limits.low, *s.low) : *s.low;
        if (s.high)
            limits.high = limits.high ? std::min(*limits.high, *s.high) : *s.high;
    }
    return limits;
}

MaskVerdict CheckMask(const ChannelMask& mask, double x, double y) {
    const MaskLimits limits = LimitsAt(mask, x);
    if (!limits.covered)
        return MaskVerdict::NotCovered;
    if ((limits.low && y < *limits.low) || (limits.high && y > *limits.high))
        return MaskVerdict::Outside;
    return MaskVerdict::Inside;
}

const std::vector<ChannelMask>& RecommendedMasks() {
    static const std::vector<ChannelMask> masks = {
        {MaskKind::LossFrequency, "ITU-T G.712 (11/2001) clause 7, attenuation/frequency distortion", {}},
        {MaskKind::GainLevel, "ITU-T G.712 (11/2001), variation of gain with input level", {}},
        {MaskKind::IdleNoise, "ITU-T G.712 (11/2001) clause 9.1, idle channel noise, weighted noise", {}},
        {MaskKind::DistortionLevel,
         "ITU-T G.712 (11/2001) clause 12, total distortion, including quantizing distortion",
         {}},
    };
    return masks;
}

MaskFile ParseMaskFile(std::string_view text) {
    MaskFile file;
    std::istringstream in{std::string(text)};
    std::string line;
    int number = 0;
    std::vector<MaskKind> named; // kinds given limits in this file
    while (std::getline(in, line)) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        if (w.empty())
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        MaskKind kind{};
        if (w[0] == "clause") {
            if (w.size() < 3 || !KindNamed(w[1], kind)) {
                file.errors.push_back(where + "a clause line is `clause KIND TEXT`");
                continue;
            }
            const auto start = line.find(w[2], line.find(w[1]) + w[1].size());
            std::string clause = line.substr(start);
            clause.erase(clause.find_last_not_of(" \t\r") + 1);
            MaskOf(file.masks, kind).clause = clause;
            continue;
        }
        if (!KindNamed(w[0], kind)) {
            file.errors.push_back(where + "\"" + w[0] +
                                  "\" is not a mask (loss-frequency, gain-level, idle-noise, distortion-level)");
            continue;
        }
        if (w.size() != 5) {
            file.errors.push_back(where + "a limit line is `KIND FROM TO LOW HIGH`");
            continue;
        }
        std::optional<double> from, to, low, high;
        if (!Number(w[1], from) || !Number(w[2], to) || !Number(w[3], low) || !Number(w[4], high)) {
            file.errors.push_back(where + "FROM, TO, LOW and HIGH are numbers or -");
            continue;
        }
        const bool noX = kind == MaskKind::IdleNoise;
        if (noX != (!from && !to) || (!noX && (!from || !to))) {
            file.errors.push_back(where +
                                  (noX ? "idle-noise has no FROM and TO: give - -" : "FROM and TO are numbers"));
            continue;
        }
        if (!noX && *from > *to) {
            file.errors.push_back(where + "FROM is above TO");
            continue;
        }
        if (!low && !high) {
            file.errors.push_back(where + "no limit: give LOW, HIGH or both");
            continue;
        }
        if (low && high && *low > *high) {
            file.errors.push_back(where + "LOW is above HIGH");
            continue;
        }
        MaskOf(file.masks, kind).segments.push_back({from.value_or(0.0), to.value_or(0.0), low, high});
    }
    for (const ChannelMask& m : file.masks)
        if (m.segments.empty())
            file.errors.push_back("the file names the clause of " + std::string(MaskName(m.kind)) +
                                  " but gives no limit");
    return file;
}

MaskFile LoadMaskFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        MaskFile file;
        file.errors.push_back("cannot read the mask file " + path);
        return file;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        MaskFile file;
        file.errors.push_back("cannot read the mask file " + path);
        return file;
    }
    MaskFile file = ParseMaskFile(text);
    for (std::string& e : file.errors)
        e = path + ": " + e;
    return file;
}

std::vector<ChannelMask> OverrideMasks(std::vector<ChannelMask> base, const std::vector<ChannelMask>& overrides) {
    for (const ChannelMask& o : overrides) {
        ChannelMask& target = MaskOf(base, o.kind);
        target.segments = o.segments;
        target.clause = o.clause.empty() ? "mask file" : o.clause;
    }
    return base;
}
