// The boards a veltrin-cli run works with: the driver library it chose, the boards found (kernel boards
// first, then the library's, as the window's tabs), and one board's devices opened for a command.
#pragma once

#include "BoardDiscovery.h"
#include "BoardModels.h"
#include "Device.h"
#include "DeviceNames.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CDriverLibrary;

struct FoundBoard {
    BoardRecord record;
    bool viaLibrary = false;
    // Why a board the driver lists cannot be used (it does not open or does not answer); empty when it can.
    std::string error;
};

// How the driver library is chosen: a named file, the bundled simulator, or the machine-wide setting.
struct LibraryChoice {
    std::string path; // --driver-library
    bool demo = false;
};

// The number of another usable board (one that answered) with the same ID as board `number`, or none.
// Results are filed by board ID, so a board that shares its ID must fail its identity step, naming this
// other board. A board that did not answer has no known ID and shares none.
std::optional<size_t> SharedIdWith(const std::vector<FoundBoard>& boards, size_t number);

// The kernel driver's boards in probe order (VELTRIN0..9, then 433_0..9): an absent name is no board; a
// board that is there but busy, not permitted or not answering stays listed with the reason, so the
// boards after it keep their numbers.
std::vector<FoundBoard> ListKernelBoards();

class CBoardSet {
public:
    // Loads the library (a library that was asked for but cannot be loaded is a device error) and finds
    // the boards.
    explicit CBoardSet(const LibraryChoice& choice);
    ~CBoardSet();
    CBoardSet(const CBoardSet&) = delete;
    CBoardSet& operator=(const CBoardSet&) = delete;

    const std::vector<FoundBoard>& Boards() const { return m_boards; }
    // The board a command names by list number or as "id:N"; no such board is a usage error (exit 2), a
    // board that is listed but cannot be used a device error (exit 3).
    const FoundBoard& Board(const std::string& word) const;
    // The list number of the board a word names (usage error when there is none, and for an "id:N" that
    // two boards share).
    size_t Number(const std::string& word) const;
    // The number of another board with the same ID as board `number`, when there is one.
    std::optional<size_t> SharedIdWith(size_t number) const { return ::SharedIdWith(m_boards, number); }
    CDriverLibrary* LibraryFor(const FoundBoard& board) const { return board.viaLibrary ? m_library.get() : nullptr; }

private:
    std::unique_ptr<CDriverLibrary> m_library;
    std::vector<FoundBoard> m_boards;
};

// One board's devices, opened as the board dialog opens them; a device that does not open stays null.
struct OpenBoard {
    FoundBoard found;
    const BoardModel* model = nullptr;
    std::unique_ptr<CDevice> cfg;
    std::unique_ptr<CDevice> left;
    std::unique_ptr<CDevice> right;
    std::array<std::unique_ptr<CDevice>, kMaxLines> lineIn;
    std::array<std::unique_ptr<CDevice>, kMaxLines> lineOut;

    int Lines() const;
    // The configuration device, or a device error when it did not open.
    CDevice& Cfg() const;
    // The line's input device, checked against the board's lines; a line the board lacks is a usage error.
    CDevice& LineIn(int line) const;
    CDevice& LineOut(int line) const;
};

// Opens the configuration and stereo output devices and the lines the board has.
std::unique_ptr<OpenBoard> OpenBoardDevices(const CBoardSet& set, const FoundBoard& board);
