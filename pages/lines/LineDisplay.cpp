// Change tracking of one line's display.
#include "LineDisplay.h"

LineDisplayUpdate LineDisplay::Apply(const LineState& state) {
    LineDisplayUpdate update;
    if (m_rings != state.rings) {
        m_rings = state.rings;
        update.rings = QString::number(state.rings);
    }
    if (m_voltage != state.voltage) {
        m_voltage = state.voltage;
        update.voltage = QString::number(state.voltage);
    }
    if (m_numberBytes != state.number) {
        m_numberBytes = state.number;
        // Bytes after the terminating zero may change without changing the text. The text is never
        // empty, so the first poll always sets it.
        QString text = NumberText(state);
        if (text != m_numberText) {
            update.number = text;
            m_numberText = std::move(text);
        }
    }
    if (state.state != m_shownState) {
        m_shownState = state.state;
        update.pictureChanged = true;
    }
    return update;
}

QString LineDisplay::NumberText(const LineState& state) {
    const std::string text = state.NumberText();
    if (text.empty())
        return QStringLiteral("нет номера");
    // The board sends ASCII; any other byte is shown as its Latin-1 character rather than dropped.
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
