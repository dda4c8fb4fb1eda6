// Gathering each tested board's record during a run and keeping it at the run's end.
#include "BoardRecords.h"

#include "CliOutput.h"
#include "CliSignals.h"

#include <QDateTime>

#include <cmath>

TestStep RecordStep(const Step& step) {
    TestStep s;
    s.name = QString::fromStdString(step.name);
    s.result = QString::fromLatin1(OutcomeText(step.outcome));
    s.value = step.value;
    s.unit = QString::fromStdString(step.unit);
    s.low = step.low;
    s.high = step.high;
    s.seconds = std::round(step.seconds * 1000) / 1000;
    s.detail = QString::fromStdString(step.detail);
    // The record keeps a warning in the step's detail, where every reader of records already looks.
    if (!step.warning.empty())
        s.detail += QString::fromStdString((step.detail.empty() ? "warning: " : "; warning: ") + step.warning);
    return s;
}

int64_t NowUtcMs() { return QDateTime::currentMSecsSinceEpoch(); }

void CBoardRecords::Open(const CliArgs& args) {
    if (!m_keeper)
        m_keeper = OpenRecordsBeforeBoards(args);
}

size_t CBoardRecords::Begin(size_t number, const FoundBoard& board) {
    const std::lock_guard lock(m_mutex);
    Pending p;
    TestRecord& r = p.record;
    r.command = QString::fromStdString(m_command);
    for (const std::string& a : m_arguments)
        r.arguments << QString::fromStdString(a);
    r.boardNumber = static_cast<int>(number);
    r.boardName = QString::fromStdString(board.record.name);
    r.boardType = board.record.type;
    r.boardId = board.record.boardId;
    r.startedMs = NowUtcMs();
    m_pending.push_back(std::move(p));
    return m_pending.size() - 1;
}

void CBoardRecords::SetSteps(size_t place, const std::vector<Step>& steps, std::optional<int> exitCode) {
    const std::lock_guard lock(m_mutex);
    Pending& p = m_pending.at(place);
    p.record.steps.clear();
    for (const Step& s : steps)
        p.record.steps.push_back(RecordStep(s));
    p.exitCode = exitCode;
}

void CBoardRecords::SetTimes(size_t place, int64_t startedMs, int64_t endedMs) {
    const std::lock_guard lock(m_mutex);
    m_pending.at(place).record.startedMs = startedMs;
    m_pending.at(place).record.endedMs = endedMs;
}

int CBoardRecords::Finish(int code) {
    const std::lock_guard lock(m_mutex);
    if (m_finished || !Keeping())
        return code;
    m_finished = true;
    const int signal = StopSignal();
    const int64_t now = NowUtcMs();
    bool lost = false;
    for (Pending& p : m_pending) {
        TestRecord& r = p.record;
        if (r.endedMs == 0)
            r.endedMs = now;
        r.outcome = OutcomeForExit(signal ? 128 + signal : p.exitCode.value_or(code));
        const KeepResult kept = StoreRecord(*m_keeper, r);
        lost = lost || kept.kind == KeepResult::Kind::Failed;
    }
    // A board without a record must not pass as tested; a stopped run keeps its signal's code.
    return lost && !signal ? kExitDevice : code;
}
