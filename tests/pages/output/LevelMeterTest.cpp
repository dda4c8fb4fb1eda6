// The level meter rendered offscreen: segments per zone, frame, limits, band repaints and attaching.
#include "LevelMeter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QPaintEvent>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <vector>

namespace {

const QRgb kGreen = qRgb(40, 255, 32);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGrey = qRgb(192, 192, 192);

struct Segments {
    int green = 0, yellow = 0, red = 0, other = 0;
};

QImage Render(CLevelMeter& meter, qreal ratio = 1.0) {
    QImage image(meter.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    meter.render(&image);
    return image;
}

// Counts the coloured runs along the middle of the bar (a segment is one run).
Segments Count(const QImage& image, bool vertical) {
    Segments found;
    const int length = vertical ? image.height() : image.width();
    QRgb previous = kGrey;
    for (int k = 0; k < length; ++k) {
        const QRgb pixel = vertical ? image.pixel(image.width() / 2, k) : image.pixel(k, image.height() / 2);
        if (pixel != previous) {
            if (pixel == kGreen)
                ++found.green;
            else if (pixel == kYellow)
                ++found.yellow;
            else if (pixel == kRed)
                ++found.red;
            else if (pixel != kGrey && pixel != qRgb(0, 0, 0) && pixel != qRgb(255, 255, 255))
                ++found.other;
        }
        previous = pixel;
    }
    return found;
}

class LevelMeterTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        meter.SetVertical(GetParam());
        meter.resize(GetParam() ? QSize(20, 207) : QSize(207, 20));
        ASSERT_EQ(meter.SetMax(32767), 32767);
    }
    Segments At(int position) {
        meter.SetPos(position);
        return Count(Render(meter), GetParam());
    }
    CLevelMeter meter;
};

TEST_P(LevelMeterTest, ZonesFollowThePosition) {
    const Segments half = At(16383);
    EXPECT_GT(half.green, 10);
    EXPECT_EQ(half.yellow, 0);
    EXPECT_EQ(half.red, 0);

    const Segments ninety = At(29490);
    EXPECT_GE(ninety.green, half.green);
    EXPECT_GT(ninety.yellow, 0);
    EXPECT_EQ(ninety.red, 0);

    const Segments full = At(32767);
    EXPECT_EQ(full.green, ninety.green);
    EXPECT_GE(full.yellow, ninety.yellow);
    EXPECT_GT(full.red, 0);
    // 200 pixels of 5-pixel segments with 2-pixel gaps: 29 segments, the last one clipped.
    EXPECT_EQ(full.green + full.yellow + full.red, 29);
    EXPECT_EQ(full.other, 0);
}

TEST_P(LevelMeterTest, NothingLitAtZeroOrBelow) {
    for (int position : {0, -1, -2147483647 - 1}) {
        const Segments none = At(position);
        EXPECT_EQ(none.green + none.yellow + none.red + none.other, 0) << position;
    }
}

TEST_P(LevelMeterTest, PositionIsLimitedToMax) {
    EXPECT_EQ(meter.SetPos(40000), 32767);
    EXPECT_EQ(meter.Pos(), 32767);
    EXPECT_EQ(At(40000).red, At(32767).red);
    EXPECT_EQ(meter.SetPos(-5), -5);
}

TEST_P(LevelMeterTest, FrameIsBlackTopLeftAndWhiteBottomRight) {
    const QImage image = Render(meter);
    const int w = image.width(), h = image.height();
    EXPECT_EQ(image.pixel(0, h / 2), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(w / 2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(w - 1, h / 2), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(w / 2, h - 1), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 1), kGrey);
}

TEST_P(LevelMeterTest, HighDensityRenderingHasTheSameSegments) {
    meter.SetPos(29490);
    const Segments normal = Count(Render(meter), GetParam());
    const Segments dense = Count(Render(meter, 2.0), GetParam());
    EXPECT_EQ(dense.green, normal.green);
    EXPECT_EQ(dense.yellow, normal.yellow);
    // Edges land on whole device pixels: no blended colours between segments.
    EXPECT_EQ(dense.other, 0);
}

