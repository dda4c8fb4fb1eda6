// The statistics' input from a records store in two queries: the selected runs from the records table,
// then the steps of the chosen runs joined in time order, reading only the columns the figures need.
#include "StatsLoader.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <map>

StatsData LoadStats(IRecordStore& store, const StatsRequest& request) {
    StatsData data;
    // The filter's own order decides which records a limit keeps (the newest, unless oldest first).
    QVariantList values;
    const QString selection = RecordSelection(request.filter, &values);
    store.Select(QStringLiteral("SELECT run_id, command, board_type, board_id, station, started_ms, attempt, outcome "
                                "FROM records") +
                     selection,
                 values, [&](const QSqlQuery& q) {
                     RunResult r;
                     r.runId = q.value(0).toString().toStdString();
                     r.command = q.value(1).toString().toStdString();
                     r.boardType = static_cast<uint32_t>(q.value(2).toLongLong());
                     r.boardId = static_cast<uint32_t>(q.value(3).toLongLong());
                     r.station = q.value(4).toString().toStdString();
                     r.startedMs = q.value(5).toLongLong();
                     r.attempt = q.value(6).toInt();
                     r.passed = q.value(7).toString() == QLatin1String("pass");
                     data.runs.push_back(std::move(r));
                 });
    std::sort(data.runs.begin(), data.runs.end(), [](const RunResult& a, const RunResult& b) {
        return a.startedMs != b.startedMs ? a.startedMs < b.startedMs : a.runId < b.runId;
    });

    // The chosen runs, picked by the database so only their steps are read: each board's last attempt
    // (latest start, run id breaking ties) among the selected runs, unless every attempt is wanted.
    QVariantList stepValues = values;
    QString chosen = QStringLiteral("SELECT run_id, started_ms, board_id FROM records") + selection;
    if (!request.allAttempts)
        chosen = QStringLiteral("SELECT run_id, started_ms, board_id FROM (SELECT run_id, started_ms, board_id, "
                                "ROW_NUMBER() OVER (PARTITION BY board_type, board_id, command ORDER BY started_ms "
                                "DESC, run_id DESC) AS latest FROM (SELECT run_id, started_ms, board_id, board_type, "
                                "command FROM records%1) selected) ranked WHERE latest = 1")
                     .arg(selection);
    // The chosen runs numbered in time order (start, then run id), so each step row carries a small
    // number rather than the run's id, and no sort of the step rows is asked of the database.
    struct Chosen {
        std::string runId;
        int64_t startedMs = 0;
        uint32_t boardId = 0;
    };
    std::vector<Chosen> chosenRuns;
    store.Select(
        QStringLiteral("SELECT run_id, started_ms, board_id FROM (%1) c ORDER BY started_ms, run_id").arg(chosen),
        values, [&](const QSqlQuery& q) {
            chosenRuns.push_back({q.value(0).toString().toStdString(), q.value(1).toLongLong(),
                                  static_cast<uint32_t>(q.value(2).toLongLong())});
        });
    data.chosenRuns = chosenRuns.size();
    QString stepFilter;
    if (!request.step.empty()) {
        stepFilter = QStringLiteral(" AND s.name = ?");
        stepValues.append(QString::fromStdString(request.step));
    }
    // The series a step position held last, so a row's name and unit are compared once, not looked up.
    struct Recent {
        QString name, unit;
        size_t series = 0;
    };
    std::vector<Recent> recent;
    std::map<std::pair<QString, QString>, size_t> seriesIndex;
    std::vector<std::vector<uint32_t>> order; // each series' points' run numbers
    store.Select(QStringLiteral("SELECT r.seq, s.position, s.name, s.unit, CASE WHEN s.result = 'pass' THEN 1 ELSE 0 "
                                "END, s.value, s.low, s.high FROM (SELECT run_id, ROW_NUMBER() OVER (ORDER BY "
                                "started_ms, run_id) AS seq FROM (%1) c) r JOIN record_steps s ON s.run_id = r.run_id "
                                "WHERE s.value IS NOT NULL%2")
                     .arg(chosen, stepFilter),
                 stepValues, [&](const QSqlQuery& q) {
                     const qlonglong seq = q.value(0).toLongLong() - 1;
                     if (seq < 0 || size_t(seq) >= chosenRuns.size())
                         return;
                     const Chosen& run = chosenRuns[size_t(seq)];
                     const size_t position = size_t(std::max(0, q.value(1).toInt()));
                     const QString name = q.value(2).toString();
                     const QString unit = q.value(3).toString();
                     if (position >= recent.size())
                         recent.resize(position + 1, {QString(), QString(), SIZE_MAX});
                     Recent& r = recent[position];
                     if (r.series == SIZE_MAX || r.name != name || r.unit != unit) {
                         const auto [it, added] = seriesIndex.emplace(std::make_pair(name, unit), data.series.size());
                         if (added) {
                             data.series.push_back({name.toStdString(), unit.toStdString(), {}});
                             order.emplace_back();
                         }
                         r = {name, unit, it->second};
                     }
                     StepPoint p;
                     p.timeMs = run.startedMs;
                     p.boardId = run.boardId;
                     p.runId = run.runId;
                     p.value = q.value(5).toDouble();
                     if (const QVariant low = q.value(6); !low.isNull())
                         p.low = low.toDouble();
                     if (const QVariant high = q.value(7); !high.isNull())
                         p.high = high.toDouble();
                     p.passed = q.value(4).toInt() == 1;
                     data.series[r.series].points.push_back(std::move(p));
                     order[r.series].push_back(uint32_t(seq));
                 });
    // Rows come run by run in practice; where they did not, the points are put in time order here.
    for (size_t i = 0; i < data.series.size(); ++i) {
        const std::vector<uint32_t>& seqs = order[i];
        if (std::is_sorted(seqs.begin(), seqs.end()))
            continue;
        std::vector<size_t> by(seqs.size());
        for (size_t k = 0; k < by.size(); ++k)
            by[k] = k;
        std::stable_sort(by.begin(), by.end(), [&](size_t a, size_t b) { return seqs[a] < seqs[b]; });
        std::vector<StepPoint> sorted;
        sorted.reserve(by.size());
        for (const size_t k : by)
            sorted.push_back(std::move(data.series[i].points[k]));
        data.series[i].points = std::move(sorted);
    }

    // The failing steps of every selected run, first attempts included: a retested board's failure is
    // where the loss comes from. Only runs that did not pass can hold one.
    QVariantList failValues = values;
    if (!request.step.empty())
        failValues.append(QString::fromStdString(request.step));
    store.Select(QStringLiteral("SELECT s.name, COUNT(*) FROM (SELECT run_id, outcome FROM records%1) r JOIN "
                                "record_steps s ON s.run_id = r.run_id WHERE r.outcome <> 'pass' AND s.result IN "
                                "('fail', 'error')%2 GROUP BY s.name")
                     .arg(selection, request.step.empty() ? QString() : QStringLiteral(" AND s.name = ?")),
                 failValues, [&](const QSqlQuery& q) {
                     data.failingSteps.emplace_back(q.value(0).toString().toStdString(),
                                                    size_t(q.value(1).toLongLong()));
                 });
    return data;
}
