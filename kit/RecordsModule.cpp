// Finding and loading the records module once, on the first call from any thread.
#include "RecordsModule.h"

#include "Prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

struct Loaded {
    IRecordsModule* module = nullptr;
    QString problem;
    QLibrary* library = nullptr; // never unloaded: its windows and threads may live until the program ends
};

Loaded Load() {
    const QString file = QStringLiteral(VELTRIN_RECORDS_MODULE);
    const QDir dir(QCoreApplication::applicationDirPath());
    // Next to the program in a build, in the modules folder of the program's library folder once installed.
    QString path;
    for (const QString& candidate :
         {dir.filePath(file), dir.filePath(QStringLiteral("../lib/veltrin-test/modules/") + file)}) {
        if (QFileInfo::exists(candidate)) {
            path = QFileInfo(candidate).canonicalFilePath();
            break;
        }
    }
    if (path.isEmpty())
        return {nullptr, QStringLiteral("the test records module %1 is not installed next to the program (%2)")
                             .arg(file, QDir::toNativeSeparators(dir.path()))};
    auto* library = new QLibrary(path);
    const auto entry = reinterpret_cast<RecordsModuleEntry>(library->resolve(kRecordsModuleEntry));
    if (!entry) {
        const QString why = library->errorString();
        delete library;
        return {nullptr, QStringLiteral("the test records module cannot be loaded: %1").arg(why)};
    }
    return {entry(&Prompts), QString(), library};
}

} // namespace

IRecordsModule* RecordsModule(QString* error) {
    static const Loaded loaded = Load();
    if (!loaded.module && error)
        *error = loaded.problem;
    return loaded.module;
}
