// A library without FT_SetLatencyTimer, as older or other D2XX libraries are: binding succeeds with
// no message, and the cable works at the chip's own latency timer.
#include "FTD2XXWrapper.h"
#include "Utils.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingWithoutLatencyTimer, BindsWithoutAMessageAndTheCableKeepsItsOwnTimer) {
    {
        const Platform::LibraryHandle library =
            Platform::LoadDynamicLibrary(ExeFolder() + FTD2XX_LIBRARY_NAME);
        ASSERT_NE(library, nullptr);
        const bool lacksIt = Platform::GetSymbol(library, "FT_SetLatencyTimer") == nullptr;
        Platform::FreeDynamicLibrary(library);
        ASSERT_TRUE(lacksIt) << "the library beside the test has the entry point, so this shows nothing";
    }
    TFTD2XXWrapper wrapper;
    wrapper.SetDMXStreamDisabled(true);
    EXPECT_TRUE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0u);
    EXPECT_EQ(wrapper.LastDLLErrorString(), "OK");
    EXPECT_NE(wrapper.FTLibraryVersion(), 0u);

    ASSERT_TRUE(wrapper.OpenAvailableInterfaceByIndex(0));
    EXPECT_EQ(wrapper.LatencyTimerMs(0), 16);
    EXPECT_EQ(wrapper.LastFTD2XXError(), 0u);

    // The default line: one VEK-340, which answers at the chip's pace.
    const TUID fixture{{0x5A, 0x59, 0x12, 0x34, 0x56, 0x78}};
    TRDMCommand request(fixture, CC_GET_COMMAND, PID_DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_TRUE(wrapper.RDMCommandWithResponse(0, request, response, 1000));
    EXPECT_EQ(response.Raw[0], 0xCC);
}

} // namespace
