// What veltrin-cli prints: results on standard output as plain "key: value" lines or as JSON, and a
// progress line on standard error while a long step runs on a terminal.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

// A result with its fields in the order they are shown; JSON keeps the values, text the shown forms.
class CRecord {
public:
    CRecord& Add(const QString& key, const QJsonValue& value, const QString& text);
    CRecord& Add(const QString& key, const QString& text) { return Add(key, QJsonValue(text), text); }
    CRecord& Add(const QString& key, double value);
    CRecord& Add(const QString& key, bool value);
    // A nested list of records: a JSON array, and in text one indented line per record.
    CRecord& Add(const QString& key, const std::vector<CRecord>& list);

    QJsonObject Json() const;
    // The JSON text of the record with its fields in the order they were added (QJsonObject would sort
    // them), nested lists of records likewise; `compact` on one line.
    QByteArray OrderedJson(bool compact, int depth = 0) const;
    // One line: "key=text key=text ...", a text with spaces in double quotes.
    QString Line() const;
    // One line per field: "key: text".
    QString Lines(const QString& indent = QString()) const;

private:
    struct Field {
        QString key;
        QJsonValue value;
        QString text;
        std::vector<CRecord> list;
        bool isList = false;
    };
    std::vector<Field> m_fields;
    friend CRecord Enveloped(const CRecord& record);
};

// The record with "schema" and "command" ahead of its own fields.
CRecord Enveloped(const CRecord& record);

// The version of the JSON output's shape, in every JSON object the program writes as "schema".
inline constexpr int kJsonSchema = 1;
// The command whose results are written (the "command" field of the JSON output).
void SetJsonCommand(const std::string& command);
// Standard output with nothing on it is quiet (-q): text results are left out, JSON still written.
void SetQuiet(bool quiet);

// Writes a record (or a table of records under `key`) to standard output in the chosen form: JSON as
// one object with "schema" and "command" first. A write that fails is a device error.
void PrintRecord(const CRecord& record, bool json);
void PrintTable(const std::vector<CRecord>& rows, bool json, const QString& key = QStringLiteral("rows"));
// One record as a one-line JSON object with "schema" and "command", for output that streams rows.
QByteArray JsonLine(const CRecord& record);
// The JSON form of a run that ended with an error: {"schema", "command", "error", "exit"}.
void PrintJsonError(const std::string& message, int exitCode);
// Writes bytes to standard output and flushes them; a failed write is a device error.
void WriteStdout(const QByteArray& bytes);
// Writes a whole file under a temporary name next to it and renames it over `path` once complete and
// closed without error; any failure is a device error and leaves `path` as it was.
void WriteFileReplacing(const std::string& path, const QByteArray& bytes);

// "0x0310"-style text of a number with at least `digits` hexadecimal digits.
QString Hex(uint32_t value, int digits = 4);

// Diagnostics: "veltrin-cli: text" on standard error.
void Diagnostic(const std::string& text);

// A progress line on standard error, shown only when standard error is a terminal and the step takes
// longer than a second; it redraws at most a few times a second and is cleared when done.
class CProgress {
public:
    CProgress(std::string what, double seconds);
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;
    void Update(double elapsed);

private:
    std::string m_what;
    double m_seconds;
    bool m_shown;
    std::chrono::steady_clock::time_point m_last{};
};

// A status line on standard error for a sequence of steps that takes longer than a second in all: shown
// only on a terminal; an empty text clears it.
void StatusLine(const std::string& text);

// Whether standard input is a terminal (only then does a command ask anything).
bool InputIsTerminal();
