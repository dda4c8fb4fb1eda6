// Printing veltrin-cli's results and progress.
#include "CliOutput.h"

#include <QJsonDocument>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

CRecord& CRecord::Add(const QString& key, const QJsonValue& value, const QString& text) {
    m_fields.push_back({key, value, text, {}, false});
    return *this;
}

CRecord& CRecord::Add(const QString& key, double value) { return Add(key, QJsonValue(value), QString::number(value)); }

CRecord& CRecord::Add(const QString& key, bool value) {
    return Add(key, QJsonValue(value), value ? QStringLiteral("yes") : QStringLiteral("no"));
}

CRecord& CRecord::Add(const QString& key, const std::vector<CRecord>& list) {
    m_fields.push_back({key, QJsonValue(), QString(), list, true});
    return *this;
}

QJsonObject CRecord::Json() const {
    QJsonObject object;
    for (const Field& f : m_fields) {
        if (f.isList) {
            QJsonArray array;
            for (const CRecord& r : f.list)
                array.append(r.Json());
            object.insert(f.key, array);
        } else {
            object.insert(f.key, f.value);
        }
    }
    return object;
}

QString CRecord::Line() const {
    QStringList parts;
    for (const Field& f : m_fields)
        if (!f.isList)
            parts << f.key + QLatin1Char('=') +
                         (f.text.contains(QLatin1Char(' ')) ? QLatin1Char('"') + f.text + QLatin1Char('"') : f.text);
    return parts.join(QLatin1Char(' '));
}

QString CRecord::Lines(const QString& indent) const {
    QString out;
    for (const Field& f : m_fields) {
        if (f.isList) {
            out += indent + f.key + QStringLiteral(":\n");
            for (const CRecord& r : f.list)
                out += indent + QStringLiteral("  ") + r.Line() + QLatin1Char('\n');
        } else {
            out += indent + f.key + QStringLiteral(": ") + f.text + QLatin1Char('\n');
        }
    }
    return out;
}

void PrintRecord(const CRecord& record, bool json) {
    const QByteArray bytes =
        json ? QJsonDocument(record.Json()).toJson(QJsonDocument::Indented) : record.Lines().toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void PrintTable(const std::vector<CRecord>& rows, bool json) {
    QByteArray bytes;
    if (json) {
        QJsonArray array;
        for (const CRecord& r : rows)
            array.append(r.Json());
        bytes = QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        for (const CRecord& r : rows)
            bytes += r.Line().toUtf8() + '\n';
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QString Hex(uint32_t value, int digits) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

void Diagnostic(const std::string& text) { std::fprintf(stderr, "veltrin-cli: %s\n", text.c_str()); }

CProgress::CProgress(std::string what, double seconds)
    : m_what(std::move(what)), m_seconds(seconds), m_shown(seconds > 1.0 && isatty(fileno(stderr))) {}

CProgress::~CProgress() {
    if (m_shown) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

void CProgress::Update(double elapsed) {
    if (!m_shown)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < std::chrono::milliseconds(200))
        return;
    m_last = now;
    std::fprintf(stderr, "\r\033[K%s %.1f / %.1f s", m_what.c_str(), elapsed, m_seconds);
    std::fflush(stderr);
}

void StatusLine(const std::string& text) {
    if (!isatty(fileno(stderr)))
        return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
}

bool InputIsTerminal() { return isatty(fileno(stdin)) != 0; }
