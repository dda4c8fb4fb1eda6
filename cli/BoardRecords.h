// The records of the boards a testing command tested: each board's identity, times and steps gathered
// during the run, and kept in the records store once the run's exit code is known.
#pragma once

#include "CliBoards.h"
#include "RecordOptions.h"
#include "TestStep.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A step as the command's JSON shows it (seconds to the millisecond), in the record's form.
TestStep RecordStep(const Step& step);
int64_t NowUtcMs();

class CBoardRecords {
public:
    CBoardRecords(std::string command, std::vector<std::string> arguments)
        : m_command(std::move(command)), m_arguments(std::move(arguments)) {}

    // Opens and checks the store (exit 3 on a bad one); called before any board is touched.
    void Open(const CliArgs& args);
    bool Keeping() const { return m_keeper && m_keeper->Keeping(); }

    // A board the command started testing now; returns its place for the calls below.
    size_t Begin(size_t number, const FoundBoard& board);
    // The steps the board reported so far (replacing earlier ones), and its own exit code when it has one
    // apart from the run's (a board of several).
    void SetSteps(size_t place, const std::vector<Step>& steps, std::optional<int> exitCode = std::nullopt);
    void SetTimes(size_t place, int64_t startedMs, int64_t endedMs);

    // Keeps every board's record, its outcome from its exit code (the run's `code` where the board has
    // none of its own, aborted after a stop signal). Returns `code`, or 3 when a record could not be kept.
    int Finish(int code);

private:
    struct Pending {
        TestRecord record;
        std::optional<int> exitCode;
    };
    std::string m_command;
    std::vector<std::string> m_arguments;
    std::unique_ptr<CRecordKeeper> m_keeper;
    std::mutex m_mutex;
    std::vector<Pending> m_pending;
    bool m_finished = false;
};
