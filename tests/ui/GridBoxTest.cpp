// The grid's table, layout, redraws and notifications, on a real widget offscreen.
#include "GridFixture.h"

#include <QEvent>
#include <QScrollBar>

namespace {

using NoteList = std::vector<std::pair<int, int>>;

TEST_F(GridFixture, StereoTableShowsAllRowsAndReportsTheChosenRowAtTheFirstRedraw) {
    FillStereoTable();
    grid.SetCurRow(9);
    ShowAt(300, HeightFor(16));
    EXPECT_EQ(grid.VisibleRows(), 16);
    EXPECT_FALSE(grid.VScrollShown());
    EXPECT_EQ(grid.TopRow(), 0);
    EXPECT_EQ(grid.CurRow(), 9);
    EXPECT_EQ(grid.StatusText(), "10 from 16");
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 9}}));
    EXPECT_EQ(grid.GetRowKey(-1), "9");
    EXPECT_EQ(grid.GetCellText(9, 0), "L");
    EXPECT_EQ(grid.GetCellText(9, 1), "R");
    // Both columns with their separators fill the width.
    EXPECT_EQ(grid.ColumnWidth(0), 100 + (300 - 202) / 2);
    EXPECT_EQ(grid.ColumnWidth(0) + grid.ColumnWidth(1) + 2, 300);
}

TEST_F(GridFixture, EmptyGridCountsNoRowsAndReportsNothing) {
    ShowAt(200, 150);
    EXPECT_EQ(grid.StatusText(), "0 rows");
    grid.AddColumn("Only");
    Settle();
    EXPECT_EQ(grid.CurRow(), -1);
    EXPECT_EQ(grid.StatusText(), "0 rows");
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_EQ(grid.GetRowKey(-1), "");
}

TEST_F(GridFixture, FirstRedrawWithRowsMakesTheFirstPositionCurrent) {
    FillStereoTable();
    ShowAt(300, 200);
    EXPECT_EQ(grid.CurRow(), 0);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 0}}));
    EXPECT_EQ(grid.StatusText(), "1 from 16");
}

TEST_F(GridFixture, SetCurRowIsLimitedToTheLastRow) {
    grid.SetCurRow(3);
    EXPECT_EQ(grid.CurRow(), -1);
    FillStereoTable();
    grid.SetCurRow(40);
    EXPECT_EQ(grid.CurRow(), 15);
}

TEST_F(GridFixture, SettingACellCreatesEveryRowUpToIt) {
    grid.AddColumn("A");
    grid.AddColumn("B");
    grid.SetCellText("x", 0, 15);
    EXPECT_EQ(grid.RowCount(), 16);
    EXPECT_EQ(grid.GetCellText(15, 0), "x");
    EXPECT_EQ(grid.GetCellText(3, 0), "");
    EXPECT_EQ(grid.GetCellText(15, 1), "");
    EXPECT_EQ(grid.GetRowKey(15), "");
    // A column that does not exist changes nothing, not even the row count.
    grid.SetCellText("y", 2, 40);
    grid.SetCellText("y", -1, 40);
    EXPECT_EQ(grid.RowCount(), 16);
}

TEST_F(GridFixture, HundredAndFirstColumnIsIgnored) {
    for (int i = 0; i < 101; ++i)
        grid.AddColumn(QString::number(i));
    EXPECT_EQ(grid.ColumnCount(), 100);
    EXPECT_EQ(grid.ColumnTitle(99), "99");
    EXPECT_EQ(grid.ColumnWidth(99), 100);
}

