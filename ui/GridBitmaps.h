// Pictures the grid control draws: its own sort marks and information sign, and the colour-keyed
// transparency of pictures that cells name with "^b^".
#pragma once

#include <QImage>

namespace GridBitmaps {

constexpr int kSortUp = 115;      // blue triangle pointing up, 16 x 16
constexpr int kSortDown = 116;    // blue triangle pointing down, 16 x 16
constexpr int kInformation = 117; // information sign, 19 x 16

// The built-in picture with that number, or a null image. Drawn at twice the resolution (device pixel
// ratio 2) so it stays sharp on high-density screens.
QImage BuiltIn(int id);

// The picture with every pixel of its top-left pixel's colour made transparent.
QImage KeyedTransparent(const QImage& picture);

} // namespace GridBitmaps
