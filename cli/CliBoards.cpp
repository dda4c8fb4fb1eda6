// Choosing the driver library, finding the boards and opening one board's devices for veltrin-cli.
#include "CliBoards.h"

#include "BoardInfo.h"
#include "CliArgs.h"
#include "DeviceRequests.h"
#include "DriverExports.h"
#include "DriverLibrary.h"
#include "DriverLocation.h"
#include "OpenFailure.h"
#include "PhysicalDevice.h"
#include "RequestCodes.h"
#include "StepDeadline.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::string LibraryPathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// How long a board may take to answer the requests that list it: a board hung in one of them is listed
// with that error instead of holding up every command.
constexpr std::chrono::milliseconds kListBudget{5000};

// Fills in what the board tells about itself, or why it does not.
void AskBoard(CDevice& cfg, FoundBoard* board, bool confirm) {
    // The board is prepared before it is asked anything; one that is not is no board to use.
    const auto prepared = QueryRaw<kPrepareBoardSize>(cfg, req::kPrepareBoard);
    if (prepared.ok != 1 || prepared.returned != kPrepareBoardSize) {
        board->error = "the board preparation request of " + board->record.devicePath +
                       (prepared.ok != 1 ? " failed"
                                         : " was answered with " + std::to_string(prepared.returned) + " of " +
                                               std::to_string(kPrepareBoardSize) + " bytes");
        return;
    }
    const auto info = QueryRaw<BoardInformation::kSize>(cfg, req::kGetBoardInfo);
    const auto decoded = info.ok == 1 ? BoardInformation::Decode(info.bytes.data(), info.returned) : std::nullopt;
    if (!decoded || info.returned != BoardInformation::kSize) {
        board->error = "the board information request of " + board->record.devicePath +
                       (info.ok != 1 ? " failed"
                                     : " was answered with " + std::to_string(info.returned) + " of " +
                                           std::to_string(BoardInformation::kSize) + " bytes");
        return;
    }
    board->record.name = decoded->name;
    board->record.type = decoded->type;
    board->record.boardId = decoded->boardId;
    board->record.channels = decoded->channels;
    if (confirm && !QueryRaw<kConfirmBoardSize>(cfg, req::kConfirmBoard).ok)
        board->error = "the board " + board->record.devicePath + " does not confirm its information";
}

// The same under a deadline: a request hung past it (or a stop signal) is cancelled, and the board is
// listed with why.
void QueryBoard(CDevice& cfg, FoundBoard* board, bool confirm) {
    CRequestWatch watch({&cfg});
    watch.Arm(kListBudget);
    AskBoard(cfg, board, confirm);
    watch.Disarm();
    if (watch.Expired())
        board->error = "the board " + board->record.devicePath + " gave " + CRequestWatch::Why(kListBudget);
}

} // namespace

std::vector<FoundBoard> ListKernelBoards() {
    std::vector<FoundBoard> boards;
    for (const char* prefix : {"VELTRIN", "433_"}) {
        for (int n = 0; n < 10; ++n) {
            FoundBoard board;
            board.record.devicePath = "\\\\.\\" + std::string(prefix) + std::to_string(n);
            board.record.name = board.record.devicePath;
            board.record.index = n;
            OpenError why;
            const std::unique_ptr<CDevice> cfg =
                CPhysicalDevice::TryOpen(board.record.devicePath + "\\" + kConfigLeaf, &why);
            if (!cfg && why.kind == OpenFailure::Absent)
                continue;
            if (!cfg) {
                // Held by another program, say: still this number's board, so the boards after it keep theirs.
                board.error =
                    "the configuration device of " + board.record.devicePath + " is " + DescribeOpenError(why);
                boards.push_back(board);
                continue;
            }
            QueryBoard(*cfg, &board, true);
            boards.push_back(board);
        }
    }
    return boards;
}

namespace {

// Every board the library lists, in its order: one that does not open or answer its information query
// stays in the list with the reason, so that a broken board is never mistaken for an absent one and the
// others keep their numbers.
std::vector<FoundBoard> ListLibraryBoards(CDriverLibrary& library) {
    std::vector<FoundBoard> boards;
    auto count = library.Function<DriverDeviceCountFn>("GetDeviceCount");
    auto nameOf = library.Function<DriverDeviceNameFn>("GetDeviceName");
    if (!count || !nameOf)
        throw DeviceError("the driver library " + library.Path() + " cannot list its boards");
    const uint32_t devices = count(0);
    for (uint32_t i = 0; i < devices; ++i) {
        FoundBoard board;
        board.viaLibrary = true;
        std::array<char, 4096> text{};
        if (!nameOf(i, 0, text.data(), static_cast<uint32_t>(text.size()))) {
            board.record.name = "device " + std::to_string(i);
            board.error = "the driver library gives no name for device " + std::to_string(i);
            boards.push_back(board);
            continue;
        }
        text.back() = '\0';
        board.record.devicePath = text.data();
        board.record.name = board.record.devicePath;
        const std::unique_ptr<CDevice> cfg = OpenDevice(&library, board.record.devicePath, kConfigLeaf);
        if (!cfg) {
            board.error = "cannot open the configuration device of " + board.record.devicePath;
            boards.push_back(board);
            continue;
        }
        QueryBoard(*cfg, &board, false);
        boards.push_back(board);
    }
    return boards;
}

} // namespace

