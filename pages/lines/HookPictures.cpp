// Drawing of the hook state pictures. Shapes are drawn without anti-aliasing so that no edge pixel
// comes out as a blend of the background colour, which would leave a fringe once that colour is cut out.
#include "HookPictures.h"

#include <QPainter>
#include <QPolygon>

namespace {

const QColor kBackground(0, 255, 255);
const QColor kBody(40, 40, 48);
const QColor kHandset(16, 16, 20);
const QColor kDial(230, 230, 230);
const QColor kBell(220, 170, 0);
const QColor kBellEdge(120, 80, 0);

// The telephone's body with its dial; the cradle's two forks stand up at its top.
void DrawBody(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBody);
    p.drawPolygon(QPolygon({QPoint(5, 43), QPoint(29, 43), QPoint(26, 26), QPoint(8, 26)}));
    p.drawRect(8, 22, 4, 5);  // left fork
    p.drawRect(23, 22, 4, 5); // right fork
    p.setBrush(kDial);
    p.drawEllipse(QPoint(17, 35), 5, 5);
    p.setBrush(kBody);
    p.drawEllipse(QPoint(17, 35), 2, 2);
}

// The handset as a bar with an ear piece and a mouth piece, its top edge at y.
void DrawHandset(QPainter& p, int y) {
    p.setPen(Qt::NoPen);
    p.setBrush(kHandset);
    p.drawRect(4, y, 27, 4);
    p.drawRect(2, y + 2, 8, 5);
    p.drawRect(25, y + 2, 8, 5);
}

void DrawBell(QPainter& p) {
    p.setPen(kBellEdge);
    p.setBrush(kBell);
    p.drawPolygon(QPolygon({QPoint(12, 11), QPoint(23, 11), QPoint(21, 3), QPoint(14, 3)}));
    p.drawEllipse(QPoint(17, 12), 2, 2); // clapper
    // Sound strokes either side of the bell.
    p.drawLine(8, 4, 10, 6);
    p.drawLine(7, 9, 10, 9);
    p.drawLine(27, 4, 25, 6);
    p.drawLine(28, 9, 25, 9);
}

} // namespace

HookLayers LayersFor(uint16_t state) {
    HookLayers layers;
    if (state & 2)
        layers.pictures[layers.count++] = HookPicture::OnHook;
    if (state & 1)
        layers.pictures[layers.count++] = HookPicture::OffHook;
    if (state & 4)
        layers.pictures[layers.count++] = HookPicture::Ringing;
    return layers;
}

QImage DrawHookPicture(HookPicture which, int scale) {
    QImage image(kHookPictureWidth * scale, kHookPictureHeight * scale, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Whole-number scaling of whole-pixel shapes keeps every edge on a pixel boundary.
    p.scale(scale, scale);
    DrawBody(p);
    switch (which) {
    case HookPicture::OnHook:
        DrawHandset(p, 17);
        break;
    case HookPicture::OffHook:
        DrawHandset(p, 1); // lifted clear of the forks
        p.setPen(kHandset);
        p.drawLine(4, 8, 6, 26); // the cord
        break;
    case HookPicture::Ringing:
        DrawHandset(p, 17);
        DrawBell(p);
        break;
    }
    p.end();
    image.setDevicePixelRatio(scale);
    return image;
}

QImage WithTransparentColour(const QImage& picture) {
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    if (result.isNull())
        return result;
    const QRgb transparent = result.pixel(0, 0) | 0xFF000000u;
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            const QRgb opaque = result.pixel(x, y) | 0xFF000000u;
            result.setPixel(x, y, opaque == transparent ? 0u : opaque);
        }
    }
    result.setDevicePixelRatio(picture.devicePixelRatio());
    return result;
}

const QImage& HookImage(HookPicture which, int scale) {
    auto make = [](int s) {
        return std::array<QImage, 3>{WithTransparentColour(DrawHookPicture(HookPicture::OnHook, s)),
                                     WithTransparentColour(DrawHookPicture(HookPicture::OffHook, s)),
                                     WithTransparentColour(DrawHookPicture(HookPicture::Ringing, s))};
    };
    static const std::array<QImage, 3> normal = make(1);
    static const std::array<QImage, 3> dense = make(2);
    return (scale > 1 ? dense : normal)[static_cast<size_t>(which)];
}
