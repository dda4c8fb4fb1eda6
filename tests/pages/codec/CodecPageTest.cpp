// The codec tabs and line pages against scripted devices: tab numbering, gain texts, a board that refuses
// the rate, file choices, a recording's continuity and closing while streaming.
#include "CodecPage.h"
#include "CodecTabsPage.h"

#include "PageContext.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"
#include "Settings.h"
#include "SettingsSandbox.h"
#include "StreamBlocks.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace {

template <size_t N> std::vector<uint8_t> Vec(const std::array<uint8_t, N>& a) { return {a.begin(), a.end()}; }

// A board with its configuration device and the codec lines the test asks for. Line inputs deliver an
// endless count of samples 0, 1, 2 ... while they report data available.
struct CodecBoard {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice cfg{"cfg", log};
    std::vector<std::unique_ptr<RecordingDevice>> devices;
    PageContext context;

    bool secondSet = false;
    bool refuseRate = false;
    bool refuseGain = false;
    AttenuationBlock gain{0, 0, 0, 14, 0};
    std::atomic<uint32_t> available{0};
    std::atomic<uint16_t> nextSample{0};
    std::atomic<uint32_t> played{0}; // the byte count the line outputs report
    std::function<void()> onRead;    // set before Open: called in every input read

    explicit CodecBoard(std::initializer_list<int> lines, uint32_t type = 0x330) {
        context.type = type;
        cfg.SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (call.code == req::kSetCodecRate)
                return {refuseRate ? 0u : 1u, {}};
            return {1, Le32({16000})};
        });
        for (int line : lines) {
            context.lineIn[static_cast<size_t>(line)] = Line("in" + std::to_string(line));
            context.lineOut[static_cast<size_t>(line)] = Line("out" + std::to_string(line));
        }
        context.cfg = &cfg;
    }

    RecordingDevice* Line(const std::string& name) {
        auto device = std::make_unique<RecordingDevice>(name, log);
        device->SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (call.op == RecordedCall::Op::Read) {
                if (onRead)
                    onRead();
                std::vector<uint8_t> bytes;
                for (uint32_t i = 0; i + 1 < call.outputSize; i += 2) {
                    const uint16_t sample = nextSample++;
                    bytes.push_back(static_cast<uint8_t>(sample));
                    bytes.push_back(static_cast<uint8_t>(sample >> 8));
                }
                return {1, bytes};
            }
            switch (call.code) {
            case req::kGetAttenuation2:
                return {secondSet ? 1u : 0u, Vec(gain.Encode())};
            case req::kGetAttenuation:
                return {refuseGain ? 0u : 1u, refuseGain ? std::vector<uint8_t>{} : Vec(gain.Encode())};
            case req::kGetBufferState:
                return {1, Vec(BufferState{32768, call.device[0] == 'i' ? available.load() : 0u}.Encode())};
            case req::kGetCounters:
                return {1, Vec(StreamCounters{0, call.device[0] == 'o' ? played.load() : 0u, 0}.Encode())};
            default:
                return {1, std::vector<uint8_t>(call.outputSize, 0)};
            }
        });
        devices.push_back(std::move(device));
        return devices.back().get();
    }

    std::unique_ptr<CCodecTabsPage> Open() {
        auto page =
            std::make_unique<CCodecTabsPage>(context.type, context.index, context.lineIn, context.lineOut, context.cfg);
        EXPECT_TRUE(page->OnInitDialog());
        return page;
    }

    size_t Count(uint32_t code, const std::vector<uint8_t>& input = {}) const {
        const auto calls = log->Calls();
        return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const RecordedCall& call) {
            return call.op == RecordedCall::Op::Control && call.code == code && (input.empty() || call.input == input);
        }));
    }
};

template <typename T> T* Child(QWidget* page, const char* name) { return page->findChild<T*>(QLatin1String(name)); }

const std::vector<uint8_t> kStopBlock = Vec(StreamCommand{StreamCommand::kStop}.Encode());

} // namespace

