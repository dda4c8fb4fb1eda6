// Draws the grid's built-in pictures and applies top-left colour keying to pictures handed to the grid.
#include "GridBitmaps.h"

#include <QPainter>
#include <QPainterPath>

namespace GridBitmaps {
namespace {

constexpr qreal kScale = 2.0;

QImage Canvas(int width, int height) {
    QImage image(static_cast<int>(width * kScale), static_cast<int>(height * kScale),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(Qt::transparent);
    return image;
}

QImage Triangle(bool up) {
    QImage image = Canvas(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (up) {
        path.moveTo(8, 3);
        path.lineTo(13, 12);
        path.lineTo(3, 12);
    } else {
        path.moveTo(3, 4);
        path.lineTo(13, 4);
        path.lineTo(8, 13);
    }
    path.closeSubpath();
    painter.fillPath(path, QColor(0, 0, 255));
    return image;
}

QImage Information() {
    QImage image = Canvas(19, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 64, 200));
    painter.drawEllipse(QRectF(2, 0.5, 15, 15));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(8.5, 3, 2, 2));
    painter.drawRect(QRectF(8.5, 6.5, 2, 6));
    return image;
}

} // namespace

QImage BuiltIn(int id) {
    switch (id) {
    case kSortUp:
        return Triangle(true);
    case kSortDown:
        return Triangle(false);
    case kInformation:
        return Information();
    default:
        return {};
    }
}

QImage KeyedTransparent(const QImage& picture) {
    if (picture.isNull())
        return picture;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

} // namespace GridBitmaps
