// The simulated board memory: memory operations, reset and program load, board ID, watchdog, push switch.
#include "BoardInfo.h"
#include "MemoryBlocks.h"
#include "MemoryImage.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct MemoryModelTest : ::testing::Test {
    SimFixtureBoards sim{{{0x310, 70000, 8, "", ""}, {0x330D, 501, 4, "", ""}}};
    std::unique_ptr<CDevice> oldCfg = sim.Open(0, "VELTRIN_CFG");
    std::unique_ptr<CDevice> newCfg = sim.Open(1, "VELTRIN_CFG");
    uint32_t returned = 0;

    uint32_t Start(CDevice& d, uint32_t start, uint32_t count, uint16_t direction, MemoryKind memory) {
        const auto b = MemoryOperation{start, count, direction, static_cast<uint16_t>(memory)}.Encode();
        return d.DevIoControl(req::kMemoryStart, b.data(), 12, nullptr, 0, &returned);
    }
    std::vector<uint16_t> Read(CDevice& d, uint32_t start, uint32_t count, MemoryKind memory) {
        std::vector<uint8_t> bytes(count * 2);
        if (!Start(d, start, count, MemoryOperation::kRead, memory) ||
            !d.DevIoControl(req::kMemoryData, nullptr, 0, bytes.data(), count * 2, &returned))
            return {};
        std::vector<uint16_t> words;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            words.push_back(static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8));
        return words;
    }
    uint32_t Write(CDevice& d, uint32_t start, std::initializer_list<uint16_t> words, MemoryKind memory) {
        const auto bytes = Le16(words);
        if (!Start(d, start, static_cast<uint32_t>(words.size()), MemoryOperation::kWrite, memory))
            return 0;
        return d.DevIoControl(req::kMemoryData, bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr, 0,
                              &returned);
    }
    uint32_t Simple(CDevice& d, uint32_t code, std::vector<uint8_t> input = {}) {
        return d.DevIoControl(code, input.data(), static_cast<uint32_t>(input.size()), nullptr, 0, &returned);
    }
    uint32_t InfoId(CDevice& d) {
        uint8_t info[66];
        d.DevIoControl(req::kGetBoardInfo, nullptr, 0, info, 66, &returned);
        return BoardInformation::Decode(info, returned)->boardId;
    }
    sim::MemoryModel& Memory(size_t board) { return sim.simulator->BoardAt(board).Memory(); }
};

} // namespace

TEST_F(MemoryModelTest, EepromHoldsTheBoardTypeAndIdAtStart) {
    EXPECT_EQ(Read(*oldCfg, kEepromTypeWord, 1, MemoryKind::Eeprom), std::vector<uint16_t>{0x310});
    EXPECT_EQ(Read(*oldCfg, kEepromIdWord, 2, MemoryKind::Eeprom), (std::vector<uint16_t>{70000 & 0xFFFF, 1}));
    EXPECT_EQ(Read(*newCfg, kEepromTypeWord, 1, MemoryKind::Eeprom), std::vector<uint16_t>{0x330D});
    EXPECT_EQ(Read(*newCfg, kEepromIdWord, 2, MemoryKind::Eeprom), (std::vector<uint16_t>{501, 0}));
}

TEST_F(MemoryModelTest, WritesReadBackAndAddressesWrapAroundTheMemory) {
    ASSERT_EQ(Write(*oldCfg, 0xFFFE, {0x1111, 0x2222, 0x3333}, MemoryKind::Daram), 1u);
    EXPECT_EQ(Read(*oldCfg, 0x1FFFE, 3, MemoryKind::Daram), (std::vector<uint16_t>{0x1111, 0x2222, 0x3333}));
    EXPECT_EQ(Memory(0).Daram()[0], 0x3333);
    // The program keeps its I/O device header at 0x7500.
    const auto header = Read(*oldCfg, sim::kIoHeaderAddress, 7, MemoryKind::Daram);
    EXPECT_EQ(header, std::vector<uint16_t>(std::begin(sim::kIoHeader), std::end(sim::kIoHeader)));
}

TEST_F(MemoryModelTest, DataPhaseMustFollowItsStartAtOnceWithMatchingDirectionAndSize) {
    uint8_t out[8];
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryData, nullptr, 0, out, 4, &returned), 0u); // nothing started
    ASSERT_EQ(Start(*oldCfg, 0, 2, MemoryOperation::kRead, MemoryKind::Daram), 1u);
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryData, nullptr, 0, out, 6, &returned), 0u); // wrong size
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryData, nullptr, 0, out, 4, &returned), 0u); // operation used up
    ASSERT_EQ(Start(*oldCfg, 0, 2, MemoryOperation::kRead, MemoryKind::Daram), 1u);
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryData, out, 4, nullptr, 0, &returned), 0u); // wrong direction
    ASSERT_EQ(Start(*oldCfg, 0, 2, MemoryOperation::kRead, MemoryKind::Daram), 1u);
    ASSERT_EQ(Simple(*oldCfg, req::kWatchdogKick), 1u); // anything in between ends the operation
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryData, nullptr, 0, out, 4, &returned), 0u);

    EXPECT_EQ(Start(*oldCfg, 0, 2, 2, MemoryKind::Daram), 0u);                            // no such direction
    EXPECT_EQ(Start(*oldCfg, 0, 2, 0, static_cast<MemoryKind>(2)), 0u);                   // no such memory
    EXPECT_EQ(Start(*oldCfg, 0, 0x10001, MemoryOperation::kRead, MemoryKind::Daram), 0u); // more than it holds
    const auto block = MemoryOperation{}.Encode();
    EXPECT_EQ(oldCfg->DevIoControl(req::kMemoryStart, block.data(), 11, nullptr, 0, &returned), 0u);
    auto line = sim.Open(0, "PHONE_LINE0_IN_DEV");
    EXPECT_EQ(Start(*line, 0, 2, MemoryOperation::kRead, MemoryKind::Daram), 0u); // configuration device only
}

