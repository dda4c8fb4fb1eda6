// `records stats`, `records report` and --warn-cpk through the program: the figures of a seeded store
// against a plain recomputation from its records, the report's page and charts, failed writes, and a
// warning that reaches every output while the run still passes.
#include "RecordStore.h"
#include "SeededStore.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>
#include <map>

namespace {

struct Ran {
    int code = -1;
    QByteArray out, err;
};

class StatsProgram : public ::testing::Test {
protected:
    Ran Program(const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        env.remove("VELTRIN_RECORDS");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(PROGRAM, arguments);
        Ran run;
        if (!process.waitForFinished(60000))
            return run;
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }
    QString Store() const { return "sqlite:" + m_dir.filePath("records.sqlite"); }
    QTemporaryDir m_dir;
};

// The figures recomputed plainly from whole records: each production board's last attempt, the sums
// of a textbook formula.
struct Plain {
    size_t n = 0;
    double mean = 0, sd = 0, mr = 0;
    std::optional<double> low, high;
};

std::map<QString, Plain> PlainFigures(IRecordStore& store) {
    RecordFilter production;
    production.mode = "production";
    production.oldestFirst = true;
    std::map<uint32_t, TestRecord> last;
    store.ForEach(production, [&](const TestRecord& r) { last[r.boardId] = r; });
    std::vector<TestRecord> chosen;
    for (const auto& [board, r] : last)
        chosen.push_back(r);
    std::sort(chosen.begin(), chosen.end(), [](const TestRecord& a, const TestRecord& b) {
        return a.startedMs != b.startedMs ? a.startedMs < b.startedMs : a.runId < b.runId;
    });
    std::map<QString, std::vector<double>> values;
    std::map<QString, Plain> figures;
    for (const TestRecord& r : chosen)
        for (const TestStep& s : r.steps)
            if (s.value) {
                values[s.name].push_back(*s.value);
                figures[s.name].low = s.low;
                figures[s.name].high = s.high;
            }
    for (auto& [name, v] : values) {
        Plain& p = figures[name];
        p.n = v.size();
        for (const double x : v)
            p.mean += x / double(p.n);
        for (size_t i = 0; i < v.size(); ++i) {
            p.sd += (v[i] - p.mean) * (v[i] - p.mean) / double(p.n - 1);
            if (i > 0)
                p.mr += std::fabs(v[i] - v[i - 1]) / double(p.n - 1);
        }
        p.sd = std::sqrt(p.sd);
    }
    return figures;
}

TEST_F(StatsProgram, StatsAgreeWithAPlainRecomputation) {
    stats_test::FillSeededStore(m_dir.filePath("records.sqlite"), 1500, 5);
    const Ran run = Program({"--json", "records", "stats", "--records", Store()});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    auto store = OpenRecordStore(*ParseStoreUrl(Store(), nullptr));
    const std::map<QString, Plain> plain = PlainFigures(*store);
    const QJsonArray steps = o["steps"].toArray();
    ASSERT_EQ(size_t(steps.size()), plain.size());
    for (const QJsonValue& v : steps) {
        const QJsonObject s = v.toObject();
        const QString name = s["step"].toString();
        SCOPED_TRACE(name.toStdString());
        const Plain& p = plain.at(name);
        EXPECT_EQ(size_t(s["n"].toDouble()), p.n);
        EXPECT_NEAR(s["mean"].toDouble(), p.mean, 1e-9 * std::fabs(p.mean));
        EXPECT_NEAR(s["sd"].toDouble(), p.sd, 1e-9 * p.sd);
        const double within = p.mr / 1.128;
        EXPECT_NEAR(s["withinSd"].toDouble(), within, 1e-9 * within);
        const double cpu = p.high ? (*p.high - p.mean) / (3 * within) : INFINITY;
        const double cpl = p.low ? (p.mean - *p.low) / (3 * within) : INFINITY;
        EXPECT_NEAR(s["cpk"].toDouble(), std::min(cpu, cpl), 1e-9 * std::min(cpu, cpl));
        EXPECT_EQ(s["cp"].isNull(), !(p.low && p.high));
        EXPECT_EQ(s["pp"].isNull(), !(p.low && p.high));
    }
    // Boards counted once each; first-pass below final yield; the Pareto's shares add up.
    const QJsonObject yield = o["yield"].toObject();
    EXPECT_EQ(size_t(yield["boards"].toDouble()), plain.begin()->second.n);
    EXPECT_LT(yield["firstPassYield"].toDouble(), yield["finalYield"].toDouble());
    double share = 0;
    for (const QJsonValue& p : o["pareto"].toArray())
        share += p.toObject()["share"].toDouble();
    EXPECT_NEAR(share, 1.0, 1e-9);
    EXPECT_NE(o["selection"].toString().indexOf("each board's last attempt"), -1);

    const Ran text = Program({"records", "stats", "--records", Store(), "--step", "line 3 level"});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("line 3 level")) << text.out.toStdString();
    EXPECT_FALSE(text.out.contains("line 2 level"));
}