// Rows far beyond the reserved storage grow it instead of failing; unknown positions read as empty.
TEST_F(GridFixture, StorageGrowsForAnyRowAndOutOfRangeReadsAreEmpty) {
    grid.AddColumn("A");
    EXPECT_EQ(grid.ReservedRows(), 500);
    grid.SetCellText("far", 0, 1700);
    EXPECT_EQ(grid.RowCount(), 1701);
    EXPECT_EQ(grid.ReservedRows(), 2000);
    EXPECT_EQ(grid.GetCellText(1700, 0), "far");
    grid.SetRowKey("k", 2500);
    EXPECT_EQ(grid.RowCount(), 2501);
    EXPECT_EQ(grid.GetRowKey(2500), "k");

    EXPECT_EQ(grid.GetCellText(5000, 0), "");
    EXPECT_EQ(grid.GetCellText(-2, 0), "");
    EXPECT_EQ(grid.GetCellText(0, 7), "");
    EXPECT_EQ(grid.GetRowKey(99999), "");
    grid.SetCellText("neg", 0, -1);
    grid.SetCellText("huge", 0, CGridBox::kMaxRows);
    EXPECT_EQ(grid.RowCount(), 2501);

    // A column added after the growth covers every row.
    grid.AddColumn("B");
    EXPECT_EQ(grid.GetCellText(2500, 1), "");
    grid.SetCellText("late", 1, 2500);
    EXPECT_EQ(grid.GetCellText(2500, 1), "late");
}

// Counts paint events of the grid.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(GridFixture, BurstOfChangesDrawsOnceAndReportsOnce) {
    FillStereoTable();
    ShowAt(300, HeightFor(16));
    TakeNotes();
    PaintCounter counter;
    grid.installEventFilter(&counter);
    for (int r = 0; r < 16; ++r)
        grid.SetCellText("changed", 1, r);
    grid.SetCurRow(5);
    grid.SetCurRow(3);
    Settle();
    EXPECT_EQ(counter.paints, 1);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 3}}));
}

TEST_F(GridFixture, HiddenGridNeitherDrawsNorReports) {
    FillStereoTable();
    grid.SetCurRow(4);
    Settle();
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_EQ(grid.CurRow(), 4);
}

TEST_F(GridFixture, NotificationsArriveAfterTheCallThatCausedThem) {
    FillStereoTable();
    ShowAt(300, HeightFor(16));
    TakeNotes();
    grid.SetCurRow(7);
    grid.Redraw();
    EXPECT_TRUE(spy.isEmpty());
    Settle();
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 7}}));
}

TEST_F(GridFixture, ScrollBarMovesTheTopRowOnly) {
    grid.AddColumn("N");
    for (int r = 0; r < 100; ++r)
        grid.SetCellText(QString::number(r), 0, r);
    ShowAt(300, HeightFor(10));
    ASSERT_EQ(grid.VisibleRows(), 10);
    ASSERT_TRUE(grid.VScrollShown());
    // The bar takes its width from the client area; the columns still fill what is left.
    EXPECT_EQ(grid.ColumnWidth(0) + 1, grid.ClientRect().width());
    EXPECT_LT(grid.ClientRect().width(), 300);

    QScrollBar* bar = grid.VerticalScrollBar();
    auto act = [&](QAbstractSlider::SliderAction action) {
        bar->triggerAction(action);
        Settle();
        return grid.TopRow();
    };
    EXPECT_EQ(act(QAbstractSlider::SliderSingleStepSub), 0);
    EXPECT_EQ(act(QAbstractSlider::SliderSingleStepAdd), 1);
    EXPECT_EQ(act(QAbstractSlider::SliderPageStepAdd), 11);
    EXPECT_EQ(bar->value(), 11 * 10000 / 90);
    EXPECT_EQ(act(QAbstractSlider::SliderToMaximum), 90);
    EXPECT_EQ(act(QAbstractSlider::SliderPageStepAdd), 90);
    EXPECT_EQ(act(QAbstractSlider::SliderPageStepSub), 80);
    EXPECT_EQ(act(QAbstractSlider::SliderToMinimum), 0);
    bar->setSliderPosition(5000);
    Settle();
    EXPECT_EQ(grid.TopRow(), 45);
    EXPECT_EQ(grid.CurRow(), 0);
}

TEST_F(GridFixture, AttachTakesThePlaceOfAListBox) {
    QWidget page;
    auto* list = new QWidget(&page);
    list->setGeometry(10, 20, 250, 180);
    CGridBox box;
    ASSERT_TRUE(box.Attach(list));
    EXPECT_EQ(box.parentWidget(), &page);
    EXPECT_EQ(box.geometry(), QRect(10, 20, 250, 180));
    EXPECT_TRUE(list->isHidden());
    box.setParent(nullptr);
    EXPECT_FALSE(box.Attach(nullptr));
}

} // namespace
