// The memory page against the simulated board: dumps, saved files and the watchdog.
#include "MemoryImage.h"
#include "MemoryPage.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct MemoryPageSimTest : ::testing::Test {
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}, {0x330D, 501, 4, "", ""}}};
    std::unique_ptr<CDevice> cfg = sim.Open(0, "VELTRIN_CFG");
    RecordingPrompts prompts;
    CMemoryPage page{cfg.get(), 0x310};
    QTemporaryDir dir;

    template <class T> T* Find(const char* name) { return page.findChild<T*>(QLatin1String(name)); }
    void Read(const char* start, const char* words) {
        Find<QLineEdit>("startAddressEdit")->setText(QString::fromLatin1(start));
        Find<QLineEdit>("wordNumberEdit")->setText(QString::fromLatin1(words));
        Find<QPushButton>("readButton")->click();
    }
    QStringList Lines() {
        QStringList lines;
        auto* model = Find<QListView>("memoryList")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            lines << model->index(r, 0).data().toString();
        return lines;
    }
    QByteArray Save(bool text, const char* name) {
        (text ? Find<QRadioButton>("textRadio") : Find<QRadioButton>("binaryRadio"))->setChecked(true);
        const QString path = dir.filePath(QString::fromLatin1(name));
        prompts.fileAnswers.push_back(path);
        Find<QPushButton>("saveButton")->click();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
    }
    sim::MemoryModel& Memory() { return sim.simulator->BoardAt(0).Memory(); }
    static QString Hex4(uint16_t w) { return QString::asprintf("%04X", static_cast<unsigned>(w)); }
};

} // namespace

TEST_F(MemoryPageSimTest, TenWordsDumpAsTwoLinesAndSaveAsTextAndBinary) {
    ASSERT_TRUE(page.OnInitDialog());
    EXPECT_EQ(Find<QLineEdit>("boardIdEdit")->text(), "200");
    EXPECT_EQ(Lines().size(), 14); // the opening's dump of 112 words
    Read("0x7508", "10");
    const auto& daram = Memory().Daram();
    QString first = "7508: ", second = "7510: ";
    for (int i = 0; i < 8; ++i)
        first += Hex4(daram[0x7508 + i]) + ' ';
    second += Hex4(daram[0x7510]) + ' ' + Hex4(daram[0x7511]) + ' ' + QString(30, ' ');
    ASSERT_EQ(Lines(), QStringList({first, second}));

    const QByteArray text = Save(true, "dump.txt");
    EXPECT_EQ(text, (first + '\n' + second + '\n').toLatin1());
    EXPECT_EQ(text.size(), 94);
    QByteArray binary;
    for (int i = 0; i < 10; ++i)
        binary += char(daram[0x7508 + i] & 0xFF), binary += char(daram[0x7508 + i] >> 8);
    EXPECT_EQ(Save(false, "dump.bin"), binary);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_FALSE(prompts.fileRequests[0].open);
    EXPECT_EQ(prompts.fileRequests[1].filters, QStringList{"Text files (*.txt)"});
}

TEST_F(MemoryPageSimTest, AddressesPastSixteenBitsShowTheirLowWordAndWrap) {
    ASSERT_TRUE(page.OnInitDialog());
    Read("0x1FFF8", "16");
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("FFF8: "));
    EXPECT_TRUE(lines[1].startsWith("0000: " + Hex4(Memory().Daram()[0]) + ' '));
}

TEST_F(MemoryPageSimTest, AShortReplyDumpsAndSavesOnlyWhatCame) {
    ASSERT_TRUE(page.OnInitDialog());
    sim.simulator->FaultInjection().Add({sim::FaultRule::Kind::Short, "VELTRIN_CFG", req::kMemoryData, 5, 1});
    Read("0x7500", "10"); // 20 bytes asked, 15 returned: seven whole words
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(Hex4(Memory().Daram()[0x7506]) + "      ")) << lines[0].toStdString();
    EXPECT_EQ(Save(false, "short.bin").size(), 15);
}

TEST_F(MemoryPageSimTest, HeaderViewShowsTheProgramsNamedWords) {
    ASSERT_TRUE(page.OnInitDialog());
    Find<QCheckBox>("readAsIoCheck")->setChecked(true);
    Read("0x7500", "not read");
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[1], "    Command address   : 0x7520");
    EXPECT_EQ(lines[5], "    Start dma address : 0x8000");
    EXPECT_EQ(Save(true, "header.txt").count('\n'), 7);
}

TEST_F(MemoryPageSimTest, WatchdogExpiresOnceTheKicksStop) {
    ASSERT_TRUE(page.OnInitDialog());
    Find<QLineEdit>("wdtIntervalEdit")->setText("100");
    Find<QPushButton>("wdtButton")->click();
    ASSERT_TRUE(Find<QPushButton>("wdtButton")->isChecked());
    for (int i = 0; i < 5; ++i) { // board time runs on while the page keeps kicking
        sim.clock->Advance(60ms);
        const uint32_t kicks = Memory().WatchdogKicks();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Memory().WatchdogKicks() > kicks; }, 1000));
    }
    EXPECT_EQ(Memory().WatchdogExpiries(), 0u);

    Find<QCheckBox>("noResetWdtCheck")->setChecked(true);
    const uint32_t kicks = Memory().WatchdogKicks();
    QTest::qWait(20);
    EXPECT_EQ(Memory().WatchdogKicks(), kicks);
    sim.clock->Advance(250ms);
    Read("0x7500", "1");
    EXPECT_EQ(Memory().WatchdogExpiries(), 2u);
    EXPECT_TRUE(Lines()[0].startsWith("7500: 0000 ")); // the DSP was reset and its program is gone

    Find<QPushButton>("loadButton")->click();
    EXPECT_EQ(prompts.messages.back().text, "Programm was loaded successful.");
    Read("0x7500", "1");
    EXPECT_TRUE(Lines()[0].startsWith("7500: " + Hex4(sim::kIoHeader[0])));
}

TEST_F(MemoryPageSimTest, AFullMemoryReadFillsTheListQuickly) {
    ASSERT_TRUE(page.OnInitDialog());
    page.resize(900, 700);
    page.show();
    QElapsedTimer timer;
    timer.start();
    Read("0", "65535");
    auto* list = Find<QListView>("memoryList");
    list->scrollToBottom();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();
    RecordProperty("fill_ms", static_cast<int>(ms));
    EXPECT_LT(ms, 1000);
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 8192);
    EXPECT_TRUE(lines.back().startsWith("FFF8: "));
    EXPECT_EQ(lines.back().size(), 46);
    EXPECT_EQ(Save(false, "all.bin").size(), 131070);
}

TEST(MemoryPageSimNewFamily, OpensWithItsIdAndNoDump) {
    SimFixtureBoards sim{{{0x330D, 501, 4, "", ""}}};
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    RecordingPrompts prompts;
    CMemoryPage page(cfg.get(), 0x330D);
    ASSERT_TRUE(page.OnInitDialog());
    EXPECT_EQ(page.findChild<QLineEdit*>("boardIdEdit")->text(), "501");
    EXPECT_EQ(page.findChild<QListView*>("memoryList")->model()->rowCount(), 0);
    page.findChild<QLineEdit*>("boardIdEdit")->setText("502");
    page.findChild<QPushButton*>("writeIdButton")->click();
    EXPECT_EQ(sim.simulator->BoardAt(0).Information().boardId, 502u);
    EXPECT_EQ(prompts.messages.back().text, "Board ID is writed successful");
}
