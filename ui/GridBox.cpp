// CGridBox: table storage, layout, the coalesced redraw and the posted notifications.
#include "GridBox.h"
#include "GridBoxAccessible.h"

#include "GridBitmaps.h"
#include "GridLogic.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QScrollBar>
#include <QStyle>

namespace {

QEvent::Type RedrawEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type NotificationEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A notification waiting in the event queue: code and the current row at the time it was posted.
class NotificationEvent : public QEvent {
public:
    NotificationEvent(int code, int row) : QEvent(NotificationEventType()), m_code(code), m_row(row) {}
    int Code() const { return m_code; }
    int Row() const { return m_row; }

private:
    int m_code;
    int m_row;
};

} // namespace

CGridBox::CGridBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("gridBox"));
    InstallGridBoxAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_colWidth.reserve(kMaxColumns);
    m_colTitle.reserve(kMaxColumns);
    m_cells.reserve(kMaxColumns);
    m_rowKey.reserve(kRowStep);
    m_rowOrder.reserve(kRowStep);
    m_textBuffer.reserve(kTextLimit + 4);

    m_vBar = new QScrollBar(Qt::Vertical, this);
    m_vBar->setObjectName(QStringLiteral("gridVerticalScrollBar"));
    m_vBar->setFocusPolicy(Qt::NoFocus);
    m_vBar->setRange(0, kScrollRange);
    m_vBar->hide();
    connect(m_vBar, &QScrollBar::actionTriggered, this, &CGridBox::OnScrollAction);

    for (int id : {GridBitmaps::kSortUp, GridBitmaps::kSortDown, GridBitmaps::kInformation})
        m_bitmaps.insert(id, GridBitmaps::BuiltIn(id));
}

CGridBox::~CGridBox() = default;

bool CGridBox::Attach(QWidget* listBox) {
    if (listBox == nullptr || listBox->parentWidget() == nullptr)
        return false;
    QWidget* parent = listBox->parentWidget();
    setParent(parent);
    setSizePolicy(listBox->sizePolicy());
    setMinimumSize(listBox->minimumSize());
    setMaximumSize(listBox->maximumSize());
    setGeometry(listBox->geometry());
    if (parent->layout() != nullptr)
        delete parent->layout()->replaceWidget(listBox, this);
    // The Tab key reaches the grid where it reached the list box, not after every other control.
    QWidget::setTabOrder(listBox, this);
    const bool shown = !listBox->isHidden();
    listBox->hide();
    setVisible(shown);
    RequestRedraw();
    return true;
}

void CGridBox::AddColumn(const QString& title) {
    if (m_nColumns >= kMaxColumns)
        return;
    m_colTitle.push_back(title);
    m_colWidth.push_back(kInitialColumnWidth);
    // A column added after rows exist gets their (empty) cells too, so every column covers every row.
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(m_reservedRows));
    cells.resize(static_cast<size_t>(m_nRows));
    m_cells.push_back(std::move(cells));
    ++m_nColumns;
    RequestRedraw();
}

bool CGridBox::PrepareRow(int rowIndex) {
    if (rowIndex < 0 || rowIndex >= kMaxRows)
        return false;
    if (rowIndex >= m_reservedRows) {
        // Grow in whole steps until the row fits, rather than failing for an index more than one step away.
        m_reservedRows = (rowIndex / kRowStep + 1) * kRowStep;
        const auto reserved = static_cast<size_t>(m_reservedRows);
        for (auto& column : m_cells)
            column.reserve(reserved);
        m_rowKey.reserve(reserved);
        m_rowOrder.reserve(reserved);
    }
    while (m_nRows <= rowIndex) {
        for (auto& column : m_cells)
            column.emplace_back();
        m_rowKey.emplace_back();
        m_rowOrder.push_back(m_nRows);
        ++m_nRows;
    }
    return true;
}

void CGridBox::SetCellText(const QString& text, int column, int rowIndex) {
    if (column < 0 || column >= m_nColumns || !PrepareRow(rowIndex))
        return;
    m_cells[static_cast<size_t>(column)][static_cast<size_t>(rowIndex)] = text;
    RequestRedraw();
}

void CGridBox::SetRowKey(const QString& text, int rowIndex) {
    if (!PrepareRow(rowIndex))
        return;
    m_rowKey[static_cast<size_t>(rowIndex)] = text;
}

int CGridBox::RowIndexAt(int position) const {
    if (position < 0 || position >= m_nRows)
        return -1;
    return m_rowOrder[static_cast<size_t>(position)];
}

QString CGridBox::GetCellText(int position, int column) const {
    const int row = RowIndexAt(position);
    if (row < 0 || column < 0 || column >= m_nColumns)
        return {};
    return m_cells[static_cast<size_t>(column)][static_cast<size_t>(row)];
}

