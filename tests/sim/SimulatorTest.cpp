// The simulated driver: device names, exclusivity, strict requests, fault injection, the environment.
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

struct SimulatorTest : ::testing::Test {
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}, {0x330D, 501, 4, "", ""}}};
    sim::Simulator& s() { return *sim.simulator; }
};

} // namespace

TEST_F(SimulatorTest, OffersNineteenDevicesOnAnEightLineBoardAndOnlyExistingLinesOnOthers) {
    std::vector<std::unique_ptr<CDevice>> devices;
    for (int n = 0; n < 8; ++n) {
        devices.push_back(sim.Open(0, "PHONE_LINE" + std::to_string(n) + "_IN_DEV"));
        devices.push_back(sim.Open(0, "PHONE_LINE" + std::to_string(n) + "_OUT_DEV"));
    }
    devices.push_back(sim.Open(0, "LINE_OUT_LEFT"));
    devices.push_back(sim.Open(0, "LINE_OUT_RIGHT"));
    devices.push_back(sim.Open(0, "VELTRIN_CFG"));
    for (const auto& device : devices)
        EXPECT_NE(device, nullptr);
    EXPECT_EQ(s().OpenCount(), 19u);

    EXPECT_NE(sim.Open(1, "PHONE_LINE3_IN_DEV"), nullptr);
    EXPECT_EQ(sim.Open(1, "PHONE_LINE4_IN_DEV"), nullptr);
    EXPECT_EQ(sim.Open(1, "NO_SUCH_LEAF"), nullptr);
    EXPECT_EQ(s().Create("VSIM9\\VELTRIN_CFG"), -1);
    EXPECT_EQ(s().Create("no separator"), -1);
}

TEST_F(SimulatorTest, SecondOpenFailsUntilTheFirstCloses) {
    auto first = sim.Open(0, "VELTRIN_CFG");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sim.Open(0, "VELTRIN_CFG"), nullptr);
    EXPECT_NE(sim.Open(1, "VELTRIN_CFG"), nullptr); // another board's device is another device
    first.reset();
    EXPECT_NE(sim.Open(0, "VELTRIN_CFG"), nullptr);
}

TEST_F(SimulatorTest, AnswersDiscoveryQueriesOnlyWithTheirExactSizes) {
    auto cfg = sim.Open(1, "VELTRIN_CFG");
    uint8_t block[80];
    uint32_t returned = 0;
    ASSERT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 1u);
    EXPECT_EQ(returned, 66u);
    const auto info = BoardInformation::Decode(block, returned);
    EXPECT_EQ(info->name, "KVR R330D");
    EXPECT_EQ(info->boardId, 501u);
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 80, &returned), 0u);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(cfg->DevIoControl(req::kPrepareBoard, nullptr, 0, block, 12, &returned), 1u);
    EXPECT_EQ(cfg->DevIoControl(req::kConfirmBoard, nullptr, 0, block, 8, &returned), 1u);
    EXPECT_EQ(cfg->DevIoControl(req::kConfirmBoard, nullptr, 0, block, 12, &returned), 0u);
    EXPECT_EQ(cfg->DevIoControl(0x2224FC, nullptr, 0, nullptr, 0, &returned), 0u); // not in the catalogue

    auto line = sim.Open(1, "PHONE_LINE0_IN_DEV");
    EXPECT_EQ(line->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 0u); // wrong device
}

