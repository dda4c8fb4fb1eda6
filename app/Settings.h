// Per-user settings: per-board sections "DEV%d\%s" holding integers and file names.
// Every call is one complete access of the store (open, read or write, sync); nothing is cached.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

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
