// The grid's accessible interface. Cells have no widget of their own, so the table makes one interface per
// cell on demand, registers it with Qt and deletes it with itself. Rows are display positions, the order
// the user sees after sorting.
#include "GridBoxAccessible.h"

#include "GridBox.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace {

class CGridBoxAccessible;

class CGridCellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    CGridCellAccessible(CGridBoxAccessible* table, CGridBox* grid, int row, int column)
        : m_table(table), m_grid(grid), m_row(row), m_column(column) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }
    bool isValid() const override { return m_grid && m_row < m_grid->RowCount() && m_column < m_grid->ColumnCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (!m_grid || (t != QAccessible::Name && t != QAccessible::Value))
            return {};
        const QString text = m_grid->GetCellText(m_row, m_column);
        // A picture cell has no words of its own; its column title says what it stands for.
        return text.startsWith(QLatin1String("^b^")) ? m_grid->ColumnTitle(m_column) : text;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_grid)
            return {};
        const int visible = m_row - m_grid->TopRow();
        if (visible < 0 || visible >= m_grid->VisibleRows())
            return {};
        int x = m_grid->ClientRect().left() - m_grid->HScroll();
        for (int j = 0; j < m_column; ++j)
            x += m_grid->ColumnWidth(j);
        const int y = m_grid->HeaderHeight() + 1 + visible * m_grid->RowHeight();
        const QRect local(x, y, m_grid->ColumnWidth(m_column), m_grid->RowHeight());
        return QRect(m_grid->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_grid)
            return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = isSelected();
        s.focused = s.selected && m_grid->hasFocus();
        s.invisible = rect().isEmpty();
        return s;
    }

    bool isSelected() const override { return m_grid && m_grid->CurRow() == m_row; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

private:
    CGridBoxAccessible* m_table;
    QPointer<CGridBox> m_grid;
    int m_row;
    int m_column;
};

class CGridBoxAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CGridBoxAccessible(CGridBox* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~CGridBoxAccessible() override {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        // The status line ("10 from 16") as the table's description, unless the page gave one.
        if (t == QAccessible::Description && Grid()->accessibleDescription().isEmpty())
            return Grid()->StatusText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return rowCount() * columnCount(); }
    QAccessibleInterface* child(int index) const override {
        const int columns = columnCount();
        if (index < 0 || columns == 0 || index >= childCount())
            return nullptr;
        return cellAt(index / columns, index % columns);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || child->role() != QAccessible::Cell || child->parent() != this)
            return -1;
        auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        return cell ? cell->rowIndex() * columnCount() + cell->columnIndex() : -1;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
            return nullptr;
        const qint64 key = qint64(row) * CGridBox::kMaxColumns + column;
        if (const auto found = m_cells.constFind(key); found != m_cells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* cell = new CGridCellAccessible(const_cast<CGridBoxAccessible*>(this), Grid(), row, column);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (int row : selectedRows())
            for (int column = 0; column < columnCount(); ++column)
                cells << cellAt(row, column);
        return cells;
    }
    QString columnDescription(int column) const override { return Grid()->ColumnTitle(column); }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    int columnCount() const override { return Grid()->ColumnCount(); }
    int rowCount() const override { return Grid()->RowCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        const int row = Grid()->CurRow();
        return row >= 0 && row < rowCount() ? QList<int>{row} : QList<int>{};
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return row >= 0 && row == Grid()->CurRow(); }
    // Choosing a row is the same as moving the current row there with the keyboard: the grid reports it.
    bool selectRow(int row) override {
        if (row < 0 || row >= rowCount())
            return false;
        Grid()->SetCurRow(row);
        Grid()->Redraw();
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    CGridBox* Grid() const { return static_cast<CGridBox*>(widget()); }

private:
    mutable QHash<qint64, QAccessible::Id> m_cells;
};

QWindow* CGridCellAccessible::window() const { return m_table->window(); }
QAccessibleInterface* CGridCellAccessible::parent() const { return m_table; }
QAccessibleInterface* CGridCellAccessible::table() const { return m_table; }

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("CGridBox") && object && object->isWidgetType())
        return new CGridBoxAccessible(static_cast<CGridBox*>(object));
    return nullptr;
}

} // namespace

void InstallGridBoxAccessibility() {
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
}

void NotifyGridCurrentRow(CGridBox* grid) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent selection(grid, QAccessible::Selection);
    QAccessible::updateAccessibility(&selection);
    if (grid->hasFocus() && grid->CurRow() >= 0) {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
        if (QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr) {
            if (QAccessibleInterface* cell = cells->cellAt(grid->CurRow(), 0)) {
                QAccessibleEvent focus(cell, QAccessible::Focus);
                QAccessible::updateAccessibility(&focus);
            }
        }
    }
}
