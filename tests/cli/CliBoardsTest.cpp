// The command line's board list: busy kernel boards keep their numbers, and boards sharing an ID are found.
#include "CliBoards.h"
#include "PhysicalDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(CliBoards, AbsentNamesAreSkippedWhileBusyAndSilentBoardsKeepTheirNumbers) {
    const fs::path root = fs::temp_directory_path() / ("veltrin-cli-dev-" + std::to_string(::getpid()));
    // Plain files open like devices but answer no request: present boards that do not answer.
    for (const char* base : {"VELTRIN0", "VELTRIN2", "VELTRIN5", "433_1"}) {
        fs::create_directories(root / base);
        std::ofstream(root / base / "VELTRIN_CFG") << "device";
    }
    ::setenv("VELTRIN_DEVICE_ROOT", root.c_str(), 1);
    {
        auto held = CPhysicalDevice::TryOpen("\\\\.\\VELTRIN2\\VELTRIN_CFG"); // another program holds board 2
        ASSERT_NE(held, nullptr);
        const auto boards = ListKernelBoards();
        ASSERT_EQ(boards.size(), 4u);
        const struct {
            const char* path;
            int index;
            const char* error;
        } expected[] = {
            {"\\\\.\\VELTRIN0", 0, "the board preparation request of \\\\.\\VELTRIN0 failed"},
            {"\\\\.\\VELTRIN2", 2, "the configuration device of \\\\.\\VELTRIN2 is busy (another program holds it)"},
            {"\\\\.\\VELTRIN5", 5, "the board preparation request of \\\\.\\VELTRIN5 failed"},
            {"\\\\.\\433_1", 1, "the board preparation request of \\\\.\\433_1 failed"},
        };
        for (size_t n = 0; n < boards.size(); ++n) {
            EXPECT_EQ(boards[n].record.devicePath, expected[n].path);
            EXPECT_EQ(boards[n].record.index, expected[n].index);
            EXPECT_EQ(boards[n].error, expected[n].error);
            EXPECT_FALSE(boards[n].viaLibrary);
        }
    }
    ::unsetenv("VELTRIN_DEVICE_ROOT");
    fs::remove_all(root);
}

TEST(CliBoards, SharedIdNamesTheOtherUsableBoard) {
    auto board = [](uint32_t id, const char* error = "") {
        FoundBoard b;
        b.record.boardId = id;
        b.error = error;
        return b;
    };
    const std::vector<FoundBoard> boards = {board(200), board(0),   board(0, "busy"), board(501),
                                            board(0),   board(200), board(7)};
    const struct {
        size_t number;
        std::optional<size_t> other;
    } cases[] = {
        {0, 5},
        {5, 0}, // two programmed boards with one ID
        {1, 4},
        {4, 1},            // two unprogrammed ones
        {2, std::nullopt}, // a board that did not answer has no known ID
        {3, std::nullopt},
        {6, std::nullopt}, // unique IDs
        {7, std::nullopt}, // no such board
    };
    for (const auto& c : cases)
        EXPECT_EQ(SharedIdWith(boards, c.number), c.other) << "board " << c.number;
}
