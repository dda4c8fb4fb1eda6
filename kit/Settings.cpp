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

QSettings* g_batch = nullptr; // the outermost live SettingsBatch's store

// The value of `key`: through the batch's store while one is alive, since opening another store would
// store the batch's waiting writes.
QVariant Value(const QString& key) {
    if (g_batch)
        return g_batch->value(key);
    QSettings store = Store();
    return store.value(key);
}

bool Write(const QString& key, const QVariant& value) {
    if (g_batch) {
        g_batch->setValue(key, value);
        return true; // stored with the batch
    }
    QSettings store = Store();
    store.setValue(key, value);
    store.sync();
    return store.status() == QSettings::NoError;
}

int32_t ReadInt(const QString& key, int32_t fallback) {
    const QVariant value = Value(key);
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
    const QVariant value = Value(KeyPath(board, section, QStringLiteral("FILE")));
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool WriteAppInt(const QString& entry, int32_t value) { return Write(entry, value); }

int32_t ReadAppInt(const QString& entry, int32_t fallback) { return ReadInt(entry, fallback); }

bool WriteAppBytes(const QString& entry, const QByteArray& value) { return Write(entry, value); }

QByteArray ReadAppBytes(const QString& entry) { return Value(entry).toByteArray(); }

SettingsBatch::SettingsBatch() {
    if (g_batch)
        return;
    m_store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QString::fromLatin1(kSettingsKey), QCoreApplication::applicationName());
    m_store->sync(); // the store as it is now, before any write waits
    g_batch = m_store.get();
}

SettingsBatch::~SettingsBatch() {
    if (!m_store)
        return;
    g_batch = nullptr;
    m_store->sync();
}