TEST(CodecTabs, OneTabPerCompleteLineNumberedByPosition) {
    struct Case {
        std::initializer_list<int> lines;
        std::vector<int> pageLines;
    };
    for (const Case& c : {Case{{0, 2}, {0, 2}}, Case{{}, {}}, Case{{7}, {7}}}) {
        CodecBoard board(c.lines);
        WriteBoardFile(0, QStringLiteral("AIC\\IN2"), QStringLiteral("line2.raw"));
        auto tabs = board.Open();
        ASSERT_EQ(tabs->Tabs()->count(), static_cast<int>(c.pageLines.size()));
        for (int tab = 0; tab < tabs->Tabs()->count(); ++tab) {
            EXPECT_EQ(tabs->Tabs()->tabText(tab), QStringLiteral("Channel : %1").arg(tab));
            CCodecPage* page = tabs->Page(tab);
            ASSERT_TRUE(page);
            EXPECT_EQ(page->Line(), c.pageLines[static_cast<size_t>(tab)]);
            const bool second = page->Line() == 2;
            EXPECT_EQ(Child<QLineEdit>(page, "inputFileName")->text(), second ? "line2.raw" : "");
        }
    }
}

TEST(CodecTabs, LineThatDoesNotAnswerKeepsAnEmptyTabAndItsSettings) {
    CodecBoard board({0});
    board.refuseGain = true;
    WriteBoardInt(0, QStringLiteral("AIC\\OUT0"), QStringLiteral("SOURCE_SEL"), 5);
    {
        auto tabs = board.Open();
        ASSERT_EQ(tabs->Tabs()->count(), 1);
        EXPECT_EQ(tabs->Tabs()->widget(0)->objectName(), "endedCodecPage0");
        EXPECT_EQ(tabs->Tabs()->tabText(0), "Channel : 0");
    }
    EXPECT_EQ(ReadBoardInt(0, QStringLiteral("AIC\\OUT0"), QStringLiteral("SOURCE_SEL"), -1), 5)
        << "a page that did not start writes nothing";
    EXPECT_EQ(ReadBoardInt(0, QStringLiteral("AIC\\IN0"), QStringLiteral("SOURCE_SEL"), -1), -1);
}

TEST(CodecPage, GainTextsOfBothRequestSets) {
    struct Case {
        bool secondSet;
        int16_t value;
        const char* text;
    };
    for (const Case c :
         {Case{false, 8, "  0 dB"}, Case{false, 14, " 24 dB"}, Case{false, 15, "ups"}, Case{true, -60, "-6.0 dB"}}) {
        CodecBoard board({0});
        board.secondSet = c.secondSet;
        board.gain = {c.value, 0, 0, 15, -100};
        auto tabs = board.Open();
        for (const char* name : {"inputGainText", "outputGainText"})
            EXPECT_EQ(Child<QLabel>(tabs->Page(0), name)->text(), c.text) << name << " value " << c.value;
    }
}

TEST(CodecPage, RefusedStartUpRateLeavesTheRateToTheBoard) {
    for (const bool refuse : {false, true}) {
        CodecBoard board({0});
        board.refuseRate = refuse;
        {
            auto tabs = board.Open();
            CCodecPage* page = tabs->Page(0);
            EXPECT_EQ(board.prompts.messages.size(), refuse ? 1u : 0u);
            page->Start(CCodecPage::kInput);
            EXPECT_TRUE(page->Channel(CCodecPage::kInput).running.load());
            EXPECT_EQ(board.Count(req::kSetCodecRate), refuse ? 1u : 2u) << "Start sends no rate when refused";
            page->Stop(CCodecPage::kInput);
            for (const char* name : {"inputRate", "outputRate"})
                EXPECT_EQ(Child<QLineEdit>(page, name)->isEnabled(), !refuse) << name;
        }
        EXPECT_EQ(ReadBoardInt(0, QStringLiteral("AIC"), QStringLiteral("SampleRate"), -1), refuse ? -1 : 16000);
    }
}

TEST(CodecPage, FileChoices) {
    QTemporaryDir dir;
    const QString play = dir.filePath(QStringLiteral("play.raw"));
    const QString record = dir.filePath(QStringLiteral("record.raw"));
    {
        QFile file(play);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x40\x1f\0\0", 4) + QByteArray(200, 'x')); // 8000 Hz, 100 samples
    }
    CodecBoard board({0});
    auto tabs = board.Open();
    CCodecPage* page = tabs->Page(0);

    board.prompts.fileAnswers = {play, record};
    page->SelectOutputFile();
    EXPECT_TRUE(Child<QPushButton>(page, "outputSineButton")->isChecked());
    EXPECT_EQ(page->Channel(CCodecPage::kOutput).source.load(), StreamChannel::kSourceSine);
    EXPECT_EQ(Child<QLineEdit>(page, "outputRate")->text(), "8000");
    EXPECT_EQ(Child<QLabel>(page, "outputTotalCount")->text(), "200");

    page->SelectInputFile();
    EXPECT_TRUE(Child<QCheckBox>(page, "inputWriteFile")->isChecked());
    EXPECT_FALSE(QFile::exists(record)) << "created only at Start";
    page->Start(CCodecPage::kInput);
    EXPECT_EQ(QFile(record).size(), 4);
    EXPECT_TRUE(board.prompts.messages.empty());
}

