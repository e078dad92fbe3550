// A driver library planted in the working folder, none beside the executable and none on the
// search path: the planted one is never bound, so binding fails as if there were none.
#include "FTD2XXWrapper.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(BindingWithALibraryInTheWorkingFolder, IgnoresIt) {
    ASSERT_TRUE(std::filesystem::exists(FTD2XX_LIBRARY_NAME))
        << "the planted library is missing from the working folder, so this shows nothing";
    TFTD2XXWrapper wrapper;
    EXPECT_FALSE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x1001u);
    EXPECT_EQ(wrapper.LoadedDLLFileName(), "");
    EXPECT_FALSE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.DeviceCount(), 0);
}

} // namespace
