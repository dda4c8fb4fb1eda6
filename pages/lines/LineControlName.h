// The object name of one line's control on the line pages ("line3Hook"): tests and scripts find a
// line's controls by it.
#pragma once

#include <QString>

inline QString LineControlName(int line, const char* control) {
    return QStringLiteral("line%1%2").arg(line).arg(QLatin1String(control));
}
