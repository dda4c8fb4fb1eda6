// The memory page's Read of 65535 words from address 0 with the list already holding such a dump: from the
// click to the list shown again, in the real page against the in-process simulated board. Goal: under
// 50 ms in a release build.
#include "Device.h"
#include "MemoryPage.h"
#include "Prompts.h"
#include "SimDevice.h"
#include "Simulator.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A message means the read failed: the figure would be worthless, so the run ends with it.
class FailingPrompts final : public IPrompts {
public:
    void Message(QWidget*, const QString& text, const QString&, PromptIcon) override {
        std::fprintf(stderr, "the page says: %s\n", qPrintable(text));
        std::exit(1);
    }
    QString ChooseFile(QWidget*, bool, const QStringList&) override { return {}; }
};

void BM_ReadWholeMemoryWithTheListFilled(benchmark::State& state) {
    sim::Simulator simulator({sim::BoardConfig{}}, std::make_shared<sim::SteadyClock>());
    SimDevice cfg(simulator, simulator.Create("VSIM0\\VELTRIN_CFG"));
    CMemoryPage page(&cfg, 0x310);
    page.resize(900, 600);
    page.show();
    if (!page.OnInitDialog()) {
        state.SkipWithError("the memory page did not open");
        return;
    }
    page.findChild<QLineEdit*>(QStringLiteral("startAddressEdit"))->setText(QStringLiteral("0"));
    page.findChild<QLineEdit*>(QStringLiteral("wordNumberEdit"))->setText(QStringLiteral("65535"));
    auto* read = page.findChild<QPushButton*>(QStringLiteral("readButton"));
    auto* list = page.findChild<QListView*>(QStringLiteral("memoryList"));
    read->click(); // the list filled before the measured reads
    QApplication::processEvents();
    for (auto _ : state) {
        read->click();
        QApplication::processEvents(); // layout and repaint of the list
    }
    state.counters["lines"] = list->model()->rowCount();
}
BENCHMARK(BM_ReadWholeMemoryWithTheListFilled)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings; // the page stores its settings; keep the user's own untouched
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    FailingPrompts prompts;
    SetPrompts(&prompts);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