QString CGridBox::GetRowKey(int position) const {
    const int row = RowIndexAt(position == -1 ? m_curRow : position);
    if (row < 0)
        return {};
    return m_rowKey[static_cast<size_t>(row)];
}

int CGridBox::ColumnWidth(int column) const {
    return column >= 0 && column < m_nColumns ? m_colWidth[static_cast<size_t>(column)] : 0;
}

void CGridBox::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= m_nColumns)
        return;
    m_colWidth[static_cast<size_t>(column)] = width;
    RequestRedraw();
}

QString CGridBox::ColumnTitle(int column) const {
    return column >= 0 && column < m_nColumns ? m_colTitle[static_cast<size_t>(column)] : QString();
}

void CGridBox::BringCurRowIntoView() {
    if (m_curRow > m_topRow + m_visibleRows - 1)
        m_topRow = m_curRow - m_visibleRows + 1;
    if (m_curRow < m_topRow)
        m_topRow = m_curRow;
}

void CGridBox::SetCurRow(int position) {
    m_curRow = std::min(position, m_nRows - 1);
    BringCurRowIntoView();
    RequestRedraw();
}

int CGridBox::TotalColumnWidth() const {
    int total = 0;
    for (int w : m_colWidth)
        total += w + 1;
    return total;
}

QRect CGridBox::ClientRect() const {
    const int bar = m_vBarShown ? m_vBar->sizeHint().width() : 0;
    return QRect(0, 0, std::max(0, width() - bar), height());
}

void CGridBox::FitColumns(int lastResizedColumn) {
    const QRect client = ClientRect();
    GridLogic::FitColumns(m_colWidth, lastResizedColumn, client.left(), client.left() + client.width());
}

void CGridBox::PlaceScrollBar() {
    const int bar = m_vBar->sizeHint().width();
    m_vBar->setGeometry(width() - bar, 0, bar, height());
}

void CGridBox::UpdateMetrics() {
    const int h = QFontMetrics(font()).height();
    m_headerHeight = h + 5;
    m_rowHeight = h + 2;
    m_statusHeight = h + 2;
    m_visibleRows = std::max(0, (height() - m_statusHeight - m_headerHeight - 2) / (m_rowHeight + 1));
}

void CGridBox::UpdateLayout() {
    UpdateMetrics();
    if (m_nRows > 0) {
        m_topRow = std::min(m_topRow, std::max(0, m_nRows - m_visibleRows));
        if (m_visibleRows < m_nRows) {
            if (!m_vBarShown) {
                PlaceScrollBar();
                m_vBar->show();
            }
            m_vBarShown = true;
            m_vBar->setValue(
                static_cast<int>(static_cast<long long>(m_topRow) * kScrollRange / (m_nRows - m_visibleRows)));
        } else {
            m_vBar->hide();
            m_vBarShown = false;
        }
    }
    FitColumns(m_lastResizedCol);
    // A horizontal offset left from a narrower window would hide columns that now fit.
    m_hScroll = std::clamp(m_hScroll, 0, std::max(0, TotalColumnWidth() - ClientRect().width()));

    if (m_curRow < 0 && m_nRows > 0)
        m_curRow = 0;
    if (m_topRow < 0)
        m_topRow = 0;
}

void CGridBox::Redraw() {
    if (!isVisible())
        return;
    UpdateLayout();
    if (ClientRect().isEmpty())
        return;
    repaint();
    if (m_prevRow != m_curRow) {
        PostNotification(GRIDN_ROWCHANGED);
        m_prevRow = m_curRow;
        NotifyGridCurrentRow(this);
    }
}

void CGridBox::RequestRedraw() {
    // One queued command at a time: a burst of changes draws once.
    if (m_redrawPending)
        return;
    m_redrawPending = true;
    QCoreApplication::postEvent(this, new QEvent(RedrawEventType()));
}

void CGridBox::PostNotification(int code) { QCoreApplication::postEvent(this, new NotificationEvent(code, m_curRow)); }

void CGridBox::SetBitmap(int id, const QImage& picture) {
    m_bitmaps.insert(id, GridBitmaps::KeyedTransparent(picture));
    RequestRedraw();
}

bool CGridBox::event(QEvent* event) {
    if (event->type() == RedrawEventType()) {
        m_redrawPending = false;
        Redraw();
        return true;
    }
    if (event->type() == NotificationEventType()) {
        const auto* note = static_cast<NotificationEvent*>(event);
        emit notification(note->Code(), note->Row());
        return true;
    }
    return QWidget::event(event);
}

void CGridBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceScrollBar();
    UpdateMetrics();
    RequestRedraw();
}

void CGridBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Row and title heights are known before the first paint; the columns are fitted by the redraw.
    UpdateMetrics();
    RequestRedraw();
}

void CGridBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        RequestRedraw();
}

void CGridBox::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_focused = true;
    RequestRedraw();
}

void CGridBox::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_hitRow = -1;
    m_pressedCol = -1;
    m_focused = false;
    RequestRedraw();
}
