// A grid on an offscreen window with the stereo page's routing table, and helpers to find its parts.
#pragma once

#include "GridBox.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

class GridFixture : public ::testing::Test {
protected:
    GridFixture();

    // Two columns "Left" and "Right", sixteen rows keyed "0".."15", as the stereo output page fills them.
    void FillStereoTable();
    // The window height whose body holds exactly this many rows.
    int HeightFor(int rows) const;
    void ShowAt(int width, int height);
    // Delivers the posted redraw requests and notifications.
    void Settle();
    // Notifications delivered since the last call, as (code, row).
    std::vector<std::pair<int, int>> TakeNotes();

    QPoint CellCentre(int position, int column) const;
    QPoint TitleCentre(int column) const;
    // A point on the right border of a column in the header.
    QPoint BorderOf(int column) const;
    // Left edge of a column in client coordinates.
    int ColumnLeft(int column) const;

    CGridBox grid;
    QSignalSpy spy;
};
