// Finding the boards on first use and opening the one a command names.
#include "CliCommands.h"
#include "CliOutput.h"

void CliContext::KeepRecords(std::string command, std::vector<std::string> arguments) {
    m_records = std::make_unique<CBoardRecords>(std::move(command), std::move(arguments));
}

void CliContext::ReportSteps(const std::vector<Step>& steps) {
    if (m_records && m_openRecord)
        m_records->SetSteps(*m_openRecord, steps);
}

CBoardSet& CliContext::Boards() {
    // A store that cannot be used ends the run before any board is asked anything.
    if (m_records && !m_boards)
        m_records->Open(m_args);
    if (!m_boards)
        m_boards = std::make_unique<CBoardSet>(m_choice);
    return *m_boards;
}

bool CliContext::ExpectedBoardsFound() {
    const auto expected = m_args.Number("expect-boards");
    if (!expected)
        return true;
    const size_t found = Boards().Boards().size();
    if (found == *expected)
        return true;
    Diagnostic("expected boards failed: " + std::to_string(found) + " found, " + std::to_string(*expected) +
               " expected");
    return false;
}

OpenBoard* CliContext::Open(size_t index) {
    CBoardSet& set = Boards();
    const FoundBoard& board = set.Board(m_args.Word(index, "BOARD"));
    const size_t number = set.Number(m_args.Words()[index]);
    if (Verbose())
        Diagnostic("board " + std::to_string(number) + ": " + board.record.name + " at " + board.record.devicePath);
    if (m_records && m_records->Keeping())
        m_openRecord = m_records->Begin(number, board);
    m_watch.reset();
    m_board = OpenBoardDevices(set, board);
    m_watch = std::make_unique<CRequestWatch>(BoardDevices(*m_board));
    m_watch->Arm(kDefaultBudget);
    return m_board.get();
}

int LineNumber(const std::string& word) {
    const uint32_t line = NumberWord(word, "line number");
    if (line >= kMaxLines)
        throw UsageError("no line " + word + " (a board has at most " + std::to_string(kMaxLines) + " lines)");
    return static_cast<int>(line);
}

StreamTarget ParseTarget(const std::string& word) {
    if (word == "left")
        return {StreamTarget::Kind::Left, 0};
    if (word == "right")
        return {StreamTarget::Kind::Right, 0};
    if (word.rfind("line:", 0) == 0)
        return {StreamTarget::Kind::Line, LineNumber(word.substr(5))};
    throw UsageError("\"" + word + "\" is not left, right or line:N");
}
