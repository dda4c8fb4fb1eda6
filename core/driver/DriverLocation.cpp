// Locating the driver library.
#include "DriverLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <memory>

namespace {

// The machine-wide store. Where XDG_CONFIG_DIRS names the system configuration folders, the file is
// looked for in them in order (their first folder when none holds it), as the XDG rules ask; without
// it, Qt's own system folder is used.
std::unique_ptr<QSettings> MachineSettings() {
#if !defined(_WIN32) && !defined(__APPLE__)
    const QStringList folders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (!folders.isEmpty()) {
        const QString file = QStringLiteral("/Orvane/Kestrabox.conf");
        QString chosen = folders.front() + file;
        for (const QString& folder : folders) {
            if (QFileInfo::exists(folder + file)) {
                chosen = folder + file;
                break;
            }
        }
        return std::make_unique<QSettings>(chosen, QSettings::NativeFormat);
    }
#endif
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Orvane"),
                                       QStringLiteral("Kestrabox"));
}

} // namespace

QString InstalledDriverLibraryPath() {
    const QVariant value = MachineSettings()->value(QStringLiteral("InstallPath"));
    if (!value.isValid())
        return {};
    const QString path = value.toString();
    // The value was always read into a 260-byte buffer: a longer one counts as absent.
    if (QFile::encodeName(path).size() > 259)
        return {};
    return path;
}

QString BundledSimulatorPath() {
#ifdef _WIN32
    const QString file = QStringLiteral("veltrin-sim.dll");
#elif defined(__APPLE__)
    const QString file = QStringLiteral("libveltrin-sim.dylib");
#else
    const QString file = QStringLiteral("libveltrin-sim.so");
#endif
    const QDir dir(QCoreApplication::applicationDirPath());
    // Next to the program in a build, in the driver folder of the program's own library folder once installed.
    for (const QString& candidate :
         {dir.filePath(file), dir.filePath(QStringLiteral("../lib/veltrin-test/drivers/") + file),
          dir.filePath(QStringLiteral("../lib/") + file), dir.filePath(QStringLiteral("../sim/") + file)}) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}
