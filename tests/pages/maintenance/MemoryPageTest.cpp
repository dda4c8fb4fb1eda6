// The memory page against a recording device: request sequences, block bytes and messages.
#include "MemoryPage.h"
#include "AppSwitches.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>

#include <sys/resource.h>

namespace {

using Shown = RecordingPrompts::Shown;

std::vector<uint8_t> Op(uint32_t start, uint32_t count, uint16_t direction, uint16_t memory) {
    auto b = Le32({start, count});
    const auto tail = Le16({direction, memory});
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

std::vector<uint8_t> InfoBlock(uint32_t id) {
    std::vector<uint8_t> b(66, 0);
    const auto idBytes = Le32({id});
    std::copy(idBytes.begin(), idBytes.end(), b.begin() + 54);
    return b;
}

// Runs the event loop for a while; unlike QTest::qWait it lets a 2 ms timer fire at its own pace.
void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

Shown Error(const char* text, const char* caption = "Error") {
    return {QString::fromUtf8(text), QString::fromUtf8(caption), PromptIcon::Error};
}

struct MemoryPageTest : ::testing::Test {
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice cfg{"cfg", log};
    RecordingPrompts prompts;
    std::unique_ptr<CMemoryPage> page;

    void Make(uint16_t type) { page = std::make_unique<CMemoryPage>(&cfg, type); }
    // Opens a page whose board answers its ID read with `id`.
    void Open(uint16_t type, uint32_t id) {
        Make(type);
        if (type == 0x330 || type == 0x360 || type == 0x330D)
            cfg.Answer(req::kGetBoardInfo, {1, InfoBlock(id)});
        else
            cfg.Answer(req::kMemoryData, {1, Le32({id})});
        ASSERT_TRUE(page->OnInitDialog());
        log->Clear();
    }
    template <class T> T* Find(const char* name) {
        T* w = page->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString Text(const char* edit) { return Find<QLineEdit>(edit)->text(); }
    void SetText(const char* edit, const char* text) { Find<QLineEdit>(edit)->setText(QString::fromLatin1(text)); }
    void Click(const char* button) { Find<QAbstractButton>(button)->click(); }
    QStringList Lines() {
        QStringList lines;
        auto* model = Find<QListView>("memoryList")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            lines << model->index(r, 0).data().toString();
        return lines;
    }
    std::vector<RecordedCall> Calls() { return log->Calls(); }
    static RecordedCall Call(uint32_t code, std::vector<uint8_t> input = {}, uint32_t outputSize = 0) {
        return {"cfg", RecordedCall::Op::Control, code, std::move(input), outputSize};
    }
};

} // namespace

TEST_F(MemoryPageTest, OldFamilyOpensWithItsEepromIdAndADumpAt7500) {
    Make(0x310);
    std::vector<uint8_t> words(224, 0);
    words[0] = 0x34, words[1] = 0x12;
    cfg.Answer(req::kMemoryData, {1, Le32({3000000000u})});
    cfg.Answer(req::kMemoryData, {1, words});
    ASSERT_TRUE(page->OnInitDialog());
    const std::vector<RecordedCall> expected{Call(req::kMemoryStart, Op(0x38, 2, 0, 1)), Call(req::kMemoryData, {}, 4),
                                             Call(req::kMemoryStart, Op(0x7500, 112, 0, 0)),
                                             Call(req::kMemoryData, {}, 224)};
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(Text("boardIdEdit"), "3000000000");
    EXPECT_EQ(Text("prefixEdit"), "0x0310");
    EXPECT_EQ(Text("startAddressEdit"), "0x7500");
    EXPECT_EQ(Text("wordNumberEdit"), "112");
    EXPECT_EQ(Text("wdtIntervalEdit"), "32000");
    EXPECT_EQ(Text("programPathEdit"), "SystemRoot\\SYSTEM32\\Drivers\\prog.i00");
    EXPECT_FALSE(Find<QLineEdit>("programPathEdit")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("fileButton")->isEnabled());
    EXPECT_EQ(Find<QComboBox>("memoryTypeCombo")->itemText(1), "PLX memory (EEPROM)");
    EXPECT_TRUE(Find<QRadioButton>("binaryRadio")->isChecked());
    EXPECT_TRUE(Find<QPushButton>("saveButton")->isEnabled());
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 14);
    EXPECT_TRUE(lines[0].startsWith("7500: 1234 0000 ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[13].startsWith("7568: "));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MemoryPageTest, NewFamilyOpensWithTheInformationBlockIdAndReadsNothing) {
    Make(0x330D);
    cfg.Answer(req::kGetBoardInfo, {1, InfoBlock(501)});
    ASSERT_TRUE(page->OnInitDialog());
    EXPECT_EQ(Calls(), std::vector<RecordedCall>{Call(req::kGetBoardInfo, {}, 66)});
    EXPECT_EQ(Text("boardIdEdit"), "501");
    EXPECT_EQ(Text("prefixEdit"), "0x330D");
    EXPECT_TRUE(Lines().empty());
    for (const char* name : {"textRadio", "binaryRadio", "saveButton", "readAsIoCheck", "readButton", "check1Button",
                             "loadButton", "startAddressEdit", "wordNumberEdit", "memoryTypeCombo"})
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    for (const char* name : {"boardIdEdit", "writeIdButton", "prefixEdit", "writePrefixButton", "wdtButton",
                             "wdtIntervalEdit", "noResetWdtCheck"})
        EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
}

TEST_F(MemoryPageTest, OpeningEndsWhenTheBoardIdCannotBeRead) {
    struct Case {
        uint16_t type;
        uint32_t failing;
        Shown message;
    };
    const Case cases[] = {
        {0x310, req::kMemoryStart, Error("Cann't start DSP memory operation")},
        {0x310, req::kMemoryData, Error("Cann't get board ID")},
        {0x360, req::kGetBoardInfo, Error("Cann't get board ID")},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        RecordingDevice device{"cfg", log};
        device.Answer(c.failing, {0, {}});
        CMemoryPage p(&device, c.type);
        EXPECT_FALSE(p.OnInitDialog());
        EXPECT_EQ(prompts.messages, std::vector<Shown>{c.message});
    }
    // A reply too short to hold the ID is no ID.
    prompts.messages.clear();
    RecordingDevice shortDevice{"cfg", log};
    shortDevice.Answer(req::kGetBoardInfo, {1, std::vector<uint8_t>(56, 0)});
    CMemoryPage shortPage(&shortDevice, 0x330);
    EXPECT_FALSE(shortPage.OnInitDialog());
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't get board ID")});
    CMemoryPage noDevice(nullptr, 0x310);
    EXPECT_FALSE(noDevice.OnInitDialog());
}

TEST_F(MemoryPageTest, LoadAtOpeningSendsAnEmptyLoadAndEndsThePageOnFailure) {
    SetLoadProgramAtOpen(true);
    Make(0x330);
    cfg.Answer(req::kGetBoardInfo, {1, InfoBlock(7)});
    EXPECT_TRUE(page->OnInitDialog());
    const std::vector<RecordedCall> expected{Call(req::kResetDsp), Call(req::kLoadProgram),
                                             Call(req::kGetBoardInfo, {}, 66)};
    EXPECT_EQ(Calls(), expected);
    EXPECT_TRUE(prompts.messages.empty());

    log->Clear();
    RecordingDevice failing{"cfg", log};
    failing.Answer(req::kResetDsp, {0, {}});
    CMemoryPage p(&failing, 0x310);
    EXPECT_FALSE(p.OnInitDialog());
    SetLoadProgramAtOpen(false);
    EXPECT_EQ(log->Codes(), std::vector<std::string>{"cfg:0x222400"});
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't reset board", "FATAL ERROR")});
}

TEST_F(MemoryPageTest, LoadResetsWaitsWithoutSendingAnythingThenNamesTheProgram) {
    Open(0x310, 1);
    std::vector<std::chrono::steady_clock::time_point> times;
    cfg.SetHandler([&](const RecordedCall&) {
        times.push_back(std::chrono::steady_clock::now());
        return ScriptedAnswer{1, {}};
    });
    Click("loadButton");
    std::vector<uint8_t> name(50, 0);
    const std::string text = "prog.i00";
    std::copy(text.begin(), text.end(), name.begin());
    const std::vector<RecordedCall> expected{Call(req::kResetDsp), Call(req::kLoadProgram, name)};
    EXPECT_EQ(Calls(), expected); // no watchdog kick in between either
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], std::chrono::milliseconds(500));
    EXPECT_EQ(prompts.messages,
              std::vector<Shown>({{"Programm was loaded successful.", "Congratulation", PromptIcon::Information}}));

    log->Clear();
    prompts.messages.clear();
    cfg.SetHandler([](const RecordedCall& call) { return ScriptedAnswer{call.code == req::kResetDsp ? 0u : 1u, {}}; });
    Click("loadButton");
    EXPECT_EQ(log->Codes(), std::vector<std::string>{"cfg:0x222400"});
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't reset board", "FATAL ERROR")});

    prompts.messages.clear();
    cfg.SetHandler([](const RecordedCall& call) { return ScriptedAnswer{call.code == req::kResetDsp ? 1u : 0u, {}}; });
    Click("loadButton");
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't load programm into board", "FATAL ERROR")});
}

TEST_F(MemoryPageTest, ReadRefusesBadNumbersAndKeepsTheOldLinesWhenItFails) {
    Open(0x310, 1);
    const QStringList before = Lines();
    ASSERT_EQ(before.size(), 14);
    for (const char* bad : {"0x", "0x12G", "12a", ""}) {
        prompts.messages.clear();
        SetText("startAddressEdit", bad);
        Click("readButton");
        EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("start address incorrect")}) << bad;
    }
    SetText("startAddressEdit", "29952");
    SetText("wordNumberEdit", "ten");
    prompts.messages.clear();
    Click("readButton");
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Start address incorrect")});
    EXPECT_TRUE(log->Calls().empty());
    EXPECT_TRUE(Find<QPushButton>("saveButton")->isEnabled()); // refused input is not a read

    // Checked "Read as IO device handle" reads sixteen words and ignores the word number.
    Find<QCheckBox>("readAsIoCheck")->setChecked(true);
    Find<QComboBox>("memoryTypeCombo")->setCurrentIndex(1);
    Click("readButton");
    const std::vector<RecordedCall> expected{Call(req::kMemoryStart, Op(0x7500, 16, 0, 1)),
                                             Call(req::kMemoryData, {}, 32)};
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(Lines().size(), 7);
    EXPECT_EQ(Lines()[0], "    Command hander    : 0x0000");

    for (uint32_t failing : {req::kMemoryStart, req::kMemoryData}) {
        prompts.messages.clear();
        cfg.Answer(failing, {0, {}});
        Click("readButton");
        EXPECT_EQ(Lines().size(), 7);
        EXPECT_FALSE(Find<QPushButton>("saveButton")->isEnabled());
    }
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("DSP memory operation isn't succesful")});
}

