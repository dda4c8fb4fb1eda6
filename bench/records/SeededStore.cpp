// Filling the seeded store: records and steps inserted with bound values, 5000 records a transaction, in
// the layout of schema 2; opening the store afterwards migrates it (its steps packed per record).
#include "SeededStore.h"

#include "RecordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

#include <random>

bool FillSeededStore(const QString& path, int count, uint32_t seed) {
    const StoreUrl url = *ParseStoreUrl("sqlite:" + path, nullptr);
    OpenRecordStore(url, {false, 2}); // the schema the rows below are written in
    const QString connection = QStringLiteral("seeded-fill");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF"));
        QSqlQuery rec(db), step(db);
        ok = ok && rec.prepare("INSERT INTO records VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") &&
             step.prepare("INSERT INTO record_steps VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        std::mt19937 rng(seed);
        std::normal_distribution<double> level(-12.0, 0.4);
        std::vector<int> attempts(kSeededBoards, 0);
        for (int i = 0; ok && i < count; ++i) {
            if (i % 5000 == 0)
                ok = QSqlQuery(db).exec(i == 0 ? "BEGIN" : "COMMIT") && (i == 0 || QSqlQuery(db).exec("BEGIN"));
            const int board = static_cast<int>(rng() % kSeededBoards);
            const QString runId = NewRunId();
            const int64_t started = 1'700'000'000'000LL + i * 60'000LL;
            std::vector<double> values;
            bool failed = false;
            for (int s = 0; s < kSeededSteps; ++s) {
                values.push_back(level(rng));
                failed = failed || values.back() < -13.5;
            }
            const QVariantList r = {runId,
                                    "selftest",
                                    "[\"selftest\",\"0\",\"--loopback\"]",
                                    0,
                                    "R320",
                                    0x320,
                                    board,
                                    i % 4 == 0 ? "station-2" : "station-1",
                                    "operator",
                                    "production",
                                    "2.1.0",
                                    qlonglong(started),
                                    qlonglong(started + 30'000),
                                    failed ? "fail" : "pass",
                                    ++attempts[static_cast<size_t>(board)]};
            for (int v = 0; v < r.size(); ++v)
                rec.bindValue(v, r[v]);
            ok = ok && rec.exec();
            for (int s = 0; ok && s < kSeededSteps; ++s) {
                const double v = values[static_cast<size_t>(s)];
                const QVariantList sv = {runId,
                                         s,
                                         QStringLiteral("line %1 level").arg(s),
                                         v < -13.5 ? "fail" : "pass",
                                         v,
                                         "dBFS",
                                         -13.5,
                                         -6.0,
                                         0.25,
                                         QString("")};
                for (int k = 0; k < sv.size(); ++k)
                    step.bindValue(k, sv[k]);
                ok = step.exec();
            }
        }
        ok = ok && QSqlQuery(db).exec("COMMIT");
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (ok)
        OpenRecordStore(url);
    return ok;
}
