// The calibration page on a recording configuration device: exact requests, messages and wizard state.
#include "CalibrationPage.h"
#include "CalibrationTexts.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Shown = RecordingPrompts::Shown;

RecordedCall Control(uint32_t code, std::vector<uint8_t> input = {}, uint32_t outputSize = 0) {
    return {"cfg", RecordedCall::Op::Control, code, std::move(input), outputSize};
}
RecordedCall SetVoltage(uint16_t volts) { return Control(req::kSetMaxVoltage, Le16({volts})); }
RecordedCall StepOn(uint16_t line, uint16_t step) { return Control(req::kCalibrationStep, Le16({line, step})); }

Shown Error(const char* text) { return {QString::fromLatin1(text), QStringLiteral("Error"), PromptIcon::Error}; }

struct CalibrationPageTest : ::testing::Test {
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice cfg{"cfg", log};
    RecordingPrompts prompts;
    std::unique_ptr<CCalibrationPage> page;

    // Opens the page on a board with `lines` lines that reports `volts`, then forgets the opening's requests.
    void Open(uint32_t lines = 4, uint16_t volts = 60) {
        cfg.Answer(req::kGetMaxVoltage, {1, Le16({volts})});
        page = std::make_unique<CCalibrationPage>(&cfg, lines);
        ASSERT_TRUE(page->OnInitDialog());
        log->Clear();
    }

    template <class T> T* Find(const QString& name) {
        T* child = page->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    QCheckBox* Line(int number) { return Find<QCheckBox>(QStringLiteral("lineCheck%1").arg(number)); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(QLatin1String(name)); }
    QLineEdit* Voltage() { return Find<QLineEdit>(QStringLiteral("maxVoltageEdit")); }
    QString Instruction() { return Find<QPlainTextEdit>(QStringLiteral("instructionText"))->toPlainText(); }

    void Next(const QString& volts = {}) {
        if (!volts.isNull())
            Voltage()->setText(volts);
        Button("nextButton")->click();
    }
};

} // namespace

TEST_F(CalibrationPageTest, OpeningOffersTheBoardsLinesTickedAndShowsItsMaximumVoltage) {
    cfg.Answer(req::kGetMaxVoltage, {1, Le16({75})});
    page = std::make_unique<CCalibrationPage>(&cfg, 4);
    ASSERT_TRUE(page->OnInitDialog());

    EXPECT_EQ(log->Calls(), std::vector<RecordedCall>{Control(req::kGetMaxVoltage, {}, 2)});
    for (int n = 1; n <= 4; ++n) {
        EXPECT_FALSE(Line(n)->isHidden()) << n;
        EXPECT_TRUE(Line(n)->isChecked()) << n;
        EXPECT_TRUE(Line(n)->isEnabled()) << n;
        EXPECT_EQ(Line(n)->text(), QStringLiteral("Линия %1").arg(n));
    }
    for (int n = 5; n <= 8; ++n)
        EXPECT_TRUE(Line(n)->isHidden()) << n;
    EXPECT_EQ(Voltage()->text(), QStringLiteral("75"));
    EXPECT_EQ(Instruction(), StepInstruction(0, 75));
    EXPECT_FALSE(Button("backButton")->isEnabled());
    EXPECT_TRUE(Button("nextButton")->isEnabled());
    EXPECT_TRUE(Button("setAllButton")->isEnabled());
    EXPECT_TRUE(Button("clearAllButton")->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CalibrationPageTest, MoreThanEightChannelsOfferEightLines) {
    Open(12);
    for (int n = 1; n <= 8; ++n)
        EXPECT_FALSE(Line(n)->isHidden()) << n;
    Next(QStringLiteral("70"));
    const auto calls = log->Calls();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls.back(), StepOn(7, 0));
}

