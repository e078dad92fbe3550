// No library anywhere: binding fails with its reason, and an unbound wrapper lists no cable and
// calls nothing.
#include "FTD2XXWrapper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(BindingWithoutLibrary, ReportsTheMissingLibraryAndStartsNoTimer) {
    TFTD2XXWrapper wrapper;
    EXPECT_FALSE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x1001u);
    EXPECT_EQ(wrapper.LastDLLErrorString(), std::string("Error loading ") + FTD2XX_LIBRARY_NAME);
    EXPECT_EQ(wrapper.LoadedDLLFileName(), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(wrapper.MMTicks(), 0);

    EXPECT_FALSE(wrapper.Initialize()) << "tries again, and fails again";
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x1001u);
}

TEST(BindingWithoutLibrary, AnUnboundWrapperListsNoCableAndEveryOperationFails) {
    TFTD2XXWrapper wrapper;
    ASSERT_FALSE(wrapper.Initialize());

    EXPECT_FALSE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.DeviceCount(), 0);
    EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(0));
    EXPECT_EQ(wrapper.InterfaceCount(), 0);
    EXPECT_EQ(wrapper.LastDLLErrorString(), std::string("Error loading ") + FTD2XX_LIBRARY_NAME);

    wrapper.TransmitDMXPackage(0, DMXBuffer);
    std::uint8_t byte = 0;
    wrapper.StreamDataWithBreak(0, &byte, 1);
    wrapper.SetTransmit(0);
    wrapper.SetRecieve(0);
    wrapper.PurgeInBuf(0);
    TRDMCommand request(BroadcastUID, 0x10, 0x0003, true);
    TRDMResponseData response{};
    EXPECT_FALSE(wrapper.RDMCommandWithResponse(0, request, response, 10));
    EXPECT_FALSE(wrapper.SendRDMCommand(0, &request.CommandData(), request.MessageLength() + 2, false));
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID uid{};
    EXPECT_FALSE(wrapper.DiscoveryCommand(0, branch, uid, 10));
    EXPECT_EQ(wrapper.GetPacketCount(0), -1);
    EXPECT_EQ(wrapper.LastFTD2XXError(), 0u);
}

} // namespace
