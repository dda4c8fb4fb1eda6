// The record's text forms: store URLs, the JSON form's checks, CSV quoting and UTC times.
#include "RecordExport.h"
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

TEST(StoreUrlTest, ParsesEveryFormAndRefusesTheRest) {
    const struct {
        const char* text;
        bool ok;
        StoreUrl::Kind kind;
        const char* path;
        const char* user;
        const char* host;
        int port;
        const char* database;
    } rows[] = {
        {"none", true, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"/tmp/r.sqlite", true, StoreUrl::Kind::Sqlite, "/tmp/r.sqlite", "", "", -1, ""},
        {"rel/r.db", true, StoreUrl::Kind::Sqlite, "rel/r.db", "", "", -1, ""},
        {"sqlite:/tmp/a b.sqlite", true, StoreUrl::Kind::Sqlite, "/tmp/a b.sqlite", "", "", -1, ""},
        {"postgresql://tester@db.local:5433/fleet", true, StoreUrl::Kind::Postgres, "", "tester", "db.local", 5433,
         "fleet"},
        {"postgresql://db.local/fleet", true, StoreUrl::Kind::Postgres, "", "", "db.local", -1, "fleet"},
        {"postgresql:///fleet", true, StoreUrl::Kind::Postgres, "", "", "", -1, "fleet"},
        {"", false, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"sqlite:", false, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"mysql://x/y", false, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"postgresql://h:99999/db", false, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"postgresql://h/db?sslmode=require", false, StoreUrl::Kind::None, "", "", "", -1, ""},
        {"postgresql://h/a/b", false, StoreUrl::Kind::None, "", "", "", -1, ""},
    };
    for (const auto& row : rows) {
        QString error;
        const auto url = ParseStoreUrl(QString::fromUtf8(row.text), &error);
        ASSERT_EQ(url.has_value(), row.ok) << row.text;
        if (!url) {
            EXPECT_TRUE(error.contains(QString::fromUtf8(row.text))) << error.toStdString();
            continue;
        }
        EXPECT_EQ(url->kind, row.kind) << row.text;
        EXPECT_EQ(url->path, QString::fromUtf8(row.path)) << row.text;
        EXPECT_EQ(url->user, QString::fromUtf8(row.user)) << row.text;
        EXPECT_EQ(url->host, QString::fromUtf8(row.host)) << row.text;
        EXPECT_EQ(url->port, row.port) << row.text;
        EXPECT_EQ(url->database, QString::fromUtf8(row.database)) << row.text;
    }
    // A password never shows in messages.
    EXPECT_FALSE(ParseStoreUrl("postgresql://u:secret@h/db", nullptr)->text.contains("secret"));
}

TEST(RecordJsonTest, RefusesEachBrokenField) {
    std::mt19937 rng(5);
    const QJsonObject good = RecordToJson(records_test::RandomRecord(rng, 2));
    const struct {
        const char* field;
        QJsonValue value;
    } rows[] = {{"run", "not-a-uuid"},
                {"command", ""},
                {"arguments", "selftest"},
                {"board", 200},
                {"mode", "testing"},
                {"started", "today"},
                {"ended", 5},
                {"outcome", "ok"},
                {"attempt", -1},
                {"attempt", 1.5},
                {"steps", QJsonObject()},
                {"station", QJsonValue()},
                {"operator", QJsonValue()}};
    for (const auto& row : rows) {
        QJsonObject broken = good;
        broken.insert(QLatin1String(row.field), row.value);
        QString error;
        EXPECT_FALSE(RecordFromJson(broken, &error).has_value()) << row.field;
        EXPECT_TRUE(error.contains(QLatin1String(row.field))) << error.toStdString();
    }
    QJsonObject badStep = good;
    QJsonArray steps = good.value("steps").toArray();
    QJsonObject step = steps[0].toObject();
    step.insert("result", "maybe");
    steps[0] = step;
    badStep.insert("steps", steps);
    EXPECT_FALSE(RecordFromJson(badStep, nullptr).has_value());
    QString error;
    EXPECT_FALSE(RecordFromJsonLine("{\"run\":", &error).has_value());
    EXPECT_FALSE(error.isEmpty());
}

TEST(RecordJsonTest, ValuesThatAreNotFiniteSurvive) {
    std::mt19937 rng(6);
    TestRecord r = records_test::RandomRecord(rng, 1);
    r.steps[0].value = -HUGE_VAL;
    r.steps[0].high = HUGE_VAL;
    const auto back = RecordFromJsonLine(JsonLine(r), nullptr);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, r);
}

TEST(RecordCsvTest, QuotesOnlyWhatNeedsIt) {
    const struct {
        const char* text;
        const char* field;
    } rows[] = {{"plain", "plain"},
                {"", ""},
                {"a,b", "\"a,b\""},
                {"say \"hi\"", "\"say \"\"hi\"\"\""},
                {"two\nlines", "\"two\nlines\""},
                {" padded", "\" padded\""},
                {"Prüfplatz", "Prüfplatz"}};
    for (const auto& row : rows)
        EXPECT_EQ(CsvField(QString::fromUtf8(row.text)), QByteArray(row.field)) << row.text;
    // Every row has the header's columns, one row a step, one row for a record without steps.
    TestRecord r;
    r.runId = NewRunId();
    r.command = "selftest";
    r.steps.resize(3, TestStep{"level", "pass", -12.5, "dBFS", -30.0, std::nullopt, 0.25, ""});
    const int columns = int(CsvHeader().count(','));
    for (int steps : {3, 0}) {
        r.steps.resize(size_t(steps));
        const QList<QByteArray> lines = CsvRows(r).split('\n');
        ASSERT_EQ(lines.size(), std::max(steps, 1) + 1);
        for (int i = 0; i + 1 < lines.size(); ++i)
            EXPECT_EQ(int(lines[i].count(',')), columns) << lines[i].toStdString();
    }
}

TEST(UtcTextTest, ReadsWhatItWritesAndDatesAlone) {
    const struct {
        const char* text;
        int64_t ms;
    } rows[] = {{"1970-01-01T00:00:00.000Z", 0},
                {"2026-12-08T09:31:27.123Z", 1796722287123},
                {"2026-12-08", 1796688000000},
                {"2026-12-08T09:31:27", 1796722287000},
                {"2026-12-08T10:31:27+01:00", 1796722287000}};
    for (const auto& row : rows) {
        const auto ms = ParseUtc(QString::fromUtf8(row.text));
        ASSERT_TRUE(ms.has_value()) << row.text;
        EXPECT_EQ(*ms, row.ms) << row.text;
        EXPECT_EQ(ParseUtc(UtcText(row.ms)), row.ms);
    }
    EXPECT_FALSE(ParseUtc("yesterday").has_value());
    EXPECT_EQ(OutcomeForExit(0), "pass");
    EXPECT_EQ(OutcomeForExit(1), "fail");
    EXPECT_EQ(OutcomeForExit(3), "error");
    EXPECT_EQ(OutcomeForExit(130), "aborted");
}
