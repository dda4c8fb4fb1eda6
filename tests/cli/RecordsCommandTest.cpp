// `veltrin-cli records`: the program as a process over a store in a temporary folder (import, list, show,
// export, sync and their errors), and the record options a testing command takes.
#include "RecordExport.h"
#include "RecordOptions.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct RecordsOutcome {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

class RecordsProgram : public ::testing::Test {
protected:
    RecordsOutcome Program(const QStringList& arguments, const QMap<QString, QString>& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        env.remove("VELTRIN_RECORDS");
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(PROGRAM, arguments);
        RecordsOutcome run;
        if (!process.waitForFinished(30000))
            return run;
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }
    QString Path(const char* name) const { return m_dir.filePath(name); }
    void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TestRecord Sample(int board, const char* command, const char* outcome, int64_t started) {
    TestRecord r;
    r.runId = NewRunId();
    r.command = command;
    r.arguments = {command, "0", "--for", "1"};
    r.boardNumber = 0;
    r.boardName = "Board \"A\", rev 2";
    r.boardType = 0x310;
    r.boardId = static_cast<uint32_t>(board);
    r.station = "Prüfplatz 3";
    r.operatorName = "O'Brien\nsecond line";
    r.mode = "production";
    r.version = "2.1.0";
    r.startedMs = started;
    r.endedMs = started + 1500;
    r.outcome = outcome;
    r.attempt = 1;
    r.steps = {{"level", "pass", -12.25, "dBFS", -30.0, std::nullopt, 0.5, "line 0, \"left\""},
               {"thd+n", "fail", -38.0, "dB", std::nullopt, -40.0, 0.25, "测试"}};
    return r;
}

} // namespace

