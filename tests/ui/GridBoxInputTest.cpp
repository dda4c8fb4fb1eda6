// The grid under keys and the mouse: row moves, notifications, type-ahead, title sorting, column
// resizing, double clicks and focus.
#include "GridFixture.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>

namespace {

using NoteList = std::vector<std::pair<int, int>>;

class GridInput : public GridFixture {
protected:
    // The stereo table in a window with room for ten rows, current row 0 reported.
    void ShowStereoTable(int visibleRows = 10) {
        FillStereoTable();
        ShowAt(300, HeightFor(visibleRows));
        grid.activateWindow();
        grid.setFocus();
        Settle();
        TakeNotes();
    }
    void Key(Qt::Key key) {
        QTest::keyClick(&grid, key);
        Settle();
    }
    void Click(QPoint at) {
        QTest::mouseClick(&grid, Qt::LeftButton, {}, at);
        Settle();
    }
    // A double click as the window system delivers it: press, release, double click, release.
    void DoubleClick(QPoint at) {
        QTest::mouseMove(&grid, at);
        Send(QEvent::MouseButtonPress, at, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, at, Qt::NoButton);
        Send(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, at, Qt::NoButton);
        Settle();
    }
    void Send(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, grid.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&grid, &event);
    }
    std::vector<QString> Column(int column) const {
        std::vector<QString> texts;
        for (int i = 0; i < grid.RowCount(); ++i)
            texts.push_back(grid.GetCellText(i, column));
        return texts;
    }
};

TEST_F(GridInput, ArrowsHomeAndEndStayWithinTheRows) {
    ShowStereoTable();
    Key(Qt::Key_Up);
    EXPECT_EQ(grid.CurRow(), 0);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.CurRow(), 1);
    Key(Qt::Key_End);
    EXPECT_EQ(grid.CurRow(), 15);
    EXPECT_EQ(grid.TopRow(), 6);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.CurRow(), 15);
    Key(Qt::Key_Home);
    EXPECT_EQ(grid.CurRow(), 0);
    EXPECT_EQ(grid.TopRow(), 0);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 1}, {GRIDN_ROWCHANGED, 15}, {GRIDN_ROWCHANGED, 0}}));
}

TEST_F(GridInput, PageKeysMoveByTheVisibleRows) {
    ShowStereoTable();
    grid.SetCurRow(12);
    Settle();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(grid.CurRow(), 15);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(grid.CurRow(), 5);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(grid.CurRow(), 0);
}

TEST_F(GridInput, EnterInsertAndDeletePostTheirNotifications) {
    ShowStereoTable();
    Key(Qt::Key_Down);
    TakeNotes();
    Key(Qt::Key_Return);
    Key(Qt::Key_Insert);
    Key(Qt::Key_Delete);
    Key(Qt::Key_Space);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ENTER, 1}, {GRIDN_INSERT, 1}, {GRIDN_DELETE, 1}}));
}

TEST_F(GridInput, LettersBeforeAnySortMoveNothing) {
    ShowStereoTable();
    Key(Qt::Key_M);
    EXPECT_EQ(grid.CurRow(), 0);
    EXPECT_EQ(grid.SearchText(), "");
    EXPECT_EQ(grid.StatusText(), "1 from 16");
}

TEST_F(GridInput, TypeAheadFindsTheFirstMatchInTheSortedColumn) {
    ShowStereoTable(16);
    Click(TitleCentre(0));
    ASSERT_EQ(grid.SortColumn(), 0);
    TakeNotes();
    Key(Qt::Key_M);
    EXPECT_EQ(grid.CurRow(), 8);
    EXPECT_EQ(grid.GetCellText(8, 0), "MUTE");
    EXPECT_EQ(grid.StatusText(), "M");
    Key(Qt::Key_Z);
    EXPECT_EQ(grid.CurRow(), 8);
    EXPECT_EQ(grid.StatusText(), "MZ");
    // Shift and Ctrl keep the search text.
    Key(Qt::Key_Shift);
    EXPECT_EQ(grid.SearchText(), "MZ");
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.SearchText(), "");
    EXPECT_EQ(grid.CurRow(), 9);
    EXPECT_EQ(grid.StatusText(), "10 from 16");
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 8}, {GRIDN_ROWCHANGED, 9}}));
}

