// Every request in the catalogue under every answer fault: the operation that sends it reports what the
// pages show (or stays silent), nothing reads past a buffer, and the same operation works once the fault ends.
#include "BoardDiscovery.h"
#include "BoardMaintenance.h"
#include "CalibrationRequests.h"
#include "DeviceNames.h"
#include "LineRequests.h"
#include "RequestCodes.h"
#include "SimFixture.h"
#include "StreamRequests.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

// What the operation did: success, and the message the page shows for it (empty: nothing shown).
struct Outcome {
    bool ok = false;
    QString message;
};

Outcome Flag(bool ok) { return {ok, {}}; }
Outcome Checked(const Failure& failure) { return {!failure, failure.value_or(QString())}; }

// Boards: an old-family board with lines, a new-family line-options board, a short-state board and one
// left closed for the probe.
struct Rig {
    SimFixtureBoards sim{
        {{0x310, 200, 8, "", ""}, {0x330D, 501, 4, "", ""}, {0x310D, 410, 4, "", ""}, {0x310, 300, 8, "", ""}}};
    std::unique_ptr<CDevice> oldCfg = sim.Open(0, kConfigLeaf);
    std::unique_ptr<CDevice> newCfg = sim.Open(1, kConfigLeaf);
    std::unique_ptr<CDevice> lineIn = sim.Open(0, LineInLeaf(0));
    std::unique_ptr<CDevice> shortLineIn = sim.Open(2, LineInLeaf(0));
    std::unique_ptr<CDevice> left = sim.Open(0, kLeftOutputLeaf);
    std::unique_ptr<CDevice> newLeft = sim.Open(1, kLeftOutputLeaf);

    // The kernel probe over the last board as "\\.\VELTRIN0"; succeeds when it lists that board.
    bool Discovers() {
        const auto boards = ProbeKernelBoards([this](const std::string& name) -> std::unique_ptr<CDevice> {
            const std::string base = "\\\\.\\VELTRIN0\\";
            return name.rfind(base, 0) == 0 ? sim.Open(3, name.substr(base.size())) : nullptr;
        });
        return boards.size() == 1 && boards[0].boardId == 300;
    }
};

// The faults an operation still succeeds under (by design, e.g. an answer whose length is not checked).
enum Survives : unsigned { kNone = 0, kShort = 1, kAll = 7 };

struct Row {
    uint32_t code;
    const char* operation;
    std::function<Outcome(Rig&)> run;
    unsigned survives;
    QString failMessage; // shown when the operation fails
};

const QString kCannotStart = "Cann't start DSP memory operation";
const QString kCannotGetId = "Cann't get board ID";
const QString kMemoryFailed = "DSP memory operation isn't succesful";

Outcome ReadWords(Rig& r) {
    std::array<uint8_t, 32> words{};
    uint32_t got = 0;
    const MemoryOperation op{0x7500, 16, MemoryOperation::kRead, static_cast<uint16_t>(MemoryKind::Daram)};
    Outcome outcome = Checked(ReadMemory(*r.oldCfg, op, words.data(), sizeof words, &got));
    outcome.ok = outcome.ok && got <= sizeof words;
    return outcome;
}

