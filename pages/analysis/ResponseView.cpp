// Gathering and drawing the response curve over its mask.
#include "ResponseView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCurveLowHz = 100.0;
constexpr double kCurveHighHz = 24000.0;
constexpr double kCurveTopDb = -5.0; // gain drawn up, loss down
constexpr double kCurveBottomDb = 25.0;

QRectF CurveArea(const QWidget& widget) { return QRectF(widget.rect()).adjusted(40, 8, -8, -20); }

// Frequency on a logarithmic axis, loss downwards.
double XOf(const QRectF& area, double hz) {
    const double t =
        std::log(std::clamp(hz, kCurveLowHz, kCurveHighHz) / kCurveLowHz) / std::log(kCurveHighHz / kCurveLowHz);
    return area.left() + t * area.width();
}
double YOf(const QRectF& area, double db) {
    return area.top() +
           (std::clamp(db, kCurveTopDb, kCurveBottomDb) - kCurveTopDb) / (kCurveBottomDb - kCurveTopDb) * area.height();
}

} // namespace

CResponseView::CResponseView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 140);
    // Every pixel is painted from the background picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetMask(RecommendedMasks().front());
}

void CResponseView::AddReading(double hz, double levelDb) {
    if (!(hz > 0.0) || !std::isfinite(levelDb))
        return;
    const long key = std::lround(hz);
    // Measured against the level last drawn, so a slow drift is drawn once it adds up.
    int replaced = 0;
    double drawn = levelDb;
    for (long k = key - 1; k <= key + 1; ++k) {
        if (const auto held = m_levels.find(k); held != m_levels.end()) {
            ++replaced;
            drawn = held->second.drawn;
            m_levels.erase(held);
        }
    }
    m_levels[key] = {levelDb, drawn};
    if (replaced != 1 || std::abs(drawn - levelDb) >= kRedrawDb)
        Changed();
}

void CResponseView::Clear() {
    m_levels.clear();
    Changed();
}

void CResponseView::SetMask(const ChannelMask& mask) {
    m_mask = mask;
    m_backgroundStale = true;
    Changed();
}

std::optional<std::vector<CurvePoint>> CResponseView::Curve() const {
    std::vector<ReceivedLevel> levels;
    for (const auto& [hz, reading] : m_levels)
        levels.push_back({static_cast<double>(hz), reading.level});
    return RelativeLoss(levels, 1020.0);
}

QString CResponseView::Summary() const {
    const auto curve = Curve();
    if (!curve)
        return QStringLiteral("Response: %1 tones, no 1020 Hz reference yet").arg(m_levels.size());
    const auto [least, most] = std::minmax_element(curve->begin(), curve->end(),
                                                   [](const CurvePoint& a, const CurvePoint& b) { return a.y < b.y; });
    const CheckedCurve checked = CheckCurve(m_mask, *curve);
    const auto outside = std::count_if(checked.points.begin(), checked.points.end(),
                                       [](const CheckedPoint& p) { return p.verdict == MaskVerdict::Outside; });
    return QStringLiteral("Response: %1 points, %2 to %3 dB loss, %4 outside the mask")
        .arg(curve->size())
        .arg(least->y, 0, 'f', 1)
        .arg(most->y, 0, 'f', 1)
        .arg(outside);
}

void CResponseView::Changed() {
    for (auto& [hz, reading] : m_levels)
        reading.drawn = reading.level;
    setAccessibleName(Summary());
    update();
}

void CResponseView::MakeBackground() {
    const qreal ratio = devicePixelRatioF();
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    m_background.fill(palette().color(QPalette::Window));
    m_backgroundStale = false;
    QPainter painter(&m_background);
    const QRectF area = CurveArea(*this);
    painter.fillRect(area, QColor(16, 20, 24));
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(area);
    painter.setPen(QColor(70, 70, 70));
    painter.drawLine(QPointF(area.left(), YOf(area, 0.0)), QPointF(area.right(), YOf(area, 0.0)));
    for (const double hz : {300.0, 1000.0, 3400.0, 10000.0}) {
        painter.drawLine(QPointF(XOf(area, hz), area.top()), QPointF(XOf(area, hz), area.bottom()));
        painter.drawText(QPointF(XOf(area, hz) - 12, area.bottom() + 14), QString::number(hz, 'f', 0));
    }
    painter.drawText(QPointF(2, YOf(area, 0.0) + 4), QStringLiteral("0 dB"));
    painter.drawText(QPointF(2, YOf(area, 20.0) + 4), QStringLiteral("20"));
    // The mask's limits: each segment's low and high as a line over its range.
    painter.setPen(QPen(QColor(220, 80, 60), 1.5));
    for (const MaskSegment& s : m_mask.segments)
        for (const auto& limit : {s.low, s.high})
            if (limit)
                painter.drawLine(QPointF(XOf(area, s.from), YOf(area, *limit)),
                                 QPointF(XOf(area, s.to), YOf(area, *limit)));
}

void CResponseView::paintEvent(QPaintEvent*) {
    if (m_backgroundStale || m_background.deviceIndependentSize().toSize() != size() ||
        m_background.devicePixelRatio() != devicePixelRatioF())
        MakeBackground();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    const QRectF area = CurveArea(*this);
    const auto curve = Curve();
    if (!curve)
        return;
    QPainterPath path;
    for (const CurvePoint& p : *curve) {
        const QPointF at(XOf(area, p.x), YOf(area, p.y));
        if (path.elementCount() == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    painter.setPen(QPen(QColor(90, 200, 120), 1.5));
    painter.drawPath(path);
    for (const CheckedPoint& p : CheckCurve(m_mask, *curve).points) {
        painter.setBrush(p.verdict == MaskVerdict::Outside ? QColor(220, 80, 60) : QColor(90, 200, 120));
        painter.drawEllipse(QPointF(XOf(area, p.point.x), YOf(area, p.point.y)), 3, 3);
    }
}
