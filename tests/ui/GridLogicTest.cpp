// Column fitting, text shortening, the row sort and type-ahead matching, without a widget.
#include "GridLogic.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using GridLogic::FitColumns;

TEST(FitColumns, TwoColumnsShareTheWidthAndFillItExactly) {
    for (int width : {202, 203, 400, 401, 640, 100, 60}) {
        std::vector<int> widths = {100, 100};
        FitColumns(widths, -1, 0, width);
        EXPECT_EQ(widths[0], 100 + (width - 202) / 2) << width;
        EXPECT_EQ(widths[0] + 1 + widths[1] + 1, width) << width;
    }
}

TEST(FitColumns, NarrowClientRaisesTheLastColumnAtTheExpenseOfTheFirst) {
    std::vector<int> widths = {100, 100};
    FitColumns(widths, -1, 0, 30);
    EXPECT_EQ(widths, (std::vector<int>{14, 20}));
}

TEST(FitColumns, OnlyColumnsRightOfTheResizedOneAreFitted) {
    std::vector<int> widths = {150, 100, 100};
    FitColumns(widths, 0, 0, 400);
    // 400 - 353 = 47 free pixels for two columns: 23 each, the last takes the rest.
    EXPECT_EQ(widths, (std::vector<int>{150, 123, 124}));

    std::vector<int> last = {150, 100, 100};
    FitColumns(last, 2, 0, 400);
    EXPECT_EQ(last, (std::vector<int>{150, 100, 100}));

    std::vector<int> none;
    FitColumns(none, -1, 0, 400);
    EXPECT_TRUE(none.empty());
}

TEST(FitColumns, MiddleColumnIsRaisedAndItsNeighbourPays) {
    std::vector<int> widths = {100, 10, 100};
    FitColumns(widths, 0, 0, 50);
    // Free = 50 - 213 = -163 over two columns: -81 each. Column 1 becomes -71, raised to 20 (column 0
    // pays 91); the last column gets 50 - (101 + -70) - 1 = 18, raised to 20 (column 1 pays 2).
    EXPECT_EQ(widths, (std::vector<int>{9, 18, 20}));
}

TEST(FitColumns, ClientLeftEdgeShiftsTheWalk) {
    std::vector<int> widths = {100, 100};
    FitColumns(widths, -1, 10, 310);
    EXPECT_EQ(widths[0] + widths[1] + 2, 300);
}

// Ten pixels per character, so widths are easy to follow.
int Measure(const QString& s) { return static_cast<int>(s.size()) * 10; }

TEST(ShortenText, CutsOneCharacterAtATimeBehindThreeDots) {
    auto shorten = [](const QString& text, int avail) {
        QString buffer = text;
        GridLogic::ShortenText(buffer, avail, Measure);
        return buffer;
    };
    EXPECT_EQ(shorten("Right channel", 130), "Right channel");
    EXPECT_EQ(shorten("Right channel", 129), "Right cha...");
    EXPECT_EQ(shorten("Right channel", 40), "R...");
    EXPECT_EQ(shorten("Right channel", 39), "R");
    EXPECT_EQ(shorten("Right channel", -5), "R");
    EXPECT_EQ(shorten("", -5), "");
    EXPECT_EQ(shorten("AB", 19), "A");
}

TEST(ShortenText, ALongCellTakesAFewMeasurementsAndMatchesCuttingOneCharacterAtATime) {
    const QString text(2047, QLatin1Char('w'));
    for (const int avail : {20470, 20469, 12345, 50, 40, 39}) {
        int measured = 0;
        QString buffer = text;
        GridLogic::ShortenText(buffer, avail, [&measured](const QString& s) {
            ++measured;
            return Measure(s);
        });
        // Ten pixels a character: the longest cut that fits keeps avail / 10 - 3 characters.
        const qsizetype kept = avail / 10 - 3;
        const QString expected = avail >= 20470 ? text : kept >= 1 ? text.left(kept) + "..." : text.left(1);
        EXPECT_EQ(buffer, expected) << avail;
        EXPECT_LE(measured, 13) << avail;
    }
}

