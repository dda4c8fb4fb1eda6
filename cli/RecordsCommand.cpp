// The records command family: list and show records, export them as CSV or JSON lines, import JSON lines
// by run id, and upload the spool.
#include "RecordsCommand.h"

#include "CliCommands.h"
#include "CliOutput.h"
#include "RecordExport.h"
#include "RecordOptions.h"
#include "StatsCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

const char* const kRecordsUsage =
    "records list [--board BOARD|id:N] [--command C] [--station S] [--operator O] [--since T] [--until T] "
    "[--outcome O] [--mode M] [--limit N]\n"
    "       records show RUN\n"
    "       records export [filters] --format csv|json --out FILE\n"
    "       records import FILE\n"
    "       records sync\n"
    "       records stats [filters] [--step NAME] [--all-attempts]\n"
    "       records report [filters] [--step NAME] [--all-attempts] --html FILE\n"
    "       (each with [--records URL])";

const std::set<std::string>& RecordsCommandOptions() {
    static const std::set<std::string> options = {"records", "board", "command", "station", "operator",
                                                  "since",   "until", "outcome", "mode",    "limit",
                                                  "format",  "out",   "step",    "html",    "all-attempts"};
    return options;
}

RecordFilter RecordFilterFromArgs(const CliArgs& args) {
    RecordFilter f;
    if (const auto board = args.Value("board")) {
        if (board->rfind("id:", 0) == 0)
            f.boardId = NumberWord(board->substr(3), "board ID");
        else
            f.boardNumber = static_cast<int>(NumberWord(*board, "board number"));
    }
    const auto text = [&](const char* option) { return QString::fromStdString(args.Value(option).value_or("")); };
    f.command = text("command");
    f.station = text("station");
    f.operatorName = text("operator");
    f.outcome = text("outcome");
    if (!f.outcome.isEmpty() && !ValidOutcome(f.outcome))
        throw UsageError("--outcome: \"" + f.outcome.toStdString() + "\" is not pass, fail, error or aborted");
    f.mode = text("mode");
    if (!f.mode.isEmpty() && !ValidMode(f.mode))
        throw UsageError("--mode: \"" + f.mode.toStdString() + "\" is neither production nor engineering");
    for (const char* option : {"since", "until"}) {
        if (const auto value = args.Value(option)) {
            const auto ms = ParseUtc(QString::fromStdString(*value));
            if (!ms)
                throw UsageError(std::string("--") + option + ": \"" + *value +
                                 "\" is not a date or time (2026-12-08 or 2026-12-08T09:30:00Z)");
            (std::string(option) == "since" ? f.sinceMs : f.untilMs) = *ms;
        }
    }
    if (const auto limit = args.Number("limit")) {
        if (*limit == 0 || *limit > 0x7FFFFFFF)
            throw UsageError("--limit: give a number of records from 1");
        f.limit = static_cast<int>(*limit);
    }
    return f;
}

