// The test record: what one testing command measured on one board in one run, with every step, and its
// one JSON form (the same in every store, in exports and in imports).
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// One measured or checked step, as the testing command reports it.
struct TestStep {
    QString name;
    QString result; // pass, fail, error or skip
    std::optional<double> value;
    QString unit;
    std::optional<double> low;
    std::optional<double> high;
    double seconds = 0.0;
    QString detail;

    bool operator==(const TestStep&) const = default;
};

struct TestRecord {
    QString runId; // a UUID without braces
    QString command;
    QStringList arguments;
    int boardNumber = -1; // as `list` shows it on the station that ran the test
    QString boardName;
    uint32_t boardType = 0;
    uint32_t boardId = 0;
    QString station;
    QString operatorName;
    QString mode; // production or engineering
    QString version;
    int64_t startedMs = 0; // UTC, milliseconds since 1970
    int64_t endedMs = 0;
    QString outcome; // pass, fail, error or aborted
    int attempt = 0; // runs of this command on this board, this one included
    std::vector<TestStep> steps;

    bool operator==(const TestRecord&) const = default;
};

// The record's JSON object; `withSteps` false leaves the steps out (list views).
QJsonObject RecordToJson(const TestRecord& record, bool withSteps = true);
// The record from its JSON object; a missing or mistyped field is named in `error` and nothing is returned.
std::optional<TestRecord> RecordFromJson(const QJsonObject& object, QString* error);

// UTC milliseconds as ISO 8601 text with milliseconds and "Z", and back (a date alone means its midnight).
QString UtcText(int64_t ms);
std::optional<int64_t> ParseUtc(const QString& text);

// A new run id.
QString NewRunId();
// The outcome for an exit code: 0 pass, 1 fail, 128+N aborted, anything else error.
QString OutcomeForExit(int exitCode);
bool ValidOutcome(const QString& outcome);
bool ValidStepResult(const QString& result);
bool ValidMode(const QString& mode);