TEST_F(GridInput, TypeAheadTakesTheLatinLetterOfAKeyInAnotherLayout) {
    ShowStereoTable(16);
    Click(TitleCentre(0));
    // The M key with a Cyrillic layout: the key is the letter "Ь", the virtual key still 'M'.
    QKeyEvent press(QEvent::KeyPress, 0x42C, Qt::NoModifier, 0, 'M', 0, QStringLiteral("ь"));
    QCoreApplication::sendEvent(&grid, &press);
    Settle();
    EXPECT_EQ(grid.SearchText(), "M");
    EXPECT_EQ(grid.GetCellText(grid.CurRow(), 0), "MUTE");
}

TEST_F(GridInput, TwoKeysBeforeOneRedrawStillReportTheNewRow) {
    ShowStereoTable();
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Space); // no redraw in between
    Settle();
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 1}}));
}

TEST_F(GridInput, TitleClicksSortAndReverse) {
    ShowStereoTable(16);
    Click(TitleCentre(0));
    EXPECT_FALSE(grid.SortDescending());
    EXPECT_EQ(Column(0).front(), "(L+R)/2");
    EXPECT_EQ(Column(0).back(), "R");
    Click(TitleCentre(0));
    EXPECT_TRUE(grid.SortDescending());
    EXPECT_EQ(Column(0).front(), "R");
    // Another column sorts in the direction last used.
    Click(TitleCentre(1));
    EXPECT_EQ(grid.SortColumn(), 1);
    EXPECT_TRUE(grid.SortDescending());
    EXPECT_EQ(Column(1).front(), "R");
    EXPECT_EQ(Column(1).back(), "(L+R)/2");
    // Sorting neither moves nor reports the current row.
    EXPECT_EQ(grid.CurRow(), 0);
    EXPECT_TRUE(TakeNotes().empty());
}

TEST_F(GridInput, SortingKeepsEachRowWithItsKey) {
    ShowStereoTable(16);
    Click(TitleCentre(1));
    for (int i = 0; i < 16; ++i) {
        const int row = grid.GetRowKey(i).toInt();
        // Row r of the table has Right text by r % 4 and Left text by r / 4.
        static const char* const names[4] = {"MUTE", "R", "L", "(L+R)/2"};
        EXPECT_EQ(grid.GetCellText(i, 1), names[row % 4]);
        EXPECT_EQ(grid.GetCellText(i, 0), names[row / 4]);
    }
}

TEST_F(GridInput, TablesOfFiveThousandRowsDoNotSort) {
    grid.AddColumn("N");
    for (int r = 0; r < 5000; ++r)
        grid.SetCellText(QString::asprintf("%04d", 4999 - r), 0, r);
    ShowAt(300, HeightFor(10));
    QTest::mousePress(&grid, Qt::LeftButton, {}, TitleCentre(0));
    EXPECT_EQ(grid.PressedColumn(), 0);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, TitleCentre(0));
    Settle();
    EXPECT_EQ(grid.PressedColumn(), -1);
    EXPECT_EQ(grid.SortColumn(), -1);
    EXPECT_EQ(grid.GetCellText(0, 0), "4999");

    // One row fewer sorts.
    CGridBox smaller;
    smaller.AddColumn("N");
    for (int r = 0; r < 4999; ++r)
        smaller.SetCellText(QString::asprintf("%04d", 4998 - r), 0, r);
    smaller.resize(300, HeightFor(10));
    smaller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&smaller));
    Settle();
    QTest::mouseClick(&smaller, Qt::LeftButton, {}, QPoint(smaller.ColumnWidth(0) / 2, smaller.HeaderHeight() / 2));
    EXPECT_EQ(smaller.SortColumn(), 0);
    EXPECT_EQ(smaller.GetCellText(0, 0), "0000");
}

TEST_F(GridInput, ClickOnARowMakesItCurrent) {
    ShowStereoTable();
    Click(CellCentre(4, 1));
    EXPECT_EQ(grid.CurRow(), 4);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_ROWCHANGED, 4}}));
    QTest::mouseClick(&grid, Qt::RightButton, {}, CellCentre(6, 0));
    Settle();
    EXPECT_EQ(grid.CurRow(), 4);
    // Below the last visible row nothing is hit.
    Click(QPoint(10, grid.height() - 2));
    EXPECT_EQ(grid.CurRow(), 4);
}

