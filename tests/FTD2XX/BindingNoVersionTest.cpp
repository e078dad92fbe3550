// A library without FT_GetLibraryVersion: binding reports the missing entry point, yet the library
// stays bound and the entry points it has work.
#include "../WaitFor.h"
#include "FTD2XXWrapper.h"
#include "Utils.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingWithoutLibraryVersion, ReportsTheMissingEntryPointAndKeepsTheOthers) {
    TFTD2XXWrapper wrapper;
    EXPECT_FALSE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x1001u);
    EXPECT_EQ(wrapper.LastDLLErrorString(),
              std::string("Unable to locate function FT_GetLibraryVersion in ") + FTD2XX_LIBRARY_NAME);
    EXPECT_EQ(wrapper.FTLibraryVersion(), 0u);
    EXPECT_EQ(wrapper.LoadedDLLFileName(), ExeFolder() + FTD2XX_LIBRARY_NAME);

    EXPECT_TRUE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.DeviceCount(), 1);
    EXPECT_TRUE(wrapper.OpenAvailableInterfaceByIndex(0));
    EXPECT_EQ(wrapper.InterfaceCount(), 1);
    const std::int64_t ticks = wrapper.MMTicks();
    EXPECT_TRUE(WaitFor([&] { return wrapper.MMTicks() > ticks; }))
        << "binding started the timer all the same";
}

} // namespace
