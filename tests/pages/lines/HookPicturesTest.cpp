// The hook pictures: which pictures a state word layers, and the cut-out of their background colour.
#include "HookPictures.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

std::vector<HookPicture> Layers(uint16_t state) {
    const HookLayers layers = LayersFor(state);
    return {layers.pictures.begin(), layers.pictures.begin() + static_cast<std::ptrdiff_t>(layers.count)};
}

} // namespace

TEST(HookPictures, StateBitsLayerOnHookThenOffHookThenRinging) {
    using P = HookPicture;
    EXPECT_EQ(Layers(0), std::vector<P>{});
    EXPECT_EQ(Layers(1), std::vector<P>{P::OffHook});
    EXPECT_EQ(Layers(2), std::vector<P>{P::OnHook});
    EXPECT_EQ(Layers(4), std::vector<P>{P::Ringing});
    EXPECT_EQ(Layers(6), (std::vector<P>{P::OnHook, P::Ringing}));
    EXPECT_EQ(Layers(0xFFFF), (std::vector<P>{P::OnHook, P::OffHook, P::Ringing}));
}

TEST(HookPictures, PicturesAreDistinctOnACyanBackground) {
    for (HookPicture which : {HookPicture::OnHook, HookPicture::OffHook, HookPicture::Ringing}) {
        const QImage image = DrawHookPicture(which);
        EXPECT_EQ(image.size(), QSize(35, 44));
        EXPECT_EQ(image.pixel(0, 0), qRgb(0, 255, 255));
    }
    EXPECT_NE(DrawHookPicture(HookPicture::OnHook), DrawHookPicture(HookPicture::OffHook));
    EXPECT_NE(DrawHookPicture(HookPicture::OnHook), DrawHookPicture(HookPicture::Ringing));
}

TEST(HookPictures, OnlyTheTopLeftColourBecomesTransparent) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    picture.setPixel(1, 0, qRgb(0, 255, 255));
    picture.setPixel(2, 1, qRgb(10, 20, 31));
    const QImage cut = WithTransparentColour(picture);
    EXPECT_EQ(qAlpha(cut.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(cut.pixel(2, 0)), 0);
    EXPECT_EQ(cut.pixel(1, 0), qRgb(0, 255, 255)); // opaque
    EXPECT_EQ(cut.pixel(2, 1), qRgb(10, 20, 31));

    // Drawn over a background, the cut-out leaves it showing where the picture had its cyan.
    QImage canvas(35, 44, QImage::Format_ARGB32);
    canvas.fill(qRgb(200, 0, 0));
    {
        QPainter painter(&canvas);
        painter.drawImage(0, 0, HookImage(HookPicture::OnHook));
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(200, 0, 0));
    EXPECT_EQ(canvas.pixel(17, 40), DrawHookPicture(HookPicture::OnHook).pixel(17, 40));
}

TEST(HookPictures, TheDoubleSizePictureIsTheSamePictureWithEveryPixelDoubled) {
    for (HookPicture which : {HookPicture::OnHook, HookPicture::OffHook, HookPicture::Ringing}) {
        const QImage normal = DrawHookPicture(which);
        const QImage dense = HookImage(which, 2);
        ASSERT_EQ(dense.size(), QSize(70, 88));
        EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(35, 44));
        // Edges may land a device pixel apart; every picture pixel must show in one of its four.
        auto matches = [&](QRgb cut, QRgb want) {
            return qAlpha(cut) == 0 ? want == normal.pixel(0, 0) : (cut | 0xFF000000u) == want;
        };
        int same = 0;
        for (int y = 0; y < normal.height(); ++y)
            for (int x = 0; x < normal.width(); ++x) {
                const QRgb want = normal.pixel(x, y);
                same += matches(dense.pixel(2 * x, 2 * y), want) || matches(dense.pixel(2 * x + 1, 2 * y), want) ||
                                matches(dense.pixel(2 * x, 2 * y + 1), want) ||
                                matches(dense.pixel(2 * x + 1, 2 * y + 1), want)
                            ? 1
                            : 0;
            }
        EXPECT_GT(same, normal.width() * normal.height() * 97 / 100) << static_cast<int>(which);
    }
}
