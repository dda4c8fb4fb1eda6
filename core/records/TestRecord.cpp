// The test record's JSON form and the small conversions every store and front end shares.
#include "TestRecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QUuid>

#include <cmath>

namespace {

QJsonValue Optional(const std::optional<double>& value) {
    // JSON has no infinities; a value that is not finite is kept as its text so nothing is lost.
    if (!value)
        return QJsonValue::Null;
    if (!std::isfinite(*value))
        return QString::number(*value);
    return *value;
}

bool ReadOptional(const QJsonValue& value, std::optional<double>* out) {
    if (value.isNull() || value.isUndefined()) {
        *out = std::nullopt;
        return true;
    }
    if (value.isDouble()) {
        *out = value.toDouble();
        return true;
    }
    if (value.isString()) {
        bool ok = false;
        const double d = value.toString().toDouble(&ok);
        if (ok && !std::isfinite(d)) {
            *out = d;
            return true;
        }
        const QString t = value.toString();
        if (t == QLatin1String("inf") || t == QLatin1String("-inf") || t == QLatin1String("nan")) {
            *out = t == QLatin1String("inf") ? HUGE_VAL : t == QLatin1String("-inf") ? -HUGE_VAL : std::nan("");
            return true;
        }
    }
    return false;
}

bool IsWholeNumber(const QJsonValue& value) {
    return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
}

} // namespace

QString UtcText(int64_t ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs); }

std::optional<int64_t> ParseUtc(const QString& text) {
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        time = QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    // A time without a zone is UTC, as every time the records keep.
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time.toMSecsSinceEpoch();
}

QString NewRunId() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QString OutcomeForExit(int exitCode) {
    if (exitCode == 0)
        return QStringLiteral("pass");
    if (exitCode == 1)
        return QStringLiteral("fail");
    if (exitCode > 128)
        return QStringLiteral("aborted");
    return QStringLiteral("error");
}

bool ValidOutcome(const QString& o) {
    return o == QLatin1String("pass") || o == QLatin1String("fail") || o == QLatin1String("error") ||
           o == QLatin1String("aborted");
}

bool ValidStepResult(const QString& r) {
    return r == QLatin1String("pass") || r == QLatin1String("fail") || r == QLatin1String("error") ||
           r == QLatin1String("skip");
}

bool ValidMode(const QString& m) { return m == QLatin1String("production") || m == QLatin1String("engineering"); }

QJsonObject RecordToJson(const TestRecord& r, bool withSteps) {
    QJsonObject board{{"number", r.boardNumber},
                      {"name", r.boardName},
                      {"type", static_cast<double>(r.boardType)},
                      {"id", static_cast<double>(r.boardId)}};
    QJsonObject o{{"run", r.runId},
                  {"command", r.command},
                  {"arguments", QJsonArray::fromStringList(r.arguments)},
                  {"board", board},
                  {"station", r.station},
                  {"operator", r.operatorName},
                  {"mode", r.mode},
                  {"version", r.version},
                  {"started", UtcText(r.startedMs)},
                  {"ended", UtcText(r.endedMs)},
                  {"outcome", r.outcome},
                  {"attempt", r.attempt}};
    if (withSteps) {
        QJsonArray steps;
        for (const TestStep& s : r.steps)
            steps.append(QJsonObject{{"name", s.name},
                                     {"result", s.result},
                                     {"value", Optional(s.value)},
                                     {"unit", s.unit},
                                     {"low", Optional(s.low)},
                                     {"high", Optional(s.high)},
                                     {"seconds", s.seconds},
                                     {"detail", s.detail}});
        o.insert("steps", steps);
    }
    return o;
}

std::optional<TestRecord> RecordFromJson(const QJsonObject& o, QString* error) {
    const auto fail = [&](const QString& field) {
        if (error)
            *error = QStringLiteral("field \"%1\" is missing or not valid").arg(field);
        return std::nullopt;
    };
    const auto text = [&](const QJsonObject& from, const char* key, QString* out) {
        const QJsonValue v = from.value(QLatin1String(key));
        if (!v.isString())
            return false;
        *out = v.toString();
        return true;
    };
    TestRecord r;
    if (!text(o, "run", &r.runId) || QUuid::fromString(r.runId).isNull())
        return fail("run");
    if (!text(o, "command", &r.command) || r.command.isEmpty())
        return fail("command");
    const QJsonValue arguments = o.value("arguments");
    if (!arguments.isArray())
        return fail("arguments");
    for (const QJsonValue& a : arguments.toArray()) {
        if (!a.isString())
            return fail("arguments");
        r.arguments.append(a.toString());
    }
    const QJsonObject board = o.value("board").toObject();
    if (!IsWholeNumber(board.value("number")) || !text(board, "name", &r.boardName) ||
        !IsWholeNumber(board.value("type")) || !IsWholeNumber(board.value("id")) ||
        board.value("type").toDouble() < 0 || board.value("id").toDouble() < 0 ||
        board.value("type").toDouble() > 0xFFFFFFFF || board.value("id").toDouble() > 0xFFFFFFFF)
        return fail("board");
    r.boardNumber = board.value("number").toInt();
    r.boardType = static_cast<uint32_t>(board.value("type").toDouble());
    r.boardId = static_cast<uint32_t>(board.value("id").toDouble());
    if (!text(o, "station", &r.station))
        return fail("station");
    if (!text(o, "operator", &r.operatorName))
        return fail("operator");
    if (!text(o, "mode", &r.mode) || !ValidMode(r.mode))
        return fail("mode");
    if (!text(o, "version", &r.version))
        return fail("version");
    const auto started = ParseUtc(o.value("started").toString());
    if (!started)
        return fail("started");
    r.startedMs = *started;
    const auto ended = ParseUtc(o.value("ended").toString());
    if (!ended)
        return fail("ended");
    r.endedMs = *ended;
    if (!text(o, "outcome", &r.outcome) || !ValidOutcome(r.outcome))
        return fail("outcome");
    if (!IsWholeNumber(o.value("attempt")) || o.value("attempt").toDouble() < 0)
        return fail("attempt");
    r.attempt = o.value("attempt").toInt();
    const QJsonValue steps = o.value("steps");
    if (!steps.isArray())
        return fail("steps");
    for (const QJsonValue& v : steps.toArray()) {
        const QJsonObject so = v.toObject();
        TestStep s;
        if (!text(so, "name", &s.name) || !text(so, "result", &s.result) || !ValidStepResult(s.result) ||
            !text(so, "unit", &s.unit) || !text(so, "detail", &s.detail) || !so.value("seconds").isDouble() ||
            !ReadOptional(so.value("value"), &s.value) || !ReadOptional(so.value("low"), &s.low) ||
            !ReadOptional(so.value("high"), &s.high))
            return fail("steps");
        s.seconds = so.value("seconds").toDouble();
        r.steps.push_back(std::move(s));
    }
    return r;
}
