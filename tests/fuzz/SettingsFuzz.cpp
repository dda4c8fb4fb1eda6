// libFuzzer target for the stored settings the output and codec pages read: the input becomes stored
// values (numbers in and out of range, texts that are no numbers, names of files holding fuzzed bytes),
// then both pages open on a simulated board, press every Start and close again.
#include "CodecTabsPage.h"
#include "Device.h"
#include "OutputPage.h"
#include "Prompts.h"
#include "SimDevice.h"
#include "Simulator.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Messages go nowhere and every file dialog is cancelled: nothing may wait for a user.
class SilentPrompts final : public IPrompts {
public:
    void Message(QWidget*, const QString&, const QString&, PromptIcon) override {}
    QString ChooseFile(QWidget*, bool, const QStringList&) override { return {}; }
};

QString g_scratch;

// Every key the two pages read for board 0.
const std::vector<QString>& Keys() {
    static const std::vector<QString> keys = [] {
        std::vector<QString> k = {QStringLiteral("DEV0/PCM/MODE"), QStringLiteral("DEV0/AIC/SampleRate")};
        QStringList sections = {QStringLiteral("PCM/LEFT"), QStringLiteral("PCM/RIGHT")};
        for (int line = 0; line < CCodecTabsPage::kLines; ++line)
            sections << QStringLiteral("AIC/IN%1").arg(line) << QStringLiteral("AIC/OUT%1").arg(line);
        for (const QString& section : sections)
            for (const char* entry : {"SOURCE_SEL", "FILE", "ATT", "MUTE", "SINE_FREQ", "SINE_AMPL", "SampleRate"})
                k.push_back(QStringLiteral("DEV0/") + section + QLatin1Char('/') + QLatin1String(entry));
        return k;
    }();
    return keys;
}

// Records of [key][kind][length][bytes]: kind 0 a 32-bit number, 1 a text, 2 a file holding the bytes.
void Store(const uint8_t* data, size_t size) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("VeltrinTest"),
                    QCoreApplication::applicationName());
    store.clear();
    int files = 0;
    for (size_t at = 0; at + 3 <= size;) {
        const QString& key = Keys()[data[at] % Keys().size()];
        const int kind = data[at + 1] % 3;
        const size_t length = std::min<size_t>(data[at + 2], size - at - 3);
        const uint8_t* bytes = data + at + 3;
        at += 3 + length;
        if (kind == 0) {
            uint32_t value = 0;
            for (size_t i = 0; i < length && i < 4; ++i)
                value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
            store.setValue(key, static_cast<qlonglong>(static_cast<int32_t>(value)));
        } else if (kind == 1) {
            store.setValue(key,
                           QString::fromLatin1(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length)));
        } else {
            const QString path = g_scratch + QStringLiteral("/sound%1.raw").arg(files++);
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(length));
            store.setValue(key, path);
        }
    }
    store.sync();
}

void PressEveryStart(QWidget& page) {
    for (QPushButton* button : page.findChildren<QPushButton*>())
        if (button->objectName().endsWith(QLatin1String("StartButton")) && button->isEnabled())
            button->click();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    const char* tmp = std::getenv("TMPDIR");
    g_scratch = QString::fromLocal8Bit(tmp && *tmp ? tmp : "/tmp") +
                QStringLiteral("/veltrin-settings-fuzz-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(g_scratch);
    std::atexit([] { QDir(g_scratch).removeRecursively(); });
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, g_scratch);
    static SilentPrompts prompts;
    SetPrompts(&prompts);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048)
        return 0;
    Store(data, size);

    sim::Simulator simulator({sim::BoardConfig{}}, std::make_shared<sim::SteadyClock>());
    std::vector<std::unique_ptr<CDevice>> devices;
    auto open = [&](const std::string& leaf) -> CDevice* {
        const int32_t handle = simulator.Create("VSIM0\\" + leaf);
        if (handle < 0)
            return nullptr;
        devices.push_back(std::make_unique<SimDevice>(simulator, handle));
        return devices.back().get();
    };
    CDevice* cfg = open("VELTRIN_CFG");
    CCodecTabsPage::Devices inputs{};
    CCodecTabsPage::Devices outputs{};
    for (int line = 0; line < CCodecTabsPage::kLines; ++line) {
        inputs[static_cast<size_t>(line)] = open("PHONE_LINE" + std::to_string(line) + "_IN_DEV");
        outputs[static_cast<size_t>(line)] = open("PHONE_LINE" + std::to_string(line) + "_OUT_DEV");
    }
    {
        COutputPage output(0x310, 0, cfg, open("LINE_OUT_LEFT"), open("LINE_OUT_RIGHT"));
        CCodecTabsPage codec(0x310, 0, inputs, outputs, cfg);
        if (output.OnInitDialog())
            PressEveryStart(output);
        if (codec.OnInitDialog())
            PressEveryStart(codec);
        QCoreApplication::processEvents();
        output.Shutdown();
        codec.Shutdown();
    }
    return 0;
}
