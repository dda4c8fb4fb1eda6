// The records figures: writing a 40-step record, `records list|show|export` of one board in a store of
// 100 000 such records (through the program, as a user runs it), and eight processes writing at once.
//   bench_records [--records N] [--pg URL]       (N defaults to 100000)
//   bench_records --writer URL COUNT SEED        (one of the eight writers)
#include "RecordStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>

namespace {

constexpr int kSteps = 40;
constexpr int kBoards = 1000;

TestRecord SelfTestRecord(std::mt19937& rng, uint32_t board, int64_t started) {
    TestRecord r;
    r.runId = NewRunId();
    r.command = QStringLiteral("selftest");
    r.arguments = {"selftest", "0", "--loopback"};
    r.boardNumber = 0;
    r.boardName = QStringLiteral("Demo board");
    r.boardType = 0x310;
    r.boardId = board;
    r.station = QStringLiteral("station-1");
    r.operatorName = QStringLiteral("operator");
    r.mode = QStringLiteral("production");
    r.version = QStringLiteral("2.1.0");
    r.startedMs = started;
    r.endedMs = started + 30000;
    r.outcome = QStringLiteral("pass");
    std::uniform_real_distribution<double> level(-13, -11);
    for (int i = 0; i < kSteps; ++i)
        r.steps.push_back(
            {QStringLiteral("line %1 level").arg(i), "pass", level(rng), "dBFS", -30.0, -6.0, 0.25, QString()});
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median wall time of the program (process start to end) over `runs`, in ms.
double ProgramMs(const QStringList& arguments, int runs = 7) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(PROGRAM, arguments);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            std::fprintf(stderr, "veltrin-cli %s failed\n", qPrintable(arguments.join(' ')));
            std::exit(1);
        }
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

void WriteFigure(const StoreUrl& url) {
    auto store = OpenRecordStore(url);
    std::mt19937 rng(1);
    std::vector<double> times;
    for (int i = 0; i < 300; ++i) {
        TestRecord r = SelfTestRecord(rng, 1, 1'700'000'000'000LL + i);
        QElapsedTimer t;
        t.start();
        store->Write(r, false);
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("%s: write of a %d-step record: median %.2f ms, max %.2f ms (300 writes)\n", qPrintable(url.text),
                kSteps, Median(times), *std::max_element(times.begin(), times.end()));
}

// Fills an SQLite store quickly: the rows of `count` records in large transactions on one connection, in
// the layout of schema 2; opening the store afterwards migrates it (its steps packed per record).
void FillSqlite(const QString& path, int count) {
    const StoreUrl url = *ParseStoreUrl("sqlite:" + path, nullptr);
    OpenRecordStore(url, {false, 2});
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery(db).exec("PRAGMA synchronous = OFF");
        QSqlQuery rec(db), step(db);
        rec.prepare("INSERT INTO records VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        step.prepare("INSERT INTO record_steps VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        std::mt19937 rng(2);
        for (int i = 0; i < count; ++i) {
            if (i == 0)
                QSqlQuery(db).exec("BEGIN");
            if (i % 5000 == 0 && i > 0) {
                QSqlQuery(db).exec("COMMIT");
                QSqlQuery(db).exec("BEGIN");
            }
            const TestRecord r = SelfTestRecord(rng, uint32_t(i % kBoards), 1'700'000'000'000LL + i * 60000LL);
            const QVariantList values = {r.runId,
                                         r.command,
                                         "[\"selftest\",\"0\",\"--loopback\"]",
                                         r.boardNumber,
                                         r.boardName,
                                         qlonglong(r.boardType),
                                         qlonglong(r.boardId),
                                         r.station,
                                         r.operatorName,
                                         r.mode,
                                         r.version,
                                         qlonglong(r.startedMs),
                                         qlonglong(r.endedMs),
                                         r.outcome,
                                         i / kBoards + 1};
            for (int v = 0; v < values.size(); ++v)
                rec.bindValue(v, values[v]);
            rec.exec();
            for (int s = 0; s < kSteps; ++s) {
                const TestStep& st = r.steps[size_t(s)];
                const QVariantList sv = {r.runId, s,       st.name,  st.result,  *st.value,
                                         st.unit, *st.low, *st.high, st.seconds, QString("")};
                for (int v = 0; v < sv.size(); ++v)
                    step.bindValue(v, sv[v]);
                step.exec();
            }
        }
        QSqlQuery(db).exec("COMMIT");
        db.close();
    }
    QSqlDatabase::removeDatabase("fill");
    OpenRecordStore(url);
}

void QueryFigures(const QString& storeText, const QString& dir) {
    const QString board = "id:" + QString::number(kBoards / 2);
    const double list = ProgramMs({"records", "list", "--board", board, "--records", storeText});
    auto store = OpenRecordStore(*ParseStoreUrl(storeText, nullptr));
    RecordFilter one;
    one.boardId = kBoards / 2;
    const QString run = store->List(one).front().runId;
    const double show = ProgramMs({"records", "show", run, "--records", storeText});
    const double exportCsv = ProgramMs({"records", "export", "--board", board, "--format", "csv", "--out",
                                        dir + "/board.csv", "--records", storeText});
    const double exportJson = ProgramMs({"records", "export", "--board", board, "--format", "json", "--out",
                                         dir + "/board.jsonl", "--records", storeText});
    const double empty = ProgramMs({"--version"});
    std::printf("veltrin-cli wall time, median of 7 (program start included; --version alone %.1f ms):\n"
                "  records list --board %s: %.1f ms\n  records show: %.1f ms\n"
                "  records export --board %s --format csv: %.1f ms, --format json: %.1f ms\n",
                empty, qPrintable(board), list, show, qPrintable(board), exportCsv, exportJson);
}

void WritersFigure(const QString& storeText) {
    const size_t before = OpenRecordStore(*ParseStoreUrl(storeText, nullptr))->List({}).size();
    QElapsedTimer t;
    t.start();
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < 8; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QCoreApplication::applicationFilePath(),
                              {"--writer", storeText, "250", QString::number(10 + i)});
    }
    int failed = 0;
    QByteArray errors;
    for (auto& w : writers) {
        w->waitForFinished(600000);
        failed += w->exitCode() != 0;
        errors += w->readAllStandardError();
    }
    const double seconds = double(t.elapsed()) / 1000;
    const std::vector<TestRecord> all = OpenRecordStore(*ParseStoreUrl(storeText, nullptr))->List({});
    std::set<QString> ids;
    for (const TestRecord& r : all)
        ids.insert(r.runId);
    std::printf("%s: 8 writers x 250 records in %.1f s: %zu new records present, %zu distinct, %d writers "
                "failed%s%s\n",
                qPrintable(storeText), seconds, all.size() - before, ids.size() - before, failed,
                errors.contains("locked") ? ", \"database is locked\" seen: " : "",
                errors.contains("locked") ? errors.constData() : "");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == "--writer") {
        auto store = OpenRecordStore(*ParseStoreUrl(args[2], nullptr));
        std::mt19937 rng(args[4].toUInt());
        try {
            for (int i = 0; i < args[3].toInt(); ++i) {
                TestRecord r = SelfTestRecord(rng, uint32_t(rng() % 50), 1'700'000'000'000LL + i);
                store->Write(r, false);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    int count = 100000;
    QString pg;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--records")
            count = args[i + 1].toInt();
        else if (args[i] == "--pg")
            pg = args[i + 1];
    }
    QTemporaryDir dir;
    WriteFigure(*ParseStoreUrl("sqlite:" + dir.filePath("write.sqlite"), nullptr));
    if (!pg.isEmpty())
        WriteFigure(*ParseStoreUrl(pg, nullptr));
    QElapsedTimer fill;
    fill.start();
    FillSqlite(dir.filePath("big.sqlite"), count);
    std::printf("filled %d records of %d steps (%d boards) in %.1f s\n", count, kSteps, kBoards,
                double(fill.elapsed()) / 1000);
    QueryFigures("sqlite:" + dir.filePath("big.sqlite"), dir.path());
    WritersFigure("sqlite:" + dir.filePath("writers.sqlite"));
    if (!pg.isEmpty())
        WritersFigure(pg);
    return 0;
}
