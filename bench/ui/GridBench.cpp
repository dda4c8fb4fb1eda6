// Grid sort of 4999 rows (the most a title click sorts) and a full repaint of a 16-row table.
#include "GridBox.h"
#include "GridLogic.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <numeric>
#include <random>
#include <vector>

namespace {

std::vector<QString> RandomTexts(int count) {
    std::mt19937 random(42);
    std::vector<QString> texts;
    texts.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        texts.push_back(QStringLiteral("Row %1 %2").arg(random() % 100000).arg(random() % 7));
    return texts;
}

void BM_GridSort4999(benchmark::State& state) {
    const auto texts = RandomTexts(4999);
    std::vector<int> order(texts.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        GridLogic::SortRowOrder(order, 0, static_cast<int>(order.size()) - 1, [&texts](int a, int b) {
            return GridLogic::TextBefore(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)], false);
        });
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(BM_GridSort4999)->Unit(benchmark::kMicrosecond);

void BM_GridSort4999Sorted(benchmark::State& state) {
    std::vector<QString> texts;
    for (int i = 0; i < 4999; ++i)
        texts.push_back(QString::asprintf("%05d", i));
    std::vector<int> order(texts.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        GridLogic::SortRowOrder(order, 0, static_cast<int>(order.size()) - 1, [&texts](int a, int b) {
            return GridLogic::TextBefore(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)], true);
        });
        benchmark::DoNotOptimize(order.data());
    }
}
BENCHMARK(BM_GridSort4999Sorted)->Unit(benchmark::kMicrosecond);

// The stereo output page's routing table with room for all sixteen rows.
void FillRoutingTable(CGridBox& grid) {
    static const char* const names[4] = {"MUTE", "R", "L", "(L+R)/2"};
    grid.AddColumn(QStringLiteral("Left"));
    grid.AddColumn(QStringLiteral("Right"));
    for (int r = 0; r < 16; ++r) {
        grid.SetRowKey(QString::number(r), r);
        grid.SetCellText(QString::fromLatin1(names[r / 4]), 0, r);
        grid.SetCellText(QString::fromLatin1(names[r % 4]), 1, r);
    }
    grid.SetCurRow(9);
    const int h = grid.fontMetrics().height();
    grid.resize(260, 16 * (h + 3) + (h + 2) + (h + 5) + 2);
    grid.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Composing the whole client area, as a paint event does, into an image.
void BM_GridPaint16Rows(benchmark::State& state) {
    CGridBox grid;
    FillRoutingTable(grid);
    QImage image(grid.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        grid.Paint(painter);
    }
}
BENCHMARK(BM_GridPaint16Rows)->Unit(benchmark::kMicrosecond);

// The full on-screen repaint through the window system's backing store.
void BM_GridRepaint16Rows(benchmark::State& state) {
    CGridBox grid;
    FillRoutingTable(grid);
    for (auto _ : state)
        grid.repaint();
}
BENCHMARK(BM_GridRepaint16Rows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
