// Finding the boards on first use and opening the one a command names.
#include "CliCommands.h"

CBoardSet& CliContext::Boards() {
    if (!m_boards)
        m_boards = std::make_unique<CBoardSet>(m_choice);
    return *m_boards;
}

std::unique_ptr<OpenBoard> CliContext::Open(size_t index) {
    CBoardSet& set = Boards();
    const FoundBoard& board = set.Board(m_args.Word(index, "BOARD"));
    return OpenBoardDevices(set, board);
}

StreamTarget ParseTarget(const std::string& word) {
    if (word == "left")
        return {StreamTarget::Kind::Left, 0};
    if (word == "right")
        return {StreamTarget::Kind::Right, 0};
    if (word.rfind("line:", 0) == 0)
        return {StreamTarget::Kind::Line, static_cast<int>(NumberWord(word.substr(5), "line number"))};
    throw UsageError("\"" + word + "\" is not left, right or line:N");
}