TEST_F(CalibrationPageTest, PageEndsItselfWithoutDeviceOrWhenTheBoardDoesNotTellItsVoltage) {
    CCalibrationPage absent(nullptr, 4);
    EXPECT_FALSE(absent.OnInitDialog());
    EXPECT_TRUE(prompts.messages.empty());

    cfg.Answer(req::kGetMaxVoltage, {0, {}});
    CCalibrationPage refused(&cfg, 4);
    EXPECT_FALSE(refused.OnInitDialog());
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Can not get maximim voltage")});
}

TEST_F(CalibrationPageTest, InvalidVoltageTextIsRefusedBeforeAnythingIsSent) {
    Open();
    for (const char16_t* text : {u"", u"7a", u"-70", u"+70", u" 70", u"7 0"}) {
        prompts.messages.clear();
        Next(QString::fromUtf16(text));
        EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Incorrect voltage")})
            << QString::fromUtf16(text).toStdString();
    }
    EXPECT_TRUE(log->Calls().empty());
    EXPECT_EQ(page->Step(), 0);
}

TEST_F(CalibrationPageTest, ZeroPointSendsTheVoltageThenTheStepForEachTickedLine) {
    Open();
    Line(2)->setChecked(false);
    Next(QStringLiteral("70"));

    EXPECT_EQ(log->Calls(), (std::vector<RecordedCall>{SetVoltage(70), StepOn(0, 0), StepOn(2, 0), StepOn(3, 0)}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(page->Step(), 1);
    EXPECT_EQ(Instruction(), StepInstruction(1, 70));
    EXPECT_TRUE(Instruction().contains(QStringLiteral("70")));
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(Line(n)->isEnabled()) << n;
    EXPECT_FALSE(Line(2)->isChecked()); // selection kept while it is locked
    EXPECT_TRUE(Line(3)->isChecked());
    EXPECT_FALSE(Button("setAllButton")->isEnabled());
    EXPECT_FALSE(Button("clearAllButton")->isEnabled());
    EXPECT_TRUE(Button("backButton")->isEnabled());
}

TEST_F(CalibrationPageTest, VoltageAboveSixteenBitsIsSentAsItsLowBits) {
    Open();
    Next(QStringLiteral("65606"));
    ASSERT_FALSE(log->Calls().empty());
    EXPECT_EQ(log->Calls().front(), SetVoltage(70));
    EXPECT_EQ(Instruction(), StepInstruction(1, 70));
}

TEST_F(CalibrationPageTest, WithNoLineTickedEveryStepStillAdvances) {
    Open();
    Button("clearAllButton")->click();
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(Line(n)->isChecked()) << n;
    Next(QStringLiteral("70"));
    EXPECT_EQ(log->Calls(), std::vector<RecordedCall>{SetVoltage(70)});
    EXPECT_EQ(page->Step(), 1);
    Next();
    EXPECT_EQ(page->Step(), 2);
    EXPECT_EQ(log->Calls().size(), 1u);
    Button("setAllButton")->click(); // disabled outside step 0: no effect
    EXPECT_FALSE(Line(1)->isChecked());
}

TEST_F(CalibrationPageTest, FailureOnTheSecondTickedLineKeepsTheStepAndTheRetryStartsOver) {
    Open();
    int steps = 0;
    cfg.SetHandler([&](const RecordedCall& call) {
        const bool fail = call.code == req::kCalibrationStep && ++steps == 2;
        return ScriptedAnswer{fail ? 0u : 1u, {}};
    });
    Line(1)->setChecked(false);
    Next(QStringLiteral("70"));

    EXPECT_EQ(log->Calls(), (std::vector<RecordedCall>{SetVoltage(70), StepOn(1, 0), StepOn(2, 0)}));
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Can not start colibration")});
    EXPECT_EQ(page->Step(), 0);
    EXPECT_EQ(Instruction(), StepInstruction(0, 70));

    log->Clear();
    Next();
    EXPECT_EQ(log->Calls(), (std::vector<RecordedCall>{SetVoltage(70), StepOn(1, 0), StepOn(2, 0), StepOn(3, 0)}));
    EXPECT_EQ(page->Step(), 1);
}

TEST_F(CalibrationPageTest, RefusedVoltageStopsBeforeAnyLine) {
    Open();
    cfg.Answer(req::kSetMaxVoltage, {0, {}});
    Next(QStringLiteral("70"));
    EXPECT_EQ(log->Calls(), std::vector<RecordedCall>{SetVoltage(70)});
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Can not set maximum voltage")});
    EXPECT_EQ(page->Step(), 0);
}

TEST_F(CalibrationPageTest, BackReturnsOneStepWithoutRequests) {
    Open();
    Next(QStringLiteral("70"));
    Next();
    ASSERT_EQ(page->Step(), 2);
    log->Clear();
    Button("backButton")->click();
    EXPECT_EQ(page->Step(), 1);
    EXPECT_EQ(Instruction(), StepInstruction(1, 70));
    Button("backButton")->click();
    EXPECT_EQ(page->Step(), 0);
    EXPECT_FALSE(Button("backButton")->isEnabled());
    EXPECT_TRUE(Line(1)->isEnabled());
    EXPECT_TRUE(log->Calls().empty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CalibrationPageTest, FullCalibrationSendsEachStepThenAppliesTheCoefficients) {
    Open(2);
    Next(QStringLiteral("70"));
    Next();
    Next();
    EXPECT_EQ(log->Calls(), (std::vector<RecordedCall>{SetVoltage(70), StepOn(0, 0), StepOn(1, 0), StepOn(0, 1),
                                                       StepOn(1, 1), StepOn(0, 2), StepOn(1, 2)}));
    EXPECT_EQ(page->Step(), 0);
    EXPECT_EQ(Instruction(), StepInstruction(0, 70));
    EXPECT_TRUE(Line(1)->isEnabled());

    log->Clear();
    Button("applyButton")->click();
    EXPECT_EQ(log->Calls(), std::vector<RecordedCall>{Control(req::kApplyCalibration)});
    EXPECT_EQ(prompts.messages, (std::vector<Shown>{{QStringLiteral("Colibration info is set"), QStringLiteral("Info"),
                                                     PromptIcon::Information}}));

    prompts.messages.clear();
    cfg.Answer(req::kApplyCalibration, {0, {}});
    Button("applyButton")->click();
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Can not set colibration info")});
}

TEST_F(CalibrationPageTest, ApplyDuringTheStepsIsRefusedWithoutARequest) {
    Open();
    Next(QStringLiteral("70"));
    for (int step = 1; step <= 2; ++step) {
        ASSERT_EQ(page->Step(), step);
        log->Clear();
        prompts.messages.clear();
        Button("applyButton")->click();
        EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Colibration in progress")}) << step;
        EXPECT_TRUE(log->Calls().empty()) << step;
        Next();
    }
}

TEST_F(CalibrationPageTest, CaptionsAreShownAsWritten) {
    Open();
    QStringList groups;
    for (const char* name : {"linesGroup", "settingsGroup"})
        groups << Find<QGroupBox>(QLatin1String(name))->title();
    // The word for calibration carries a Latin "a" in both captions.
    EXPECT_EQ(groups, (QStringList{QStringLiteral("К") + QLatin1Char('a') + QStringLiteral("либруемые каналы"),
                                   QStringLiteral("Настройка к") + QLatin1Char('a') + QStringLiteral("либрации")}));
    EXPECT_EQ(Button("applyButton")->text(), QStringLiteral("Применить\nкоэффициенты"));
    EXPECT_EQ(Button("setAllButton")->text(), QStringLiteral("Установить"));
    EXPECT_EQ(Button("clearAllButton")->text(), QStringLiteral("Сбросить"));
    EXPECT_EQ(Button("backButton")->text(), QStringLiteral("Назад"));
    EXPECT_EQ(Button("nextButton")->text(), QStringLiteral("Далее"));
}
