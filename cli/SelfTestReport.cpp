// The self-test's results as text, JSON records and JUnit XML.
#include "SelfTestReport.h"

#include <QSysInfo>
#include <QXmlStreamWriter>

#include <cmath>

namespace {

QJsonValue Optional(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

QString Number(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', *value == std::floor(*value) ? 0 : kShownDecimals)
                 : QStringLiteral("-");
}

QString Limits(const Step& s) {
    const QString unit = s.unit.empty() ? QString() : QLatin1Char(' ') + QString::fromStdString(s.unit);
    return QStringLiteral("%1%2 (limits %3..%4)").arg(Number(s.value), unit, Number(s.low), Number(s.high));
}

QString Seconds(double seconds) { return QString::number(seconds, 'f', 3); }

QString SuiteName(const BoardResult& board) {
    return QStringLiteral("board %1 id %2").arg(board.number).arg(board.found.record.boardId);
}

void WriteSuite(QXmlStreamWriter& w, const QString& suite, const std::vector<Step>& steps, bool strict,
                const QString& timestamp, const QString& host) {
    const Tally t = Count(steps, strict);
    double seconds = 0;
    for (const Step& s : steps)
        seconds += std::round(s.seconds * 1000) / 1000;
    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), suite);
    w.writeAttribute(QStringLiteral("tests"), QString::number(steps.size()));
    w.writeAttribute(QStringLiteral("failures"), QString::number(t.failed));
    w.writeAttribute(QStringLiteral("errors"), QString::number(t.errors));
    w.writeAttribute(QStringLiteral("skipped"), QString::number(t.skipped));
    w.writeAttribute(QStringLiteral("time"), Seconds(seconds));
    w.writeAttribute(QStringLiteral("timestamp"), timestamp);
    w.writeAttribute(QStringLiteral("hostname"), host);
    for (const Step& s : steps) {
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), suite);
        w.writeAttribute(QStringLiteral("name"), QString::fromStdString(s.name));
        w.writeAttribute(QStringLiteral("time"), Seconds(std::round(s.seconds * 1000) / 1000));
        if (!s.warning.empty()) {
            // A warning is not a failure: it travels as a property of the passing test case.
            w.writeStartElement(QStringLiteral("properties"));
            w.writeStartElement(QStringLiteral("property"));
            w.writeAttribute(QStringLiteral("name"), QStringLiteral("warning"));
            w.writeAttribute(QStringLiteral("value"), QString::fromStdString(s.warning));
            w.writeEndElement();
            w.writeEndElement();
        }
        const bool skipFails = strict && s.outcome == Outcome::Skip;
        if (s.outcome == Outcome::Fail || skipFails) {
            w.writeStartElement(QStringLiteral("failure"));
            w.writeAttribute(QStringLiteral("message"), QString::fromStdString(s.detail));
            w.writeAttribute(QStringLiteral("type"), skipFails ? QStringLiteral("skipped under --strict")
                                                               : QStringLiteral("outside its limits"));
            if (s.value)
                w.writeCharacters(QStringLiteral("measured %1").arg(Limits(s)));
            w.writeEndElement();
        } else if (s.outcome == Outcome::Error) {
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("message"), QString::fromStdString(s.detail));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("not measured"));
            w.writeCharacters(QString::fromStdString(s.detail));
            w.writeEndElement();
        } else if (s.outcome == Outcome::Skip) {
            w.writeStartElement(QStringLiteral("skipped"));
            w.writeAttribute(QStringLiteral("message"), QString::fromStdString(s.detail));
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
}

} // namespace

Tally SelfTestReport::Counted() const {
    Tally t = Count(runSteps, strict);
    for (const BoardResult& b : boards)
        t += b.Counted(strict);
    return t;
}

CRecord StepRecord(const Step& s) {
    CRecord row;
    row.Add("step", QString::fromStdString(s.name));
    row.Add("result", QString::fromLatin1(OutcomeText(s.outcome)));
    row.Add("value", Optional(s.value), Number(s.value));
    row.Add("unit", QString::fromStdString(s.unit));
    row.Add("low", Optional(s.low), Number(s.low));
    row.Add("high", Optional(s.high), Number(s.high));
    row.Add("seconds", QJsonValue(std::round(s.seconds * 1000) / 1000), Seconds(s.seconds));
    row.Add("detail", QString::fromStdString(s.detail));
    if (!s.warning.empty())
        row.Add("warning", QString::fromStdString(s.warning));
    return row;
}