INSTANTIATE_TEST_SUITE_P(Orientations, LevelMeterTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Vertical" : "Horizontal"; });

TEST(LevelMeter, StartsWithItsDefaults) {
    CLevelMeter meter;
    EXPECT_EQ(meter.Max(), 100);
    EXPECT_EQ(meter.Pos(), 100);
    EXPECT_FALSE(meter.IsVertical());
    EXPECT_EQ(meter.BkColor(), QColor(192, 192, 192));
    EXPECT_EQ(meter.LowZone() + meter.MiddleZone() + meter.HighZone(), 100);
    EXPECT_FALSE(meter.objectName().isEmpty());
}

TEST(LevelMeter, SetMaxRefusesZeroAndBelow) {
    CLevelMeter meter;
    meter.SetMax(1000);
    meter.SetPos(700);
    EXPECT_EQ(meter.SetMax(0), -1);
    EXPECT_EQ(meter.SetMax(-3), -1);
    EXPECT_EQ(meter.Max(), 1000);
    EXPECT_EQ(meter.Pos(), 700);
    // A smaller max lowers the position with it.
    EXPECT_EQ(meter.SetMax(500), 500);
    EXPECT_EQ(meter.Pos(), 500);
}

TEST(LevelMeter, SevenPixelsHighShowsOnlyBackgroundAndFrame) {
    CLevelMeter meter;
    meter.SetVertical(true);
    meter.resize(20, 7);
    meter.SetMax(100);
    meter.SetPos(100);
    const Segments none = Count(Render(meter), true);
    EXPECT_EQ(none.green + none.yellow + none.red + none.other, 0);
}

TEST(LevelMeter, BackgroundColourShowsAtTheNextPaint) {
    CLevelMeter meter;
    meter.resize(50, 20);
    meter.SetPos(0);
    meter.SetBkColor(QColor(10, 20, 30));
    EXPECT_EQ(Render(meter).pixel(2, 2), qRgb(10, 20, 30));
}

// Records the rectangles the meter is asked to paint.
class PaintLog : public QObject {
public:
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            rects.push_back(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
};

TEST(LevelMeter, SetPosRepaintsOnlyTheChangedBand) {
    CLevelMeter meter;
    meter.SetVertical(true);
    meter.resize(20, 107);
    meter.show();
    meter.SetMax(100);
    meter.SetPos(0);
    QCoreApplication::processEvents();
    PaintLog log;
    meter.installEventFilter(&log);
    meter.SetPos(50);
    // Inner height 101: the old top 101 and the new 50, widened by a segment and a gap each way.
    ASSERT_EQ(log.rects.size(), 1u);
    EXPECT_EQ(log.rects[0], QRect(0, 46, 20, 61));

    log.rects.clear();
    meter.SetVertical(false);
    meter.resize(107, 20);
    meter.SetPos(0);
    QCoreApplication::processEvents();
    log.rects.clear();
    meter.SetPos(20);
    ASSERT_EQ(log.rects.size(), 1u);
    EXPECT_EQ(log.rects[0], QRect(0, 0, 30, 20));
}

TEST(LevelMeter, AttachTakesThePlaceOfAProgressBar) {
    QWidget dialog;
    auto* layout = new QHBoxLayout(&dialog);
    auto* bar = new QProgressBar;
    bar->setOrientation(Qt::Vertical);
    bar->setObjectName("leftLevel");
    layout->addWidget(new QWidget);
    layout->addWidget(bar);
    CLevelMeter meter;
    ASSERT_TRUE(meter.Attach(bar));
    EXPECT_TRUE(meter.IsVertical());
    EXPECT_EQ(meter.parentWidget(), &dialog);
    EXPECT_EQ(layout->indexOf(&meter), 1);
    EXPECT_EQ(layout->indexOf(bar), -1);
    EXPECT_TRUE(bar->isHidden());
    meter.setParent(nullptr);

    EXPECT_FALSE(meter.Attach(nullptr));
    QProgressBar orphan;
    EXPECT_FALSE(meter.Attach(&orphan));
}

} // namespace
