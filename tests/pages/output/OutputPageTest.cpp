// The stereo output page on recording devices: its start sequence, Start and Stop with every message,
// the attenuation texts and the inverted slider, and closing while a channel plays.
#include "OutputPage.h"

#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "RequestCodes.h"
#include "Settings.h"
#include "SettingsSandbox.h"
#include "TempDir.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>

namespace {

using Shown = RecordingPrompts::Shown;
Shown Error(const char* text) { return {QString::fromLatin1(text), QStringLiteral("Error"), PromptIcon::Error}; }

// A streaming device that keeps its attenuation like a board does and answers the rest with success.
struct StreamDevice {
    StreamDevice(const char* name, std::shared_ptr<RequestLog> log) : device(name, std::move(log)) {
        device.SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (auto it = refuse.find(call.code); it != refuse.end() && it->second)
                return {0, {}};
            switch (call.code) {
            case req::kGetAttenuation2:
                if (!secondSet)
                    return {0, {}};
                [[fallthrough]];
            case req::kGetAttenuation: {
                const auto b = AttenuationBlock{value, mute, 0, max, min}.Encode();
                return {1, {b.begin(), b.end()}};
            }
            case req::kGetCounters: {
                const auto b = StreamCounters{0, played.load(), 0}.Encode();
                return {1, {b.begin(), b.end()}};
            }
            case req::kSetAttenuation2:
            case req::kSetAttenuation: {
                const auto block =
                    AttenuationBlock::Decode(call.input.data(), static_cast<uint32_t>(call.input.size()));
                value = block->value;
                mute = block->mute;
                return {1, {}};
            }
            default:
                return {1, std::vector<uint8_t>(call.outputSize, 0)};
            }
        });
    }
    RecordingDevice device;
    bool secondSet = false;
    int16_t value = 200, mute = 0, max = 255, min = 0;
    std::map<uint32_t, bool> refuse;
    std::atomic<uint32_t> played{0}; // the byte count the device reports
};

// The requests a test looks at: the worker's polling is left out.
std::vector<std::string> PageCodes(const RequestLog& log) {
    std::vector<std::string> codes;
    for (const std::string& code : log.Codes())
        if (code.find("0x222450") == std::string::npos && code.find("0x22240C") == std::string::npos)
            codes.push_back(code);
    return codes;
}

std::vector<std::vector<uint8_t>> AllSent(const RequestLog& log, const std::string& device, uint32_t code) {
    std::vector<std::vector<uint8_t>> blocks;
    for (const auto& call : log.Calls())
        if (call.device == device && call.code == code && call.op == RecordedCall::Op::Control)
            blocks.push_back(call.input);
    return blocks;
}

std::vector<uint8_t> Sent(const RequestLog& log, const std::string& device, uint32_t code) {
    const auto blocks = AllSent(log, device, code);
    return blocks.empty() ? std::vector<uint8_t>{} : blocks.back();
}

struct OutputPageTest : ::testing::Test {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    RecordingDevice cfg{"cfg", log};
    StreamDevice left{"left", log};
    StreamDevice right{"right", log};
    std::unique_ptr<COutputPage> page;

    OutputPageTest() {
        cfg.SetHandler([this](const RecordedCall& call) -> ScriptedAnswer {
            if (refuseCfg.count(call.code))
                return {0, {}};
            if (call.code == req::kGetLeftRate || call.code == req::kGetRightRate)
                return {1, Le32({16000})};
            return {1, std::vector<uint8_t>(call.outputSize, 0)};
        });
    }
    void Open() {
        page = std::make_unique<COutputPage>(0x310, 3, &cfg, &left.device, &right.device);
        ASSERT_TRUE(page->OnInitDialog());
        page->show();
        // The grid's first redraw reports its row, which sends the work mode.
        ASSERT_TRUE(QTest::qWaitFor([this] { return !Sent(*log, "left", req::kOutputMode).empty(); }, 5000));
    }
    template <class T> T* Find(const char* name) {
        T* child = page->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QString Text(const char* name) { return Find<QLabel>(name)->text(); }

    std::set<uint32_t> refuseCfg;
};

} // namespace

