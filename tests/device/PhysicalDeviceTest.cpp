// The kernel device on POSIX: name mapping, exclusive open, the diagnostic line of a failed open.
#include "PhysicalDevice.h"
#include "DebugCapture.h"
#include "Device.h"
#include "RequestCodes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class PhysicalDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("veltrin-dev-" + std::to_string(::getpid()));
        fs::create_directories(m_root / "VELTRIN0");
        std::ofstream(m_root / "VELTRIN0" / "VELTRIN_CFG") << "device";
        ::setenv("VELTRIN_DEVICE_ROOT", m_root.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("VELTRIN_DEVICE_ROOT");
        fs::remove_all(m_root);
    }
    fs::path m_root;
};

TEST_F(PhysicalDeviceTest, MapsWindowsNamesUnderTheDeviceRoot) {
    EXPECT_EQ(CPhysicalDevice::SystemPath("\\\\.\\VELTRIN3\\PHONE_LINE2_IN_DEV"),
              (m_root / "VELTRIN3" / "PHONE_LINE2_IN_DEV").string());
    ::unsetenv("VELTRIN_DEVICE_ROOT");
    EXPECT_EQ(CPhysicalDevice::SystemPath("\\\\.\\433_0\\VELTRIN_CFG"), "/dev/433_0/VELTRIN_CFG");
}

TEST_F(PhysicalDeviceTest, OpensExclusivelyAndReopensAfterClose) {
    DebugCapture capture;
    auto first = OpenDevice(nullptr, "\\\\.\\VELTRIN0", "VELTRIN_CFG");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(capture.Lines().empty());

    auto second = OpenDevice(nullptr, "\\\\.\\VELTRIN0", "VELTRIN_CFG");
    EXPECT_EQ(second, nullptr);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "ERROR: Can't create file \\\\.\\VELTRIN0\\VELTRIN_CFG; File: PhysicalDevice.cpp Line: " +
                            lines[0].substr(lines[0].rfind(' ') + 1));
    EXPECT_TRUE(lines[0].ends_with("\r\n"));

    first.reset();
    EXPECT_NE(OpenDevice(nullptr, "\\\\.\\VELTRIN0", "VELTRIN_CFG"), nullptr);
}

TEST_F(PhysicalDeviceTest, MissingDeviceYieldsNullAndOneLine) {
    DebugCapture capture;
    EXPECT_EQ(OpenDevice(nullptr, "\\\\.\\VELTRIN5", "VELTRIN_CFG"), nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].rfind(
                  "ERROR: Can't create file \\\\.\\VELTRIN5\\VELTRIN_CFG; File: PhysicalDevice.cpp Line: ", 0),
              0u);
}

