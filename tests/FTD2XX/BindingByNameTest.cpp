// Binding with no library beside the executable: the system's search by plain name finds it.
#include "FTD2XXWrapper.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingByName, FallsBackToTheSystemSearch) {
    TFTD2XXWrapper wrapper;
    EXPECT_TRUE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorString(), "OK");
    EXPECT_EQ(wrapper.LoadedDLLFileName(), ZYL_BY_NAME_LIBRARY_FILE);
    EXPECT_TRUE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.DeviceCount(), 1);
}

} // namespace
