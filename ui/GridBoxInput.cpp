// CGridBox input: keys, type-ahead search, pointer moves and clicks (title sorting, column resizing,
// row choice), double clicks and vertical scrolling.
#include "GridBox.h"

#include "GridLogic.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <string>

namespace {
// Half the width of the zone around a column border in which the pointer grabs the border.
constexpr int kBorderGrip = 5;
// A dragged column keeps at least this width plus one.
constexpr int kMinDragWidth = 10;

// The Latin letter A..Z of a key (its index 0..25), or -1. With a non-Latin keyboard layout active the key
// itself is a letter of that alphabet; the letter printed for the key's place is then taken from what the
// window system reports besides: a virtual key code of 'A'..'Z' (the Windows codes for the letter keys
// in every layout), or on X11 and Wayland the evdev key code of the letter's place.
int LatinLetter(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A;
    if (!QChar::isLetter(static_cast<char32_t>(key)))
        return -1;
    const quint32 virtualKey = event.nativeVirtualKey();
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return static_cast<int>(virtualKey - 'A');
#ifdef Q_OS_LINUX
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        // X key codes (evdev code + 8) of the letter rows: QWERTYUIOP, ASDFGHJKL, ZXCVBNM.
        static constexpr struct {
            quint32 first;
            const char* letters;
        } kRows[] = {{24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};
        const quint32 code = event.nativeScanCode();
        for (const auto& row : kRows) {
            const quint32 length = static_cast<quint32>(std::char_traits<char>::length(row.letters));
            if (code >= row.first && code < row.first + length)
                return row.letters[code - row.first] - 'A';
        }
    }
#endif
    return -1;
}
} // namespace

void CGridBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control) {
        event->accept();
        return;
    }
    // Alt combinations are menu and mnemonic keys of the window, not grid keys.
    if (event->modifiers() & Qt::AltModifier) {
        event->ignore();
        return;
    }
    bool handled = true;
    bool letter = false;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PostNotification(GRIDN_ENTER);
        break;
    case Qt::Key_Space:
        break;
    case Qt::Key_PageUp:
        m_curRow -= m_visibleRows;
        break;
    case Qt::Key_PageDown:
        m_curRow += m_visibleRows;
        break;
    case Qt::Key_End:
        m_curRow = m_nRows - 1;
        break;
    case Qt::Key_Home:
        m_curRow = 0;
        break;
    case Qt::Key_Up:
        m_curRow -= 1;
        break;
    case Qt::Key_Down:
        m_curRow += 1;
        break;
    case Qt::Key_Left:
        PageHorizontally(-1);
        break;
    case Qt::Key_Right:
        PageHorizontally(1);
        break;
    case Qt::Key_Insert:
        PostNotification(GRIDN_INSERT);
        break;
    case Qt::Key_Delete:
        PostNotification(GRIDN_DELETE);
        break;
    default:
        if (const int latin = LatinLetter(*event); latin >= 0) {
            letter = true;
            m_search.append(QChar(u'A' + latin));
            TypeAhead();
        } else {
            handled = false;
        }
        break;
    }
    if (!letter)
        m_search.clear();
    m_curRow = std::min(std::max(m_curRow, 0), m_nRows - 1);
    BringCurRowIntoView();
    RequestRedraw();
    if (handled)
        event->accept();
    else
        event->ignore();
}

void CGridBox::TypeAhead() {
    // Searching needs a sorted column; without one the letters are dropped.
    if (m_sortCol < 0 || m_sortCol >= m_nColumns) {
        m_search.clear();
        return;
    }
    const int found = GridLogic::FindPrefix(m_rowOrder, m_cells[static_cast<size_t>(m_sortCol)], m_search);
    if (found >= 0)
        m_curRow = found;
}

void CGridBox::PageHorizontally(int direction) {
    const int total = TotalColumnWidth();
    const int width = ClientRect().width();
    if (total <= width)
        return;
    const int scroll = std::clamp(m_hScroll + direction * width, 0, total - width);
    if (scroll != m_hScroll) {
        m_hScroll = scroll;
        RequestRedraw();
    }
}

void CGridBox::PointerMoved(const QPoint& pos, bool leftDown) {
    if (m_nColumns == 0)
        return;
    const QRect client = ClientRect();
    const int x = pos.x();
    const int y = pos.y();
    if (!leftDown) {
        m_resizeArmed = false;
        m_resizeCol = -1;
    }

    bool onBorder = false;
    if (y < m_headerHeight) {
        int x0 = client.left() - m_hScroll;
        for (int j = 0; j < m_nColumns; ++j) {
            const int b = x0 + m_colWidth[static_cast<size_t>(j)] + 1;
            if (b - kBorderGrip < x && x < b + kBorderGrip) {
                onBorder = true;
                if (!leftDown) {
                    m_resizeArmed = true;
                    m_resizeCol = j;
                }
                break;
            }
            x0 = b;
        }
    }
    const bool dragging = leftDown && m_resizeArmed;
    if (onBorder || dragging)
        setCursor(Qt::SplitHCursor);
    else
        unsetCursor();

    if (dragging) {
        int x0 = client.left() - m_hScroll;
        for (int j = 0; j < m_nColumns; ++j) {
            if (j == m_resizeCol) {
                if (x - x0 > kMinDragWidth) {
                    m_colWidth[static_cast<size_t>(j)] = x - x0;
                    m_lastResizedCol = j;
                    RequestRedraw();
                }
                break;
            }
            x0 += m_colWidth[static_cast<size_t>(j)] + 1;
        }
    }

    m_hitRow = -1;
    const int clientRight = client.left() + client.width();
    const int clientBottom = client.top() + client.height();
    const int rowRight = std::min(clientRight, TotalColumnWidth() - m_hScroll);
    int y0 = m_headerHeight + 1;
    for (int i = m_topRow; i < m_nRows && i <= m_topRow + m_visibleRows - 1 && y0 < clientBottom; ++i) {
        if (x >= client.left() && x < rowRight && y >= y0 && y < y0 + m_rowHeight + 1) {
            m_hitRow = i;
            break;
        }
        y0 += m_rowHeight + 1;
    }
}