namespace {

std::unique_ptr<IRecordStore> OpenStore(const CliArgs& args) {
    RecordSettings settings = RecordSettingsFromArgs(args);
    if (settings.store.kind == StoreUrl::Kind::None)
        throw UsageError("--records none keeps no records to look at");
    try {
        return OpenSettingsStore(settings);
    } catch (const StoreError& error) {
        throw DeviceError(error.what());
    }
}

QJsonObject Envelope(const char* key, const QJsonValue& value) {
    QJsonObject o{{"schema", kJsonSchema}, {"command", "records"}};
    o.insert(QLatin1String(key), value);
    return o;
}

CRecord Summary(const TestRecord& r) {
    CRecord row;
    row.Add("started", UtcText(r.startedMs))
        .Add("run", r.runId)
        .Add("board", QString::number(r.boardNumber))
        .Add("id", QString::number(r.boardId))
        .Add("type", Hex(r.boardType))
        .Add("command", r.command)
        .Add("outcome", r.outcome)
        .Add("attempt", QString::number(r.attempt))
        .Add("station", r.station)
        .Add("operator", r.operatorName)
        .Add("mode", r.mode);
    return row;
}

int List(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(2);
    const std::vector<TestRecord> records = store.List(RecordFilterFromArgs(c.Args()));
    if (c.Json()) {
        QJsonArray list;
        for (const TestRecord& r : records)
            list.append(RecordToJson(r, false));
        WriteStdout(QJsonDocument(Envelope("records", list)).toJson(QJsonDocument::Compact) + '\n');
    } else if (!c.Quiet()) {
        QByteArray text;
        for (const TestRecord& r : records)
            text += Summary(r).Line().toUtf8() + '\n';
        WriteStdout(text);
    }
    return kExitPass;
}

QString Optional(const std::optional<double>& value) {
    return value ? QString::number(*value, 'g', 17) : QStringLiteral("-");
}

int Show(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(3);
    const QString run = QString::fromStdString(c.Args().Word(2, "run id"));
    const auto record = store.Get(run);
    if (!record)
        throw UsageError("no record with run id \"" + run.toStdString() + "\" in " + store.Describe().toStdString());
    if (c.Json()) {
        WriteStdout(QJsonDocument(Envelope("record", RecordToJson(*record))).toJson(QJsonDocument::Compact) + '\n');
        return kExitPass;
    }
    if (c.Quiet())
        return kExitPass;
    CRecord head = Summary(*record);
    head.Add("board name", record->boardName)
        .Add("arguments", record->arguments.join(QLatin1Char(' ')))
        .Add("ended", UtcText(record->endedMs))
        .Add("version", record->version);
    std::vector<CRecord> steps;
    for (const TestStep& s : record->steps) {
        CRecord step;
        step.Add("name", s.name)
            .Add("result", s.result)
            .Add("value", Optional(s.value))
            .Add("unit", s.unit)
            .Add("low", Optional(s.low))
            .Add("high", Optional(s.high))
            .Add("seconds", QString::number(s.seconds, 'f', 3))
            .Add("detail", s.detail);
        steps.push_back(step);
    }
    head.Add("steps", steps);
    WriteStdout(head.Lines().toUtf8());
    return kExitPass;
}

int Export(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(2);
    const std::string format = c.Args().Value("format").value_or("");
    if (format != "csv" && format != "json")
        throw UsageError("--format csv or --format json is needed");
    const auto out = c.Args().Value("out");
    if (!out)
        throw UsageError("--out FILE is needed");
    const RecordFilter filter = RecordFilterFromArgs(c.Args());
    // Written under a temporary name and put in place once whole, so FILE is never half an export; a device
    // or pipe (/dev/stdout, a FIFO) cannot be replaced and is written in place.
    const QString name = QFile::decodeName(out->c_str());
    const QFileInfo info(name);
    std::unique_ptr<QFileDevice> file;
    if (info.exists() && !info.isFile())
        file = std::make_unique<QFile>(name);
    else
        file = std::make_unique<QSaveFile>(name);
    if (!file->open(QIODevice::WriteOnly))
        throw DeviceError("cannot create " + *out + ": " + file->errorString().toStdString());
    size_t records = 0, rows = 0;
    bool written = format != "csv" || file->write(CsvHeader()) == CsvHeader().size();
    store.ForEach(filter, [&](const TestRecord& r) {
        ++records;
        rows += format == "csv" ? std::max<size_t>(r.steps.size(), 1) : 1;
        const QByteArray bytes = format == "csv" ? CsvRows(r) : JsonLine(r);
        written = written && file->write(bytes) == bytes.size();
    });
    auto* save = dynamic_cast<QSaveFile*>(file.get());
    written =
        written && file->flush() && (save ? save->commit() : (file->close(), file->error() == QFileDevice::NoError));
    if (!written)
        throw DeviceError("cannot write " + *out + ": " + file->errorString().toStdString());
    CRecord result;
    result.Add("file", QString::fromStdString(*out))
        .Add("format", QString::fromStdString(format))
        .Add("records", double(records))
        .Add("rows", double(rows));
    PrintRecord(result, c.Json());
    return kExitPass;
}

int Import(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(3);
    const std::string path = c.Args().Word(2, "file");
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly))
        throw DeviceError("cannot open " + path + ": " + file.errorString().toStdString());
    // Every line is checked before any record is written: a file with a broken line adds nothing.
    std::vector<TestRecord> records;
    int number = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++number;
        if (line.isEmpty())
            continue;
        QString error;
        auto record = RecordFromJsonLine(line, &error);
        if (!record)
            throw DeviceError(path + " line " + std::to_string(number) + ": " + error.toStdString() +
                              "; nothing was imported");
        records.push_back(std::move(*record));
    }
    if (file.error() != QFileDevice::NoError)
        throw DeviceError("cannot read " + path + ": " + file.errorString().toStdString());
    int added = 0, present = 0;
    for (TestRecord& r : records)
        (store.Write(r, true) == IRecordStore::Written::Added ? added : present) += 1;
    CRecord result;
    result.Add("file", QString::fromStdString(path)).Add("added", double(added)).Add("present", double(present));
    PrintRecord(result, c.Json());
    return kExitPass;
}

int Sync(CliContext& c) {
    c.Args().ExpectWords(2);
    RecordSettings settings = RecordSettingsFromArgs(c.Args());
    if (settings.store.kind == StoreUrl::Kind::None)
        throw UsageError("--records none: there is no store to upload the spool to");
    SyncResult sync;
    try {
        CRecordKeeper keeper(settings);
        sync = keeper.Sync();
    } catch (const StoreError& error) {
        throw DeviceError(error.what());
    }
    CRecord result;
    result.Add("store", settings.store.text)
        .Add("spool", settings.spoolPath)
        .Add("uploaded", double(sync.uploaded))
        .Add("present", double(sync.alreadyPresent))
        .Add("left", double(sync.left));
    PrintRecord(result, c.Json());
    if (sync.left > 0)
        throw DeviceError(
            QStringLiteral("%1 record(s) left in the spool: %2").arg(sync.left).arg(sync.problem).toStdString());
    return kExitPass;
}

} // namespace

int RunRecords(CliContext& c) {
    const std::string& action = c.Args().Word(1, "records action (list, show, export, import, sync, stats or report)");
    if (action == "sync")
        return Sync(c);
    if (action != "list" && action != "show" && action != "export" && action != "import" && action != "stats" &&
        action != "report")
        throw UsageError("unknown records action \"" + action + "\"");
    std::unique_ptr<IRecordStore> store = OpenStore(c.Args());
    try {
        if (action == "list")
            return List(c, *store);
        if (action == "show")
            return Show(c, *store);
        if (action == "stats")
            return RunRecordsStats(c, *store);
        if (action == "report")
            return RunRecordsReport(c, *store);
        if (action == "export")
            return Export(c, *store);
        return Import(c, *store);
    } catch (const StoreError& error) {
        throw DeviceError(error.what());
    }
}