TEST_F(MemoryModelTest, ProgramLoadsOnlyAfterAResetAndOnlyByAKnownName) {
    const auto name = [](const std::string& text) {
        std::vector<uint8_t> b(50, 0);
        std::copy(text.begin(), text.end(), b.begin());
        return b;
    };
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, name("prog.i00")), 0u); // running: no reset yet
    ASSERT_EQ(Simple(*oldCfg, req::kResetDsp), 1u);
    EXPECT_FALSE(Memory(0).ProgramRunning());
    EXPECT_EQ(Read(*oldCfg, sim::kIoHeaderAddress, 1, MemoryKind::Daram), std::vector<uint16_t>{0});
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, name("prog.i01")), 0u);
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, std::vector<uint8_t>(50, 'p')), 0u); // no end to the name
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, std::vector<uint8_t>(49, 0)), 0u);
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, name("prog.i00")), 1u);
    EXPECT_TRUE(Memory(0).ProgramRunning());
    EXPECT_EQ(Read(*oldCfg, sim::kIoHeaderAddress, 1, MemoryKind::Daram), std::vector<uint16_t>{sim::kIoHeader[0]});
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram, name("prog.i00")), 0u); // once per reset
    ASSERT_EQ(Simple(*oldCfg, req::kResetDsp), 1u);
    EXPECT_EQ(Simple(*oldCfg, req::kLoadProgram), 1u); // empty input: the default program
}

TEST_F(MemoryModelTest, BoardIdWritesShowInTheInformationBlock) {
    ASSERT_EQ(Simple(*newCfg, req::kWriteBoardId, Le32({0xCAFE0001})), 1u);
    EXPECT_EQ(InfoId(*newCfg), 0xCAFE0001u);
    EXPECT_EQ(Read(*newCfg, kEepromIdWord, 2, MemoryKind::Eeprom), (std::vector<uint16_t>{0x0001, 0xCAFE}));
    EXPECT_EQ(Simple(*oldCfg, req::kWriteBoardId, Le32({5})), 0u); // older boards: through the EEPROM only
    ASSERT_EQ(Write(*oldCfg, kEepromIdWord, {0x0005, 0x0001}, MemoryKind::Eeprom), 1u);
    EXPECT_EQ(InfoId(*oldCfg), 0x10005u);
}

TEST_F(MemoryModelTest, WatchdogExpiresWithoutKicksAndResetsTheDsp) {
    ASSERT_EQ(Simple(*oldCfg, req::kWatchdogStart, Le32({0})), 0u);   // could never be kicked in time
    ASSERT_EQ(Simple(*oldCfg, req::kWatchdogStart, Le32({100})), 1u); // milliseconds
    sim.clock->Advance(90ms);
    ASSERT_EQ(Simple(*oldCfg, req::kWatchdogKick), 1u);
    sim.clock->Advance(90ms);
    EXPECT_EQ(Read(*oldCfg, sim::kIoHeaderAddress, 1, MemoryKind::Daram), std::vector<uint16_t>{sim::kIoHeader[0]});
    EXPECT_EQ(Memory(0).WatchdogExpiries(), 0u);

    sim.clock->Advance(350ms); // 440 ms since the last kick: four whole intervals missed
    EXPECT_EQ(Read(*oldCfg, sim::kIoHeaderAddress, 1, MemoryKind::Daram), std::vector<uint16_t>{0});
    EXPECT_EQ(Memory(0).WatchdogExpiries(), 4u);
    EXPECT_FALSE(Memory(0).ProgramRunning());
    EXPECT_TRUE(Memory(0).WatchdogRunning());

    ASSERT_EQ(Simple(*oldCfg, req::kWatchdogStop), 1u);
    sim.clock->Advance(10s);
    EXPECT_EQ(Simple(*oldCfg, req::kWatchdogKick), 1u); // kicks are harmless when it is stopped
    EXPECT_EQ(Memory(0).WatchdogExpiries(), 4u);
}

TEST_F(MemoryModelTest, PushSwitchTakesZeroOrOne) {
    EXPECT_EQ(Simple(*oldCfg, req::kPushSwitch, Le16({1})), 1u);
    EXPECT_EQ(Memory(0).PushSwitch(), 1);
    EXPECT_EQ(Simple(*oldCfg, req::kPushSwitch, Le16({2})), 0u);
    EXPECT_EQ(Simple(*oldCfg, req::kPushSwitch, Le32({0})), 0u);
    EXPECT_EQ(Simple(*oldCfg, req::kPushSwitch, Le16({0})), 1u);
    EXPECT_EQ(Memory(0).PushSwitch(), 0);
}
