// The calibration page driving a simulated board: a full calibration corrects the line voltmeters.
#include "CalibrationPage.h"
#include "RecordingPrompts.h"
#include "SimFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(CalibrationOnSimulator, FullCalibrationCorrectsTheVoltageTheLinesReport) {
    SimFixtureBoards sim{{{0x320, 7, 4, "", ""}}};
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    ASSERT_NE(cfg, nullptr);
    RecordingPrompts prompts;
    CCalibrationPage page(cfg.get(), 4);
    ASSERT_TRUE(page.OnInitDialog());
    EXPECT_EQ(page.findChild<QLineEdit*>(QStringLiteral("maxVoltageEdit"))->text(), QStringLiteral("60"));

    const sim::BoardState& state = sim.simulator->BoardAt(0).State();
    const auto measured = [&](int line) {
        auto lock = sim.simulator->BoardAt(0).Lock();
        return state.MeasuredVoltage(line, 48);
    };
    ASSERT_NE(measured(0), 48);

    page.findChild<QCheckBox*>(QStringLiteral("lineCheck4"))->setChecked(false);
    auto* next = page.findChild<QPushButton*>(QStringLiteral("nextButton"));
    auto* apply = page.findChild<QPushButton*>(QStringLiteral("applyButton"));
    apply->click(); // nothing computed yet: the board refuses
    page.findChild<QLineEdit*>(QStringLiteral("maxVoltageEdit"))->setText(QStringLiteral("70"));
    for (int press = 0; press < 3; ++press)
        next->click();
    apply->click();

    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Can not set colibration info"));
    EXPECT_EQ(prompts.messages[1].text, QStringLiteral("Colibration info is set"));
    EXPECT_EQ(sim.simulator->BoardAt(0).Calibration().MaxVoltage(), 70);
    for (int line = 0; line < 3; ++line)
        EXPECT_EQ(measured(line), 48) << line;
    EXPECT_NE(measured(3), 48); // left out of the calibration
}
