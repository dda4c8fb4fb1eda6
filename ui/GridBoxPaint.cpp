// CGridBox drawing: body rows with grid lines, button-like titles with sort marks, the status line, and
// cell texts shortened with "..." or replaced by pictures.
#include "GridBox.h"

#include "GridBitmaps.h"
#include "GridLogic.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <qdrawutil.h>

namespace {

// A rectangle given by its edges, right and bottom exclusive, as the layout arithmetic is written.
QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

const QColor kGridLine(225, 225, 225);
const QColor kSearchColour(0, 0, 255);

} // namespace

QString CGridBox::StatusText() const {
    if (!m_search.isEmpty())
        return m_search;
    if (m_curRow >= 0)
        return QStringLiteral("%1 from %2").arg(m_curRow + 1).arg(m_nRows);
    return QStringLiteral("%1 rows").arg(m_nRows);
}

void CGridBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Paint(painter);
}

void CGridBox::Paint(QPainter& painter) {
    const QRect client = ClientRect();
    if (client.isEmpty())
        return;
    painter.save();
    painter.setClipRect(client);
    painter.setFont(font());
    painter.fillRect(client, Qt::white);
    DrawBody(painter, client);
    DrawHeader(painter, client);
    DrawStatus(painter, client);
    painter.restore();
}

void CGridBox::DrawBody(QPainter& painter, const QRect& client) {
    if (m_nColumns == 0 || m_nRows == 0)
        return;
    const int clientRight = client.left() + client.width();
    const int bodyTop = client.top() + m_headerHeight + 1;
    const int bodyBottom = client.top() + client.height() - m_statusHeight - 1;
    const int rowRight = std::min(clientRight, TotalColumnWidth() - m_hScroll);
    const QPalette& pal = palette();

    int y = bodyTop;
    for (int i = m_topRow; i < m_nRows && i < m_topRow + m_visibleRows && y < bodyBottom; ++i) {
        const bool current = i == m_curRow;
        if (current) {
            const QRect mark = Edges(client.left(), y - 1, rowRight, y + m_rowHeight + 1);
            if (m_focused) {
                painter.fillRect(mark, pal.color(QPalette::Highlight));
                // A dotted focus frame of its own, so every style shows the same mark.
                painter.setPen(QPen(pal.color(QPalette::HighlightedText), 0, Qt::DotLine));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(mark.adjusted(0, 0, -1, -1));
            } else {
                painter.fillRect(mark, pal.color(QPalette::Button));
            }
        }
        painter.setPen(current && m_focused ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
        int x = client.left() - m_hScroll;
        for (int j = 0; j < m_nColumns; ++j) {
            const int w = m_colWidth[static_cast<size_t>(j)];
            DrawCellText(painter, GetCellText(i, j), Edges(x + 5, y, x + w - 5, y + m_rowHeight));
            // Every cell carries its own right and bottom line.
            painter.fillRect(QRect(x + w, y, 1, m_rowHeight), kGridLine);
            painter.fillRect(QRect(x + 1, y + m_rowHeight, w, 1), kGridLine);
            if (x >= clientRight)
                break;
            x += w + 1;
        }
        y += m_rowHeight + 1;
    }
    painter.setPen(pal.color(QPalette::Text));
}

void CGridBox::DrawHeader(QPainter& painter, const QRect& client) {
    if (m_nColumns == 0)
        return;
    const QPalette& pal = palette();
    const int top = client.top();
    painter.setPen(pal.color(QPalette::WindowText));
    int x = client.left() - m_hScroll;
    for (int j = 0; j < m_nColumns; ++j) {
        const int w = m_colWidth[static_cast<size_t>(j)];
        painter.fillRect(Edges(x, top, x + w, top + m_headerHeight - 1), pal.color(QPalette::Button));
        const QRect frame = Edges(x, top, x + w + 1, top + m_headerHeight);
        if (j == m_pressedCol)
            qDrawPlainRect(&painter, frame, pal.color(QPalette::Dark), 1);
        else
            qDrawWinButton(&painter, frame, pal, false);
        painter.setPen(pal.color(QPalette::WindowText));
        int textLeft = x + 5;
        if (j == m_sortCol) {
            DrawBitmap(painter, m_sortDescending ? GridBitmaps::kSortDown : GridBitmaps::kSortUp, x + 2, top);
            textLeft = x + m_headerHeight + 1;
        }
        DrawCellText(painter, m_colTitle[static_cast<size_t>(j)],
                     Edges(textLeft, top, x + w - 5, top + m_headerHeight - 1));
        x += w + 1;
    }
}

void CGridBox::DrawStatus(QPainter& painter, const QRect& client) {
    const int bottom = client.top() + client.height();
    const int right = client.left() + client.width();
    const int statusTop = bottom - m_statusHeight;
    painter.fillRect(Edges(client.left(), statusTop, right, bottom), palette().color(QPalette::Button));
    painter.fillRect(Edges(client.left(), statusTop - 1, right, statusTop), Qt::black);
    DrawBitmap(painter, GridBitmaps::kInformation, client.left(), statusTop);
    painter.setPen(m_search.isEmpty() ? palette().color(QPalette::WindowText) : kSearchColour);
    painter.drawText(Edges(client.left() + m_statusHeight + 5, statusTop, right - 5, bottom),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, StatusText());
    painter.setPen(Qt::black);
}

void CGridBox::DrawBitmap(QPainter& painter, int id, int x, int y) {
    const auto found = m_bitmaps.constFind(id);
    if (found == m_bitmaps.constEnd() || found->isNull())
        return;
    painter.drawImage(QPoint(x, y), *found);
}

void CGridBox::DrawCellText(QPainter& painter, const QString& text, const QRect& rect) {
    if (text.startsWith(QLatin1String("^b^"))) {
        // Leading digits name the picture; none (or too many to be a number) name picture 0.
        int id = 0;
        for (qsizetype k = 3; k < text.size() && text[k] >= u'0' && text[k] <= u'9' && id < 100000000; ++k)
            id = id * 10 + (text[k].unicode() - u'0');
        const auto found = m_bitmaps.constFind(id);
        if (found == m_bitmaps.constEnd() || found->isNull())
            return;
        const QSize size = found->deviceIndependentSize().toSize();
        if (size.width() <= rect.width() || size.height() <= rect.height())
            painter.drawImage(QPoint(rect.left() + (rect.width() - size.width()) / 2,
                                     rect.top() + (rect.height() - size.height()) / 2),
                              *found);
        return;
    }
    m_textBuffer.resize(0);
    m_textBuffer.append(QStringView(text).left(kTextLimit));
    const QFontMetrics metrics = painter.fontMetrics();
    GridLogic::ShortenText(m_textBuffer, rect.width(),
                           [&metrics](const QString& s) { return metrics.horizontalAdvance(s); });
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, m_textBuffer);
}
