// Per-user settings: per-board sections "DEV%d\%s" holding integers and file names.
// Every call is one complete access of the store (open, read or write, sync), except while a SettingsBatch
// is alive.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

class QSettings;

// The settings key word: the organisation under which the program stores its settings.
inline constexpr const char* kSettingsKey = "VeltrinTest";

// "DEV%d\%s": board -1 (library boards) gives "DEV-1\...".
QString BoardSection(int32_t board, const QString& section);

bool WriteBoardInt(int32_t board, const QString& section, const QString& entry, int32_t value);
// The stored value, or `fallback` when it is absent or not a 32-bit integer.
int32_t ReadBoardInt(int32_t board, const QString& section, const QString& entry, int32_t fallback);
// File names live under the entry "FILE" of a section.
bool WriteBoardFile(int32_t board, const QString& section, const QString& path);
// The stored file name, or an empty text.
QString ReadBoardFile(int32_t board, const QString& section);

// Program-wide entries outside the board sections.
bool WriteAppInt(const QString& entry, int32_t value);
int32_t ReadAppInt(const QString& entry, int32_t fallback);
bool WriteAppBytes(const QString& entry, const QByteArray& value);
// The stored bytes, or empty ones when the entry is absent.
QByteArray ReadAppBytes(const QString& entry);

// While alive (on the user-interface thread), writes wait in memory and are stored together when it ends.
// Each stored write costs a flush of the whole file to disk, so the window closing with every page
// saving its settings would otherwise take many seconds. Reads see the waiting writes. Batches nest.
class SettingsBatch {
public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

private:
    std::unique_ptr<QSettings> m_store; // null in a nested batch
};
