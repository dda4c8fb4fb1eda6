// The kernel probe: names in order, the three queries, boards left out, devices closed.
#include "BoardDiscovery.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

namespace {

sim::BoardConfig KernelBoard(const char* base, uint32_t type, uint32_t id, uint32_t channels) {
    sim::BoardConfig config{type, id, channels, "", base};
    return config;
}

} // namespace

TEST(KernelDiscovery, ProbesBothPrefixesInOrderWithThreeQueries) {
    auto log = std::make_shared<RequestLog>();
    std::vector<std::string> opened;
    const auto boards = ProbeKernelBoards([&](const std::string& name) -> std::unique_ptr<CDevice> {
        opened.push_back(name);
        if (name != "\\\\.\\433_2\\VELTRIN_CFG")
            return nullptr;
        auto device = std::make_unique<RecordingDevice>("cfg", log);
        BoardInformation info{"KVR R320", 0x320, 77, 8, 0};
        const auto bytes = info.Encode();
        device->Answer(req::kGetBoardInfo, {1, {bytes.begin(), bytes.end()}});
        return device;
    });
    ASSERT_EQ(opened.size(), 20u);
    EXPECT_EQ(opened[0], "\\\\.\\VELTRIN0\\VELTRIN_CFG");
    EXPECT_EQ(opened[9], "\\\\.\\VELTRIN9\\VELTRIN_CFG");
    EXPECT_EQ(opened[10], "\\\\.\\433_0\\VELTRIN_CFG");
    EXPECT_EQ(opened[19], "\\\\.\\433_9\\VELTRIN_CFG");

    const auto calls = log->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].code, req::kPrepareBoard);
    EXPECT_EQ(calls[0].outputSize, 12u);
    EXPECT_EQ(calls[1].code, req::kGetBoardInfo);
    EXPECT_EQ(calls[1].outputSize, 66u);
    EXPECT_EQ(calls[2].code, req::kConfirmBoard);
    EXPECT_EQ(calls[2].outputSize, 8u);
    for (const auto& call : calls)
        EXPECT_TRUE(call.input.empty());

    ASSERT_EQ(boards.size(), 1u);
    EXPECT_EQ(boards[0], (BoardRecord{"\\\\.\\433_2", "KVR R320", 2, 0x320, 77, 8}));
}

class KernelDiscoveryWithSimulator : public ::testing::Test {
protected:
    SimFixtureBoards m_sim{{
        KernelBoard("\\\\.\\VELTRIN0", 0x310, 200, 8),
        KernelBoard("\\\\.\\VELTRIN3", 0x330D, 501, 4),
        KernelBoard("\\\\.\\VELTRIN4", 0x340, 9, 8),
        KernelBoard("\\\\.\\VELTRIN5", 0x350, 10, 8),
        KernelBoard("\\\\.\\433_3", 0x320, 42, 2),
    }};
    std::vector<BoardRecord> Probe() {
        return ProbeKernelBoards([this](const std::string& name) { return SimDevice::Open(*m_sim.simulator, name); });
    }
};

TEST_F(KernelDiscoveryWithSimulator, ListsBoardsInProbeOrderSharingIndexesAcrossPrefixes) {
    const auto boards = Probe();
    ASSERT_EQ(boards.size(), 5u);
    EXPECT_EQ(boards[0], (BoardRecord{"\\\\.\\VELTRIN0", "KVR R310", 0, 0x310, 200, 8}));
    EXPECT_EQ(boards[1], (BoardRecord{"\\\\.\\VELTRIN3", "KVR R330D", 3, 0x330D, 501, 4}));
    EXPECT_EQ(boards[4], (BoardRecord{"\\\\.\\433_3", "KVR R320", 3, 0x320, 42, 2}));
    EXPECT_EQ(m_sim.simulator->OpenCount(), 0u);
}

TEST_F(KernelDiscoveryWithSimulator, LeavesOutBoardsThatFailOrAnswerShortAndClosesThemAll) {
    auto& faults = m_sim.simulator->FaultInjection();
    faults.Add({sim::FaultRule::Kind::Fail, "\\\\.\\VELTRIN3", req::kConfirmBoard});
    faults.Add({sim::FaultRule::Kind::Fail, "\\\\.\\VELTRIN4", req::kGetBoardInfo});
    faults.Add({sim::FaultRule::Kind::Short, "\\\\.\\VELTRIN5", req::kGetBoardInfo, 1});
    faults.Add({sim::FaultRule::Kind::Fail, "\\\\.\\VELTRIN0", req::kPrepareBoard}); // its result is not used
    const auto boards = Probe();
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[0].devicePath, "\\\\.\\VELTRIN0");
    EXPECT_EQ(boards[1].devicePath, "\\\\.\\433_3");
    EXPECT_EQ(m_sim.simulator->OpenCount(), 0u);
    // Every configuration device can be opened again.
    EXPECT_NE(SimDevice::Open(*m_sim.simulator, "\\\\.\\VELTRIN3\\VELTRIN_CFG"), nullptr);
}

TEST_F(KernelDiscoveryWithSimulator, BusyDeviceIsSkipped) {
    auto held = SimDevice::Open(*m_sim.simulator, "\\\\.\\VELTRIN0\\VELTRIN_CFG");
    ASSERT_NE(held, nullptr);
    const auto boards = Probe();
    ASSERT_EQ(boards.size(), 4u);
    EXPECT_EQ(boards[0].index, 3);
}
