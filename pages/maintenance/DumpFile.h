// Saving what the memory page read: the bytes as the board returned them, or the memory list as text.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

class CDumpModel;

enum class SaveResult { Ok, CannotCreate, ShortWrite };

// Creates (or truncates) `path` and writes `size` bytes.
SaveResult SaveBinary(const QString& path, const uint8_t* bytes, size_t size);
// Creates (or truncates) `path` and writes each line of the list followed by a single line feed.
SaveResult SaveText(const QString& path, const CDumpModel& lines);
