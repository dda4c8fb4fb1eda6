// Choosing the driver library, finding the boards and opening one board's devices for veltrin-cli.
#include "CliBoards.h"

#include "CliArgs.h"
#include "DriverLibrary.h"
#include "DriverLocation.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::string LibraryPathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

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
    for (const BoardRecord& record : FindBoards(nullptr))
        m_boards.push_back({record, false});
    if (m_library)
        for (const BoardRecord& record : FindBoards(m_library.get()))
            m_boards.push_back({record, true});
}

CBoardSet::~CBoardSet() = default;

const FoundBoard& CBoardSet::Board(const std::string& word) const {
    const uint32_t n = NumberWord(word, "board number");
    if (n >= m_boards.size())
        throw UsageError("no board " + word + " (" + std::to_string(m_boards.size()) + " found)");
    return m_boards[n];
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
