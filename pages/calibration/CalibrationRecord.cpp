// Building the record of an applied calibration from what the page saw during it.
#include "CalibrationRecord.h"

#include <QStringList>

std::optional<Correction> TwoPointCorrection(const CalibrationLine& line, int maxVoltage) {
    if (!line.zeroReading || !line.fullReading || *line.fullReading == *line.zeroReading)
        return std::nullopt;
    Correction c;
    c.gain = maxVoltage / (*line.fullReading - *line.zeroReading);
    c.offset = -c.gain * *line.zeroReading;
    return c;
}

TestRecord MakeCalibrationRecord(const CalibrationRun& run) {
    TestRecord r;
    r.command = QStringLiteral("calibrate");
    QStringList lines;
    for (const CalibrationLine& l : run.lines)
        lines << QString::number(l.line);
    r.arguments = {QStringLiteral("calibrate"),  QString::number(run.boardNumber), QStringLiteral("--lines"),
                   lines.join(QLatin1Char(',')), QStringLiteral("--max-voltage"),  QString::number(run.maxVoltage)};
    r.boardNumber = run.boardNumber;
    r.boardName = QString::fromStdString(run.boardName);
    r.boardType = run.boardType;
    r.boardId = run.boardId;
    r.mode = QStringLiteral("production");
    r.startedMs = run.startedMs;
    r.endedMs = run.endedMs;
    r.outcome = QStringLiteral("pass");
    const auto step = [&r](const QString& name, std::optional<double> value, const QString& unit,
                           const QString& detail) {
        TestStep s;
        s.name = name;
        s.result = QStringLiteral("pass");
        s.value = value;
        s.unit = unit;
        s.detail = detail;
        r.steps.push_back(std::move(s));
    };
    step(QStringLiteral("maximum voltage"), run.maxVoltage, QStringLiteral("V"),
         QStringLiteral("lines %1 calibrated to %2 V").arg(lines.join(QLatin1Char(','))).arg(run.maxVoltage));
    const QString unread = QStringLiteral("the line's voltage could not be read");
    for (const CalibrationLine& l : run.lines) {
        const QString line = QStringLiteral("line %1 ").arg(l.line);
        step(line + QStringLiteral("zero reading"), l.zeroReading, QStringLiteral("V"),
             l.zeroReading ? QStringLiteral("with 0 V applied") : unread);
        step(line + QStringLiteral("full-scale reading"), l.fullReading, QStringLiteral("V"),
             l.fullReading ? QStringLiteral("with %1 V applied").arg(run.maxVoltage) : unread);
        step(line + QStringLiteral("corrected reading"), l.correctedReading, QStringLiteral("V"),
             l.correctedReading ? QStringLiteral("after the coefficients were taken into use") : unread);
        const std::optional<Correction> c = TwoPointCorrection(l, run.maxVoltage);
        const QString why = c ? QStringLiteral("the two-point correction of the zero and full-scale readings")
                              : QStringLiteral("no two-point correction: the zero and full-scale readings are "
                                               "missing or equal");
        step(line + QStringLiteral("gain"), c ? std::optional<double>(c->gain) : std::nullopt, QString(), why);
        step(line + QStringLiteral("offset"), c ? std::optional<double>(c->offset) : std::nullopt, QStringLiteral("V"),
             why);
    }
    return r;
}
