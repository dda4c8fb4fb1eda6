// Discovery through the real simulator library: order, index -1, a failing board left out.
#include "BoardDiscovery.h"
#include "DriverLibrary.h"
#include "SimLibraryConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

TEST(LibraryDiscovery, ListsLibraryBoardsWithIndexMinusOne) {
    ASSERT_TRUE(g_simLibraryConfigured);
    auto library = LoadDriverLibrary(SIM_DRIVER);
    ASSERT_NE(library, nullptr);
    const auto boards = FindBoards(library.get());
    ASSERT_EQ(boards.size(), 3u);
    EXPECT_EQ(boards[0], (BoardRecord{"VSIM0", "KVR R310", -1, 0x310, 200, 8}));
    EXPECT_EQ(boards[1], (BoardRecord{"VSIM1", "KVR R330D", -1, 0x330D, 501, 4}));
    EXPECT_EQ(boards[2], (BoardRecord{"VSIM2", "KVR R340", -1, 0x340, 300, 8}));
    // Discovery closed every configuration device again.
    EXPECT_NE(OpenDevice(library.get(), "VSIM0", "VELTRIN_CFG"), nullptr);
}

TEST(LibraryDiscovery, LibraryWithoutEnumerationFindsNothing) {
    auto library = LoadDriverLibrary(INCOMPLETE_DRIVER);
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(FindBoards(library.get()).empty());
}

TEST(LibraryDiscovery, AsksEachBoardForItsInformationAndClosesItBeforeTheNext) {
    auto library = LoadDriverLibrary(RECORDING_DRIVER);
    ASSERT_NE(library, nullptr);
    const auto boards = FindBoards(library.get());
    // The board answering with a success flag of 2 is left out.
    EXPECT_EQ(boards,
              (std::vector<BoardRecord>{{"REC0", "Board0", -1, 0x310, 100, 8}, {"REC2", "Board2", -1, 0x310, 102, 8}}));
    std::string expected = "GetDeviceCount 0\n";
    for (int n = 0; n < 3; ++n) {
        const std::string handle = std::to_string(10 + n);
        expected += "GetDeviceName " + std::to_string(n) + "\nCreate REC" + std::to_string(n) +
                    "\\VELTRIN_CFG\nDevIoControl " + handle + " 0x22247C 0/12\nDevIoControl " + handle +
                    " 0x222470 0/66\nClose " + handle + "\n";
    }
    using RecordedCallsFn = const char* (*)();
    const auto recorded = library->Function<RecordedCallsFn>("RecordedCalls");
    ASSERT_NE(recorded, nullptr);
    EXPECT_EQ(std::string(recorded()), expected); // never 0x222474 on this route
}
