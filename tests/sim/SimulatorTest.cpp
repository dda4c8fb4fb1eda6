// The simulated driver: device names, exclusivity, strict requests, fault injection, the environment.
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <random>
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

namespace {
// Waits, for at most two seconds, until the simulator holds `count` requests.
bool HoldsWithin(const sim::Simulator& simulator, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (simulator.HangingCount() != count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
} // namespace

TEST_F(SimulatorTest, HungRequestsWaitForTheirOwnHandlesCancelOrCloseAndThenFail) {
    enum class Op { Control, Read, Write };
    struct Case {
        const char* rule;  // the fault's device
        uint32_t ruleCode; // 0: any request, reads and writes too
        const char* leaf;
        Op op;
        bool byClose;     // released by Close rather than Cancel
        bool earlyCancel; // a Cancel before the request must not release it
    };
    const Case cases[] = {
        {"VSIM0\\VELTRIN_CFG", req::kGetBoardInfo, "VELTRIN_CFG", Op::Control, false, false},
        {"VELTRIN_CFG", 0, "VELTRIN_CFG", Op::Control, true, false},
        {"VSIM0", 0, "PHONE_LINE2_IN_DEV", Op::Read, false, true},
        {"*", 0, "LINE_OUT_LEFT", Op::Write, true, false},
        {"LINE_OUT_RIGHT", 0, "LINE_OUT_RIGHT", Op::Write, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " " + c.leaf);
        s().FaultInjection().Clear();
        s().FaultInjection().Add({sim::FaultRule::Kind::Hang, c.rule, c.ruleCode, 1, 1});
        const int32_t handle = s().Create(std::string("VSIM0\\") + c.leaf);
        ASSERT_GT(handle, 0);
        if (c.earlyCancel) {
            EXPECT_EQ(s().Cancel(handle), 1u);
        }
        auto request = std::async(std::launch::async, [&] {
            uint8_t block[66] = {};
            uint32_t count = 99;
            uint32_t ok = 0;
            if (c.op == Op::Control)
                ok = s().Control(handle, req::kGetBoardInfo, nullptr, 0, block, 66, &count);
            else if (c.op == Op::Read)
                ok = s().Read(handle, block, 64, &count);
            else
                ok = s().Write(handle, block, 64, &count);
            return std::pair{ok, count};
        });
        ASSERT_TRUE(HoldsWithin(s(), 1));
        // The rest of the board answers meanwhile.
        auto other = sim.Open(1, "VELTRIN_CFG");
        uint8_t info[66];
        uint32_t returned = 0;
        EXPECT_EQ(other->DevIoControl(req::kGetBoardInfo, nullptr, 0, info, 66, &returned), 1u);
        EXPECT_EQ(request.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);

        EXPECT_EQ(c.byClose ? s().Close(handle) : s().Cancel(handle), 1u);
        ASSERT_EQ(request.wait_for(std::chrono::seconds(2)), std::future_status::ready);
        EXPECT_EQ(request.get(), (std::pair<uint32_t, uint32_t>{0, 0}));
        EXPECT_EQ(s().HangingCount(), 0u);
        if (!c.byClose) {
            // The fault fired once; the handle works again.
            if (c.op == Op::Control) {
                EXPECT_EQ(s().Control(handle, req::kGetBoardInfo, nullptr, 0, info, 66, &returned), 1u);
            }
            EXPECT_EQ(s().Close(handle), 1u);
        }
        EXPECT_EQ(s().Cancel(handle), 0u); // closed
    }
}

TEST(SimulatorHang, EndingTheSimulatorReleasesAHeldRequest) {
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}}};
    sim.simulator->FaultInjection().Add({sim::FaultRule::Kind::Hang, "*", 0, 1, -1});
    const int32_t handle = sim.simulator->Create("VSIM0\\VELTRIN_CFG");
    std::atomic<uint32_t> ok{1};
    std::thread request([&] {
        uint8_t info[66];
        uint32_t returned = 0;
        ok = sim.simulator->Control(handle, req::kGetBoardInfo, nullptr, 0, info, 66, &returned);
    });
    ASSERT_TRUE(HoldsWithin(*sim.simulator, 1));
    sim.simulator.reset();
    request.join();
    EXPECT_EQ(ok.load(), 0u);
}

TEST_F(SimulatorTest, StaleAnswersRepeatThePreviousAnswerOfThatCodeOnThatDevice) {
    // Seeded: max-voltage writes, stale faults armed on one board or another (for that code or any) and
    // reads, against a model in which a stale read sees what the last fresh read of that board saw.
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::unique_ptr<CDevice> cfg[2] = {sim.Open(0, "VELTRIN_CFG"), sim.Open(1, "VELTRIN_CFG")};
    uint16_t actual[2] = {0, 0};
    std::optional<uint16_t> lastFresh[2];
    int armed[2] = {0, 0};
    for (int step = 0; step < 600; ++step) {
        const int b = static_cast<int>(random() % 2);
        switch (random() % 3) {
        case 0: {
            const auto volts = static_cast<uint16_t>(1 + random() % 65535);
            const auto block = Le16({volts});
            uint32_t returned = 0;
            ASSERT_EQ(cfg[b]->DevIoControl(req::kSetMaxVoltage, block.data(), 2, nullptr, 0, &returned), 1u);
            actual[b] = volts;
            break;
        }
        case 1:
            s().FaultInjection().Add({sim::FaultRule::Kind::Stale, "VSIM" + std::to_string(b) + "\\VELTRIN_CFG",
                                      random() % 2 ? req::kGetMaxVoltage : 0u, 1, 1});
            ++armed[b];
            break;
        default: {
            uint8_t answer[2] = {};
            uint32_t returned = 0;
            ASSERT_EQ(cfg[b]->DevIoControl(req::kGetMaxVoltage, nullptr, 0, answer, 2, &returned), 1u);
            ASSERT_EQ(returned, 2u);
            const auto seen = static_cast<uint16_t>(answer[0] | answer[1] << 8);
            if (actual[b] == 0) { // nothing written yet: learn the board's own value
                actual[b] = seen;
            }
            if (armed[b] > 0) {
                --armed[b];
                ASSERT_EQ(seen, lastFresh[b].value_or(actual[b])) << "step " << step;
                lastFresh[b] = seen;
            } else {
                ASSERT_EQ(seen, actual[b]) << "step " << step;
                lastFresh[b] = seen;
            }
        }
        }
    }
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