Outcome Attenuation(CDevice& device, bool second) {
    const auto block = GetAttenuation(device, second);
    return Flag(block && SetAttenuation(device, second, *block));
}

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {req::kResetDsp, "reset DSP", [](Rig& r) { return Flag(ResetDsp(*r.oldCfg)); }, kShort, {}},
        {req::kLoadProgram,
         "reset and load default program",
         [](Rig& r) { return Flag(ResetDsp(*r.oldCfg) && LoadProgram(*r.oldCfg, false)); },
         kShort,
         {}},
        {req::kMemoryStart, "read memory", ReadWords, kShort, kCannotStart},
        {req::kMemoryData, "read memory", ReadWords, kShort, kMemoryFailed},
        {req::kMemoryData, "read old-family ID", [](Rig& r) { return Checked(ReadBoardId(*r.oldCfg, false).failure); },
         kNone, kCannotGetId},
        {req::kMemoryData, "write old-family ID", [](Rig& r) { return Checked(WriteBoardId(*r.oldCfg, false, 200)); },
         kShort, "Cann't write board ID"},
        {req::kMemoryData, "write board prefix", [](Rig& r) { return Checked(WriteBoardPrefix(*r.oldCfg, 0x310)); },
         kShort, "Cann't write board prefix"},
        {req::kSetLeftRate,
         "set left rate",
         [](Rig& r) { return Flag(SetOutputRate(*r.oldCfg, 0, 48000)); },
         kShort,
         {}},
        {req::kSetRightRate,
         "set right rate",
         [](Rig& r) { return Flag(SetOutputRate(*r.oldCfg, 1, 48000)); },
         kShort,
         {}},
        {req::kSetCodecRate, "set codec rate", [](Rig& r) { return Flag(SetCodecRate(*r.oldCfg, 16000)); }, kShort, {}},
        {req::kGetLeftRate,
         "left rate",
         [](Rig& r) { return Flag(GetOutputRate(*r.oldCfg, 0).has_value()); },
         kNone,
         {}},
        {req::kGetRightRate,
         "right rate",
         [](Rig& r) { return Flag(GetOutputRate(*r.oldCfg, 1).has_value()); },
         kNone,
         {}},
        {req::kGetCodecRate, "codec rate", [](Rig& r) { return Flag(GetCodecRate(*r.oldCfg).has_value()); }, kNone, {}},
        {req::kCalibrationStep,
         "calibration step",
         [](Rig& r) { return Flag(RunCalibrationStep(*r.oldCfg, 0, 0)); },
         kShort,
         {}},
        {req::kApplyCalibration,
         "calibrate line 0",
         [](Rig& r) {
             bool ok = true;
             for (uint16_t step = 0; step < 3; ++step)
                 ok = RunCalibrationStep(*r.oldCfg, 0, step) && ok;
             return Flag(ApplyCalibration(*r.oldCfg) && ok);
         },
         kShort,
         {}},
        {req::kSetMaxVoltage,
         "set maximum voltage",
         [](Rig& r) { return Flag(SetMaxVoltage(*r.oldCfg, 100)); },
         kShort,
         {}},
        {req::kGetMaxVoltage,
         "maximum voltage",
         [](Rig& r) {
             uint16_t volts = 0;
             return Flag(GetMaxVoltage(*r.oldCfg, &volts));
         },
         kShort,
         {}},
        {req::kGetBoardInfo, "find boards", [](Rig& r) { return Flag(r.Discovers()); }, kNone, {}},
        {req::kGetBoardInfo, "read new-family ID", [](Rig& r) { return Checked(ReadBoardId(*r.newCfg, true).failure); },
         kShort, kCannotGetId},
        // The probe sends these for the driver's sake and ignores or only checks the flag of the answer.
        {req::kConfirmBoard, "find boards", [](Rig& r) { return Flag(r.Discovers()); }, kShort, {}},
        {req::kPrepareBoard, "find boards", [](Rig& r) { return Flag(r.Discovers()); }, kAll, {}},
        {req::kWatchdogStart,
         "start watchdog",
         [](Rig& r) { return Flag(StartWatchdog(*r.oldCfg, 1000)); },
         kShort,
         {}},
        {req::kWatchdogStop, "stop watchdog", [](Rig& r) { return Flag(StopWatchdog(*r.oldCfg)); }, kShort, {}},
        {req::kWatchdogKick, "kick watchdog", [](Rig& r) { return Flag(KickWatchdog(*r.oldCfg)); }, kShort, {}},
        {req::kWriteBoardId, "write new-family ID", [](Rig& r) { return Checked(WriteBoardId(*r.newCfg, true, 501)); },
         kShort, "Cann't write board ID"},
        {req::kPushSwitch, "push switch", [](Rig& r) { return Flag(SetPushSwitch(*r.oldCfg, true)); }, kShort, {}},
        {req::kGetLineState, "line state", [](Rig& r) { return Flag(GetLineState(*r.lineIn).has_value()); }, kNone, {}},
        {req::kGetLineState,
         "short line state",
         [](Rig& r) { return Flag(GetLineStateShort(*r.shortLineIn).has_value()); },
         kNone,
         {}},
        {req::kSetLineState,
         "hook up and down",
         [](Rig& r) {
             LineState command;
             command.digit = LineState::kNoDigit;
             command.state = LineState::kHookUp;
             const bool up = SetLineState(*r.lineIn, command);
             command.state = LineState::kHookDown;
             return Flag(SetLineState(*r.lineIn, command) && up);
         },
         kShort,
         {}},
        {req::kSetLineState,
         "set short line state",
         [](Rig& r) {
             const auto state = GetLineStateShort(*r.shortLineIn);
             return Flag(state && SetLineStateShort(*r.shortLineIn, *state));
         },
         kShort,
         {}},
        {req::kGetLineSettings,
         "line settings",
         [](Rig& r) { return Flag(GetLineSettings(*r.lineIn).has_value()); },
         kNone,
         {}},
        {req::kSetLineSettings,
         "set line settings",
         [](Rig& r) {
             const auto settings = GetLineSettings(*r.lineIn);
             return Flag(settings && SetLineSettings(*r.lineIn, *settings));
         },
         kShort,
         {}},
        {req::kInterfacePower,
         "interface power",
         [](Rig& r) { return Flag(SetInterfacePower(*r.lineIn, true)); },
         kShort,
         {}},
        {req::kGetAmplitudes,
         "line levels",
         [](Rig& r) { return Flag(GetLineLevels(*r.shortLineIn).has_value()); },
         kNone,
         {}},
        {req::kSetAmplitudes,
         "set line levels",
         [](Rig& r) {
             const auto levels = GetLineLevels(*r.shortLineIn);
             return Flag(levels && SetLineLevels(*r.shortLineIn, *levels));
         },
         kShort,
         {}},
        {req::kStream,
         "start and stop",
         [](Rig& r) {
             const bool started = SendStreamCommand(*r.left, StreamCommand::kStart);
             return Flag(SendStreamCommand(*r.left, StreamCommand::kStop) && started);
         },
         kShort,
         {}},
        {req::kGetCounters, "counters", [](Rig& r) { return Flag(GetStreamCounters(*r.left).has_value()); }, kNone, {}},
        {req::kSetAttenuation, "attenuation", [](Rig& r) { return Attenuation(*r.left, false); }, kShort, {}},
        {req::kGetAttenuation, "attenuation", [](Rig& r) { return Attenuation(*r.left, false); }, kNone, {}},
        {req::kGetBufferState,
         "buffer state",
         [](Rig& r) { return Flag(GetBufferState(*r.left).has_value()); },
         kNone,
         {}},
        {req::kGetAttenuation2,
         "second set offered",
         [](Rig& r) { return Flag(AnswersSecondSet(*r.newLeft)); },
         kShort,
         {}},
        {req::kGetAttenuation2,
         "second-set attenuation",
         [](Rig& r) { return Attenuation(*r.newLeft, true); },
         kNone,
         {}},
        {req::kSetAttenuation2,
         "second-set attenuation",
         [](Rig& r) { return Attenuation(*r.newLeft, true); },
         kShort,
         {}},
        {req::kSyncCodecInput,
         "synchronous codec input",
         [](Rig& r) {
             const bool started = SendStreamCommand(*r.lineIn, StreamCommand::kStart, true);
             return Flag(SendStreamCommand(*r.lineIn, StreamCommand::kStop, true) && started);
         },
         kShort,
         {}},
        {req::kOutputMode, "routing mode", [](Rig& r) { return Flag(SetWorkMode(*r.left, 3)); }, kShort, {}},
    };
    return rows;
}

