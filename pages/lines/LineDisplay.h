// What one poll of a line changes on its display. The page polls every line each millisecond, so it
// formats and sets a text only when the value behind it changed.
#pragma once

#include "LineBlocks.h"

#include <QString>

#include <array>
#include <optional>

struct LineDisplayUpdate {
    std::optional<QString> rings;   // new ring count text
    std::optional<QString> voltage; // new voltage text
    std::optional<QString> number;  // new caller number text
    bool pictureChanged = false;    // the state word differs from the one drawn
};

class LineDisplay {
public:
    static constexpr uint16_t kInitialState = LineState::kOnHook;

    LineDisplayUpdate Apply(const LineState& state);
    uint16_t ShownState() const { return m_shownState; }

    // The caller number as shown: its text, or "нет номера" when empty.
    static QString NumberText(const LineState& state);

private:
    std::optional<uint16_t> m_rings;
    std::optional<int16_t> m_voltage;
    std::optional<std::array<uint8_t, LineState::kNumberSize>> m_numberBytes;
    QString m_numberText;
    uint16_t m_shownState = kInitialState;
};