TEST(CodecPage, AStoredOutputFileThatDoesNotOpenKeepsItsName) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("not-mounted/play.dat"));
    CodecBoard board({0});
    WriteBoardFile(0, QStringLiteral("AIC\\OUT0"), missing);
    WriteBoardInt(0, QStringLiteral("AIC\\OUT0"), QStringLiteral("SOURCE_SEL"), 0);
    {
        auto tabs = board.Open();
        EXPECT_EQ(Child<QLineEdit>(tabs->Page(0), "outputFileName")->text(), missing);
        tabs->Page(0)->Start(CCodecPage::kOutput);
        ASSERT_EQ(board.prompts.messages.size(), 1u);
        EXPECT_EQ(board.prompts.messages[0].text, "Cann't open trn file");
        tabs->Shutdown();
    }
    EXPECT_EQ(ReadBoardFile(0, QStringLiteral("AIC\\OUT0")), missing);
}

TEST(CodecPage, RecordingHoldsEverySampleOnceUpToTheStop) {
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record.raw"));
    CodecBoard board({0});
    board.available = 2048;
    auto tabs = board.Open();
    CCodecPage* page = tabs->Page(0);
    board.prompts.fileAnswers = {record};
    page->SelectInputFile();
    page->Start(CCodecPage::kInput);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(record).size() >= 4 + 3 * 2048; }, 5000));
    page->Stop(CCodecPage::kInput);
    QTest::qWait(120); // an append under way at the stop may still finish; none starts after it
    const qint64 stopped = QFile(record).size();
    QTest::qWait(120);

    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), stopped);
    ASSERT_EQ((bytes.size() - 4) % 2048, 0) << "whole blocks only";
    for (qsizetype i = 4; i + 1 < bytes.size(); i += 2) {
        const auto sample =
            static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        ASSERT_EQ(sample, static_cast<uint16_t>((i - 4) / 2)) << "at byte " << i;
    }
}

TEST(CodecPage, ClosingWhileBothChannelsRunSendsNoStop) {
    QTemporaryDir dir;
    CodecBoard board({0});
    board.available = 4096;
    auto tabs = board.Open();
    CCodecPage* page = tabs->Page(0);
    board.prompts.fileAnswers = {dir.filePath(QStringLiteral("record.raw"))};
    page->SelectInputFile();
    page->Start(CCodecPage::kInput);
    page->Start(CCodecPage::kOutput);
    ASSERT_TRUE(page->Channel(CCodecPage::kOutput).running.load());
    QTest::qWait(120);
    tabs->Shutdown();
    tabs.reset();
    EXPECT_EQ(board.Count(req::kStream, kStopBlock), 0u);
    EXPECT_EQ(ReadBoardInt(0, QStringLiteral("AIC\\IN0"), QStringLiteral("SOURCE_SEL"), -1), 1);
}

TEST(CodecPage, SynchroModeOnlyOnTheFirstLineOfSomeBoards) {
    struct Case {
        uint32_t type;
        int line;
        bool offered;
    };
    for (const Case c : {Case{0x330, 0, true}, Case{0x13204, 0, true}, Case{0x330, 1, false}, Case{0x340, 0, false}}) {
        CodecBoard board({c.line}, c.type);
        auto tabs = board.Open();
        CCodecPage* page = tabs->Page(0);
        QCheckBox* synchro = Child<QCheckBox>(page, "inputSynchro");
        EXPECT_EQ(synchro->isVisibleTo(page), c.offered) << std::hex << c.type << " line " << c.line;
        synchro->setChecked(c.offered);
        page->Start(CCodecPage::kInput);
        page->Stop(CCodecPage::kInput);
        EXPECT_EQ(board.Count(req::kSyncCodecInput), c.offered ? 2u : 0u);
    }
}

