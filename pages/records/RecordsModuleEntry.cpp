// The records module's entry: the "Test records" window and the writing of records, behind the narrow
// interface the program loads on first use. Its message boxes go through the program's prompts in force.
#include "DesktopRecords.h"

#include "Prompts.h"
#include "RecordsModule.h"
#include "RecordsWindow.h"
#include "RunsModel.h"
#include "SampleRecords.h"
#include "WaitForSignal.h"

#include <QEventLoop>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {

// Hands every prompt to the prompts the program has in force at that moment (tests install their own).
class CHostPrompts final : public IPrompts {
public:
    explicit CHostPrompts(IPrompts& (*host)()) : m_host(host) {}
    void Message(QWidget* owner, const QString& text, const QString& caption, PromptIcon icon) override {
        m_host().Message(owner, text, caption, icon);
    }
    QString ChooseFile(QWidget* owner, bool open, const QStringList& filters) override {
        return m_host().ChooseFile(owner, open, filters);
    }

private:
    IPrompts& (*m_host)();
};

// The sample store's folder, removed with the window that reads it (after the window's own end).
class CFolderHolder final : public QObject {
public:
    using QObject::QObject;
    QTemporaryDir folder;
};

class CRecordsModule final : public IRecordsModule {
public:
    std::optional<StoreUrl> ProgramStore(QString* error) override { return ProgramStoreUrl(error); }
    std::optional<RecordSettings> ProgramSettings(QString* error) override { return ProgramRecordSettings(error); }

    KeepResult Keep(const RecordSettings& settings, TestRecord& record, std::chrono::milliseconds syncBound) override {
        try {
            CRecordKeeper keeper(settings);
            return keeper.Keep(record, syncBound);
        } catch (const std::exception& error) {
            return {KeepResult::Kind::Failed, QString::fromStdString(error.what())};
        }
    }

    QWidget* MakeWindow(const StoreUrl& store, std::optional<uint32_t> board, QWidget* parent) override {
        return new CRecordsWindow(store, board, parent);
    }

    QWidget* MakePictureWindow(int settleMs) override {
        auto holder = std::make_unique<CFolderHolder>();
        std::optional<StoreUrl> url;
        std::optional<uint32_t> board;
        if (!qEnvironmentVariableIsEmpty("VELTRIN_RECORDS")) {
            QString error;
            url = ProgramStoreUrl(&error);
            if (!url) {
                std::fprintf(stderr, "veltrin-test: %s\n", qPrintable(error));
                return nullptr;
            }
        } else {
            url = ParseStoreUrl(holder->folder.filePath(QStringLiteral("records.sqlite")), nullptr);
            try {
                board = WriteSampleRecords(*OpenRecordStore(*url), 240, 1);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "veltrin-test: sample records: %s\n", error.what());
                return nullptr;
            }
        }
        auto* window = new CRecordsWindow(*url, board);
        holder.release()->setParent(window);
        window->show();
        if (WaitFor(window, &CRecordsWindow::runsPage, 5000) && window->Runs()->rowCount() > 0) {
            window->RunsView()->setCurrentIndex(window->Runs()->index(0, 0));
            if (WaitFor(window, &CRecordsWindow::stepsShown, 5000) && window->StepsTable()->rowCount() > 0) {
                window->StepsTable()->setCurrentCell(0, 0);
                WaitFor(window, &CRecordsWindow::chartsShown, 10000);
            }
        }
        QEventLoop loop;
        QTimer::singleShot(settleMs, &loop, &QEventLoop::quit);
        loop.exec();
        return window;
    }
};

} // namespace

extern "C" Q_DECL_EXPORT IRecordsModule* veltrin_records_module(IPrompts& (*prompts)()) {
    // The module's own copy of the prompts hands everything to the program's.
    static CHostPrompts host(prompts);
    SetPrompts(&host);
    static CRecordsModule module;
    return &module;
}
