// The shared helpers.
#include "Helpers.h"

#include "Prompts.h"

#include <QLineEdit>

bool ChooseFile(QWidget* owner, bool open, QLineEdit* target, QString* result, bool textFiles) {
    const QStringList filters =
        textFiles ? QStringList{QStringLiteral("Text files (*.txt)")}
                  : QStringList{QStringLiteral("TRN 5.x files (*.dat)"), QStringLiteral("Wav files (*.wav)")};
    const QString path = Prompts().ChooseFile(owner, open, filters);
    if (path.isEmpty())
        return false;
    if (target)
        target->setText(path);
    if (result)
        *result = path;
    return true;
}

QString FormatPlayTime(uint32_t bytes, uint32_t rate) {
    const uint32_t divisor = rate / 100;
    const uint32_t t = divisor ? bytes / divisor : 0; // units of 1/200 s: two bytes a sample
    const uint32_t h = t / 2;
    return QString::asprintf("%02u:%02u:%02u:%02u", h / 6000 / 60, (h / 6000) % 60, (h / 100) % 60, h % 100);
}

bool IsDecimalText(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool IsHexText(const QString& text) {
    if (text.size() <= 2 || text[0] != QLatin1Char('0') || (text[1] != QLatin1Char('x') && text[1] != QLatin1Char('X')))
        return false;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool digit = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit)
            return false;
    }
    return true;
}

bool ParseUnsigned(uint32_t* result, const QString& text) {
    if (!IsDecimalText(text))
        return false;
    uint64_t value = 0;
    for (QChar c : text) {
        value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
        if (value > UINT32_MAX)
            return false;
    }
    if (result)
        *result = static_cast<uint32_t>(value);
    return true;
}

bool ParseDecimal(int32_t* result, const QString& text) {
    uint32_t value = 0;
    if (!ParseUnsigned(&value, text) || value > INT32_MAX)
        return false;
    if (result)
        *result = static_cast<int32_t>(value);
    return true;
}

bool ParseHex(uint32_t* result, const QString& text) {
    if (!IsHexText(text))
        return false;
    uint64_t value = 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const int digit = QString(text[i]).toInt(nullptr, 16);
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > UINT32_MAX)
            return false;
    }
    if (result)
        *result = static_cast<uint32_t>(value);
    return true;
}
