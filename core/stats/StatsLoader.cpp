// The statistics' input from a records store in one pass over the records table: each selected record's
// fields and its packed measured steps (MeasuredSteps). The last attempts are chosen here, and the values
// come out in time order without a join with the steps table or a sort by the database.
#include "StatsLoader.h"

#include "MeasuredSteps.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>

namespace {

[[noreturn]] void Damaged(IRecordStore& store, const std::string& runId) {
    throw StoreError(StoreError::Kind::Unavailable,
                     QStringLiteral("records store %1: the measured steps of record %2 are damaged")
                         .arg(store.Describe(), QString::fromStdString(runId)));
}

// The series of the data for a name and unit, found by comparing with what the same place in the previous
// record held (records of one command list their steps alike), looked up by name only where that differs.
// Beside each point: its row (the order the database gave the records in) and its place in its record.
class SeriesFinder {
public:
    SeriesFinder(StatsData& data, std::vector<std::vector<uint64_t>>& rows) : m_data(data), m_rows(rows) {}
    size_t Find(size_t place, const PackedStep& step) {
        if (place >= m_recent.size())
            m_recent.resize(place + 1);
        Recent& r = m_recent[place];
        if (!r.series || r.name != step.name || r.unit != step.unit) {
            auto key = std::make_pair(std::string(step.name), std::string(step.unit));
            auto [it, added] = m_index.try_emplace(key, m_data.series.size());
            if (added) {
                m_data.series.push_back({key.first, key.second, {}});
                m_rows.emplace_back();
            }
            r = {std::move(key.first), std::move(key.second), it->second};
        }
        return *r.series;
    }

private:
    struct Recent {
        std::string name, unit;
        std::optional<size_t> series;
    };
    StatsData& m_data;
    std::vector<std::vector<uint64_t>>& m_rows;
    std::vector<Recent> m_recent;
    std::map<std::pair<std::string, std::string>, size_t> m_index;
};

} // namespace

