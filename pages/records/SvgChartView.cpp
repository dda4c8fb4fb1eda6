// Drawing a chart's SVG into the widget, centred, at the largest size that keeps its proportions.
#include "SvgChartView.h"

#include <QPainter>
#include <QSvgRenderer>

CSvgChartView::CSvgChartView(QWidget* parent) : QWidget(parent), m_renderer(new QSvgRenderer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 100);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

bool CSvgChartView::SetSvg(const QByteArray& svg) {
    const bool ok = m_renderer->load(svg);
    if (!ok)
        m_renderer->load(QByteArray());
    update();
    return ok;
}

void CSvgChartView::Clear() {
    m_renderer->load(QByteArray());
    update();
}

bool CSvgChartView::HasChart() const { return m_renderer->isValid(); }

QSize CSvgChartView::sizeHint() const { return {380, 150}; }

void CSvgChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (m_renderer->isValid()) {
        QSizeF size = m_renderer->defaultSize();
        if (size.isEmpty())
            size = QSizeF(width(), height());
        size.scale(QSizeF(rect().size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        m_renderer->render(&painter, target);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight(), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}