TEST_F(MemoryPageTest, AReadTooLargeToAddressIsAnAllocationFailureAndSendsNothing) {
    Open(0x310, 1);
    SetText("wordNumberEdit", "0x80000000");
    Click("readButton");
    EXPECT_TRUE(log->Calls().empty());
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't allocate buffer for read memory", "ERROR")});
    EXPECT_FALSE(Find<QPushButton>("saveButton")->isEnabled());
}

TEST_F(MemoryPageTest, WriteIdWritesThenReadsBackOnBothFamilies) {
    Open(0x310, 1);
    SetText("boardIdEdit", "4294967295");
    cfg.Answer(req::kMemoryData, {1, {}});
    cfg.Answer(req::kMemoryData, {1, Le32({4294967295u})});
    Click("writeIdButton");
    const std::vector<RecordedCall> old{Call(req::kMemoryStart, Op(0x38, 2, 1, 1)),
                                        Call(req::kMemoryData, Le32({4294967295u})),
                                        Call(req::kMemoryStart, Op(0x38, 2, 0, 1)), Call(req::kMemoryData, {}, 4)};
    EXPECT_EQ(Calls(), old);
    EXPECT_EQ(prompts.messages,
              std::vector<Shown>({{"Board ID is writed successful", "Information", PromptIcon::Information}}));

    prompts.messages.clear();
    SetText("boardIdEdit", "0x10");
    Click("writeIdButton");
    cfg.Answer(req::kMemoryData, {0, {}});
    SetText("boardIdEdit", "12");
    Click("writeIdButton");
    EXPECT_EQ(prompts.messages, std::vector<Shown>({Error("Incorrect board ID"), Error("Cann't write board ID")}));

    page.reset();
    Open(0x360, 1);
    SetText("boardIdEdit", "77");
    cfg.Answer(req::kGetBoardInfo, {1, InfoBlock(78)});
    Click("writeIdButton");
    const std::vector<RecordedCall> fresh{Call(req::kWriteBoardId, Le32({77})), Call(req::kGetBoardInfo, {}, 66)};
    EXPECT_EQ(Calls(), fresh);
    EXPECT_EQ(Text("boardIdEdit"), "78"); // shows what the board holds
}

