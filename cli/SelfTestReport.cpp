// The self-test's results as text, JSON records and JUnit XML.
#include "SelfTestReport.h"

#include <QXmlStreamWriter>

#include <cmath>

namespace {

QJsonValue Optional(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

QString Number(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', *value == std::floor(*value) ? 0 : 1) : QStringLiteral("-");
}

QString Limits(const Step& s) {
    const QString unit = s.unit.empty() ? QString() : QLatin1Char(' ') + QString::fromStdString(s.unit);
    return QStringLiteral("%1%2 (limits %3..%4)").arg(Number(s.value), unit, Number(s.low), Number(s.high));
}

} // namespace

bool BoardResult::Passed() const {
    if (deviceError)
        return false;
    for (const Step& s : steps)
        if (s.outcome == Outcome::Fail)
            return false;
    return true;
}

const char* OutcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Pass:
        return "pass";
    case Outcome::Fail:
        return "fail";
    case Outcome::Skip:
        break;
    }
    return "skip";
}

std::string FailureText(const Step& s) {
    std::string text = s.name + " failed: " + s.detail;
    if (s.value)
        text += " (measured " + Number(s.value).toStdString() + (s.unit.empty() ? "" : " " + s.unit) + ")";
    return text;
}

CRecord BoardResultRecord(const BoardResult& board) {
    std::vector<CRecord> rows;
    for (const Step& s : board.steps) {
        CRecord row;
        row.Add("step", QString::fromStdString(s.name));
        row.Add("result", QString::fromLatin1(OutcomeText(s.outcome)));
        row.Add("value", Optional(s.value), Number(s.value));
        row.Add("unit", QString::fromStdString(s.unit));
        row.Add("low", Optional(s.low), Number(s.low));
        row.Add("high", Optional(s.high), Number(s.high));
        row.Add("seconds", QJsonValue(std::round(s.seconds * 1000) / 1000), QString::number(s.seconds, 'f', 3));
        row.Add("detail", QString::fromStdString(s.detail));
        rows.push_back(row);
    }
    const BoardRecord& r = board.found.record;
    CRecord b;
    b.Add("board", QJsonValue(static_cast<int>(board.number)), QString::number(board.number));
    b.Add("name", QString::fromLatin1(r.name.c_str()));
    b.Add("type", QJsonValue(static_cast<double>(r.type)), Hex(r.type));
    b.Add("id", QJsonValue(static_cast<double>(r.boardId)), QString::number(r.boardId));
    b.Add("passed", board.Passed());
    b.Add("error", board.found.error.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(board.found.error)),
          QString::fromStdString(board.found.error));
    b.Add("steps", rows);
    return b;
}

QString BoardResultText(const BoardResult& board) {
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
    }
    text += QStringLiteral("  result: %1\n").arg(board.Passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
    return text;
}

QByteArray JUnitReport(const std::vector<BoardResult>& boards) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("veltrin-cli selftest"));
    for (const BoardResult& board : boards) {
        int failures = 0;
        int skipped = 0;
        double seconds = 0;
        for (const Step& s : board.steps) {
            failures += s.outcome == Outcome::Fail ? 1 : 0;
            skipped += s.outcome == Outcome::Skip ? 1 : 0;
            seconds += s.seconds;
        }
        const QString suite = QStringLiteral("board %1 id %2").arg(board.number).arg(board.found.record.boardId);
        w.writeStartElement(QStringLiteral("testsuite"));
        w.writeAttribute(QStringLiteral("name"), suite);
        w.writeAttribute(QStringLiteral("tests"), QString::number(board.steps.size()));
        w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
        w.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
        w.writeAttribute(QStringLiteral("time"), QString::number(seconds, 'f', 3));
        for (const Step& s : board.steps) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("classname"), suite);
            w.writeAttribute(QStringLiteral("name"), QString::fromStdString(s.name));
            w.writeAttribute(QStringLiteral("time"), QString::number(s.seconds, 'f', 3));
            if (s.outcome != Outcome::Pass) {
                const bool failed = s.outcome == Outcome::Fail;
                w.writeStartElement(failed ? QStringLiteral("failure") : QStringLiteral("skipped"));
                w.writeAttribute(QStringLiteral("message"), QString::fromStdString(s.detail));
                if (s.value)
                    w.writeCharacters(QStringLiteral("measured %1").arg(Limits(s)));
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}
