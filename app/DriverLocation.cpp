// Locating the driver library.
#include "DriverLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString InstalledDriverLibraryPath() {
    QSettings machine(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Orvane"),
                      QStringLiteral("Kestrabox"));
    const QVariant value = machine.value(QStringLiteral("InstallPath"));
    if (!value.isValid())
        return {};
    const QString path = value.toString();
    // The value was always read into a 260-byte buffer: a longer one counts as absent.
    if (path.toLocal8Bit().size() > 259)
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
    for (const QString& candidate : {dir.filePath(file), dir.filePath(QStringLiteral("../lib/") + file),
                                     dir.filePath(QStringLiteral("../sim/") + file)}) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}
