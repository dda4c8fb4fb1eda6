// The grid control's logic that needs no widget: column fitting, text shortening, row sorting and
// type-ahead search, as plain functions that tests and benchmarks call directly.
#pragma once

#include <QString>

#include <algorithm>
#include <utility>
#include <vector>

namespace GridLogic {

// No column is fitted narrower than this.
constexpr int kMinColumnWidth = 20;

// Fits the column widths (each without its 1-pixel separator) to the client span [clientLeft, clientRight):
// the columns right of lastResized (-1: all) share the free space equally, the last column takes what the
// integer division leaves, and each column is raised to the minimum width when the walk reaches it, taking
// the pixels back from the column before it. When lastResized is the last column nothing changes.
void FitColumns(std::vector<int>& widths, int lastResized, int clientLeft, int clientRight);

// Shortens the text in the buffer until measure(buffer) fits avail: the text is cut behind "..." at the
// longest length that fits, down to one character plus "...", and finally to the first character alone.
// Widths grow with the length, so the length is found by halving the range: a long cell costs a few
// dozen measurements instead of one per character.
template <class Measure> void ShortenText(QString& buffer, int avail, Measure measure) {
    if (measure(buffer) <= avail)
        return;
    if (buffer.size() < 2) {
        buffer.truncate(1);
        return;
    }
    const QString text = buffer;
    auto cutAt = [&buffer, &text](qsizetype length) {
        buffer.resize(0);
        buffer.append(QStringView(text).left(length));
        buffer.append(QLatin1String("..."));
    };
    qsizetype fits = 0;              // longest length known to fit with "..."; 0 while none is known
    qsizetype tooLong = text.size(); // shortest length known not to fit
    while (tooLong - fits > 1) {
        const qsizetype middle = fits + (tooLong - fits) / 2;
        cutAt(middle);
        if (measure(buffer) <= avail)
            fits = middle;
        else
            tooLong = middle;
    }
    if (fits == 0)
        buffer = text.left(1);
    else
        cutAt(fits);
}

// Sort order of two cell texts: code unit by code unit, case-sensitive, a prefix before the longer text.
inline bool TextBefore(const QString& a, const QString& b, bool descending) {
    const int order = QString::compare(a, b, Qt::CaseSensitive);
    return descending ? order > 0 : order < 0;
}

// Sorts positions lo..hi of the row order with before(rowIndexA, rowIndexB): a partition around the first
// row that moves the pivot right past every row before it. Rows that compare equal keep the order these
// exact steps give them. The recursion takes the smaller part and the loop the larger, which bounds the
// stack depth; the parts are disjoint, so the result is the same whichever part is sorted first.
template <class Before> void SortRowOrder(std::vector<int>& order, int lo, int hi, Before before) {
    while (lo < hi) {
        const int pivot = order[lo];
        int i = lo;
        int j = hi;
        while (i < j) {
            if (before(order[i + 1], pivot)) {
                order[i] = order[i + 1];
                order[i + 1] = pivot;
                ++i;
            } else {
                if (before(order[j], pivot))
                    std::swap(order[i + 1], order[j]);
                --j;
            }
        }
        if (i - lo < hi - i) {
            SortRowOrder(order, lo, i - 1, before);
            lo = i + 1;
        } else {
            SortRowOrder(order, i + 1, hi, before);
            hi = i - 1;
        }
    }
}

// First display position whose text (texts indexed by row index) begins with search, both compared in
// upper case; -1 when none does.
int FindPrefix(const std::vector<int>& order, const std::vector<QString>& texts, const QString& search);

// A scroll target limited to the rows that can be on top: 0..rows - visible.
int LimitTopRow(int top, int rows, int visible);

} // namespace GridLogic
