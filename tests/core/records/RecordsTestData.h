// Records for the tests: seeded random records with awkward text, and the stores to run against (SQLite
// always, PostgreSQL when VELTRIN_TEST_PG_URL names a server).
#pragma once

#include "RecordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <random>

namespace records_test {

// Text that a store or an export could mangle: quotes, separators, line breaks, non-ASCII, SQL.
inline QString OddText(std::mt19937& rng) {
    static const QStringList pieces = {
        QStringLiteral("a"),    QStringLiteral("\""),   QStringLiteral("'"),
        QStringLiteral(","),    QStringLiteral("\n"),   QStringLiteral("\r\n"),
        QStringLiteral("\t"),   QStringLiteral(" "),    QStringLiteral("Ünïcødé"),
        QStringLiteral("測試"), QStringLiteral("🎛"), QStringLiteral("'); DROP TABLE records; --"),
        QStringLiteral("\\"),   QStringLiteral("%_"),   QStringLiteral("station 7")};
    QString text;
    const int count = std::uniform_int_distribution<int>(0, 6)(rng);
    for (int i = 0; i < count; ++i)
        text += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(rng)];
    return text;
}

inline std::optional<double> MaybeReal(std::mt19937& rng) {
    if (std::uniform_int_distribution<int>(0, 3)(rng) == 0)
        return std::nullopt;
    // Values that need all 17 digits, tiny and huge ones.
    return std::uniform_real_distribution<double>(-1, 1)(rng) *
           std::pow(10.0, std::uniform_int_distribution<int>(-30, 30)(rng));
}

inline TestRecord RandomRecord(std::mt19937& rng, int steps = -1) {
    static const QStringList commands = {"selftest", "loopback", "crosstalk", "calibrate", "watchdog"};
    static const QStringList outcomes = {"pass", "fail", "error", "aborted"};
    static const QStringList results = {"pass", "fail", "error", "skip"};
    const auto pick = [&](const QStringList& list) {
        return list[std::uniform_int_distribution<int>(0, int(list.size()) - 1)(rng)];
    };
    TestRecord r;
    r.runId = NewRunId();
    r.command = pick(commands);
    r.arguments = {r.command, QStringLiteral("0"), OddText(rng)};
    r.boardNumber = std::uniform_int_distribution<int>(0, 3)(rng);
    r.boardName = OddText(rng);
    r.boardType = 0x310u + 0x10u * std::uniform_int_distribution<uint32_t>(0, 5)(rng);
    r.boardId = std::uniform_int_distribution<uint32_t>(200, 205)(rng);
    r.station = pick({"st-1", "st-2", "Prüfplatz \"3\""});
    r.operatorName = pick({"ann", "bob", "O'Brien,\nJr."});
    r.mode = pick({"production", "engineering"});
    r.version = QStringLiteral("2.1.0");
    r.startedMs = 1'700'000'000'000LL + std::uniform_int_distribution<int64_t>(0, 1'000'000'000)(rng);
    r.endedMs = r.startedMs + std::uniform_int_distribution<int64_t>(0, 100'000)(rng);
    r.outcome = pick(outcomes);
    r.attempt = 1;
    const int count = steps >= 0 ? steps : std::uniform_int_distribution<int>(0, 6)(rng);
    for (int i = 0; i < count; ++i) {
        TestStep s;
        s.name = QStringLiteral("step %1 ").arg(i) + OddText(rng);
        s.result = pick(results);
        s.value = MaybeReal(rng);
        s.unit = pick({"dB", "dBFS", "Hz", "", "µV"});
        s.low = MaybeReal(rng);
        s.high = MaybeReal(rng);
        s.seconds = std::uniform_real_distribution<double>(0, 10)(rng);
        s.detail = OddText(rng);
        r.steps.push_back(s);
    }
    return r;
}

// The PostgreSQL server given to the tests, or nothing.
inline std::optional<StoreUrl> PostgresUnderTest() {
    const QByteArray text = qgetenv("VELTRIN_TEST_PG_URL");
    if (text.isEmpty())
        return std::nullopt;
    return ParseStoreUrl(QString::fromUtf8(text), nullptr);
}

// Empties the PostgreSQL database of everything a records store puts there.
inline void DropPostgresStore(const StoreUrl& url) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-cleaner"));
        if (!url.host.isEmpty())
            db.setHostName(url.host);
        if (url.port > 0)
            db.setPort(url.port);
        if (!url.user.isEmpty())
            db.setUserName(url.user);
        if (!url.password.isEmpty())
            db.setPassword(url.password);
        if (!url.database.isEmpty())
            db.setDatabaseName(url.database);
        if (db.open()) {
            QSqlQuery(db).exec(QStringLiteral("DROP TABLE IF EXISTS record_steps, records, record_meta CASCADE"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-cleaner"));
}

} // namespace records_test
