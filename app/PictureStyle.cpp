// The style's pictures: Fusion's group box frame and tool bar extension arrows, read as PNG.
//
// Left to itself, the style reads them through an image reader that guesses the format and so loads
// every image format plugin, an SVG library and a JPEG library before the first window is painted.
#include "PictureStyle.h"

#include "PngIcon.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPainter>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

const QString kPictures = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");

// Fusion's gap between a group box's top edge (or its title) and its frame.
constexpr int kGroupBoxTopMargin = 3;

QIcon StylePictures(const char* prefix, std::initializer_list<int> sizes) {
    QList<QString> files;
    for (int size : sizes)
        files.append(kPictures + QString::fromLatin1(prefix) + QString::number(size) + QStringLiteral(".png"));
    return PngIcon(files);
}

} // namespace

CPictureStyle::CPictureStyle(QStyle* base) : QProxyStyle(base) {
    m_fusion = baseStyle()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) == 0;
}

void CPictureStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const {
    if (!m_fusion || element != PE_FrameGroupBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (m_frame.isNull())
        m_frame = ReadPng(kPictures + QStringLiteral("fusion_groupbox.png"));
    // A box with neither title nor check box starts its frame at the top; otherwise below the title line.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const int top =
        box && !box->isCheckable() && box->title().isEmpty()
            ? kGroupBoxTopMargin
            : qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height()) + kGroupBoxTopMargin;
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), m_frame);
}

QIcon CPictureStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
    if (m_fusion) {
        const bool rtl = (option ? option->direction : QGuiApplication::layoutDirection()) == Qt::RightToLeft;
        if (icon == SP_ToolBarHorizontalExtensionButton)
            return rtl ? StylePictures("toolbar-ext-h-rtl-", {8, 16, 32})
                       : StylePictures("toolbar-ext-h-", {8, 16, 32});
        if (icon == SP_ToolBarVerticalExtensionButton)
            return StylePictures("toolbar-ext-v-", {5, 10, 20});
    }
    return QProxyStyle::standardIcon(icon, option, widget);
}
