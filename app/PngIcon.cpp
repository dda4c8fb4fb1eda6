// An icon engine that reads its PNG pictures on first use.
#include "PngIcon.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <memory>
#include <vector>

QPixmap ReadPng(const QString& file) {
    QImageReader reader(file, QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

namespace {

struct Picture {
    QString file;
    QSize size;          // as the file's header gives it
    QPixmap pixmap = {}; // once read
};

class CPngIconEngine final : public QIconEngine {
public:
    explicit CPngIconEngine(std::shared_ptr<std::vector<Picture>> pictures) : m_pictures(std::move(pictures)) {}

    QIconEngine* clone() const override { return new CPngIconEngine(m_pictures); }
    bool isNull() override { return m_pictures->empty(); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const Picture& picture : *m_pictures)
            sizes.append(picture.size);
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const Picture* picture = Suiting(size);
        return picture ? picture->size.scaled(size.boundedTo(picture->size), Qt::KeepAspectRatio) : QSize();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        Picture* picture = Suiting(size);
        if (!picture)
            return {};
        if (picture->pixmap.isNull())
            picture->pixmap = ReadPng(picture->file);
        QPixmap result = picture->pixmap;
        if (!result.isNull() && (result.width() > size.width() || result.height() > size.height()))
            result = result.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode != QIcon::Normal && !result.isNull()) {
            QStyleOption option;
            option.palette = QApplication::palette();
            result = QApplication::style()->generatedIconPixmap(mode, result, &option);
        }
        return result;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        const QSize shown = picture.size() / ratio;
        painter->drawPixmap(
            QRect(rect.topLeft() + QPoint((rect.width() - shown.width()) / 2, (rect.height() - shown.height()) / 2),
                  shown),
            picture);
    }

private:
    // The smallest picture of at least the size's area, else the largest (as Qt's own icons choose).
    Picture* Suiting(const QSize& size) {
        auto area = [](const QSize& s) { return qint64(s.width()) * s.height(); };
        Picture* enough = nullptr;
        Picture* largest = nullptr;
        for (Picture& picture : *m_pictures) {
            if (area(picture.size) >= area(size) && (!enough || area(picture.size) < area(enough->size)))
                enough = &picture;
            if (!largest || area(picture.size) > area(largest->size))
                largest = &picture;
        }
        return enough ? enough : largest;
    }

    // Shared by the copies Qt makes, so a picture is read once.
    std::shared_ptr<std::vector<Picture>> m_pictures;
};

} // namespace

QIcon PngIcon(const QList<QString>& files) {
    auto pictures = std::make_shared<std::vector<Picture>>();
    for (const QString& file : files) {
        // The header alone gives the size; the pixels are read when first drawn.
        QImageReader reader(file, QByteArrayLiteral("png"));
        reader.setAutoDetectImageFormat(false);
        const QSize size = reader.size();
        if (size.isValid())
            pictures->push_back(Picture{file, size});
    }
    return QIcon(new CPngIconEngine(std::move(pictures)));
}
