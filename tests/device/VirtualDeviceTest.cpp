// The driver-library device against real shared libraries: the simulator and two test libraries.
#include "BoardInfo.h"
#include "DebugCapture.h"
#include "Device.h"
#include "DriverLibrary.h"
#include "RequestCodes.h"
#include "SimLibraryConfig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

template <typename Fn> Fn Export(const CDriverLibrary& library, const char* name) {
    auto fn = library.Function<Fn>(name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
}
using CountFn = int32_t (*)();

} // namespace

TEST(DriverLibrary, LoadFailureSaysWhy) {
    std::string why;
    EXPECT_EQ(LoadDriverLibrary("/nonexistent/libnothing.so", &why), nullptr);
    EXPECT_NE(why.find("libnothing"), std::string::npos);
    EXPECT_EQ(LoadDriverLibrary("", &why), nullptr);
}

TEST(VirtualDevice, SimulatorLibraryOpensExclusivelyAndAnswersTheInformationBlock) {
    auto library = LoadDriverLibrary(SIM_DRIVER);
    ASSERT_NE(library, nullptr);
    DebugCapture capture;
    auto cfg = OpenDevice(library.get(), "VSIM0", "VELTRIN_CFG");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(OpenDevice(library.get(), "VSIM0", "VELTRIN_CFG"), nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(
        capture.Lines()[0].rfind("ERROR: Can't create file VSIM0\\VELTRIN_CFG; File: VirtualDevice.cpp Line: ", 0), 0u);

    uint8_t block[66];
    uint32_t returned = 0;
    ASSERT_NE(cfg->DevIoControl(req::kGetBoardInfo, nullptr, 0, block, 66, &returned), 0u);
    EXPECT_EQ(returned, 66u);
    EXPECT_EQ(cfg->Cancel(), 1u); // the simulator exports Cancel; nothing was pending
    cfg.reset();
    EXPECT_NE(OpenDevice(library.get(), "VSIM0", "VELTRIN_CFG"), nullptr);
}

TEST(VirtualDevice, CancelReachesTheLibraryAndEndsAHeldRequest) {
    ASSERT_TRUE(g_simLibraryConfigured);
    auto library = LoadDriverLibrary(SIM_DRIVER);
    ASSERT_NE(library, nullptr);
    auto out = OpenDevice(library.get(), "VSIM2", "PHONE_LINE1_OUT_DEV");
    ASSERT_NE(out, nullptr);
    auto write = std::async(std::launch::async, [&] {
        const uint8_t samples[4] = {};
        uint32_t done = 7;
        const uint32_t ok = out->Write(samples, sizeof samples, &done);
        return ok == 0 && done == 0;
    });
    EXPECT_EQ(write.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_EQ(out->Cancel(), 1u);
    ASSERT_EQ(write.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_TRUE(write.get()); // the held write failed with no bytes
}

TEST(VirtualDevice, IncompleteLibraryGivesNullAndTheVersionLine) {
    auto library = LoadDriverLibrary(INCOMPLETE_DRIVER);
    ASSERT_NE(library, nullptr);
    DebugCapture capture;
    EXPECT_EQ(OpenDevice(library.get(), "ANY", "VELTRIN_CFG"), nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].rfind("ERROR: Incorrect DLL-version; File: VirtualDevice.cpp Line: ", 0), 0u);
    EXPECT_TRUE(capture.Lines()[0].ends_with("\r\n"));
}

TEST(VirtualDevice, RoutesCallsAndClosesExactlyOnceWithItsHandle) {
    auto library = LoadDriverLibrary(COUNTING_DRIVER);
    ASSERT_NE(library, nullptr);
    auto closes = Export<CountFn>(*library, "CloseCount");
    auto lastClosed = Export<CountFn>(*library, "LastClosed");
    auto controls = Export<CountFn>(*library, "ControlCount");
    const int closesBefore = closes();

    auto zero = OpenDevice(library.get(), "ZERO", "VELTRIN_CFG"); // 0 is a valid handle
    ASSERT_NE(zero, nullptr);
    uint8_t out[8];
    uint32_t returned = 0;
    // Null blocks and zero sizes pass through unchanged (the library answers 2 for them).
    EXPECT_EQ(zero->DevIoControl(0x222470, nullptr, 0, nullptr, 0, &returned), 2u);
    const uint8_t in[2] = {1, 2};
    EXPECT_EQ(zero->DevIoControl(0x22241C, in, 2, out, 8, &returned), 1u);
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(out[4], 0x1C);
    EXPECT_EQ(controls(), 2);
    EXPECT_EQ(zero->Cancel(), 0u);
    zero.reset();
    EXPECT_EQ(closes(), closesBefore + 1);
    EXPECT_EQ(lastClosed(), 0);

    DebugCapture capture;
    EXPECT_EQ(OpenDevice(library.get(), "BAD", "VELTRIN_CFG"), nullptr);
    EXPECT_EQ(closes(), closesBefore + 1); // a refused open is never closed
    ASSERT_EQ(capture.Lines().size(), 1u);
}