TEST_F(MemoryPageTest, WritePrefixSendsTheLowWordOfAHexText) {
    Open(0x310, 1);
    SetText("prefixEdit", "0x12345");
    Click("writePrefixButton");
    const std::vector<RecordedCall> expected{Call(req::kMemoryStart, Op(0x22, 1, 1, 1)),
                                             Call(req::kMemoryData, {0x45, 0x23})};
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(Text("prefixEdit"), "0x12345");
    SetText("prefixEdit", "16");
    Click("writePrefixButton");
    cfg.Answer(req::kMemoryData, {0, {}});
    SetText("prefixEdit", "0x310");
    Click("writePrefixButton");
    const std::vector<Shown> shown{{"Board prefix writed successful", "OK", PromptIcon::Information},
                                   Error("Board type is incorrect"),
                                   Error("Cann't write board prefix")};
    EXPECT_EQ(prompts.messages, shown);
}

TEST_F(MemoryPageTest, WatchdogButtonFollowsTheBoardAndKicksStopOnRequest) {
    Open(0x310, 1);
    auto* button = Find<QPushButton>("wdtButton");
    auto* interval = Find<QLineEdit>("wdtIntervalEdit");
    auto* noReset = Find<QCheckBox>("noResetWdtCheck");

    cfg.Answer(req::kWatchdogStart, {0, {}});
    Click("wdtButton");
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(button->text(), "Start WDT");
    EXPECT_TRUE(interval->isEnabled());

    SetText("wdtIntervalEdit", "32 s");
    Click("wdtButton");
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Incorrect watch dog timer interval")});

    noReset->setChecked(true);
    SetText("wdtIntervalEdit", "0");
    log->Clear();
    Click("wdtButton");
    EXPECT_EQ(Calls(), std::vector<RecordedCall>{Call(req::kWatchdogStart, Le32({0}))});
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(button->text(), "Stop WDT");
    EXPECT_FALSE(interval->isEnabled());
    EXPECT_FALSE(noReset->isChecked()); // starting turns the kicks back on

    log->Clear();
    Spin(40);
    EXPECT_GT(log->Calls().size(), 5u); // a 2 ms timer, give or take a loaded machine
    for (const auto& call : log->Calls())
        EXPECT_EQ(call, Call(req::kWatchdogKick));
    noReset->setChecked(true);
    log->Clear();
    Spin(40);
    EXPECT_TRUE(log->Calls().empty());

    cfg.Answer(req::kWatchdogStop, {0, {}});
    Click("wdtButton");
    EXPECT_TRUE(button->isChecked());
    EXPECT_EQ(button->text(), "Stop WDT");
    EXPECT_FALSE(interval->isEnabled());
    Click("wdtButton");
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(button->text(), "Start WDT");
    EXPECT_TRUE(interval->isEnabled());
    EXPECT_EQ(prompts.messages.size(), 1u); // watchdog requests fail silently
}

