// The grid test fixture: the routing table, window sizes and the positions of rows, titles and borders.
#include "GridFixture.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QTest>

namespace {
const char* const kLeft[16] = {"MUTE", "MUTE", "MUTE", "MUTE", "R",       "R",       "R",       "R",
                               "L",    "L",    "L",    "L",    "(L+R)/2", "(L+R)/2", "(L+R)/2", "(L+R)/2"};
const char* const kRight[16] = {"MUTE", "R", "L", "(L+R)/2", "MUTE", "R", "L", "(L+R)/2",
                                "MUTE", "R", "L", "(L+R)/2", "MUTE", "R", "L", "(L+R)/2"};
} // namespace

GridFixture::GridFixture() : spy(&grid, &CGridBox::notification) {}

void GridFixture::FillStereoTable() {
    grid.AddColumn("Left");
    grid.AddColumn("Right");
    for (int r = 0; r < 16; ++r) {
        grid.SetRowKey(QString::number(r), r);
        grid.SetCellText(kLeft[r], 0, r);
        grid.SetCellText(kRight[r], 1, r);
    }
}

int GridFixture::HeightFor(int rows) const {
    const int h = QFontMetrics(grid.font()).height();
    return rows * (h + 3) + (h + 2) + (h + 5) + 2;
}

void GridFixture::ShowAt(int width, int height) {
    grid.resize(width, height);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    Settle();
}

void GridFixture::Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

std::vector<std::pair<int, int>> GridFixture::TakeNotes() {
    std::vector<std::pair<int, int>> notes;
    for (const auto& args : spy)
        notes.emplace_back(args.at(0).toInt(), args.at(1).toInt());
    spy.clear();
    return notes;
}

int GridFixture::ColumnLeft(int column) const {
    int x = -grid.HScroll();
    for (int j = 0; j < column; ++j)
        x += grid.ColumnWidth(j) + 1;
    return x;
}

QPoint GridFixture::CellCentre(int position, int column) const {
    const int y = grid.HeaderHeight() + 1 + (position - grid.TopRow()) * (grid.RowHeight() + 1) + grid.RowHeight() / 2;
    return {ColumnLeft(column) + grid.ColumnWidth(column) / 2, y};
}

QPoint GridFixture::TitleCentre(int column) const {
    return {ColumnLeft(column) + grid.ColumnWidth(column) / 2, grid.HeaderHeight() / 2};
}

QPoint GridFixture::BorderOf(int column) const {
    return {ColumnLeft(column) + grid.ColumnWidth(column) + 1, grid.HeaderHeight() / 2};
}
