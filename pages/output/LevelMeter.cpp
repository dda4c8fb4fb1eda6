// CLevelMeter: paints the level as separate segments and repaints only the band a new position changes.
#include "LevelMeter.h"
#include "LevelMeterAccessible.h"

#include <QLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>

#include <algorithm>

CLevelMeter::CLevelMeter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("levelMeter"));
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    InstallLevelMeterAccessibility();
}

bool CLevelMeter::Attach(QProgressBar* bar) {
    if (bar == nullptr || bar->parentWidget() == nullptr)
        return false;
    QWidget* parent = bar->parentWidget();
    setParent(parent);
    m_vertical = bar->orientation() == Qt::Vertical;
    setSizePolicy(bar->sizePolicy());
    setMinimumSize(bar->minimumSize());
    setMaximumSize(bar->maximumSize());
    setGeometry(bar->geometry());
    if (parent->layout() != nullptr)
        delete parent->layout()->replaceWidget(bar, this);
    const bool shown = !bar->isHidden();
    bar->hide();
    setVisible(shown);
    return true;
}

int32_t CLevelMeter::SetMax(int32_t max) {
    if (max <= 0)
        return -1;
    m_pos = std::min(m_pos, max);
    m_max = max;
    repaint();
    NotifyLevelChanged(this);
    return max;
}

int CLevelMeter::BandOffset(int32_t position, int length) const {
    // 64-bit: the position has no lower limit, so max - position can exceed the 32-bit range.
    const int64_t along = m_vertical ? int64_t{m_max} - position : int64_t{position};
    return static_cast<int>(std::clamp<int64_t>(along * length / m_max, -(int64_t{1} << 24), int64_t{1} << 24));
}

int32_t CLevelMeter::SetPos(int32_t value) {
    const int32_t old = m_pos;
    m_pos = std::min(value, m_max);
    const int length = (m_vertical ? height() : width()) - 6;
    const int first = BandOffset(old, length);
    const int second = BandOffset(m_pos, length);
    const int a = std::min(first, second);
    const int b = std::max(first, second);
    const int from = a + 3 - m_gap - m_segmentSize;
    const int to = b + m_gap + m_segmentSize + 3;
    const QRect band = m_vertical ? QRect(0, from, width(), to - from) : QRect(from, 0, to - from, height());
    const QRect dirty = band.intersected(rect());
    if (!dirty.isEmpty())
        repaint(dirty);
    if (m_pos != old)
        NotifyLevelChanged(this);
    return m_pos;
}

void CLevelMeter::SetBkColor(const QColor& colour) { m_bkColour = colour; }

void CLevelMeter::SetVertical(bool vertical) {
    m_vertical = vertical;
    update();
}

QSize CLevelMeter::sizeHint() const { return m_vertical ? QSize(20, 120) : QSize(120, 20); }

void CLevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Window-style rectangle: right and bottom are the last pixel row and column inside the frame line.
    const int left = 0, top = 0, right = width() - 1, bottom = height() - 1;
    painter.fillRect(rect(), m_bkColour);
    // The frame is drawn with one-pixel rectangles rather than lines, so it stays crisp at any scale.
    painter.fillRect(QRect(left, bottom, right - left, 1), Qt::white);
    painter.fillRect(QRect(right, top + 1, 1, bottom - top), Qt::white);
    painter.fillRect(QRect(left + 1, top, right - left, 1), Qt::black);
    painter.fillRect(QRect(left, top, 1, bottom - top), Qt::black);

    const int64_t lowLimit = int64_t{m_max} * m_lowZone / 100;
    const int64_t midLimit = int64_t{m_max} * (m_lowZone + m_midZone) / 100;
    // A segment is lit and coloured by the same truncated value, so a level at a zone's end never
    // lights a segment of the next zone, whatever the control's size.
    auto colourAt = [&](int64_t x) {
        if (x <= lowLimit)
            return m_lowColour;
        if (x <= midLimit)
            return m_midColour;
        return m_highColour;
    };
    const int step = m_gap + m_segmentSize;

    if (m_vertical) {
        const int length = bottom - top - 6;
        if (length <= 0)
            return;
        const double scale = static_cast<double>(m_max) / length;
        const int limit = top + 3;
        if (bottom - 3 <= limit)
            return;
        int segTop = bottom - 3 - m_segmentSize, segBottom = bottom - 3;
        for (;;) {
            segTop = std::max(segTop, limit);
            const auto x = static_cast<int64_t>((bottom - segTop - 3) * scale);
            if (x > m_pos)
                break;
            painter.fillRect(QRect(left + 3, segTop, right - 3 - (left + 3), segBottom - segTop), colourAt(x));
            segTop -= step;
            segBottom -= step;
            if (limit >= segBottom)
                break;
        }
    } else {
        const int length = right - left - 6;
        if (length <= 0)
            return;
        const double scale = static_cast<double>(m_max) / length;
        const int limit = right - 3;
        if (left + 3 >= limit)
            return;
        int segLeft = left + 3, segRight = left + 3 + m_segmentSize;
        for (;;) {
            segRight = std::min(segRight, limit);
            const auto x = static_cast<int64_t>((segRight - left - 3) * scale);
            if (x > m_pos)
                break;
            painter.fillRect(QRect(segLeft, top + 3, segRight - segLeft, bottom - 3 - (top + 3)), colourAt(x));
            segLeft += step;
            segRight += step;
            if (segLeft >= limit)
                break;
        }
    }
}
