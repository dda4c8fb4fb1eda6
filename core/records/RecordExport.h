// The records' exchange forms: CSV with one row per step (the run's fields repeated, for spreadsheets)
// and JSON lines with one whole record a line (for import into another store).
#pragma once

#include "TestRecord.h"

#include <QByteArray>

// The CSV header line, and the rows of one record (one row when it has no step), each ending in CRLF.
QByteArray CsvHeader();
QByteArray CsvRows(const TestRecord& record);
// One CSV field, quoted when it holds a comma, a quote, a line break or leading/trailing blanks.
QByteArray CsvField(const QString& text);

// The record as one line of compact JSON ending in "\n".
QByteArray JsonLine(const TestRecord& record);
// A record from one line of the JSON-lines form; the reason in `error` otherwise.
std::optional<TestRecord> RecordFromJsonLine(const QByteArray& line, QString* error);