TEST_F(RecordsProgram, ImportListShowExportKeepEveryRecordExactlyAndOnce) {
    const std::vector<TestRecord> records = {Sample(200, "selftest", "pass", 1'796'000'000'000),
                                             Sample(200, "selftest", "fail", 1'796'000'100'000),
                                             Sample(201, "loopback", "pass", 1'796'000'200'000)};
    QByteArray lines;
    for (const TestRecord& r : records)
        lines += JsonLine(r);
    WriteFile(Path("in.jsonl"), lines);
    const QString store = "sqlite:" + Path("fleet.sqlite");
    RecordsOutcome first = Program({"records", "import", Path("in.jsonl"), "--records", store, "--json"});
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(first.out).object().value("added").toInt(), 3);
    RecordsOutcome again = Program({"records", "import", Path("in.jsonl"), "--records", store, "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(again.out).object().value("present").toInt(), 3);

    // list filters, newest first
    const struct {
        QStringList filter;
        std::vector<int> expected; // indexes into records
    } rows[] = {{{}, {2, 1, 0}},
                {{"--board", "id:200"}, {1, 0}},
                {{"--command", "loopback"}, {2}},
                {{"--outcome", "fail"}, {1}},
                {{"--since", UtcText(records[0].startedMs), "--until", UtcText(records[2].startedMs)}, {1, 0}},
                {{"--station", "Prüfplatz 3", "--limit", "1"}, {2}},
                {{"--operator", "nobody"}, {}}};
    for (const auto& row : rows) {
        RecordsOutcome list = Program(QStringList{"records", "list", "--records", store, "--json"} + row.filter);
        ASSERT_EQ(list.code, 0) << list.err.toStdString();
        const QJsonArray listed = QJsonDocument::fromJson(list.out).object().value("records").toArray();
        ASSERT_EQ(listed.size(), qsizetype(row.expected.size())) << row.filter.join(' ').toStdString();
        for (size_t i = 0; i < row.expected.size(); ++i)
            EXPECT_EQ(listed[qsizetype(i)].toObject().value("run").toString(), records[size_t(row.expected[i])].runId);
    }

    RecordsOutcome show = Program({"records", "show", records[1].runId, "--records", store, "--json"});
    ASSERT_EQ(show.code, 0) << show.err.toStdString();
    EXPECT_EQ(*RecordFromJson(QJsonDocument::fromJson(show.out).object().value("record").toObject(), nullptr),
              records[1]);

    RecordsOutcome csv = Program(
        {"records", "export", "--board", "id:200", "--format", "csv", "--out", Path("x.csv"), "--records", store});
    ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
    EXPECT_EQ(ReadFile(Path("x.csv")), CsvHeader() + CsvRows(records[1]) + CsvRows(records[0]));
    RecordsOutcome json =
        Program({"records", "export", "--format", "json", "--out", Path("x.jsonl"), "--records", store});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    EXPECT_EQ(ReadFile(Path("x.jsonl")), JsonLine(records[2]) + JsonLine(records[1]) + JsonLine(records[0]));
}

TEST_F(RecordsProgram, MistakesAreUsageErrorsAndABadStoreIsLeftAlone) {
    WriteFile(Path("notes.txt"), "not a records store\n");
    WriteFile(Path("broken.jsonl"), JsonLine(Sample(1, "selftest", "pass", 0)) + "{\"run\": 1}\n");
    const QString store = "sqlite:" + Path("s.sqlite");
    const struct {
        QStringList arguments;
        int code;
        const char* says;
    } rows[] = {
        {{"records"}, 2, "missing records action"},
        {{"records", "drop"}, 2, "unknown records action"},
        {{"records", "list", "--records", "ftp://x"}, 2, "ftp://x"},
        {{"records", "list", "--records", "none"}, 2, "none"},
        {{"records", "list", "--board", "id:x", "--records", store}, 2, "board ID"},
        {{"records", "list", "--since", "soon", "--records", store}, 2, "--since"},
        {{"records", "list", "--outcome", "ok", "--records", store}, 2, "--outcome"},
        {{"records", "list", "--mode", "test", "--records", store}, 2, "--mode"},
        {{"records", "list", "--limit", "0", "--records", store}, 2, "--limit"},
        {{"records", "list", "--jobs", "2", "--records", store}, 2, "--jobs"},
        {{"records", "show", NewRunId(), "--records", store}, 2, "no record"},
        {{"records", "export", "--format", "xml", "--out", Path("x"), "--records", store}, 2, "--format"},
        {{"records", "export", "--format", "csv", "--records", store}, 2, "--out"},
        {{"records", "export", "--format", "csv", "--out", "/dev/full", "--records", store}, 3, "cannot write"},
        {{"records", "import", Path("broken.jsonl"), "--records", store}, 3, "line 2"},
        {{"records", "import", Path("missing.jsonl"), "--records", store}, 3, "cannot open"},
        {{"records", "list", "--records", Path("notes.txt")}, 3, "not a records store"},
        {{"records", "list"}, 3, "not a records store"}, // VELTRIN_RECORDS below
    };
    for (const auto& row : rows) {
        const RecordsOutcome run = Program(row.arguments, {{"VELTRIN_RECORDS", Path("notes.txt")}});
        EXPECT_EQ(run.code, row.code) << row.arguments.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(row.says)) << row.arguments.join(' ').toStdString() << "\n"
                                                << run.err.toStdString();
    }
    EXPECT_EQ(ReadFile(Path("notes.txt")), "not a records store\n");
    // The broken import added nothing.
    RecordsOutcome list = Program({"records", "list", "--records", store, "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(list.out).object().value("records").toArray().size(), 0);
}

TEST_F(RecordsProgram, SyncUploadsTheSpoolToTheStore) {
    // A record spooled while the store was away (as a testing command leaves it), then synced.
    RecordSettings settings;
    settings.store = *ParseStoreUrl("postgresql://nobody@127.0.0.1:1/none", nullptr);
    settings.defaultStore = false;
    settings.spoolPath = Path("data/VeltrinTest/spool.sqlite");
    TestRecord record = Sample(300, "calibrate", "pass", 1'796'000'000'000);
    EXPECT_EQ(CRecordKeeper(settings).Keep(record).kind, KeepResult::Kind::Spooled);
    const QString store = "sqlite:" + Path("s.sqlite");
    RecordsOutcome sync = Program({"records", "sync", "--records", store, "--json"});
    ASSERT_EQ(sync.code, 0) << sync.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(sync.out).object().value("uploaded").toInt(), 1);
    RecordsOutcome twice = Program({"records", "sync", "--records", store, "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(twice.out).object().value("uploaded").toInt(), 0);
    RecordsOutcome show = Program({"records", "show", record.runId, "--records", store, "--json"});
    ASSERT_EQ(show.code, 0) << show.err.toStdString();
    EXPECT_EQ(*RecordFromJson(QJsonDocument::fromJson(show.out).object().value("record").toObject(), nullptr), record);
}

TEST(RecordOptionsTest, OptionsThenEnvironmentThenDefaults) {
    const struct {
        std::vector<std::string> arguments;
        const char* envStation;
        const char* station;
        const char* mode;
        bool usageError;
    } rows[] = {
        {{"selftest"}, "", nullptr, "production", false},
        {{"selftest"}, "bench-7", "bench-7", "production", false},
        {{"selftest", "--station", "line 2"}, "bench-7", "line 2", "production", false},
        {{"selftest", "--mode", "engineering"}, "", nullptr, "engineering", false},
        {{"selftest", "--mode", "Production"}, "", nullptr, "", true},
        {{"selftest", "--records", "mysql://x"}, "", nullptr, "", true},
    };
    for (const auto& row : rows) {
        qputenv("VELTRIN_STATION", row.envStation);
        const CliArgs args = CliArgs::Parse(row.arguments);
        try {
            const RecordSettings s = RecordSettingsFromArgs(args);
            EXPECT_FALSE(row.usageError);
            if (row.station)
                EXPECT_EQ(s.station, QString::fromUtf8(row.station));
            else
                EXPECT_FALSE(s.station.isEmpty());
            EXPECT_FALSE(s.operatorName.isEmpty());
            EXPECT_EQ(s.mode, QString::fromUtf8(row.mode));
            EXPECT_FALSE(s.version.isEmpty());
        } catch (const CliError& error) {
            EXPECT_TRUE(row.usageError) << error.what();
            EXPECT_EQ(error.Code(), kExitUsage);
        }
    }
    qunsetenv("VELTRIN_STATION");
}

TEST(RecordOptionsTest, AStoreThatIsNotARecordsStoreStopsTheRunBeforeAnyBoard) {
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("plain text\n");
    }
    const CliArgs args = CliArgs::Parse({"selftest", "--records", path.toStdString()});
    try {
        OpenRecordsBeforeBoards(args);
        ADD_FAILURE() << "opened";
    } catch (const CliError& error) {
        EXPECT_EQ(error.Code(), kExitDevice);
        EXPECT_NE(std::string(error.what()).find("not a records store"), std::string::npos);
    }
    // --records none keeps nothing and needs no store.
    auto keeper = OpenRecordsBeforeBoards(CliArgs::Parse({"selftest", "--records", "none"}));
    TestRecord r;
    EXPECT_EQ(StoreRecord(*keeper, r).kind, KeepResult::Kind::NotKept);
}
