// Drawing the analyser's waveform and spectrum: the static parts (frame, grid, labels) kept as a picture
// made again only when the size or the scale changes, the signal as a one-pixel line with at most two
// points per pixel column (smoothed only where it joins samples further apart than a column).
#include "AnalyserPlots.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kLowHz = 20.0;
constexpr double kTopDb = 0.0;
constexpr double kBottomDb = -160.0;

QRectF PlotArea(const QWidget& widget) { return QRectF(widget.rect()).adjusted(40, 8, -8, -20); }

void DrawFrame(QPainter& painter, const QRectF& area) {
    painter.fillRect(area, QColor(16, 20, 24));
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(area);
}

// A picture the size of the widget, at the screen's pixel density, filled with its window colour.
QPixmap BlankPicture(const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatioF();
    QPixmap picture(widget.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(widget.palette().color(QPalette::Window));
    return picture;
}

bool Stale(const QPixmap& picture, const QWidget& widget) {
    return picture.isNull() || picture.deviceIndependentSize().toSize() != widget.size() ||
           picture.devicePixelRatio() != widget.devicePixelRatioF();
}

// A cosmetic one-pixel pen: drawn by the painter's fast line path, where a wider pen goes through the
// general stroker and costs many times more on a dense signal.
QPen LinePen(const QColor& color) {
    QPen pen(color, 1.0);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

CWaveformView::CWaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 140);
    // Every pixel is painted from the background picture: nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_shown.reserve(4096);
}

void CWaveformView::SetSamples(std::span<const int16_t> samples, uint32_t rate) {
    const size_t span = std::min<size_t>(samples.size() / 2, std::max<uint32_t>(rate / 100, 16));
    size_t start = 0;
    for (size_t i = 1; i + span <= samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            start = i;
            break;
        }
    }
    const auto from = samples.subspan(start, std::min(span, samples.size() - start));
    m_shown.assign(from.begin(), from.end());
    update();
}

void CWaveformView::MakeBackground(double full) {
    m_background = BlankPicture(*this);
    m_backgroundFull = full;
    QPainter painter(&m_background);
    const QRectF area = PlotArea(*this);
    DrawFrame(painter, area);
    painter.setPen(QColor(70, 70, 70));
    painter.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
    const QString top = QString::number(std::lround(20 * std::log10(full / 32768.0)));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(0, area.top() - 6, 36, 14), Qt::AlignRight, top);
    painter.drawText(QRectF(0, area.center().y() - 7, 36, 14), Qt::AlignRight, QStringLiteral("dBFS"));
    painter.drawText(QRectF(0, area.bottom() - 8, 36, 14), Qt::AlignRight, top);
}

void CWaveformView::paintEvent(QPaintEvent*) {
    // The vertical scale follows the signal in steps of 6 dB, so a quiet tone still shows its shape; the
    // labels give the top of the scale in dBFS.
    int peak = 0;
    for (int16_t sample : m_shown)
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    double full = 32768.0;
    while (full > 64.0 && peak <= full / 2)
        full /= 2;
    if (Stale(m_background, *this) || full != m_backgroundFull)
        MakeBackground(full);
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    if (m_shown.size() < 2)
        return;
    const QRectF area = PlotArea(*this);
    QPainterPath path;
    const auto yOf = [&](int sample) { return area.center().y() - sample / full * area.height() / 2; };
    const auto columns = static_cast<size_t>(std::max(1.0, std::floor(area.width())));
    const bool sparse = m_shown.size() <= 2 * columns;
    if (sparse) {
        const double step = area.width() / static_cast<double>(m_shown.size() - 1);
        for (size_t i = 0; i < m_shown.size(); ++i) {
            const QPointF point(area.left() + step * static_cast<double>(i), yOf(m_shown[i]));
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
    } else {
        // More samples than the pixels can show: each pixel column draws the span its samples cover,
        // from their lowest to their highest, so the path holds two points a column however many
        // samples there are.
        size_t i = 0;
        for (size_t column = 0; column < columns; ++column) {
            const size_t end = (column + 1) * m_shown.size() / columns;
            int low = m_shown[i];
            int high = m_shown[i];
            for (; i < end; ++i) {
                low = std::min<int>(low, m_shown[i]);
                high = std::max<int>(high, m_shown[i]);
            }
            const double x = area.left() + static_cast<double>(column) + 0.5;
            if (column == 0)
                path.moveTo(x, yOf(high));
            else
                path.lineTo(x, yOf(high));
            path.lineTo(x, yOf(low));
        }
    }
    // Slanted lines between samples are smoothed; a span per pixel column is a vertical line, which
    // smoothing would not change but make several times dearer.
    painter.setRenderHint(QPainter::Antialiasing, sparse);
    painter.setPen(LinePen(QColor(80, 220, 120)));
    painter.drawPath(path);
}

CSpectrumView::CSpectrumView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_db.reserve(4097);
}