CRecord BoardResultRecord(const BoardResult& board, bool strict) {
    std::vector<CRecord> rows;
    for (const Step& s : board.steps)
        rows.push_back(StepRecord(s));
    const BoardRecord& r = board.found.record;
    const Verdict verdict = VerdictOf(board.Counted(strict));
    CRecord b;
    b.Add("board", QJsonValue(static_cast<int>(board.number)), QString::number(board.number));
    b.Add("name", QString::fromLatin1(r.name.c_str()));
    b.Add("type", QJsonValue(static_cast<double>(r.type)), Hex(r.type));
    b.Add("id", QJsonValue(static_cast<double>(r.boardId)), QString::number(r.boardId));
    b.Add("passed", verdict == Verdict::Pass);
    b.Add("verdict", QString::fromLatin1(VerdictText(verdict)));
    b.Add("error", board.found.error.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(board.found.error)),
          QString::fromStdString(board.found.error));
    b.Add("steps", rows);
    return b;
}

QString BoardResultText(const BoardResult& board, bool strict) {
    const BoardRecord& r = board.found.record;
    QString text = QStringLiteral("board %1 %2 type %3 id %4\n")
                       .arg(board.number)
                       .arg(QString::fromLatin1(r.name.c_str()), Hex(r.type))
                       .arg(r.boardId);
    for (const Step& s : board.steps) {
        text += QStringLiteral("  %1 %2: %3")
                    .arg(QString::fromLatin1(OutcomeText(s.outcome)).toUpper(), QString::fromStdString(s.name),
                         QString::fromStdString(s.detail));
        if (s.value)
            text += QStringLiteral(" [%1]").arg(Limits(s));
        text += QLatin1Char('\n');
        if (!s.warning.empty())
            text += QStringLiteral("    WARNING: %1\n").arg(QString::fromStdString(s.warning));
    }
    const Tally t = board.Counted(strict);
    text += QStringLiteral("  result: %1 (%2)\n")
                .arg(QString::fromLatin1(VerdictText(VerdictOf(t))).toUpper(), QString::fromStdString(SummaryText(t)));
    return text;
}

std::vector<std::string> Reasons(const SelfTestReport& report) {
    std::vector<std::string> reasons;
    for (const Step& s : report.runSteps)
        if (s.outcome != Outcome::Pass)
            reasons.push_back(StepText(s));
    for (const BoardResult& b : report.boards)
        for (const Step& s : b.steps)
            if (s.outcome != Outcome::Pass)
                reasons.push_back("board " + std::to_string(b.number) + ": " + StepText(s));
    return reasons;
}

QByteArray JUnitReport(const SelfTestReport& report, const QString& suitesName) {
    const QString timestamp = report.started.toUTC().toString(Qt::ISODate);
    const QString host = QSysInfo::machineHostName();
    const Tally t = report.Counted();
    double seconds = 0;
    const auto add = [&seconds](const std::vector<Step>& steps) {
        for (const Step& s : steps)
            seconds += std::round(s.seconds * 1000) / 1000;
    };
    add(report.runSteps);
    for (const BoardResult& b : report.boards)
        add(b.steps);
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeAttribute(QStringLiteral("name"), suitesName);
    w.writeAttribute(QStringLiteral("tests"), QString::number(t.passed + t.failed + t.errors + t.skipped));
    w.writeAttribute(QStringLiteral("failures"), QString::number(t.failed));
    w.writeAttribute(QStringLiteral("errors"), QString::number(t.errors));
    w.writeAttribute(QStringLiteral("time"), Seconds(seconds));
    if (!report.runSteps.empty())
        WriteSuite(w, QStringLiteral("run"), report.runSteps, report.strict, timestamp, host);
    for (const BoardResult& board : report.boards)
        WriteSuite(w, SuiteName(board), board.steps, report.strict, timestamp, host);
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

void AddStepFields(CRecord& record, const Step& s) {
    const Verdict verdict = VerdictOf(Count({s}, false));
    record.Add("passed", verdict == Verdict::Pass);
    record.Add("verdict", QString::fromLatin1(VerdictText(verdict)));
    record.Add("result", QString::fromLatin1(OutcomeText(s.outcome)));
    record.Add("value", Optional(s.value), Number(s.value));
    record.Add("unit", QString::fromStdString(s.unit));
    record.Add("low", Optional(s.low), Number(s.low));
    record.Add("high", Optional(s.high), Number(s.high));
    record.Add("detail", QString::fromStdString(s.detail));
}

void AddVerdictFields(CRecord& record, const std::vector<Step>& steps, const Tally& tally) {
    const Verdict verdict = VerdictOf(tally);
    record.Add("passed", verdict == Verdict::Pass);
    record.Add("verdict", QString::fromLatin1(VerdictText(verdict)));
    record.Add("summary", QString::fromStdString(SummaryText(tally)));
    QJsonArray reasons;
    QStringList shown;
    for (const Step& s : steps)
        if (s.outcome != Outcome::Pass) {
            reasons.append(QString::fromStdString(StepText(s)));
            shown << QString::fromStdString(StepText(s));
        }
    record.Add("reasons", QJsonValue(reasons), shown.join(QStringLiteral("; ")));
    std::vector<CRecord> rows;
    for (const Step& s : steps)
        rows.push_back(StepRecord(s));
    record.Add("steps", rows);
}
