// CSV and JSON-lines forms of records.
#include "RecordExport.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QString Number(const std::optional<double>& value) { return value ? QString::number(*value, 'g', 17) : QString(); }

} // namespace

QByteArray CsvField(const QString& text) {
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

QByteArray CsvHeader() {
    return "run,command,arguments,board_number,board_name,board_type,board_id,station,operator,mode,version,"
           "started,ended,outcome,attempt,step,name,result,value,unit,low,high,seconds,detail\r\n";
}

QByteArray CsvRows(const TestRecord& r) {
    QByteArrayList run = {CsvField(r.runId),
                          CsvField(r.command),
                          CsvField(r.arguments.join(QLatin1Char(' '))),
                          QByteArray::number(r.boardNumber),
                          CsvField(r.boardName),
                          QByteArray::number(r.boardType),
                          QByteArray::number(r.boardId),
                          CsvField(r.station),
                          CsvField(r.operatorName),
                          CsvField(r.mode),
                          CsvField(r.version),
                          CsvField(UtcText(r.startedMs)),
                          CsvField(UtcText(r.endedMs)),
                          CsvField(r.outcome),
                          QByteArray::number(r.attempt)};
    const QByteArray prefix = run.join(',');
    if (r.steps.empty())
        return prefix + ",,,,,,,,,\r\n";
    QByteArray rows;
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const TestStep& s = r.steps[i];
        const QByteArrayList step = {QByteArray::number(static_cast<qulonglong>(i + 1)),
                                     CsvField(s.name),
                                     CsvField(s.result),
                                     CsvField(Number(s.value)),
                                     CsvField(s.unit),
                                     CsvField(Number(s.low)),
                                     CsvField(Number(s.high)),
                                     CsvField(QString::number(s.seconds, 'g', 17)),
                                     CsvField(s.detail)};
        rows += prefix + ',' + step.join(',') + "\r\n";
    }
    return rows;
}

QByteArray JsonLine(const TestRecord& record) {
    return QJsonDocument(RecordToJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<TestRecord> RecordFromJsonLine(const QByteArray& line, QString* error) {
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        if (error)
            *error =
                parse.error != QJsonParseError::NoError ? parse.errorString() : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    return RecordFromJson(document.object(), error);
}
