// The program's style: the platform's own, with the pictures the Fusion style reads from files read as
// PNG, so that drawing the first window loads no image format plugin.
#pragma once

#include <QPixmap>
#include <QProxyStyle>

// Takes over `base` (the application's style when null). Only where the base is Fusion does it draw
// anything itself: the group box frame and the tool bar extension arrows, from the same pictures.
class CPictureStyle final : public QProxyStyle {
public:
    explicit CPictureStyle(QStyle* base = nullptr);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

private:
    bool m_fusion = false;
    mutable QPixmap m_frame; // read when first drawn
};