std::vector<int> Sorted(const std::vector<QString>& texts, bool descending) {
    std::vector<int> order(texts.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    GridLogic::SortRowOrder(order, 0, static_cast<int>(order.size()) - 1,
                            [&](int a, int b) { return GridLogic::TextBefore(texts[a], texts[b], descending); });
    return order;
}

TEST(SortRowOrder, OrdersByCodeUnitCaseSensitivePrefixFirst) {
    const std::vector<QString> texts = {"b", "B", "ab", "a", "", "a b", "Zz"};
    EXPECT_EQ(Sorted(texts, false), (std::vector<int>{4, 1, 6, 3, 5, 2, 0}));
    EXPECT_EQ(Sorted(texts, true), (std::vector<int>{0, 2, 5, 3, 6, 1, 4}));
}

TEST(SortRowOrder, EqualTextsEndWhereThePartitionStepsPutThem) {
    // Traced by hand through the partition: the two A rows and the two B rows keep this order.
    EXPECT_EQ(Sorted({"B", "A", "B", "A"}, false), (std::vector<int>{1, 3, 0, 2}));
    // The stereo page's Left column.
    const std::vector<QString> left = {"MUTE", "MUTE", "MUTE", "MUTE", "R",       "R",       "R",       "R",
                                       "L",    "L",    "L",    "L",    "(L+R)/2", "(L+R)/2", "(L+R)/2", "(L+R)/2"};
    const auto order = Sorted(left, false);
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LE(QString::compare(left[order[i - 1]], left[order[i]]), 0);
}

// The documented recursion, left part first, written the plain way.
void ReferenceSort(std::vector<int>& order, int lo, int hi, const std::vector<QString>& texts) {
    auto before = [&](int a, int b) { return texts[a] < texts[b]; };
    while (lo < hi) {
        const int pivot = order[lo];
        int i = lo, j = hi;
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
        ReferenceSort(order, lo, i - 1, texts);
        lo = i + 1;
    }
}

TEST(SortRowOrder, SmallerPartFirstGivesTheDocumentedOrder) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<QString> texts(1 + random() % 300);
        for (auto& text : texts)
            text = QString::number(random() % 20);
        std::vector<int> expected(texts.size());
        for (size_t i = 0; i < expected.size(); ++i)
            expected[i] = static_cast<int>(i);
        ReferenceSort(expected, 0, static_cast<int>(expected.size()) - 1, texts);
        EXPECT_EQ(Sorted(texts, false), expected) << round;
    }
}

TEST(SortRowOrder, AlreadySortedAndReversedInputsFinish) {
    std::vector<QString> texts;
    for (int i = 0; i < 4999; ++i)
        texts.push_back(QString::asprintf("%05d", i));
    const auto ascending = Sorted(texts, false);
    const auto descending = Sorted(texts, true);
    for (int i = 0; i < 4999; ++i) {
        EXPECT_EQ(ascending[i], i);
        EXPECT_EQ(descending[i], 4998 - i);
    }
}

TEST(FindPrefix, FirstDisplayPositionInUpperCase) {
    const std::vector<QString> texts = {"mute", "R", "Mute", "L"};
    const std::vector<int> order = {3, 2, 1, 0};
    EXPECT_EQ(GridLogic::FindPrefix(order, texts, "M"), 1);
    EXPECT_EQ(GridLogic::FindPrefix(order, texts, "mu"), 1);
    EXPECT_EQ(GridLogic::FindPrefix(order, texts, "MZ"), -1);
    EXPECT_EQ(GridLogic::FindPrefix(order, texts, "L"), 0);
    EXPECT_EQ(GridLogic::FindPrefix({}, texts, "L"), -1);
}

TEST(LimitTopRow, KeepsTheTopWithinTheScrollableRows) {
    EXPECT_EQ(GridLogic::LimitTopRow(-3, 100, 10), 0);
    EXPECT_EQ(GridLogic::LimitTopRow(95, 100, 10), 90);
    EXPECT_EQ(GridLogic::LimitTopRow(5, 8, 10), 0);
    EXPECT_EQ(GridLogic::LimitTopRow(42, 100, 10), 42);
}

} // namespace
