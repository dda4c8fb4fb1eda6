// Printing veltrin-cli's results and progress.
#include "CliOutput.h"

#include "CliArgs.h"
#include "OutputPath.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

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

namespace {

std::string g_command;
bool g_quiet = false;

} // namespace

void SetJsonCommand(const std::string& command) { g_command = command; }
void SetQuiet(bool quiet) { g_quiet = quiet; }

CRecord& CRecord::Add(const QString& key, double value) {
    // Whole numbers as plain integers: counts of a million are 1056000, never 1.056e+06.
    const bool whole = std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.0e15;
    return Add(key, QJsonValue(value),
               whole ? QString::number(static_cast<qint64>(value)) : QString::number(value, 'f', 3));
}

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

namespace {

// One JSON value as text: a scalar as QJsonDocument writes it inside an array, an object or array whole.
QByteArray ValueText(const QJsonValue& value, bool compact) {
    const auto format = compact ? QJsonDocument::Compact : QJsonDocument::Indented;
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(format).trimmed();
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(format).trimmed();
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace

QByteArray CRecord::OrderedJson(bool compact, int depth) const {
    const QByteArray pad = compact ? QByteArray() : QByteArray(4 * (depth + 1), ' ');
    const QByteArray end = compact ? QByteArray() : QByteArray(4 * depth, ' ');
    const QByteArray newline = compact ? QByteArray() : QByteArray("\n");
    const QByteArray colon = compact ? QByteArray(":") : QByteArray(": ");
    QByteArray out = "{" + newline;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const Field& f = m_fields[i];
        out += pad + ValueText(QJsonValue(f.key), true) + colon;
        if (f.isList) {
            const QByteArray itemPad = compact ? QByteArray() : QByteArray(4 * (depth + 2), ' ');
            out += "[";
            for (size_t j = 0; j < f.list.size(); ++j)
                out +=
                    newline + itemPad + f.list[j].OrderedJson(compact, depth + 2) + (j + 1 < f.list.size() ? "," : "");
            out += (f.list.empty() ? QByteArray() : newline + pad) + "]";
        } else {
            out += ValueText(f.value, true);
        }
        out += (i + 1 < m_fields.size() ? "," : "") + newline;
    }
    return out + end + "}";
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

void WriteStdout(const QByteArray& bytes) {
    const size_t written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    if (std::fflush(stdout) != 0 || written != static_cast<size_t>(bytes.size()) || std::ferror(stdout))
        throw DeviceError("cannot write to standard output");
}

namespace {} // namespace

// "schema" and "command" first, then the record's own fields in their order.
CRecord Enveloped(const CRecord& record) {
    CRecord object;
    object.Add(QStringLiteral("schema"), static_cast<double>(kJsonSchema));
    object.Add(QStringLiteral("command"), QString::fromStdString(g_command));
    for (const CRecord::Field& f : record.m_fields)
        object.m_fields.push_back(f);
    return object;
}

QByteArray JsonLine(const CRecord& record) { return Enveloped(record).OrderedJson(true); }

void PrintRecord(const CRecord& record, bool json) {
    if (json) {
        WriteStdout(Enveloped(record).OrderedJson(false) + '\n');
    } else if (!g_quiet) {
        WriteStdout(record.Lines().toUtf8());
    }
}

void PrintTable(const std::vector<CRecord>& rows, bool json, const QString& key) {
    if (json) {
        CRecord table;
        table.Add(key, rows);
        WriteStdout(Enveloped(table).OrderedJson(false) + '\n');
    } else if (!g_quiet) {
        QByteArray bytes;
        for (const CRecord& r : rows)
            bytes += r.Line().toUtf8() + '\n';
        WriteStdout(bytes);
    }
}

void PrintJsonError(const std::string& message, int exitCode) {
    CRecord error;
    error.Add(QStringLiteral("error"), QString::fromStdString(message));
    error.Add(QStringLiteral("exit"), static_cast<double>(exitCode));
    const QByteArray bytes = Enveloped(error).OrderedJson(false) + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void WriteFileReplacing(const std::string& path, const QByteArray& bytes) {
    const QString name = QFile::decodeName(path.c_str());
    const QFileInfo info(name);
    if (info.exists() && !info.isFile()) {
        // A device or pipe (/dev/stdout, a FIFO) cannot be replaced: written in place, checked on close.
        const int fd = OpenDeviceForWriting(path);
        const bool written = WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
        const int error = errno;
        const bool closed = ::close(fd) == 0;
        if (!written || !closed)
            throw DeviceError("cannot write " + path + ": " + std::strerror(written ? errno : error));
        return;
    }
    // A temporary file next to it, renamed over it once written and closed whole: a file named FILE is
    // always complete.
    QTemporaryFile file(info.absoluteFilePath() + QStringLiteral(".XXXXXX.part"));
    file.setAutoRemove(true);
    if (!file.open())
        throw DeviceError("cannot create a file next to " + path + ": " + file.errorString().toStdString());
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        throw DeviceError("cannot write " + path + ": " + file.errorString().toStdString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // rename(2) replaces the old file in one step: FILE is the old whole file or the new one, never
    // missing, and a failed rename leaves the old one as it was (the temporary file goes away).
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(name).constData()) != 0)
        throw DeviceError("cannot rename the finished file to " + path + ": " + std::strerror(errno));
    file.setAutoRemove(false);
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
