// The grid control's widget-free logic: column fitting, type-ahead search and scroll limits.
#include "GridLogic.h"

namespace GridLogic {

void FitColumns(std::vector<int>& widths, int lastResized, int clientLeft, int clientRight) {
    const int n = static_cast<int>(widths.size());
    if (n == 0)
        return;
    long long used = 0;
    for (int w : widths)
        used += w + 1;
    const long long freeSpace = static_cast<long long>(clientRight - clientLeft) - used;
    const int count = n - std::max(lastResized, -1) - 1;
    if (count <= 0)
        return;
    const int delta = static_cast<int>(freeSpace / count);

    int x = clientLeft;
    for (int j = 0; j < n; ++j) {
        if (j < n - 1) {
            if (j > lastResized)
                widths[j] += delta;
            x += widths[j] + 1;
        } else {
            widths[j] = clientRight - x - 1;
        }
        // x has already moved on with the width before this correction, so the column before pays for it.
        if (widths[j] < kMinColumnWidth) {
            const int d = kMinColumnWidth - widths[j];
            widths[j] = kMinColumnWidth;
            if (j > 0)
                widths[j - 1] -= d;
        }
    }
}

int FindPrefix(const std::vector<int>& order, const std::vector<QString>& texts, const QString& search) {
    const QString wanted = search.toUpper();
    for (int i = 0; i < static_cast<int>(order.size()); ++i) {
        const int row = order[i];
        if (row >= 0 && row < static_cast<int>(texts.size()) && texts[row].toUpper().startsWith(wanted))
            return i;
    }
    return -1;
}

int LimitTopRow(int top, int rows, int visible) { return std::clamp(top, 0, std::max(0, rows - visible)); }

} // namespace GridLogic