TEST_F(OutputPageTest, StartSequenceResetsAttenuationWithTheStoredMuteAndSetsBothRates) {
    WriteBoardInt(3, QStringLiteral("PCM\\RIGHT"), QStringLiteral("MUTE"), 1);
    Open();
    const std::vector<std::string> expected = {
        "left:0x222490",                                                                         // probe
        "left:0x22241C",  "left:0x222418",  "left:0x22241C",  "left:0x222418",  "left:0x22241C", // reset, then slider
        "cfg:0x222438",   "cfg:0x222444",                                                        // left rate
        "right:0x22241C", "right:0x222418", "right:0x22241C", "right:0x222418", "right:0x22241C",
        "cfg:0x22243C",   "cfg:0x222448", // right rate
        "left:0x222430",                  // first redraw: mode 9
    };
    EXPECT_EQ(PageCodes(*log), expected);
    // The reset keeps the range it read; the slider's own set that follows sends value and mute alone.
    const std::vector<std::vector<uint8_t>> sets = {Le16({0, 1, 0, 255, 0}), Le16({0, 1, 0, 0, 0})};
    EXPECT_EQ(AllSent(*log, "right", req::kSetAttenuation), sets);
    EXPECT_EQ(Sent(*log, "cfg", req::kSetRightRate), Le32({16000}));
    EXPECT_EQ(Sent(*log, "left", req::kOutputMode), Le32({9}));
    EXPECT_TRUE(Button("rightMuteButton")->isChecked());
    EXPECT_EQ(Text("leftAttText"), QStringLiteral("INF")) << "the start resets the value to 0";
    EXPECT_EQ(page->WorkMode(), 9);
    EXPECT_FALSE(page->SecondRequestSet());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OutputPageTest, AttenuationTextsAndTheInvertedSlider) {
    Open();
    QSlider* slider = Find<QSlider>("leftSlider");
    struct Case {
        int position;
        int16_t sent;
        const char* text;
    };
    for (const Case c : {Case{0, 255, "0"}, Case{255, 0, "INF"}, Case{127, 128, "-6.02"}}) {
        slider->setValue(c.position);
        EXPECT_EQ(Sent(*log, "left", req::kSetAttenuation), Le16({static_cast<uint16_t>(c.sent), 0, 0, 0, 0}))
            << c.position;
        EXPECT_EQ(Text("leftAttText"), QLatin1String(c.text)) << c.position;
    }

    page.reset();
    left.secondSet = right.secondSet = true;
    left.value = -125;
    left.min = -960;
    left.max = 0;
    Open();
    EXPECT_TRUE(page->SecondRequestSet());
    EXPECT_EQ(AllSent(*log, "left", req::kSetAttenuation2).front(), Le16({0, 0, 0, 0, static_cast<uint16_t>(-960)}));
    slider = Find<QSlider>("leftSlider");
    slider->setValue(-835); // max + min - value
    EXPECT_EQ(Sent(*log, "left", req::kSetAttenuation2), Le16({static_cast<uint16_t>(-125), 0, 0, 0, 0}));
    EXPECT_EQ(Text("leftAttText"), QStringLiteral("-12.5"));
}

TEST_F(OutputPageTest, StartFailuresLeaveTheChannelStopped) {
    struct Case {
        const char* what;
        std::function<void(OutputPageTest&)> arrange;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"rate text", [](OutputPageTest& t) { t.Edit("leftRate")->setText("16k"); }, "Cann't get sampling rate"},
        {"frequency text", [](OutputPageTest& t) { t.Edit("leftSineFreq")->setText(""); }, "Cann't get sinuse freq"},
        {"amplitude text", [](OutputPageTest& t) { t.Edit("leftSineAmpl")->setText("-1"); },
         "Cann't get sinuse amplitude"},
        {"half the rate", [](OutputPageTest& t) { t.Edit("leftSineFreq")->setText("8000"); },
         "Cann't initialize sinuse generator"},
        {"zero hertz", [](OutputPageTest& t) { t.Edit("leftSineFreq")->setText("0"); },
         "Cann't initialize sinuse generator"},
        {"negative amplitude", [](OutputPageTest& t) { t.Edit("leftSineAmpl")->setText("40000"); },
         "Cann't initialize sinuse generator"},
        {"no file", [](OutputPageTest& t) { t.Button("leftSineButton")->click(); }, "Cann't open trn file"},
        {"rate set", [](OutputPageTest& t) { t.refuseCfg.insert(req::kSetLeftRate); }, "Cann't set sampling rate"},
        {"rate get", [](OutputPageTest& t) { t.refuseCfg.insert(req::kGetLeftRate); }, "Cann't get sampling rate"},
        {"start", [](OutputPageTest& t) { t.left.refuse[req::kStream] = true; }, "Cann't start device"},
    };
    for (const Case& c : cases) {
        SettingsSandbox fresh; // what the previous page stored at its close must not carry over
        Open();
        prompts.messages.clear();
        c.arrange(*this);
        Button("leftStartButton")->click();
        EXPECT_EQ(prompts.messages, std::vector<Shown>{Error(c.message)})
            << c.what << ": " << (prompts.messages.empty() ? std::string() : prompts.messages[0].text.toStdString());
        EXPECT_FALSE(page->Channel(COutputPage::kLeft).running.load()) << c.what;
        EXPECT_TRUE(Button("leftStartButton")->isEnabled()) << c.what;
        page.reset();
        refuseCfg.clear();
        left.refuse.clear();
    }
}

