// The settings store on QSettings (user scope, organisation "VeltrinTest", application = program name).
#include "Settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

QString KeyPath(int32_t board, const QString& section, const QString& entry) {
    // QSettings keeps a key with a backslash in it as one escaped flat key; groups need slashes.
    QString path = BoardSection(board, section) + QLatin1Char('\\') + entry;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kSettingsKey),
                     QCoreApplication::applicationName());
}

bool Write(const QString& key, const QVariant& value) {
    QSettings store = Store();
    store.setValue(key, value);
    store.sync();
    return store.status() == QSettings::NoError;
}

int32_t ReadInt(const QString& key, int32_t fallback) {
    QSettings store = Store();
    const QVariant value = store.value(key);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > UINT32_MAX)
        return fallback;
    // A DWORD written by another tool may be stored unsigned; it reads back as the same 32 bits.
    return static_cast<int32_t>(static_cast<uint32_t>(number));
}

} // namespace

QString BoardSection(int32_t board, const QString& section) {
    return QStringLiteral("DEV%1\\%2").arg(board).arg(section);
}

bool WriteBoardInt(int32_t board, const QString& section, const QString& entry, int32_t value) {
    return Write(KeyPath(board, section, entry), value);
}

int32_t ReadBoardInt(int32_t board, const QString& section, const QString& entry, int32_t fallback) {
    return ReadInt(KeyPath(board, section, entry), fallback);
}

bool WriteBoardFile(int32_t board, const QString& section, const QString& path) {
    return Write(KeyPath(board, section, QStringLiteral("FILE")), path);
}

QString ReadBoardFile(int32_t board, const QString& section) {
    QSettings store = Store();
    const QVariant value = store.value(KeyPath(board, section, QStringLiteral("FILE")));
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool WriteAppInt(const QString& entry, int32_t value) { return Write(entry, value); }

int32_t ReadAppInt(const QString& entry, int32_t fallback) { return ReadInt(entry, fallback); }

bool WriteAppBytes(const QString& entry, const QByteArray& value) { return Write(entry, value); }

QByteArray ReadAppBytes(const QString& entry) {
    QSettings store = Store();
    return store.value(entry).toByteArray();
}
