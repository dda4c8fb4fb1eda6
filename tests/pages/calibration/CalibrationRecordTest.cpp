// Records of applied calibrations: the two-point correction, and a calibration through the simulator
// leaving one record with the board, the lines and the readings, or a message when none can be kept.
#include "CalibrationRecord.h"
#include "CalibrationPage.h"
#include "DesktopRecords.h"
#include "DeviceNames.h"
#include "RecordStore.h"
#include "RecordWriter.h"
#include "RecordingPrompts.h"
#include "SimFixture.h"
#include "TempDir.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <fstream>

TEST(CalibrationRecord, TwoPointCorrectionMapsTheReadingsOntoZeroAndFullScale) {
    struct Case {
        std::optional<double> zero, full;
        int volts;
        std::optional<Correction> want;
    } cases[] = {
        {3.0, 63.0, 60, Correction{1.0, -3.0}}, {-2.0, 28.0, 60, Correction{2.0, 4.0}},
        {0.0, 120.0, 60, Correction{0.5, 0.0}}, {5.0, 5.0, 60, std::nullopt}, // no spread between the points
        {std::nullopt, 60.0, 60, std::nullopt}, {1.0, std::nullopt, 60, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto got = TwoPointCorrection({0, c.zero, c.full, std::nullopt}, c.volts);
        ASSERT_EQ(got.has_value(), c.want.has_value()) << c.zero.value_or(-99) << " " << c.full.value_or(-99);
        if (got) {
            EXPECT_DOUBLE_EQ(got->gain, c.want->gain);
            EXPECT_DOUBLE_EQ(got->offset, c.want->offset);
            // The correction takes the readings to 0 V and the full scale.
            EXPECT_NEAR(got->gain * *c.zero + got->offset, 0.0, 1e-12);
            EXPECT_NEAR(got->gain * *c.full + got->offset, c.volts, 1e-12);
        }
    }
}

namespace {

class CalibrationRecords : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path("data")));
        qputenv("VELTRIN_STATION", "bench \"7\"\nwest");
        qunsetenv("VELTRIN_OPERATOR");
        for (int line = 0; line < 4; ++line)
            lineIn.push_back(sim.Open(0, LineInLeaf(line)));
        context.type = 0x320;
        context.index = 2;
        context.channels = 4;
        context.boardId = 7;
        context.boardName = "R320 Ünit";
        context.cfg = cfg.get();
        for (int line = 0; line < 4; ++line)
            context.lineIn[static_cast<size_t>(line)] = lineIn[static_cast<size_t>(line)].get();
    }
    void TearDown() override {
        qunsetenv("VELTRIN_RECORDS");
        qunsetenv("VELTRIN_STATION");
        qunsetenv("XDG_DATA_HOME");
    }

    // Calibrates lines 0..2 (line 3 unticked) to 70 V and applies; true when a record write finished.
    bool CalibrateAndApply(CCalibrationPage& page) {
        page.KeepRecords(context);
        if (!page.OnInitDialog())
            return false;
        page.findChild<QCheckBox*>(QStringLiteral("lineCheck4"))->setChecked(false);
        page.findChild<QLineEdit*>(QStringLiteral("maxVoltageEdit"))->setText(QStringLiteral("70"));
        QSignalSpy written(page.Records(), &CRecordWriter::written);
        for (int press = 0; press < 3; ++press)
            page.findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
        page.findChild<QPushButton*>(QStringLiteral("applyButton"))->click();
        return written.wait(10000) && written.size() == 1;
    }

    TempDir dir;
    SimFixtureBoards sim{{{0x320, 7, 4, "", ""}}};
    std::unique_ptr<CDevice> cfg = sim.Open(0, "VELTRIN_CFG");
    std::vector<std::unique_ptr<CDevice>> lineIn;
    PageContext context;
};

} // namespace