StatsData LoadStats(IRecordStore& store, const StatsRequest& request) {
    StatsData data;
    // Without a limit the database is asked for no order: the runs are put in time order here. With one,
    // the filter's own order decides which records it keeps (the newest, unless oldest first).
    QVariantList values;
    const QString selection =
        request.filter.limit > 0 ? RecordSelection(request.filter, &values) : RecordCondition(request.filter, &values);
    // One pass: every selected run, its measured values decoded at once into their series (each point
    // with its row, as the last attempts are known only at the end), and the failing steps of every run
    // that did not pass counted for the Pareto (first attempts included: a retested board's failure is
    // where the loss comes from).
    std::vector<std::vector<uint64_t>> rows;
    SeriesFinder series(data, rows);
    std::map<std::string, size_t, std::less<>> failing;
    store.Select(QStringLiteral("SELECT run_id, command, board_type, board_id, station, started_ms, attempt, outcome, "
                                "measured FROM records") +
                     selection,
                 values, [&](const QSqlQuery& q) {
                     const uint32_t row = uint32_t(data.runs.size());
                     RunResult& r = data.runs.emplace_back();
                     r.runId = q.value(0).toString().toStdString();
                     r.command = q.value(1).toString().toStdString();
                     r.boardType = static_cast<uint32_t>(q.value(2).toLongLong());
                     r.boardId = static_cast<uint32_t>(q.value(3).toLongLong());
                     r.station = q.value(4).toString().toStdString();
                     r.startedMs = q.value(5).toLongLong();
                     r.attempt = q.value(6).toInt();
                     r.passed = q.value(7).toString() == QLatin1String("pass");
                     const QByteArray packed = q.value(8).toByteArray();
                     if (packed.isNull())
                         Damaged(store, r.runId);
                     const SharedRunId runId(r.runId);
                     PackedStepReader reader(packed.constData(), size_t(packed.size()));
                     PackedStep step;
                     for (size_t place = 0; reader.Next(step); ++place) {
                         if (!request.step.empty() && step.name != request.step)
                             continue;
                         if (!r.passed && (step.result == PackedResult::Fail || step.result == PackedResult::Error)) {
                             auto it = failing.find(step.name);
                             if (it == failing.end())
                                 it = failing.emplace(std::string(step.name), 0).first;
                             ++it->second;
                         }
                         if (!step.value)
                             continue;
                         const size_t i = series.Find(place, step);
                         std::vector<StepPoint>& points = data.series[i].points;
                         StepPoint& p = points.emplace_back();
                         p.timeMs = r.startedMs;
                         p.boardId = r.boardId;
                         p.runId = runId;
                         p.value = *step.value;
                         p.low = step.low;
                         p.high = step.high;
                         p.passed = step.result == PackedResult::Pass;
                         rows[i].push_back(uint64_t(row) << 32 | uint32_t(place));
                     }
                     if (reader.Damaged())
                         Damaged(store, r.runId);
                 });
    data.failingSteps.assign(failing.begin(), failing.end());

    // The runs in time order (start, then run id); each row's place in it.
    std::vector<uint32_t> byTime(data.runs.size());
    for (size_t i = 0; i < byTime.size(); ++i)
        byTime[i] = uint32_t(i);
    const auto before = [&](uint32_t a, uint32_t b) {
        const RunResult &x = data.runs[a], &y = data.runs[b];
        return x.startedMs != y.startedMs ? x.startedMs < y.startedMs : x.runId < y.runId;
    };
    const bool inTimeOrder = std::is_sorted(byTime.begin(), byTime.end(), before);
    if (!inTimeOrder)
        std::sort(byTime.begin(), byTime.end(), before);
    std::vector<uint32_t> rank(byTime.size());
    for (size_t i = 0; i < byTime.size(); ++i)
        rank[byTime[i]] = uint32_t(i);

    // The chosen runs: each board's last attempt (latest start, run id breaking ties) of a command among
    // the selected runs, unless every attempt is wanted. In time order the last one seen of a board is
    // its last attempt.
    std::vector<bool> chosen(data.runs.size(), true);
    if (!request.allAttempts) {
        std::map<std::tuple<uint32_t, uint32_t, std::string_view>, uint32_t> last;
        for (const uint32_t row : byTime) {
            const RunResult& r = data.runs[row];
            auto [it, added] = last.try_emplace({r.boardType, r.boardId, r.command}, row);
            if (!added) {
                chosen[it->second] = false;
                it->second = row;
            }
        }
    }
    data.chosenRuns = size_t(std::count(chosen.begin(), chosen.end(), true));

    // Each series keeps the points of the chosen runs, in time order; a series without any goes.
    const auto rowOf = [](uint64_t entry) { return uint32_t(entry >> 32); };
    for (size_t i = 0; i < data.series.size(); ++i) {
        std::vector<StepPoint>& points = data.series[i].points;
        std::vector<uint64_t>& of = rows[i];
        size_t kept = 0;
        for (size_t k = 0; k < points.size(); ++k) {
            if (!chosen[rowOf(of[k])])
                continue;
            if (kept != k) {
                points[kept] = std::move(points[k]);
                of[kept] = of[k];
            }
            ++kept;
        }
        points.resize(kept);
        of.resize(kept);
        if (inTimeOrder)
            continue;
        std::vector<size_t> order(kept);
        for (size_t k = 0; k < kept; ++k)
            order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return rank[rowOf(of[a])] < rank[rowOf(of[b])]; });
        std::vector<StepPoint> sorted;
        sorted.reserve(kept);
        std::vector<uint64_t> sortedRows;
        sortedRows.reserve(kept);
        for (const size_t k : order) {
            sorted.push_back(std::move(points[k]));
            sortedRows.push_back(of[k]);
        }
        points = std::move(sorted);
        of = std::move(sortedRows);
    }
    // The series in the order they first appear: by their first point's run in time order, then by its
    // place in that run.
    std::vector<size_t> seriesOrder;
    for (size_t i = 0; i < data.series.size(); ++i)
        if (!rows[i].empty())
            seriesOrder.push_back(i);
    const auto first = [&](size_t i) { return std::make_pair(rank[rowOf(rows[i][0])], uint32_t(rows[i][0])); };
    std::sort(seriesOrder.begin(), seriesOrder.end(), [&](size_t a, size_t b) { return first(a) < first(b); });
    std::vector<StepSeries> ordered;
    ordered.reserve(seriesOrder.size());
    for (const size_t i : seriesOrder)
        ordered.push_back(std::move(data.series[i]));
    data.series = std::move(ordered);

    // The runs in time order.
    if (!inTimeOrder) {
        std::vector<RunResult> sorted;
        sorted.reserve(byTime.size());
        for (const uint32_t row : byTime)
            sorted.push_back(std::move(data.runs[row]));
        data.runs = std::move(sorted);
    }
    return data;
}