TEST_F(PhysicalDeviceTest, SilentProbeWritesNoLine) {
    DebugCapture capture;
    EXPECT_EQ(CPhysicalDevice::TryOpen("\\\\.\\VELTRIN7\\VELTRIN_CFG"), nullptr);
    EXPECT_NE(CPhysicalDevice::TryOpen("\\\\.\\VELTRIN0\\VELTRIN_CFG"), nullptr);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(PhysicalDeviceTest, SilentProbeTellsAbsentFromBusyAndFailing) {
    auto held = CPhysicalDevice::TryOpen("\\\\.\\VELTRIN0\\VELTRIN_CFG");
    ASSERT_NE(held, nullptr);
    std::ofstream(m_root / "VELTRIN1") << "a file where a folder should be";
    fs::create_directories(m_root / "VELTRIN2" / "VELTRIN_CFG"); // a folder does not open for writing
    const struct {
        const char* name;
        OpenFailure kind;
    } cases[] = {
        {"\\\\.\\VELTRIN7\\VELTRIN_CFG", OpenFailure::Absent}, {"\\\\.\\VELTRIN0\\NO_SUCH_LEAF", OpenFailure::Absent},
        {"\\\\.\\VELTRIN1\\VELTRIN_CFG", OpenFailure::Absent}, {"\\\\.\\VELTRIN0\\VELTRIN_CFG", OpenFailure::Busy},
        {"\\\\.\\VELTRIN2\\VELTRIN_CFG", OpenFailure::Failed},
    };
    DebugCapture capture;
    for (const auto& c : cases) {
        OpenError why;
        EXPECT_EQ(CPhysicalDevice::TryOpen(c.name, &why), nullptr) << c.name;
        EXPECT_EQ(why.kind, c.kind) << c.name;
        EXPECT_NE(why.systemError, 0) << c.name;
    }
    EXPECT_TRUE(capture.Lines().empty());
    held.reset();
    OpenError why{OpenFailure::Busy, 1};
    EXPECT_NE(CPhysicalDevice::TryOpen("\\\\.\\VELTRIN0\\VELTRIN_CFG", &why), nullptr);
    EXPECT_EQ(why.kind, OpenFailure::None);
}

TEST_F(PhysicalDeviceTest, ControlRequestOnANonDriverFileFailsWithNothingReturned) {
    auto device = OpenDevice(nullptr, "\\\\.\\VELTRIN0", "VELTRIN_CFG");
    ASSERT_NE(device, nullptr);
    uint8_t out[66];
    uint32_t returned = 99;
    EXPECT_EQ(device->DevIoControl(req::kGetBoardInfo, nullptr, 0, out, sizeof out, &returned), 0u);
    EXPECT_EQ(returned, 0u);
    uint8_t data[16];
    uint32_t done = 99;
    EXPECT_NE(device->Read(data, sizeof data, &done), 0u); // a plain file reads
    EXPECT_EQ(done, 6u);
}

TEST(RequestCodes, CatalogueFollowsTheControlCodeRule) {
    EXPECT_EQ(ControlCode(0x900), 0x222400u);
    EXPECT_EQ(req::kResetDsp, 0x222400u);
    EXPECT_EQ(req::kLoadProgram, 0x222404u);
    EXPECT_EQ(req::kStream, 0x222408u);
    EXPECT_EQ(req::kGetCounters, 0x22240Cu);
    EXPECT_EQ(req::kMemoryStart, 0x222410u);
    EXPECT_EQ(req::kMemoryData, 0x222414u);
    EXPECT_EQ(req::kSetAttenuation, 0x222418u);
    EXPECT_EQ(req::kGetAttenuation, 0x22241Cu);
    EXPECT_EQ(req::kGetLineState, 0x222420u);
    EXPECT_EQ(req::kSetLineState, 0x222424u);
    EXPECT_EQ(req::kGetLineSettings, 0x222428u);
    EXPECT_EQ(req::kSetLineSettings, 0x22242Cu);
    EXPECT_EQ(req::kOutputMode, 0x222430u);
    EXPECT_EQ(req::kSetLeftRate, 0x222438u);
    EXPECT_EQ(req::kSetRightRate, 0x22243Cu);
    EXPECT_EQ(req::kSetCodecRate, 0x222440u);
    EXPECT_EQ(req::kGetLeftRate, 0x222444u);
    EXPECT_EQ(req::kGetRightRate, 0x222448u);
    EXPECT_EQ(req::kGetCodecRate, 0x22244Cu);
    EXPECT_EQ(req::kGetBufferState, 0x222450u);
    EXPECT_EQ(req::kCalibrationStep, 0x222454u);
    EXPECT_EQ(req::kInterfacePower, 0x222458u);
    EXPECT_EQ(req::kApplyCalibration, 0x222464u);
    EXPECT_EQ(req::kSetMaxVoltage, 0x222468u);
    EXPECT_EQ(req::kGetMaxVoltage, 0x22246Cu);
    EXPECT_EQ(req::kGetBoardInfo, 0x222470u);
    EXPECT_EQ(req::kConfirmBoard, 0x222474u);
    EXPECT_EQ(req::kPrepareBoard, 0x22247Cu);
    EXPECT_EQ(req::kSetAttenuation2, 0x22248Cu);
    EXPECT_EQ(req::kGetAttenuation2, 0x222490u);
    EXPECT_EQ(req::kWatchdogStart, 0x222494u);
    EXPECT_EQ(req::kWatchdogStop, 0x222498u);
    EXPECT_EQ(req::kWatchdogKick, 0x22249Cu);
    EXPECT_EQ(req::kWriteBoardId, 0x2224A4u);
    EXPECT_EQ(req::kSyncCodecInput, 0x2224A8u);
    EXPECT_EQ(req::kPushSwitch, 0x2224B0u);
    EXPECT_EQ(req::kGetAmplitudes, 0x2224B4u);
    EXPECT_EQ(req::kSetAmplitudes, 0x2224B8u);
}
