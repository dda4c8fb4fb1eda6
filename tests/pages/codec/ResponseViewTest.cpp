// The analyser's response view: tones heard become the loss curve relative to 1020 Hz, held to the
// mask it draws, and its accessible name says the key figures.
#include "ResponseView.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(ResponseView, TonesHeardBecomeTheLossCurveOverItsMask) {
    CResponseView view;
    view.AddReading(300.0, -14.0);
    EXPECT_FALSE(view.Curve()) << "no reference yet";
    EXPECT_EQ(view.accessibleName(), "Response: 1 tones, no 1020 Hz reference yet");
    const MaskFile masks = ParseMaskFile("loss-frequency 300 3400 -0.5 1\n");
    ASSERT_TRUE(masks.errors.empty());
    view.SetMask(masks.masks.front());
    // Level at each frequency, in dB on the reference's scale (-10 at 1020 Hz).
    const struct {
        double hz, level, loss;
    } points[] = {{1020.0, -10.0, 0.0}, {300.3, -11.0, 1.0}, {3400.0, -12.5, 2.5}, {204.0, -20.0, 10.0}};
    for (const auto& p : points)
        view.AddReading(p.hz, p.level);
    const auto curve = view.Curve();
    ASSERT_TRUE(curve);
    ASSERT_EQ(curve->size(), 4u) << "300.3 Hz replaced 300 Hz";
    for (const auto& p : points) {
        const auto at =
            std::find_if(curve->begin(), curve->end(), [&](const CurvePoint& c) { return std::abs(c.x - p.hz) < 0.5; });
        ASSERT_NE(at, curve->end()) << p.hz;
        EXPECT_DOUBLE_EQ(at->y, p.loss) << p.hz;
    }
    // 300 Hz sits on the mask's upper edge (inside); 3400 Hz is out; 204 Hz is not covered.
    EXPECT_EQ(view.accessibleName(), "Response: 4 points, 0.0 to 10.0 dB loss, 1 outside the mask");
    view.grab(); // draws without a fault
    view.Clear();
    EXPECT_EQ(view.accessibleName(), "Response: 0 tones, no 1020 Hz reference yet");
}

// A steady tone heard ten times a second is not drawn again; a level that drifts is, once the drift
// adds up (measured from what was drawn, not from the reading before).
TEST(ResponseView, DrawsASteadyToneOnceAndADriftOnceItAddsUp) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    CResponseView view;
    view.AddReading(1020.0, -10.0);
    view.AddReading(1000.0, -12.0);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    view.installEventFilter(&counter);
    for (int i = 0; i < 10; ++i) {
        view.AddReading(1000.0 + 0.1 * (i % 3), -12.0 + 0.001 * (i % 2));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(view.accessibleName(), "Response: 2 points, 0.0 to 2.0 dB loss, 0 outside the mask");
    for (int i = 1; i <= 5; ++i)
        view.AddReading(1000.0, -12.0 - 0.02 * i);
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(view.accessibleName(), "Response: 2 points, 0.0 to 2.1 dB loss, 0 outside the mask");
}

} // namespace