TEST(CodecPage, OutputStartsInOrderAndStopsByItselfAtTheEndOfItsFile) {
    QTemporaryDir dir;
    const QString play = dir.filePath(QStringLiteral("play.raw"));
    {
        QFile file(play);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x80\x3e\0\0", 4) + QByteArray(600, 'x')); // 16000 Hz, 300 samples
    }
    CodecBoard board({0});
    auto tabs = board.Open();
    CCodecPage* page = tabs->Page(0);
    board.prompts.fileAnswers = {play};
    page->SelectOutputFile();
    Child<QPushButton>(page, "outputSineButton")->setChecked(false);
    board.log->Clear();
    page->Start(CCodecPage::kOutput);
    std::vector<std::string> codes;
    for (const std::string& code : board.log->Codes())
        if (code.find("0x222450") == std::string::npos && code.find("0x22240C") == std::string::npos)
            codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<std::string>{"cfg:0x222440", "cfg:0x22244C", "out0:0x222408"}))
        << "the rate is set, then read back, then the output starts";
    ASSERT_TRUE(page->Channel(CCodecPage::kOutput).running.load());

    board.played = 600;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page->Channel(CCodecPage::kOutput).running.load(); }, 5000));
    EXPECT_EQ(Child<QLabel>(page, "outputCount")->text(), "600");
    EXPECT_TRUE(Child<QPushButton>(page, "outputStartButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(page, "outputStopButton")->isEnabled());
    EXPECT_TRUE(board.prompts.messages.empty());
}

TEST(CodecPage, ClosingWithAReadHungInTheDriverCancelsItAndEndsAtOnce) {
    CodecBoard board({0});
    board.available = 2048;
    // An input read hangs until its device is cancelled (or 10 s pass).
    std::mutex mutex;
    std::condition_variable changed;
    bool hung = false;
    bool cancelled = false;
    board.onRead = [&] {
        std::unique_lock lock(mutex);
        hung = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return cancelled; });
    };
    board.devices[0]->OnCancel([&] {
        std::lock_guard lock(mutex);
        cancelled = true;
        changed.notify_all();
    });
    auto tabs = board.Open();
    tabs->Page(0)->Start(CCodecPage::kInput);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(5), [&] { return hung; }));
    }
    const auto begin = std::chrono::steady_clock::now();
    tabs->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    const auto calls = board.log->Calls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const RecordedCall& call) {
        return call.op == RecordedCall::Op::Cancel && call.device == "in0";
    }));
}

TEST(CodecPage, LinesShareTheCodecRateFilesPlayAtTheirRateAndNoRecordingTakesAFileInUse) {
    QTemporaryDir dir;
    const QString play = dir.filePath(QStringLiteral("play.raw"));
    const QString record = dir.filePath(QStringLiteral("record.raw"));
    {
        QFile file(play);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x40\x1f\0\0", 4) + QByteArray(200, 'x')); // 8000 Hz, 100 samples
    }
    CodecBoard board({0, 1});
    WriteBoardFile(0, QStringLiteral("AIC\\OUT1"), play);
    WriteBoardInt(0, QStringLiteral("AIC\\OUT1"), QStringLiteral("SOURCE_SEL"), 0);
    for (const char* section : {"AIC\\IN0", "AIC\\IN1"}) {
        WriteBoardFile(0, QLatin1String(section), record);
        WriteBoardInt(0, QLatin1String(section), QStringLiteral("SOURCE_SEL"), 1);
    }
    auto tabs = board.Open();
    CCodecPage* line0 = tabs->Page(0);
    CCodecPage* line1 = tabs->Page(1);
    EXPECT_EQ(Child<QLineEdit>(line1, "outputRate")->text(), "8000") << "the stored file's rate, not the codec's";

    struct Step {
        CCodecPage* page;
        int channel;
        bool runs;
        QString message; // empty: none
    };
    const Step steps[] = {
        {line0, CCodecPage::kInput, true, {}},
        {line1, CCodecPage::kOutput, false, QStringLiteral("the codec runs at 16000 Hz on line 0")},
        {line1, CCodecPage::kInput, false,
         QStringLiteral("the file %1 is in use: another channel is recording into it").arg(record)},
    };
    for (const Step& step : steps) {
        board.prompts.messages.clear();
        step.page->Start(step.channel);
        EXPECT_EQ(step.page->Channel(step.channel).running.load(), step.runs) << step.message.toStdString();
        std::vector<QString> said;
        for (const auto& message : board.prompts.messages)
            said.push_back(message.text);
        EXPECT_EQ(said, step.message.isEmpty() ? std::vector<QString>{} : std::vector<QString>{step.message});
    }
    EXPECT_EQ(board.Count(req::kSetCodecRate, Le32({8000})), 0u) << "a refused line leaves the codec's rate";

    // With the line stopped the file plays at its own rate.
    line0->Stop(CCodecPage::kInput);
    line1->Start(CCodecPage::kOutput);
    EXPECT_TRUE(line1->Channel(CCodecPage::kOutput).running.load());
    EXPECT_EQ(board.Count(req::kSetCodecRate, Le32({8000})), 1u);
    tabs->Shutdown();
}
