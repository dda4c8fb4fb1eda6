// The grid as drawn offscreen: header, current-row mark, grid lines, status line, sort marks, search
// text and pictures in cells.
#include "GridFixture.h"

#include <QImage>
#include <QTest>

namespace {

class GridRender : public GridFixture {
protected:
    QImage Picture() { return grid.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Pixels in the rectangle for which the test holds.
    template <class Test> int Count(const QImage& image, const QRect& rect, Test test) {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                n += test(QColor(image.pixel(x, y))) ? 1 : 0;
        return n;
    }
    static bool Blue(const QColor& c) { return c.blue() > 180 && c.red() < 90 && c.green() < 90; }
};

TEST_F(GridRender, StereoTableLooksLikeATable) {
    FillStereoTable();
    grid.SetCurRow(9);
    ShowAt(300, HeightFor(16));
    grid.clearFocus();
    Settle();
    ASSERT_FALSE(grid.HasFocusMark());
    const QImage image = Picture();
    const QRgb button = grid.palette().color(QPalette::Button).rgb();
    const int statusTop = grid.height() - grid.StatusHeight();

    // Header cells are filled with the button face; the status line has a black line above it.
    EXPECT_EQ(image.pixel(20, 3), button);
    EXPECT_EQ(image.pixel(150, statusTop - 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(grid.width() - 3, statusTop + 2), button);
    // The information sign sits at the left of the status line.
    EXPECT_GT(Count(image, QRect(0, statusTop, 19, grid.StatusHeight()), Blue), 10);
    // Grid lines: each cell's right edge in the light grey.
    const QPoint cell = CellCentre(2, 0);
    EXPECT_EQ(image.pixel(grid.ColumnWidth(0), cell.y()), qRgb(225, 225, 225));
    // The current row, without the focus, in the menu colour; other rows white.
    EXPECT_EQ(image.pixel(3, CellCentre(9, 0).y()), button);
    EXPECT_EQ(image.pixel(3, CellCentre(8, 0).y()), qRgb(255, 255, 255));
    // Text is drawn in the cells.
    EXPECT_GT(Count(image, QRect(5, cell.y() - 4, grid.ColumnWidth(0) - 10, 8),
                    [](const QColor& c) { return c.lightness() < 128; }),
              5);
}

TEST_F(GridRender, FocusedCurrentRowIsHighlighted) {
    FillStereoTable();
    grid.SetCurRow(9);
    ShowAt(300, HeightFor(16));
    grid.activateWindow();
    grid.setFocus();
    Settle();
    ASSERT_TRUE(grid.HasFocusMark());
    const QImage image = Picture();
    EXPECT_EQ(image.pixel(40, CellCentre(9, 0).y()), grid.palette().color(QPalette::Highlight).rgb());
}

TEST_F(GridRender, SortMarkPointsUpThenDown) {
    FillStereoTable();
    ShowAt(300, HeightFor(16));
    const QRect mark(2, 0, 16, 16);
    EXPECT_EQ(Count(Picture(), mark, Blue), 0);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, TitleCentre(0));
    Settle();
    const QImage up = Picture();
    QTest::mouseClick(&grid, Qt::LeftButton, {}, TitleCentre(0));
    Settle();
    const QImage down = Picture();
    // Up: the triangle is wide at its bottom; down: wide at its top.
    const int upTop = Count(up, QRect(2, 4, 16, 3), Blue), upBottom = Count(up, QRect(2, 9, 16, 3), Blue);
    const int downTop = Count(down, QRect(2, 4, 16, 3), Blue), downBottom = Count(down, QRect(2, 9, 16, 3), Blue);
    EXPECT_GT(upBottom, upTop);
    EXPECT_GT(downTop, downBottom);
}

TEST_F(GridRender, SearchTextIsBlue) {
    FillStereoTable();
    ShowAt(300, HeightFor(16));
    QTest::mouseClick(&grid, Qt::LeftButton, {}, TitleCentre(0));
    Settle();
    const QRect status(25, grid.height() - grid.StatusHeight(), grid.width() - 30, grid.StatusHeight());
    EXPECT_EQ(Count(Picture(), status, Blue), 0);
    QTest::keyClick(&grid, Qt::Key_M);
    Settle();
    EXPECT_GT(Count(Picture(), status, Blue), 5);
}

TEST_F(GridRender, CellsNamingPicturesShowThemWithTheirKeyColourLeftOut) {
    FillStereoTable();
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    picture.setPixel(0, 0, qRgb(0, 255, 0));
    picture.setPixel(7, 7, qRgb(0, 255, 0));
    grid.SetBitmap(300, picture);
    grid.SetCellText("^b^300", 1, 2);
    grid.SetCellText("^b^999", 1, 3);
    ShowAt(300, HeightFor(16));
    const QImage image = Picture();
    auto red = [](const QColor& c) { return c == QColor(255, 0, 0); };
    auto green = [](const QColor& c) { return c == QColor(0, 255, 0); };
    const QRect cell2(grid.ColumnWidth(0) + 1, CellCentre(2, 1).y() - 6, grid.ColumnWidth(1), 12);
    EXPECT_EQ(Count(image, cell2, red), 62);
    EXPECT_EQ(Count(image, cell2, green), 0);
    // A picture that does not exist draws nothing.
    const QRect cell3(grid.ColumnWidth(0) + 6, CellCentre(3, 1).y() - 4, grid.ColumnWidth(1) - 12, 8);
    EXPECT_EQ(Count(image, cell3, [](const QColor& c) { return c != QColor(255, 255, 255); }), 0);
}

TEST_F(GridRender, LongAndHugeTextsAreDrawnWithinTheirRow) {
    grid.AddColumn("Title that is far too wide for a narrow column");
    grid.AddColumn("B");
    grid.SetCellText(QString(5000, QChar('W')), 0, 0);
    grid.SetCellText("x", 1, 0);
    ShowAt(60, HeightFor(4));
    const QImage image = Picture();
    EXPECT_EQ(grid.GetCellText(0, 0).size(), 5000);
    // Nothing is drawn below the only row.
    const QRect below(0, CellCentre(1, 0).y() - 3, 60, 6);
    EXPECT_EQ(Count(image, below, [](const QColor& c) { return c != QColor(255, 255, 255); }), 0);
}

} // namespace