TEST_F(OutputPageTest, StartAndStopSendTheirCommandsAndSwitchTheControls) {
    Open();
    Button("leftStartButton")->click();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(Sent(*log, "left", req::kStream), Le16({1, 1, 0, 0, 0}));
    EXPECT_TRUE(page->Channel(COutputPage::kLeft).running.load());
    EXPECT_FALSE(Button("leftFileButton")->isEnabled());
    EXPECT_TRUE(Button("leftStopButton")->isEnabled());

    left.refuse[req::kStream] = true;
    Button("leftStopButton")->click();
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't stop device")});
    EXPECT_TRUE(page->Channel(COutputPage::kLeft).running.load());

    left.refuse.clear();
    Button("leftStopButton")->click();
    EXPECT_EQ(Sent(*log, "left", req::kStream), Le16({2, 1, 0, 0, 0}));
    EXPECT_TRUE(Button("leftStartButton")->isEnabled());
}

TEST_F(OutputPageTest, ClosingWhilePlayingSendsNoStopAndKeepsTheSettings) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 8000);
    image.resize(4 + 64000, 0);
    const QString file = QString::fromStdString(dir.Write("tone.raw", image));
    Open();
    prompts.fileAnswers.push_back(file);
    Button("rightFileButton")->click();
    EXPECT_EQ(Edit("rightRate")->text(), QStringLiteral("8000"));
    EXPECT_EQ(Text("rightTotalCount"), QStringLiteral("64000"));
    EXPECT_EQ(Text("rightTotalTime"), QStringLiteral("00:00:04:00"));
    EXPECT_FALSE(Button("rightSineButton")->isChecked());
    Button("leftStartButton")->click();
    Button("rightStartButton")->click();
    QTest::qWait(120); // the worker runs a pass or two
    log->Clear();
    page.reset();
    for (const auto& call : log->Calls())
        EXPECT_NE(call.code, req::kStream) << "closing stops no channel";
    EXPECT_EQ(ReadBoardFile(3, QStringLiteral("PCM\\RIGHT")), file);
    EXPECT_EQ(ReadBoardInt(3, QStringLiteral("PCM\\RIGHT"), QStringLiteral("SOURCE_SEL"), -1), 0);
    EXPECT_EQ(ReadBoardInt(3, QStringLiteral("PCM"), QStringLiteral("MODE"), -1), 9);
}

TEST_F(OutputPageTest, AStartThatFailsWritesNoSettings) {
    WriteBoardInt(3, QStringLiteral("PCM\\LEFT"), QStringLiteral("SINE_FREQ"), 440);
    refuseCfg.insert(req::kGetLeftRate);
    page = std::make_unique<COutputPage>(0x310, 3, &cfg, &left.device, &right.device);
    EXPECT_FALSE(page->OnInitDialog());
    page.reset();
    EXPECT_EQ(ReadBoardInt(3, QStringLiteral("PCM\\LEFT"), QStringLiteral("SINE_FREQ"), -1), 440);
    EXPECT_EQ(ReadBoardInt(3, QStringLiteral("PCM"), QStringLiteral("MODE"), -1), -1);
}