TEST_F(SimulatorTest, InjectedFaultsFailShortenRefuseAndVanish) {
    auto& faults = s().FaultInjection();
    faults.Add({sim::FaultRule::Kind::Fail, "VSIM0\\VELTRIN_CFG", req::kGetBoardInfo, 1, 1});
    faults.Add({sim::FaultRule::Kind::Short, "VELTRIN_CFG", req::kGetBoardInfo, 10, 1});
    faults.Add({sim::FaultRule::Kind::Refuse, "VSIM0\\LINE_OUT_LEFT", 0, 1, 1});
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    uint8_t block[66];
    uint32_t returned = 0;
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 0u); // fails once
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 1u);
    EXPECT_EQ(returned, 56u); // then answers short once
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 1u);
    EXPECT_EQ(returned, 66u);
    EXPECT_EQ(sim.Open(0, "LINE_OUT_LEFT"), nullptr); // refused once
    auto left = sim.Open(0, "LINE_OUT_LEFT");
    EXPECT_NE(left, nullptr);

    faults.Add({sim::FaultRule::Kind::Vanish, "VSIM0", 0, 1, 1});
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 0u);
    EXPECT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 0u); // gone for good
    EXPECT_EQ(s().OpenCount(), 1u); // the left output is still open; the vanished handle is not counted
}

TEST(SimulatorEnvironment, BadBoardTextFallsBackToTheDefaultSet) {
    ::setenv("VELTRIN_SIM_BOARDS", "0x310:banana", 1);
    ::setenv("VELTRIN_SIM_FAULTS", "nonsense", 1);
    testing::internal::CaptureStderr();
    auto simulator = sim::Simulator::FromEnvironment();
    const std::string messages = testing::internal::GetCapturedStderr();
    ::unsetenv("VELTRIN_SIM_BOARDS");
    ::unsetenv("VELTRIN_SIM_FAULTS");
    EXPECT_EQ(simulator->DeviceCount(), sim::DefaultBoards().size());
    EXPECT_NE(messages.find("VELTRIN_SIM_BOARDS: bad board ID \"banana\""), std::string::npos) << messages;
    EXPECT_NE(messages.find("VELTRIN_SIM_FAULTS"), std::string::npos);
}

TEST_F(SimulatorTest, DevicesOfOneBoardCanBeUsedFromSeveralThreadsAtOnce) {
    // A worker streams on one device while the user-interface thread queries another and pages open
    // and close devices: the handle table and the board must stay consistent.
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    std::atomic<int> answered{0};
    auto query = [&] {
        uint8_t block[66];
        uint32_t returned = 0;
        for (int i = 0; i < 2000; ++i)
            if (cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned) && returned == 66)
                ++answered;
    };
    auto reopen = [&] {
        for (int i = 0; i < 2000; ++i) {
            auto left = sim.Open(0, "LINE_OUT_LEFT");
            uint8_t sample[4] = {};
            uint32_t done = 0;
            if (left)
                left->Write(sample, sizeof sample, &done);
        }
    };
    std::thread a(query), b(query), c(reopen);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(answered.load(), 4000);
    EXPECT_EQ(s().OpenCount(), 1u);
}

TEST_F(SimulatorTest, AnyRequestBetweenAMemoryStartAndItsDataEndsTheOperation) {
    auto cfg = sim.Open(0, "VELTRIN_CFG");
    // Read 4 words of DSP memory at 0x7500: start address, count, direction 0, memory 0.
    const auto start = Le32({0x7500, 4});
    std::vector<uint8_t> operation(start);
    operation.insert(operation.end(), {0, 0, 0, 0});
    uint8_t words[8];
    uint8_t info[66];
    uint32_t returned = 0;
    ASSERT_EQ(cfg->DevIoControl(req::kMemoryStart, operation.data(), 12, nullptr, 0, &returned), 1u);
    ASSERT_EQ(cfg->DevIoControl(req::kMemoryData, nullptr, 0, words, 8, &returned), 1u);
    EXPECT_EQ(returned, 8u);

    ASSERT_EQ(cfg->DevIoControl(req::kMemoryStart, operation.data(), 12, nullptr, 0, &returned), 1u);
    ASSERT_EQ(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, info, 66, &returned), 1u);
    EXPECT_EQ(cfg->DevIoControl(req::kMemoryData, nullptr, 0, words, 8, &returned), 0u);
}
