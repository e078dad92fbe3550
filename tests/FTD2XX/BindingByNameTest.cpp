// Binding with no library beside the executable: the system's search by plain name finds it.
#include "FTD2XXWrapper.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingByName, FallsBackToTheSystemSearch)
{
    TFTD2XXWrapper wrapper;
    EXPECT_TRUE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorString(), "OK");
    EXPECT_EQ(wrapper.LoadedDLLFileName(), std::string(ZYL_BY_NAME_LIBRARY_DIR) + "/" + FTD2XX_LIBRARY_NAME);
    EXPECT_TRUE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.DeviceCount(), 1);
}

} // namespace
