// The commands of veltrin-cli and what they share: the parsed command line, the output form and the
// boards, found when a command first asks for them.
#pragma once

#include "AudioAnalyser.h"
#include "BoardRecords.h"
#include "CliArgs.h"
#include "CliBoards.h"
#include "StepDeadline.h"
#include "ToneAnalysis.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

class CliContext {
public:
    CliContext(CliArgs args, LibraryChoice choice) : m_args(std::move(args)), m_choice(std::move(choice)) {}

    const CliArgs& Args() const { return m_args; }
    bool Json() const { return m_args.Has("json"); }
    bool Quiet() const { return m_args.Has("quiet"); }
    bool Verbose() const { return m_args.Has("verbose"); }
    CBoardSet& Boards();
    // With --expect-boards N: a different number of boards found fails the run (exit 1), said on
    // standard error.
    bool ExpectedBoardsFound();
    // The board named by the word at `index`, with its devices open; the context keeps it. Its
    // requests are watched from then on: one hung past the command's deadline (kDefaultBudget unless
    // the command arms another), or a stop signal, cancels them, so no command waits on a board for ever.
    OpenBoard* Open(size_t index);
    // The watch over the opened board's requests; Open must have been called.
    CRequestWatch& Watch() { return *m_watch; }
    static constexpr std::chrono::milliseconds kDefaultBudget{5000};

    // A testing command keeps a record of every board it tests: the store is opened before the boards
    // are first looked for, and the board Open gives starts its record.
    void KeepRecords(std::string command, std::vector<std::string> arguments);
    // The records of this run; null when the command keeps none.
    CBoardRecords* Records() { return m_records.get(); }
    // The steps of the board Open gave, as its record will hold them.
    void ReportSteps(const std::vector<Step>& steps);

private:
    CliArgs m_args;
    LibraryChoice m_choice;
    std::unique_ptr<CBoardRecords> m_records;
    std::optional<size_t> m_openRecord;
    std::unique_ptr<CBoardSet> m_boards;
    std::unique_ptr<OpenBoard> m_board;
    std::unique_ptr<CRequestWatch> m_watch; // after the board, so that it ends first
};

// Each returns the exit code; errors are thrown as CliError.
int RunList(CliContext& c);
int RunInfo(CliContext& c);
int RunMemory(CliContext& c);
int RunIdSet(CliContext& c);
int RunPrefixSet(CliContext& c);
int RunLoad(CliContext& c);
int RunWatchdog(CliContext& c);
int RunCalibrate(CliContext& c);
int RunLine(CliContext& c);
int RunPlay(CliContext& c);
int RunRecord(CliContext& c);
int RunLoopback(CliContext& c);
int RunSelfTest(CliContext& c);
int RunCrosstalk(CliContext& c);
int RunChannel(CliContext& c);

// --rate, when given, within the rates any command accepts (a usage error otherwise).
std::optional<uint32_t> RateOption(const CliArgs& args);

// A line number word; beyond what any board has is a usage error (the board's own count is checked
// when it is open).
int LineNumber(const std::string& word);

// A stream target word: "left", "right" or "line:N".
struct StreamTarget {
    enum class Kind { Left, Right, Line } kind = Kind::Line;
    int line = 0;
};
StreamTarget ParseTarget(const std::string& word);

// The result of a loopback on one line: what was played and what the recording shows.
struct LoopbackReport {
    int line = 0;
    uint32_t rate = 0;
    uint32_t frequency = 0; // played
    double measured = 0.0;  // Hz, the analysis's fundamental; 0 without a tone
    double rmsDb = -120.0;  // measured level
    int peak = 0;
    size_t recorded = 0;    // samples in the recording
    bool unbroken = false;  // the tone came through without a glitch (continuity judged, none found)
    Continuity continuity;  // the recording's tone judged for dropped, doubled or shifted blocks
    bool toneFound = false; // the measured frequency is the played one (within 1 %)
    bool analysed = false;  // enough samples came for the analysis figures
    AudioFigures figures;   // of the recording's tone, from the middle of it
};