TEST_F(OutputPageTest, AStoredFileThatDoesNotOpenKeepsItsNameUnlessTheUserChoosesAnother) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 8000);
    image.resize(4 + 200, 0);
    const QString chosen = QString::fromStdString(dir.Write("chosen.raw", image));
    const QString missing = QString::fromStdString(dir.Path("not-mounted/tone.dat"));
    for (const char* section : {"PCM\\LEFT", "PCM\\RIGHT"}) {
        WriteBoardFile(3, QLatin1String(section), missing);
        WriteBoardInt(3, QLatin1String(section), QStringLiteral("SOURCE_SEL"), 0);
    }
    Open();
    EXPECT_EQ(Edit("leftFileName")->text(), missing);
    EXPECT_EQ(Edit("rightFileName")->text(), missing);
    Button("leftStartButton")->click();
    EXPECT_EQ(prompts.messages, std::vector<Shown>{Error("Cann't open trn file")});
    prompts.fileAnswers.push_back(chosen);
    Button("rightFileButton")->click();
    page.reset();
    EXPECT_EQ(ReadBoardFile(3, QStringLiteral("PCM\\LEFT")), missing);
    EXPECT_EQ(ReadBoardFile(3, QStringLiteral("PCM\\RIGHT")), chosen);
}

TEST_F(OutputPageTest, FileChannelStopsByItselfWhenTheDeviceHasPlayedIt) {
    TempDir dir;
    std::vector<uint8_t> image;
    PutU32(image, 16000);
    image.resize(4 + 1000, 0);
    const std::string path = dir.Write("tone.raw", image);
    Open();
    prompts.fileAnswers = {QString::fromStdString(path)};
    page->SelectFile(COutputPage::kRight);
    page->Start(COutputPage::kRight);
    ASSERT_TRUE(page->Channel(COutputPage::kRight).running.load());
    right.played = 1000;
    ASSERT_TRUE(QTest::qWaitFor([this] { return !page->Channel(COutputPage::kRight).running.load(); }, 5000));
    EXPECT_TRUE(Button("rightStartButton")->isEnabled());
    EXPECT_FALSE(Button("rightStopButton")->isEnabled());
    EXPECT_EQ(Text("rightCount"), "1000");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OutputPageTest, AFileThatDoesNotOpenSaysWhy) {
    TempDir dir;
    // A 44-byte WAV header: format tag, channels, rate and bits per sample, then `frames` of silence.
    const auto wav = [](uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
        const uint32_t block = channels * bits / 8u, data = 16 * block;
        std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
        PutU32(b, 36 + data);
        b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        PutU32(b, 16);
        PutU32(b, tag | uint32_t{channels} << 16);
        PutU32(b, rate);
        PutU32(b, rate * block);
        PutU32(b, block | uint32_t{bits} << 16);
        b.insert(b.end(), {'d', 'a', 't', 'a'});
        PutU32(b, data);
        b.resize(b.size() + data, 0);
        return b;
    };
    std::vector<uint8_t> hugeRate;
    PutU32(hugeRate, 0x80000000u);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes; // empty: no such file
        const char* why;            // the reason's start
    } cases[] = {
        {"alaw.wav", wav(6, 1, 8000, 8), "a WAV encoding other than PCM 8, 16, 24, 32-bit or 32-bit float"},
        {"double.wav", wav(3, 1, 8000, 64), "a WAV encoding other than PCM"},
        {"three.wav", wav(1, 3, 8000, 16), "3 channels; only mono and stereo are read"},
        {"junk.wav",
         {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k'},
         "not a readable WAV file ("},
        {"huge-rate.raw", hugeRate, "a sample rate beyond any board's"},
        {"short.raw", {1, 2}, "shorter than a sound file's header"},
        {"missing.raw", {}, "No such file or directory"},
    };
    std::vector<uint8_t> good;
    PutU32(good, 8000);
    good.resize(4 + 400, 0);
    const QString kept = QString::fromStdString(dir.Write("kept.raw", good));
    Open();
    prompts.fileAnswers = {kept};
    Button("rightFileButton")->click();
    ASSERT_TRUE(page->Channel(COutputPage::kRight).file.IsOpen());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.messages.clear();
        const std::string path = c.bytes.empty() ? dir.Path(c.name) : dir.Write(c.name, c.bytes);
        prompts.fileAnswers = {QString::fromStdString(path)};
        Button("rightFileButton")->click();
        ASSERT_EQ(prompts.messages.size(), 1u);
        const QStringList lines = prompts.messages[0].text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << prompts.messages[0].text.toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("Cann't open TRN file"));
        EXPECT_TRUE(lines[1].startsWith(QLatin1String(c.why))) << lines[1].toStdString();
        EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("Error"));
        // A refused file leaves no file to play: a Start then says so rather than playing another.
        EXPECT_FALSE(page->Channel(COutputPage::kRight).file.IsOpen());
    }
}
