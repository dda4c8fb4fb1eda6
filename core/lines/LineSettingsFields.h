// What the line settings dialog shows: one row per control with its block, offset, label, unit and group,
// and the texts of the numbers it edits.
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

enum class SettingsBlock { Settings, Levels };
enum class SettingsKind { Edit, Amplitude, Switch };

struct SettingsControl {
    SettingsBlock block;
    size_t offset; // byte offset in its block
    SettingsKind kind;
    const char* label;
    const char* unit; // empty: none
    const char* group;
    const char* name; // the control's objectName
};

// The group boxes in dialog order, and every control in its group's row order.
extern const std::array<const char*, 7> kSettingsGroups;
extern const std::array<SettingsControl, 23> kSettingsControls;

// An unsigned 16-bit field as the edit shows it.
QString FieldText(uint16_t value);
// An edit's text as a field: an unsigned decimal number keeps its low 16 bits; any other text gives 0.
uint16_t FieldValue(const QString& text);
// An amplitude list item: the level right-aligned in four characters, then " dB" ("% 4d dB").
QString AmplitudeItemText(int level);