TEST_F(CalibrationRecords, AnAppliedCalibrationLeavesOneRecordWithTheReadings) {
    const QString store = QString::fromStdString(dir.Path("records.sqlite"));
    qputenv("VELTRIN_RECORDS", store.toUtf8());
    RecordingPrompts prompts;
    const sim::BoardState& state = sim.simulator->BoardAt(0).State();
    std::vector<double> before;
    for (int line = 0; line < 3; ++line)
        before.push_back(state.MeasuredVoltage(line, -60));
    {
        CCalibrationPage page(cfg.get(), 4);
        ASSERT_TRUE(CalibrateAndApply(page));
        // Applying the same coefficients again is not another calibration.
        page.findChild<QPushButton*>(QStringLiteral("applyButton"))->click();
        EXPECT_FALSE(page.Records()->Busy());
    }
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Colibration info is set"));

    auto records = OpenRecordStore(*ParseStoreUrl(store, nullptr));
    const std::vector<TestRecord> all = records->List({});
    ASSERT_EQ(all.size(), 1u);
    const TestRecord r = *records->Get(all[0].runId);
    EXPECT_EQ(r.command, QStringLiteral("calibrate"));
    EXPECT_EQ(r.arguments, QStringList({"calibrate", "2", "--lines", "0,1,2", "--max-voltage", "70"}));
    EXPECT_EQ(r.boardId, 7u);
    EXPECT_EQ(r.boardType, 0x320u);
    EXPECT_EQ(r.boardName, QStringLiteral("R320 Ünit"));
    EXPECT_EQ(r.mode, QStringLiteral("production"));
    EXPECT_EQ(r.outcome, QStringLiteral("pass"));
    EXPECT_EQ(r.station, QStringLiteral("bench \"7\"\nwest"));
    EXPECT_EQ(r.operatorName, DefaultOperator());
    EXPECT_FALSE(r.operatorName.isEmpty());
    EXPECT_EQ(r.attempt, 1);
    EXPECT_LE(r.startedMs, r.endedMs);
    ASSERT_EQ(r.steps.size(), 1u + 3 * 5);
    EXPECT_EQ(r.steps[0].name, QStringLiteral("maximum voltage"));
    EXPECT_EQ(r.steps[0].value, 70.0);
    for (int line = 0; line < 3; ++line) {
        const auto at = [&](int k) { return r.steps[static_cast<size_t>(1 + line * 5 + k)]; };
        const QString prefix = QStringLiteral("line %1 ").arg(line);
        EXPECT_EQ(at(0).name, prefix + "zero reading");
        EXPECT_EQ(at(0).value, before[static_cast<size_t>(line)]) << line;
        EXPECT_EQ(at(1).name, prefix + "full-scale reading");
        EXPECT_EQ(at(1).value, before[static_cast<size_t>(line)]) << line;
        // After the correction the voltmeter reads the line's true voltage.
        EXPECT_EQ(at(2).name, prefix + "corrected reading");
        EXPECT_EQ(at(2).value, -60.0) << line;
        // The simulated lines stay at one voltage, so there is no two-point correction to show.
        EXPECT_EQ(at(3).name, prefix + "gain");
        EXPECT_FALSE(at(3).value.has_value());
        EXPECT_FALSE(at(4).value.has_value());
    }
}

TEST_F(CalibrationRecords, ACalibrationNoStoreCanTakeIsStillAppliedAndSaysSo) {
    const std::string notStore = dir.Path("notes.txt");
    std::ofstream(notStore) << "not a records store\n";
    qputenv("VELTRIN_RECORDS", QByteArray::fromStdString(notStore));
    RecordingPrompts prompts;
    CCalibrationPage page(cfg.get(), 4);
    ASSERT_TRUE(CalibrateAndApply(page));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Colibration info is set"));
    EXPECT_TRUE(
        prompts.messages[1].text.startsWith(QStringLiteral("The calibration is applied, but its record is not kept: ")))
        << prompts.messages[1].text.toStdString();
    EXPECT_EQ(prompts.messages[1].icon, PromptIcon::Error);
    EXPECT_EQ(ReadAll(notStore), std::vector<uint8_t>({'n', 'o', 't', ' ', 'a', ' ', 'r', 'e', 'c', 'o',
                                                       'r', 'd', 's', ' ', 's', 't', 'o', 'r', 'e', '\n'}));
    EXPECT_TRUE(sim.simulator->BoardAt(0).State().calibrated[0]);
}
