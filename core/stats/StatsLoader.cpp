// The statistics' input from a records store in one pass over the records table: each selected record's
// fields and its packed measured steps (MeasuredSteps), without a join with the steps table or a sort by
// the database. The runs are put in time order and the last attempts chosen here; then the values are
// decoded run by run in that order, straight into series of the size they will have.
#include "StatsLoader.h"

#include "MeasuredSteps.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>

namespace {

struct SelectedRun {
    RunResult run;
    QByteArray packed;
};

[[noreturn]] void Damaged(IRecordStore& store, const std::string& runId) {
    throw StoreError(StoreError::Kind::Unavailable,
                     QStringLiteral("records store %1: the measured steps of record %2 are damaged")
                         .arg(store.Describe(), QString::fromStdString(runId)));
}

// The series of the data for a name and unit, found by comparing with what the same place in the previous
// record held (records of one command list their steps alike), looked up by name only where that differs.
// A new series is made with room for `room` points.
class SeriesFinder {
public:
    explicit SeriesFinder(StatsData& data) : m_data(data) {}
    StepSeries& Find(size_t place, const PackedStep& step, size_t room) {
        if (place >= m_recent.size())
            m_recent.resize(place + 1);
        Recent& r = m_recent[place];
        if (!r.series || r.name != step.name || r.unit != step.unit) {
            auto key = std::make_pair(std::string(step.name), std::string(step.unit));
            auto [it, added] = m_index.try_emplace(key, m_data.series.size());
            if (added) {
                m_data.series.push_back({key.first, key.second, {}});
                m_data.series.back().points.reserve(room);
            }
            r = {std::move(key.first), std::move(key.second), it->second};
        }
        return m_data.series[*r.series];
    }

private:
    struct Recent {
        std::string name, unit;
        std::optional<size_t> series;
    };
    StatsData& m_data;
    std::vector<Recent> m_recent;
    std::map<std::pair<std::string, std::string>, size_t> m_index;
};

} // namespace

StatsData LoadStats(IRecordStore& store, const StatsRequest& request) {
    StatsData data;
    // Without a limit the database is asked for no order. With one, the filter's own order decides which
    // records it keeps (the newest, unless oldest first).
    QVariantList values;
    const QString selection =
        request.filter.limit > 0 ? RecordSelection(request.filter, &values) : RecordCondition(request.filter, &values);
    std::vector<SelectedRun> selected;
    store.Select(QStringLiteral("SELECT run_id, command, board_type, board_id, station, started_ms, attempt, outcome, "
                                "measured FROM records") +
                     selection,
                 values, [&](const QSqlQuery& q) {
                     SelectedRun& s = selected.emplace_back();
                     RunResult& r = s.run;
                     r.runId = q.value(0).toString().toStdString();
                     r.command = q.value(1).toString().toStdString();
                     r.boardType = static_cast<uint32_t>(q.value(2).toLongLong());
                     r.boardId = static_cast<uint32_t>(q.value(3).toLongLong());
                     r.station = q.value(4).toString().toStdString();
                     r.startedMs = q.value(5).toLongLong();
                     r.attempt = q.value(6).toInt();
                     r.passed = q.value(7).toString() == QLatin1String("pass");
                     s.packed = q.value(8).toByteArray();
                 });
    // Time order: start, then run id.
    std::sort(selected.begin(), selected.end(), [](const SelectedRun& a, const SelectedRun& b) {
        return a.run.startedMs != b.run.startedMs ? a.run.startedMs < b.run.startedMs : a.run.runId < b.run.runId;
    });

    // The chosen runs: each board's last attempt (latest start, run id breaking ties) of a command among
    // the selected runs, unless every attempt is wanted. In time order the last one seen of a board is
    // its last attempt.
    std::vector<bool> chosen(selected.size(), true);
    if (!request.allAttempts) {
        std::map<std::tuple<uint32_t, uint32_t, std::string_view>, size_t> last;
        for (size_t i = 0; i < selected.size(); ++i) {
            const RunResult& r = selected[i].run;
            auto [it, added] = last.try_emplace({r.boardType, r.boardId, r.command}, i);
            if (!added) {
                chosen[it->second] = false;
                it->second = i;
            }
        }
    }
    data.chosenRuns = size_t(std::count(chosen.begin(), chosen.end(), true));

    // One pass in time order: the chosen runs' measured values go to their series, and the failing steps
    // of every selected run that did not pass (first attempts included: a retested board's failure is
    // where the loss comes from) to the Pareto's counts.
    // The steps of the first chosen run are those of nearly every run: their series get room for a point
    // of each chosen run at once rather than growing by copying. Others grow as they need (a store may
    // have many rare step names, and room for each would be a lot of memory).
    SeriesFinder series(data);
    bool first = true;
    std::map<std::string, size_t, std::less<>> failing;
    for (size_t i = 0; i < selected.size(); ++i) {
        SelectedRun& s = selected[i];
        const RunResult& r = s.run;
        if (s.packed.isNull())
            Damaged(store, r.runId);
        if (!chosen[i] && r.passed)
            continue;
        const SharedRunId runId(r.runId);
        PackedStepReader reader(s.packed.constData(), size_t(s.packed.size()));
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
            if (!chosen[i] || !step.value)
                continue;
            StepPoint& p = series.Find(place, step, first ? data.chosenRuns : 0).points.emplace_back();
            p.timeMs = r.startedMs;
            p.boardId = r.boardId;
            p.runId = runId;
            p.value = *step.value;
            p.low = step.low;
            p.high = step.high;
            p.passed = step.result == PackedResult::Pass;
        }
        if (reader.Damaged())
            Damaged(store, r.runId);
        first = first && !chosen[i];
        s.packed = QByteArray(); // read: its memory goes back at once
    }
    data.failingSteps.assign(failing.begin(), failing.end());
    data.runs.reserve(selected.size());
    for (SelectedRun& s : selected)
        data.runs.push_back(std::move(s.run));
    return data;
}