void CSpectrumView::SetSpectrum(std::span<const double> spectrumDb, uint32_t rate) {
    m_db.assign(spectrumDb.begin(), spectrumDb.end());
    m_rate = rate;
    update();
}

void CSpectrumView::MakeBackground() {
    m_background = BlankPicture(*this);
    m_backgroundRate = m_rate;
    m_binColumn.clear(); // the columns follow the size and the rate as well
    QPainter painter(&m_background);
    const QRectF area = PlotArea(*this);
    DrawFrame(painter, area);
    const double highHz = m_rate > 0 ? m_rate / 2.0 : 24000.0;
    const double span = std::log10(highHz / kLowHz);
    auto xOf = [&](double hz) { return area.left() + std::log10(hz / kLowHz) / span * area.width(); };
    auto yOf = [&](double db) { return area.top() + (kTopDb - db) / (kTopDb - kBottomDb) * area.height(); };
    const QColor grid(60, 60, 60);
    const QColor text = palette().color(QPalette::WindowText);
    for (double db = kTopDb; db >= kBottomDb; db -= 20) {
        painter.setPen(grid);
        painter.drawLine(QPointF(area.left(), yOf(db)), QPointF(area.right(), yOf(db)));
        painter.setPen(text);
        painter.drawText(QRectF(0, yOf(db) - 7, 36, 14), Qt::AlignRight, QString::number(db));
    }
    for (const auto& [hz, label] : {std::pair{100.0, "100"}, std::pair{1000.0, "1k"}, std::pair{10000.0, "10k"}}) {
        if (hz >= highHz)
            continue;
        painter.setPen(grid);
        painter.drawLine(QPointF(xOf(hz), area.top()), QPointF(xOf(hz), area.bottom()));
        painter.setPen(text);
        painter.drawText(QRectF(xOf(hz) - 20, area.bottom() + 2, 40, 16), Qt::AlignHCenter,
                         QString::fromLatin1(label) + QStringLiteral(" Hz"));
    }
}

void CSpectrumView::paintEvent(QPaintEvent*) {
    if (Stale(m_background, *this) || m_rate != m_backgroundRate)
        MakeBackground();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    if (m_db.size() < 2 || m_rate == 0)
        return;
    const QRectF area = PlotArea(*this);
    const double highHz = m_rate / 2.0;
    const double binHz = highHz / static_cast<double>(m_db.size() - 1);
    if (m_binColumn.size() + m_firstBin != m_db.size()) {
        // Bins below the low edge are not drawn; each other bin's column on the logarithmic axis.
        const double span = std::log10(highHz / kLowHz);
        m_firstBin = std::max<size_t>(1, static_cast<size_t>(std::ceil(kLowHz / binHz)));
        while (m_firstBin < m_db.size() && binHz * static_cast<double>(m_firstBin) < kLowHz)
            ++m_firstBin;
        m_binColumn.clear();
        for (size_t k = m_firstBin; k < m_db.size(); ++k)
            m_binColumn.push_back(static_cast<int>(
                std::floor(area.left() + std::log10(binHz * static_cast<double>(k) / kLowHz) / span * area.width())));
    }
    auto yOf = [&](double db) {
        return area.top() + (kTopDb - std::clamp(db, kBottomDb, kTopDb)) / (kTopDb - kBottomDb) * area.height();
    };

    // One point per pixel column: the loudest bin falling into it, so a narrow tone is never skipped.
    // A segment from one column to the next is drawn plain (smoothing would change next to nothing on
    // the screen but costs several times as much on a dense spectrum); one across several columns, where
    // the bins lie further apart than the pixels (the low end of the axis), smoothed.
    QPainterPath plain;
    QPainterPath smooth;
    QPointF previous;
    int previousColumn = -1;
    bool plainOpen = false; // the plain path ends at `previous`
    int column = -1;
    double loudest = kBottomDb;
    auto flush = [&] {
        if (column < 0)
            return;
        const QPointF point(column, yOf(loudest));
        if (previousColumn >= 0 && column - previousColumn > 1) {
            smooth.moveTo(previous);
            smooth.lineTo(point);
            plainOpen = false;
        } else if (previousColumn >= 0) {
            if (!plainOpen)
                plain.moveTo(previous);
            plain.lineTo(point);
            plainOpen = true;
        }
        previous = point;
        previousColumn = column;
    };
    for (size_t k = m_firstBin; k < m_db.size(); ++k) {
        const int x = m_binColumn[k - m_firstBin];
        if (x != column) {
            flush();
            column = x;
            loudest = m_db[k];
        } else {
            loudest = std::max(loudest, m_db[k]);
        }
    }
    flush();
    painter.setPen(LinePen(QColor(90, 170, 255)));
    painter.drawPath(plain);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPath(smooth);
}
