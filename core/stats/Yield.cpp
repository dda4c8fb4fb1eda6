// First-pass and final yield by day and station, and the Pareto of failing steps.
#include "Yield.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

std::optional<double> YieldRow::FirstPassYield() const {
    return boards ? std::optional<double>(double(firstPass) / double(boards)) : std::nullopt;
}

std::optional<double> YieldRow::FinalYield() const {
    return boards ? std::optional<double>(double(finalPass) / double(boards)) : std::nullopt;
}

std::string UtcDay(int64_t ms) {
    // Floor division: a time before 1970 still falls on its own day.
    int64_t days = ms / 86'400'000;
    if (ms % 86'400'000 < 0)
        --days;
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y), static_cast<long long>(m),
                  static_cast<long long>(d));
    return text;
}

std::vector<YieldRow> Yields(const std::vector<RunResult>& runs, YieldGroup group) {
    // Each board's first and last attempt, by start time (run id breaks ties).
    using Board = std::tuple<uint32_t, uint32_t, std::string>;
    struct Attempts {
        const RunResult* first = nullptr;
        const RunResult* last = nullptr;
        size_t runs = 0;
    };
    const auto before = [](const RunResult& a, const RunResult& b) {
        return a.startedMs != b.startedMs ? a.startedMs < b.startedMs : a.runId < b.runId;
    };
    std::map<Board, Attempts> boards;
    for (const RunResult& r : runs) {
        Attempts& a = boards[Board(r.boardType, r.boardId, r.command)];
        if (!a.first || before(r, *a.first))
            a.first = &r;
        if (!a.last || before(*a.last, r))
            a.last = &r;
        ++a.runs;
    }
    std::map<std::string, YieldRow> rows;
    for (const auto& [board, a] : boards) {
        const std::string key = group == YieldGroup::Day       ? UtcDay(a.first->startedMs)
                                : group == YieldGroup::Station ? a.first->station
                                                               : std::string("all");
        YieldRow& row = rows[key];
        row.key = key;
        ++row.boards;
        row.firstPass += a.first->passed ? 1 : 0;
        row.finalPass += a.last->passed ? 1 : 0;
        row.runs += a.runs;
    }
    std::vector<YieldRow> result;
    for (auto& [key, row] : rows)
        result.push_back(row);
    return result;
}

std::vector<ParetoRow> Pareto(const std::vector<std::pair<std::string, size_t>>& failuresByStep) {
    std::map<std::string, size_t> counts;
    size_t total = 0;
    for (const auto& [step, count] : failuresByStep) {
        counts[step] += count;
        total += count;
    }
    std::vector<ParetoRow> rows;
    for (const auto& [step, count] : counts) {
        if (count > 0)
            rows.push_back({step, count, 0.0, 0.0});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ParetoRow& a, const ParetoRow& b) { return a.failures > b.failures; });
    size_t running = 0;
    for (ParetoRow& row : rows) {
        running += row.failures;
        row.share = double(row.failures) / double(total);
        row.cumulative = double(running) / double(total);
    }
    return rows;
}
