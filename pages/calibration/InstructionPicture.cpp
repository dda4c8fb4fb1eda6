// The instruction picture: the instruction lines laid out in a fixed 648 x 173 area with a fitted font.
#include "InstructionPicture.h"

#include "CalibrationTexts.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

QFont FitInstructionFont(const QFont& base, const QSize& area, const QStringList& lines) {
    QFont font = base;
    const int count = std::max<int>(1, static_cast<int>(lines.size()));
    // Start from the size that fills the height and shrink until the widest line fits as well.
    for (int pixels = std::max(6, area.height() / count); pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest <= area.width() && metrics.lineSpacing() * count <= area.height())
            return font;
    }
    font.setPixelSize(6);
    return font;
}

CInstructionPicture::CInstructionPicture(QWidget* parent) : QWidget(parent), m_lines(InstructionPictureLines()) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CInstructionPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    const QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QFont font = FitInstructionFont(this->font(), area.size(), m_lines);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    // Spread the lines over the whole height, as a printed instruction card would be.
    const int count = static_cast<int>(m_lines.size());
    const int pitch = count > 0 ? std::max(metrics.lineSpacing(), area.height() / count) : 0;
    int y = area.top() + (area.height() - pitch * count) / 2 + (pitch - metrics.height()) / 2 + metrics.ascent();
    for (const QString& line : m_lines) {
        painter.drawText(area.left(), y, line);
        y += pitch;
    }
}