void CGridBox::mouseMoveEvent(QMouseEvent* event) {
    PointerMoved(event->position().toPoint(), (event->buttons() & Qt::LeftButton) != 0);
    event->accept();
}

void CGridBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        // The right button does nothing here; other buttons go on to the parent.
        event->setAccepted(event->button() == Qt::RightButton);
        return;
    }
    const QPoint pos = event->position().toPoint();
    // The state a move to this place would have left, in case no move came before the press.
    PointerMoved(pos, false);
    setFocus(Qt::MouseFocusReason);
    m_search.clear();
    if (!m_resizeArmed && pos.y() > 0 && pos.y() < m_headerHeight) {
        int x0 = ClientRect().left() - m_hScroll;
        for (int j = 0; j < m_nColumns; ++j) {
            const int w = m_colWidth[static_cast<size_t>(j)];
            if (x0 + 1 < pos.x() && pos.x() < x0 + w + 1)
                m_pressedCol = j;
            x0 += w + 1;
        }
    }
    if (m_hitRow != -1)
        m_curRow = m_hitRow;
    RequestRedraw();
    event->accept();
}

void CGridBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->setAccepted(event->button() == Qt::RightButton);
        return;
    }
    PointerMoved(event->position().toPoint(), false);
    // The sort is decided where the button comes up, wherever the pointer is by then.
    if (m_pressedCol != -1 && m_nRows < kSortLimit) {
        if (m_pressedCol == m_sortCol)
            m_sortDescending = 1 - m_sortDescending;
        m_sortCol = m_pressedCol;
        SortRows();
    }
    m_pressedCol = -1;
    RequestRedraw();
    event->accept();
}

void CGridBox::SortRows() {
    if (m_sortCol < 0 || m_sortCol >= m_nColumns)
        return;
    const std::vector<QString>& texts = m_cells[static_cast<size_t>(m_sortCol)];
    const bool descending = m_sortDescending != 0;
    GridLogic::SortRowOrder(m_rowOrder, 0, m_nRows - 1, [&texts, descending](int a, int b) {
        return GridLogic::TextBefore(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)], descending);
    });
}

void CGridBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->setAccepted(event->button() == Qt::RightButton);
        return;
    }
    event->accept();
    if (m_resizeArmed && m_resizeCol >= 0 && m_resizeCol < m_nColumns) {
        m_colWidth[static_cast<size_t>(m_resizeCol)] = ContentWidth(m_resizeCol);
        RequestRedraw();
        return;
    }
    if (event->position().toPoint().y() > m_headerHeight)
        PostNotification(GRIDN_DBLCLK);
}

int CGridBox::ContentWidth(int column) const {
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(m_colTitle[static_cast<size_t>(column)]) + 10;
    if (column == m_sortCol)
        width += metrics.height() + 8;
    for (int i = m_topRow; i < m_topRow + m_visibleRows && i < m_nRows; ++i)
        width = std::max(width, metrics.horizontalAdvance(GetCellText(i, column)) + 10);
    return width;
}

void CGridBox::ScrollTo(int top) {
    const int limited = GridLogic::LimitTopRow(top, m_nRows, m_visibleRows);
    if (limited != m_topRow) {
        m_topRow = limited;
        RequestRedraw();
    }
}

void CGridBox::OnScrollAction(int action) {
    const int span = std::max(0, m_nRows - m_visibleRows);
    int top = m_topRow;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        top -= 1;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        top += 1;
        break;
    case QAbstractSlider::SliderPageStepSub:
        top -= m_visibleRows;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        top += m_visibleRows;
        break;
    case QAbstractSlider::SliderMove: {
        const auto p = static_cast<uint64_t>(std::clamp(m_vBar->sliderPosition(), 0, kScrollRange));
        top = static_cast<int>(p * static_cast<uint64_t>(span) / kScrollRange);
        break;
    }
    case QAbstractSlider::SliderToMinimum:
        top = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        top = span;
        break;
    default:
        return;
    }
    ScrollTo(top);
    // The bar shows where the rows are, not where its own step arithmetic would have put the thumb.
    if (action != QAbstractSlider::SliderMove && span > 0)
        m_vBar->setSliderPosition(static_cast<int>(static_cast<long long>(m_topRow) * kScrollRange / span));
}

void CGridBox::wheelEvent(QWheelEvent* event) {
    // Three rows per wheel notch, as the scroll bar's line steps.
    const int rows = event->angleDelta().y() / 40;
    if (rows == 0) {
        event->ignore();
        return;
    }
    ScrollTo(m_topRow - rows);
    event->accept();
}
