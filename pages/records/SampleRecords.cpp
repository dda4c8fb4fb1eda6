// Seeded sample records: three measured steps per line on two lines (one with a high limit only), limits
// that some runs miss.
#include "SampleRecords.h"

#include <optional>
#include <random>

uint32_t WriteSampleRecords(IRecordStore& store, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_int_distribution<int> minutes(20, 400);
    std::uniform_int_distribution<uint32_t> boards(200, 260);
    int64_t started = 1'788'000'000'000LL; // 2026-08-29
    uint32_t board = 0;
    for (int i = 0; i < count; ++i) {
        started += minutes(rng) * 60'000LL;
        const double drift = 0.6 * i / std::max(count, 1);
        TestRecord r;
        r.runId = NewRunId();
        r.command = QStringLiteral("selftest");
        r.arguments = {QStringLiteral("selftest"), QStringLiteral("0"), QStringLiteral("--loopback")};
        r.boardNumber = 0;
        r.boardName = QStringLiteral("R320");
        r.boardType = 0x320;
        board = boards(rng);
        r.boardId = board;
        r.station = i % 3 == 0 ? QStringLiteral("station-2") : QStringLiteral("station-1");
        r.operatorName = QStringLiteral("operator");
        r.mode = QStringLiteral("production");
        r.version = QStringLiteral("2.1.0");
        r.startedMs = started;
        r.endedMs = started + 41'000;
        bool failed = false;
        for (int line = 0; line < 2; ++line) {
            const struct {
                QString name;
                double value;
                std::optional<double> low, high;
                QString unit;
            } steps[] = {
                {QStringLiteral("line %1 level").arg(line), -12.0 + drift + 0.35 * noise(rng), -14.0, -10.0,
                 QStringLiteral("dBFS")},
                {QStringLiteral("line %1 THD+N").arg(line), -71.0 + 1.5 * noise(rng), std::nullopt, -66.0,
                 QStringLiteral("dB")},
                {QStringLiteral("line %1 frequency").arg(line), 1000.0 + 0.4 * noise(rng), 998.0, 1002.0,
                 QStringLiteral("Hz")},
            };
            for (const auto& s : steps) {
                const bool pass = (!s.low || s.value >= *s.low) && (!s.high || s.value <= *s.high);
                failed = failed || !pass;
                r.steps.push_back({s.name, pass ? QStringLiteral("pass") : QStringLiteral("fail"), s.value, s.unit,
                                   s.low, s.high, 0.8, QString()});
            }
        }
        r.outcome = failed ? QStringLiteral("fail") : QStringLiteral("pass");
        store.Write(r, false);
    }
    return board;
}