TEST_F(GridInput, DraggingABorderResizesAndTheRestIsRefitted) {
    ShowStereoTable();
    const int before = grid.ColumnWidth(0);
    QTest::mouseMove(&grid, BorderOf(0));
    QTest::mousePress(&grid, Qt::LeftButton, {}, BorderOf(0));
    EXPECT_EQ(grid.PressedColumn(), -1);
    QTest::mouseMove(&grid, QPoint(10, grid.HeaderHeight() / 2));
    EXPECT_EQ(grid.ColumnWidth(0), before);
    QTest::mouseMove(&grid, QPoint(120, grid.HeaderHeight() / 2));
    EXPECT_EQ(grid.ColumnWidth(0), 120);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(120, grid.HeaderHeight() / 2));
    Settle();
    EXPECT_EQ(grid.LastResizedColumn(), 0);
    EXPECT_EQ(grid.ColumnWidth(0), 120);
    EXPECT_EQ(grid.ColumnWidth(1), grid.ClientRect().width() - 121 - 1);
    EXPECT_EQ(grid.SortColumn(), -1);
}

TEST_F(GridInput, DoubleClickOnABorderFitsTheColumnToItsTexts) {
    ShowStereoTable();
    grid.SetCellText("A rather long text for this column", 0, 2);
    // A drag first, so that the next redraw refits only the columns right of this one.
    QTest::mouseMove(&grid, BorderOf(0));
    QTest::mousePress(&grid, Qt::LeftButton, {}, BorderOf(0));
    QTest::mouseMove(&grid, QPoint(60, grid.HeaderHeight() / 2));
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, QPoint(60, grid.HeaderHeight() / 2));
    Settle();
    ASSERT_EQ(grid.ColumnWidth(0), 60);
    TakeNotes();

    DoubleClick(BorderOf(0));
    const QFontMetrics metrics(grid.font());
    const int content = metrics.horizontalAdvance("A rather long text for this column") + 10;
    EXPECT_EQ(grid.ColumnWidth(0), content);
    EXPECT_EQ(grid.ColumnWidth(1), grid.ClientRect().width() - content - 2);
    EXPECT_TRUE(TakeNotes().empty());
}

TEST_F(GridInput, DoubleClickOnARowReportsItButNotOnATitle) {
    ShowStereoTable();
    DoubleClick(TitleCentre(1));
    for (const auto& note : TakeNotes())
        EXPECT_NE(note.first, GRIDN_DBLCLK);

    DoubleClick(CellCentre(5, 0));
    EXPECT_EQ(grid.CurRow(), 5);
    EXPECT_EQ(TakeNotes(), (NoteList{{GRIDN_DBLCLK, 5}, {GRIDN_ROWCHANGED, 5}}));
}

TEST_F(GridInput, LosingTheFocusReleasesAPressedTitleWithoutSorting) {
    ShowStereoTable();
    ASSERT_TRUE(grid.HasFocusMark());
    QTest::mousePress(&grid, Qt::LeftButton, {}, TitleCentre(1));
    EXPECT_EQ(grid.PressedColumn(), 1);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(&grid, &out);
    Settle();
    EXPECT_EQ(grid.PressedColumn(), -1);
    EXPECT_FALSE(grid.HasFocusMark());
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, TitleCentre(1));
    Settle();
    EXPECT_EQ(grid.SortColumn(), -1);
}

TEST_F(GridInput, LeftAndRightPageOnlyColumnsWiderThanTheWindow) {
    FillStereoTable();
    ShowAt(300, HeightFor(16));
    Key(Qt::Key_Right);
    EXPECT_EQ(grid.HScroll(), 0);
}

// Two columns of the initial width in a 30-pixel window: the first fitting gives 14 and 20 pixels, and
// the pixels that stick out can be paged to.
TEST_F(GridInput, NarrowWindowFitsFourteenAndTwenty) {
    FillStereoTable();
    grid.resize(30, HeightFor(16));
    grid.FitColumns(-1);
    EXPECT_EQ(grid.ColumnWidth(0), 14);
    EXPECT_EQ(grid.ColumnWidth(1), 20);

    ShowAt(30, HeightFor(16));
    EXPECT_FALSE(grid.VScrollShown());
    const int overhang = grid.ColumnWidth(0) + grid.ColumnWidth(1) + 2 - 30;
    ASSERT_GT(overhang, 0);
    Key(Qt::Key_Right);
    EXPECT_EQ(grid.HScroll(), overhang);
    Key(Qt::Key_Left);
    EXPECT_EQ(grid.HScroll(), 0);
}

} // namespace