TEST_F(StatsProgram, ReportIsOnePageOfParsableCharts) {
    stats_test::FillSeededStore(m_dir.filePath("records.sqlite"), 600, 9);
    const QString page = m_dir.filePath("report.html");
    const Ran run = Program({"records", "report", "--records", Store(), "--html", page});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    // Self-contained: nothing to run, nothing to fetch.
    for (const char* absent : {"<script", "src=", "href=", "url(", "@import"})
        EXPECT_EQ(html.indexOf(QLatin1String(absent), 0, Qt::CaseInsensitive), -1) << absent;
    const QRegularExpression svg(QStringLiteral("<svg.*?</svg>"), QRegularExpression::DotMatchesEverythingOption);
    int charts = 0;
    for (auto it = svg.globalMatch(html); it.hasNext(); ++charts) {
        QXmlStreamReader xml(it.next().captured(0));
        while (!xml.atEnd())
            xml.readNext();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    }
    EXPECT_EQ(charts, 2 * 30); // a trend and a histogram for each of the 30 measured steps
    for (const char* text : {"First-pass yield", "Failing steps", "line 3 level (dBFS) by run", "By station"})
        EXPECT_NE(html.indexOf(QLatin1String(text)), -1) << text;

    struct Bad {
        QString path;
        int code;
    };
    const Bad bad[] = {{m_dir.filePath("missing/report.html"), 2}, {"/dev/full", 3}};
    for (const Bad& b : bad) {
        const Ran failed = Program({"records", "report", "--records", Store(), "--html", b.path});
        EXPECT_EQ(failed.code, b.code) << b.path.toStdString() << ": " << failed.err.toStdString();
    }
    EXPECT_EQ(Program({"records", "report", "--records", Store()}).code, 2);
}

TEST_F(StatsProgram, WarningReachesEveryOutputAndTheRunPasses) {
    // Earlier runs whose "stream left" sat close to its low limit: a Cpk lower bound well below 1.33.
    {
        auto store = OpenRecordStore(*ParseStoreUrl(Store(), nullptr));
        for (int i = 0; i < 30; ++i) {
            TestRecord r;
            r.runId = NewRunId();
            r.command = "selftest";
            r.boardType = 0x310;
            r.boardId = uint32_t(500 + i);
            r.station = "st";
            r.mode = "production";
            r.version = "2.1.0";
            r.startedMs = 1'765'152'000'000LL + i * 1000;
            r.endedMs = r.startedMs + 1;
            r.outcome = "pass";
            r.steps = {{"stream left", "pass", 4900.0 + (i % 2 ? 150 : -150), "bytes", 4649.0, 14974.0, 0.3, ""}};
            store->Write(r, false);
        }
    }
    const QString junit = m_dir.filePath("junit.xml");
    const Ran run = Program({"--demo", "--json", "selftest", "0", "--for", "0.3", "--records", Store(), "--warn-cpk",
                             "1.33", "--junit", junit});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("stream left warning: Cpk lower bound")) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    QString warning;
    for (const QJsonValue& s : o["boards"].toArray()[0].toObject()["steps"].toArray())
        if (s.toObject()["step"] == "stream left")
            warning = s.toObject()["warning"].toString();
    EXPECT_TRUE(warning.startsWith("Cpk lower bound")) << warning.toStdString();
    EXPECT_TRUE(o["passed"].toBool());
    QFile xml(junit);
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    EXPECT_TRUE(xml.readAll().contains("<property name=\"warning\" value=\"Cpk lower bound"));
    auto store = OpenRecordStore(*ParseStoreUrl(Store(), nullptr));
    RecordFilter newest;
    newest.limit = 1;
    const auto kept = store->Get(store->List(newest).front().runId);
    ASSERT_TRUE(kept);
    bool inRecord = false;
    for (const TestStep& s : kept->steps)
        inRecord = inRecord || (s.name == "stream left" && s.detail.contains("warning: Cpk lower bound"));
    EXPECT_TRUE(inRecord);

    const Ran usage = Program({"--demo", "selftest", "0", "--warn-window", "20", "--records", Store()});
    EXPECT_EQ(usage.code, 2) << usage.err.toStdString();
}

} // namespace