TEST_F(MemoryPageTest, Check1SendsItsState) {
    Open(0x310, 1);
    Click("check1Button");
    Click("check1Button");
    const std::vector<RecordedCall> expected{Call(req::kPushSwitch, {1, 0}), Call(req::kPushSwitch, {0, 0})};
    EXPECT_EQ(Calls(), expected);
}

namespace {

// Lets a regular file grow to `bytes` only, as a nearly full disk does; writes beyond it fail
// instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

} // namespace

TEST_F(MemoryPageTest, AFailedSaveIsReportedAndLeavesNoFileThatLooksComplete) {
    Make(0x310);
    cfg.Answer(req::kMemoryData, {1, Le32({1})});
    cfg.Answer(req::kMemoryData, {1, std::vector<uint8_t>(224, 0x5A)}); // 224 bytes, 14 text lines
    ASSERT_TRUE(page->OnInitDialog());
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing/dump"));
    const QString limited = dir.filePath(QStringLiteral("dump"));
    const struct {
        const char* format;
        QString path;
        bool nearlyFull;
        const char* message;
    } cases[] = {
        {"textRadio", QStringLiteral("/dev/full"), false, "Cann't write to file"},
        {"binaryRadio", QStringLiteral("/dev/full"), false, "Cann't write to file"},
        {"textRadio", missing, false, "Cann't create destanation file"},
        {"binaryRadio", missing, false, "Cann't create destanation file"},
        {"textRadio", limited, true, "Cann't write to file"},
        {"binaryRadio", limited, true, "Cann't write to file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format + (" " + c.path.toStdString()));
        prompts.messages.clear();
        Click(c.format);
        prompts.fileAnswers.push_back(c.path);
        {
            std::optional<FileSizeLimit> limit;
            if (c.nearlyFull)
                limit.emplace(100);
            Click("saveButton");
        }
        EXPECT_EQ(prompts.messages, (std::vector<Shown>{Error(c.message)}));
        if (c.path != QStringLiteral("/dev/full")) {
            EXPECT_EQ(QFileInfo(c.path).size(), 0); // a missing file has size 0 too
        }
    }
}
