// A seeded SQLite records store for the statistics' tests, the report's rendering check and the benchmark:
// boards tested at three stations over days, 40 steps each (levels with limits on both sides, distortion
// with a high limit only, a drifting supply, checks without a value), some failing and tested again.
// The rows go in directly in large transactions, in the layout of schema 2; opening the store afterwards
// migrates it as any earlier store is (its steps packed per record), so every seeded store tests that too.
#pragma once

#include "RecordStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <random>

namespace stats_test {

inline constexpr int kSeededSteps = 40;

// `count` records from `seed`; returns the number written. Throws StoreError when the store cannot be made.
inline int FillSeededStore(const QString& path, int count, unsigned seed) {
    const StoreUrl url = *ParseStoreUrl("sqlite:" + path, nullptr);
    OpenRecordStore(url, {false, 2});
    const QString connection = QStringLiteral("seeded-fill");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open())
            throw StoreError(StoreError::Kind::Unavailable, "cannot open " + path);
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF"));
        QSqlQuery rec(db), step(db);
        rec.prepare(QStringLiteral("INSERT INTO records VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        step.prepare(QStringLiteral("INSERT INTO record_steps VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        const QStringList stations = {"line-A", "line-B", "line-C"};
        const int64_t start = 1'765'152'000'000LL; // 2025-12-08T00:00:00Z
        uint32_t board = 1000;
        int attempt = 1;
        bool retest = false;
        QSqlQuery(db).exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < count; ++i) {
            if (i % 5000 == 4999) {
                QSqlQuery(db).exec(QStringLiteral("COMMIT"));
                QSqlQuery(db).exec(QStringLiteral("BEGIN"));
            }
            if (!retest) {
                ++board;
                attempt = 1;
            } else {
                ++attempt;
            }
            const double progress = double(i) / std::max(1, count - 1);
            const QString runId = NewRunId();
            const bool engineering = chance(rng) < 0.03;
            const int64_t started = start + int64_t(i) * 45'000;
            bool failed = false;
            for (int s = 0; s < kSeededSteps; ++s) {
                QString name, unit = QStringLiteral(""), result = QStringLiteral("pass");
                QVariant value, low, high;
                const int line = s / 4;
                switch (s % 4) {
                case 0: // a level held on both sides; line 3's sits close to its high limit
                    name = QStringLiteral("line %1 level").arg(line);
                    unit = QStringLiteral("dBFS");
                    value = -12.0 + (line == 3 ? 1.3 : 0.0) + 0.35 * noise(rng);
                    low = -14.0;
                    high = -10.0;
                    break;
                case 1: // distortion: only a high limit
                    name = QStringLiteral("line %1 THD+N").arg(line);
                    unit = QStringLiteral("dB");
                    value = -62.0 + 2.5 * noise(rng);
                    high = -50.0;
                    break;
                case 2: // the supply drifts upwards over the days; line 0's limits were widened halfway
                    name = QStringLiteral("line %1 supply").arg(line);
                    unit = QStringLiteral("V");
                    value = 5.0 + (line == 0 ? 0.08 * progress : 0.0) + 0.02 * noise(rng);
                    low = line == 0 && progress > 0.5 ? 4.7 : 4.8;
                    high = line == 0 && progress > 0.5 ? 5.3 : 5.2;
                    break;
                default: // a check without a value
                    name = QStringLiteral("line %1 continuity").arg(line);
                    result = chance(rng) < 0.01 ? QStringLiteral("fail") : QStringLiteral("pass");
                }
                if (!value.isNull()) {
                    const double v = value.toDouble();
                    if ((!low.isNull() && v < low.toDouble()) || (!high.isNull() && v > high.toDouble()))
                        result = QStringLiteral("fail");
                }
                failed = failed || result != QLatin1String("pass");
                const QVariant nothing(QMetaType::fromType<double>());
                const QVariantList values = {runId,
                                             s,
                                             name,
                                             result,
                                             value.isNull() ? nothing : value,
                                             unit,
                                             low.isNull() ? nothing : low,
                                             high.isNull() ? nothing : high,
                                             0.05,
                                             QStringLiteral("")};
                for (int v = 0; v < values.size(); ++v)
                    step.bindValue(v, values[v]);
                if (!step.exec())
                    throw StoreError(StoreError::Kind::Unavailable, "cannot write a step: " + step.lastError().text());
            }
            const QVariantList values = {runId,
                                         QStringLiteral("selftest"),
                                         QStringLiteral("[\"selftest\",\"0\",\"--loopback\"]"),
                                         0,
                                         QStringLiteral("Demo board"),
                                         0x310,
                                         qlonglong(board),
                                         stations[int(rng() % 3)],
                                         QStringLiteral("operator"),
                                         engineering ? QStringLiteral("engineering") : QStringLiteral("production"),
                                         QStringLiteral("2.1.0"),
                                         qlonglong(started),
                                         qlonglong(started + 30'000),
                                         failed ? QStringLiteral("fail") : QStringLiteral("pass"),
                                         attempt};
            for (int v = 0; v < values.size(); ++v)
                rec.bindValue(v, values[v]);
            if (!rec.exec())
                throw StoreError(StoreError::Kind::Unavailable, "cannot write a record: " + rec.lastError().text());
            // A failed board is tested again (at most three times).
            retest = failed && attempt < 3;
        }
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    OpenRecordStore(url);
    return count;
}

} // namespace stats_test
