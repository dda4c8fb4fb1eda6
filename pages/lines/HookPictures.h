// The three hook state pictures (35 x 44, drawn here) and the order in which a state word layers them.
#pragma once

#include <QImage>

#include <array>
#include <cstddef>
#include <cstdint>

enum class HookPicture { OnHook, OffHook, Ringing };

inline constexpr int kHookPictureWidth = 35;
inline constexpr int kHookPictureHeight = 44;

// The pictures a state word calls for, in drawing order: on-hook (bit 1), off-hook (bit 0), ringing
// (bit 2); each later one is drawn over the earlier ones.
struct HookLayers {
    std::array<HookPicture, 3> pictures{};
    size_t count = 0;
};
HookLayers LayersFor(uint16_t state);

// The picture as drawn, opaque, on its background colour (cyan, the top-left pixel). With a scale of 2 it
// has twice the pixels and a device pixel ratio of 2: the same 35 x 44 picture, sharp on a high-density
// screen.
QImage DrawHookPicture(HookPicture which, int scale = 1);
// A copy in which every pixel of the top-left pixel's colour is fully transparent and all others opaque.
QImage WithTransparentColour(const QImage& picture);
// The picture ready to draw over a background, at scale 1 or 2; made once per scale.
const QImage& HookImage(HookPicture which, int scale = 1);