TEST(FaultMatrix, EveryRequestUnderEveryFault) {
    std::set<uint32_t> covered;
    for (const Row& row : Rows())
        covered.insert(row.code);
    for (const req::RequestInfo& request : req::kAllRequests)
        EXPECT_TRUE(covered.count(request.code)) << request.name << " has no row in the fault matrix";

    for (const Row& row : Rows()) {
        const std::pair<sim::FaultRule::Kind, unsigned> faults[] = {
            {sim::FaultRule::Kind::Short, kShort}, {sim::FaultRule::Kind::Fail, 2}, {sim::FaultRule::Kind::Over, 4}};
        for (const auto& [kind, bit] : faults) {
            SCOPED_TRACE(testing::Message() << row.operation << ", code 0x" << std::hex << row.code << ", fault "
                                            << static_cast<int>(kind));
            Rig rig;
            ASSERT_TRUE(rig.Discovers()); // every device open and the board answering
            rig.sim.simulator->FaultInjection().Add({kind, "*", row.code, 4, -1});
            const Outcome faulted = row.run(rig);
            const bool expectOk = (row.survives & bit) != 0;
            EXPECT_EQ(faulted.ok, expectOk);
            EXPECT_EQ(faulted.message, expectOk ? QString() : row.failMessage);

            rig.sim.simulator->FaultInjection().Clear();
            const Outcome after = row.run(rig);
            EXPECT_TRUE(after.ok) << "the operation does not work again once the fault is gone";
            EXPECT_TRUE(after.message.isEmpty()) << after.message.toStdString();
        }
    }
}

} // namespace
