// The statistics' input from a records store in two queries: the selected runs from the records table,
// then the steps of the chosen runs joined in time order, reading only the columns the figures need.
#include "StatsLoader.h"

#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <unordered_map>

StatsData LoadStats(IRecordStore& store, const StatsRequest& request) {
    StatsData data;
    RecordFilter filter = request.filter;
    filter.oldestFirst = true;
    QVariantList values;
    const QString selection = RecordSelection(filter, &values);
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
    QString stepFilter;
    if (!request.step.empty()) {
        stepFilter = QStringLiteral(" WHERE s.name = ?");
        stepValues.append(QString::fromStdString(request.step));
    }
    std::map<std::pair<QString, QString>, size_t> seriesIndex;
    std::unordered_map<std::string, size_t> failing;
    std::vector<std::string> failingOrder;
    QString lastRun;
    std::string runId;
    store.Select(QStringLiteral("SELECT r.run_id, r.started_ms, r.board_id, s.name, s.unit, s.result, s.value, s.low, "
                                "s.high FROM (%1) r JOIN record_steps s ON s.run_id = r.run_id%2 ORDER BY "
                                "r.started_ms, r.run_id, s.position")
                     .arg(chosen, stepFilter),
                 stepValues, [&](const QSqlQuery& q) {
                     const QString run = q.value(0).toString();
                     if (run != lastRun) {
                         lastRun = run;
                         runId = run.toStdString();
                         ++data.chosenRuns;
                     }
                     const QString name = q.value(3).toString();
                     const QString result = q.value(5).toString();
                     if (result == QLatin1String("fail") || result == QLatin1String("error")) {
                         const std::string key = name.toStdString();
                         if (failing.emplace(key, 0).second)
                             failingOrder.push_back(key);
                         ++failing[key];
                     }
                     const QVariant value = q.value(6);
                     if (value.isNull())
                         return;
                     const auto [it, added] =
                         seriesIndex.emplace(std::make_pair(name, q.value(4).toString()), data.series.size());
                     if (added)
                         data.series.push_back({name.toStdString(), q.value(4).toString().toStdString(), {}});
                     StepPoint p;
                     p.timeMs = q.value(1).toLongLong();
                     p.boardId = static_cast<uint32_t>(q.value(2).toLongLong());
                     p.runId = runId;
                     p.value = value.toDouble();
                     if (const QVariant low = q.value(7); !low.isNull())
                         p.low = low.toDouble();
                     if (const QVariant high = q.value(8); !high.isNull())
                         p.high = high.toDouble();
                     p.passed = result == QLatin1String("pass");
                     data.series[it->second].points.push_back(std::move(p));
                 });
    for (const std::string& step : failingOrder)
        data.failingSteps.emplace_back(step, failing[step]);
    return data;
}
