// CGridBox: a self-drawn table with button-like column titles, a highlighted current row, a status line
// and a vertical scroll bar; sorts by a clicked title, searches as letters are typed, resizes columns.
#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;
class QScrollBar;

// Notification codes, delivered (always after the grid's own handler has returned) by
// CGridBox::notification(code, row) with the current row.
constexpr int GRIDN_DELETE = 12955;
constexpr int GRIDN_INSERT = 12956;
constexpr int GRIDN_ENTER = 12957;
constexpr int GRIDN_ROWCHANGED = 12958;
constexpr int GRIDN_DBLCLK = 12964;
// The grid's own coalesced redraw command.
constexpr int GRIDCMD_REDRAW = 12974;

class CGridBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxColumns = 100;
    static constexpr int kInitialColumnWidth = 100;
    // Row storage is reserved this many rows at a time for all columns together.
    static constexpr int kRowStep = 500;
    // Title clicks sort only tables with fewer rows than this.
    static constexpr int kSortLimit = 5000;
    // Row indexes at or beyond this are refused, so a stray index cannot exhaust memory.
    static constexpr int kMaxRows = 1000000;
    // Longer texts are cut to this many characters before they are shortened for drawing.
    static constexpr int kTextLimit = 2047;
    // The vertical scroll bar's range; the top row maps onto it proportionally.
    static constexpr int kScrollRange = 10000;

    explicit CGridBox(QWidget* parent = nullptr);
    ~CGridBox() override;

    // Takes the place of a list-box widget in its parent (and its layout) with its geometry; the list box
    // is hidden. False when there is no widget or it has no parent.
    bool Attach(QWidget* listBox);

    void AddColumn(const QString& title);
    // Row indexes name rows in creation order; setting row R creates rows 0..R that do not exist yet.
    void SetCellText(const QString& text, int column, int rowIndex);
    void SetRowKey(const QString& text, int rowIndex);
    // Getters take display positions; an unknown position or column gives the empty text.
    QString GetCellText(int position, int column) const;
    // Position -1 means the current row.
    QString GetRowKey(int position) const;
    void SetCurRow(int position);
    void FitColumns(int lastResizedColumn);
    // Lays the grid out, paints it now and reports a changed current row.
    void Redraw();
    // Registers a picture that a cell or title names with "^b^<id>"; its top-left colour is transparent.
    void SetBitmap(int id, const QImage& picture);

    // Paints the whole client area; paintEvent uses it, benchmarks call it directly.
    void Paint(QPainter& painter);

    int ColumnCount() const { return m_nColumns; }
    int RowCount() const { return m_nRows; }
    int ReservedRows() const { return m_reservedRows; }
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    QString ColumnTitle(int column) const;
    int CurRow() const { return m_curRow; }
    int TopRow() const { return m_topRow; }
    int VisibleRows() const { return m_visibleRows; }
    int HeaderHeight() const { return m_headerHeight; }
    int RowHeight() const { return m_rowHeight; }
    int StatusHeight() const { return m_statusHeight; }
    int SortColumn() const { return m_sortCol; }
    bool SortDescending() const { return m_sortDescending != 0; }
    int PressedColumn() const { return m_pressedCol; }
    int LastResizedColumn() const { return m_lastResizedCol; }
    int HScroll() const { return m_hScroll; }
    bool VScrollShown() const { return m_vBarShown; }
    bool HasFocusMark() const { return m_focused; }
    QString SearchText() const { return m_search; }
    // The text the status line shows now.
    QString StatusText() const;
    QRect ClientRect() const;
    QScrollBar* VerticalScrollBar() const { return m_vBar; }

signals:
    // Queued: emitted from the event loop after the handler that caused it has returned.
    void notification(int code, int row);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void RequestRedraw();
    void PostNotification(int code);
    bool PrepareRow(int rowIndex);
    int RowIndexAt(int position) const;
    // Title, row and status heights and the rows that fit the body.
    void UpdateMetrics();
    // Everything a redraw settles before it paints: metrics, scroll bar, column fitting, current row.
    void UpdateLayout();
    void PlaceScrollBar();
    void BringCurRowIntoView();
    int TotalColumnWidth() const;

    void DrawBody(QPainter& painter, const QRect& client);
    void DrawHeader(QPainter& painter, const QRect& client);
    void DrawStatus(QPainter& painter, const QRect& client);
    void DrawCellText(QPainter& painter, const QString& text, const QRect& rect);
    void DrawBitmap(QPainter& painter, int id, int x, int y);

    void PointerMoved(const QPoint& pos, bool leftDown);
    void TypeAhead();
    void PageHorizontally(int direction);
    void SortRows();
    int ContentWidth(int column) const;
    void OnScrollAction(int action);
    void ScrollTo(int top);

    int m_nColumns = 0;
    std::vector<int> m_colWidth;
    std::vector<QString> m_colTitle;
    int m_nRows = 0;
    // Per column, the cell texts by row index.
    std::vector<std::vector<QString>> m_cells;
    std::vector<QString> m_rowKey;
    // Row index shown at each display position.
    std::vector<int> m_rowOrder;
    int m_reservedRows = kRowStep;
    int m_pressedCol = -1;
    int m_sortCol = -1;
    int m_sortDescending = 0;
    int m_lastResizedCol = -1;
    int m_headerHeight = 0;
    int m_rowHeight = 0;
    int m_statusHeight = 0;
    int m_visibleRows = 0;
    int m_topRow = 0;
    int m_hScroll = 0;
    bool m_resizeArmed = false;
    int m_resizeCol = -1;
    int m_hitRow = -1;
    int m_curRow = -1;
    // The current row last reported with GRIDN_ROWCHANGED; a redraw reports the row when it differs.
    int m_prevRow = -1;
    QString m_search;
    bool m_vBarShown = false;
    bool m_focused = false;
    // Reused for every shortened text, so drawing a cell allocates nothing once it has grown.
    QString m_textBuffer;

    bool m_redrawPending = false;
    QScrollBar* m_vBar = nullptr;
    QHash<int, QImage> m_bitmaps;
};