CBoardSet::CBoardSet(const LibraryChoice& choice) {
    std::string path;
    if (!choice.path.empty()) {
        path = LibraryPathBytes(QFileInfo(QString::fromLocal8Bit(choice.path.c_str())).absoluteFilePath());
    } else if (choice.demo) {
        const QString bundled = BundledSimulatorPath();
        if (bundled.isEmpty())
            throw DeviceError("bundled board simulator not found");
        path = LibraryPathBytes(bundled);
    } else {
        path = LibraryPathBytes(InstalledDriverLibraryPath());
    }
    if (!path.empty()) {
        std::string why;
        m_library = LoadDriverLibrary(path, &why);
        // The machine-wide setting may name a library that is gone: the kernel boards still count.
        if (!m_library && (!choice.path.empty() || choice.demo))
            throw DeviceError("cannot load driver library " + path + ": " + why);
    }
    m_boards = ListKernelBoards();
    if (m_library)
        for (FoundBoard& board : ListLibraryBoards(*m_library))
            m_boards.push_back(std::move(board));
}

CBoardSet::~CBoardSet() = default;

std::optional<size_t> SharedIdWith(const std::vector<FoundBoard>& boards, size_t number) {
    if (number >= boards.size() || !boards[number].error.empty())
        return std::nullopt;
    for (size_t n = 0; n < boards.size(); ++n)
        if (n != number && boards[n].error.empty() && boards[n].record.boardId == boards[number].record.boardId)
            return n;
    return std::nullopt;
}

size_t CBoardSet::Number(const std::string& word) const {
    if (word.rfind("id:", 0) == 0) {
        const uint32_t id = NumberWord(word.substr(3), "board ID");
        size_t found = 0;
        while (found < m_boards.size() && !(m_boards[found].error.empty() && m_boards[found].record.boardId == id))
            ++found;
        if (found == m_boards.size())
            throw UsageError("no board with ID " + std::to_string(id) + " (" + std::to_string(m_boards.size()) +
                             " found)");
        if (const auto other = ::SharedIdWith(m_boards, found))
            throw UsageError("boards " + std::to_string(found) + " and " + std::to_string(*other) + " both have ID " +
                             std::to_string(id));
        return found;
    }
    const uint32_t n = NumberWord(word, "board number or id:N");
    if (n >= m_boards.size())
        throw UsageError("no board " + word + " (" + std::to_string(m_boards.size()) + " found)");
    return n;
}

const FoundBoard& CBoardSet::Board(const std::string& word) const {
    const FoundBoard& board = m_boards[Number(word)];
    if (!board.error.empty())
        throw DeviceError("board " + std::to_string(Number(word)) + " (" + board.record.name + "): " + board.error);
    return board;
}

int OpenBoard::Lines() const {
    const uint32_t channels = found.record.channels;
    return static_cast<int>(channels < kMaxLines ? channels : kMaxLines);
}

CDevice& OpenBoard::Cfg() const {
    if (!cfg)
        throw DeviceError("cannot open the configuration device of " + found.record.name);
    return *cfg;
}

CDevice& OpenBoard::LineIn(int line) const {
    if (line < 0 || line >= Lines())
        throw UsageError("no line " + std::to_string(line) + " on this board (lines 0.." + std::to_string(Lines() - 1) +
                         ")");
    if (!lineIn[static_cast<size_t>(line)])
        throw DeviceError("cannot open the input device of line " + std::to_string(line));
    return *lineIn[static_cast<size_t>(line)];
}

CDevice& OpenBoard::LineOut(int line) const {
    LineIn(line); // the same range check
    if (!lineOut[static_cast<size_t>(line)])
        throw DeviceError("cannot open the output device of line " + std::to_string(line));
    return *lineOut[static_cast<size_t>(line)];
}

std::unique_ptr<OpenBoard> OpenBoardDevices(const CBoardSet& set, const FoundBoard& board) {
    auto open = std::make_unique<OpenBoard>();
    open->found = board;
    open->model = &BoardModelFor(board.record.type);
    CDriverLibrary* library = set.LibraryFor(board);
    const std::string& base = board.record.devicePath;
    for (int n = 0; n < open->Lines(); ++n) {
        open->lineIn[static_cast<size_t>(n)] = OpenDevice(library, base, LineInLeaf(n));
        open->lineOut[static_cast<size_t>(n)] = OpenDevice(library, base, LineOutLeaf(n));
    }
    open->left = OpenDevice(library, base, kLeftOutputLeaf);
    open->right = OpenDevice(library, base, kRightOutputLeaf);
    open->cfg = OpenDevice(library, base, kConfigLeaf);
    return open;
}
