// Binding with one library beside the executable and another on the system's search path: the
// one beside the executable is taken, and a wrapper binds only once.
#include "../WaitFor.h"
#include "FTD2XXWrapper.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string LibraryName = FTD2XX_LIBRARY_NAME;

TEST(BindingFromTheExecutablesFolder, IsPreferredOverTheSystemSearch) {
    ASSERT_TRUE(std::filesystem::exists(ZYL_BY_NAME_LIBRARY_FILE))
        << "the competing library is missing, so this shows nothing";
    TFTD2XXWrapper wrapper;
    EXPECT_TRUE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0u);
    EXPECT_EQ(wrapper.LastDLLErrorString(), "OK");
    EXPECT_EQ(wrapper.LoadedDLLFileName(), ExeFolder() + LibraryName);
    EXPECT_NE(wrapper.FTLibraryVersion(), 0u);
    EXPECT_EQ(wrapper.LastMMResult(), 0u);
}

TEST(BindingFromTheExecutablesFolder, ASecondInitializeChangesNothing) {
    TFTD2XXWrapper wrapper;
    ASSERT_TRUE(wrapper.Initialize());
    const std::string file = wrapper.LoadedDLLFileName();
    const std::uint32_t version = wrapper.FTLibraryVersion();
    ASSERT_TRUE(wrapper.ScanDevices());
    const int devices = wrapper.DeviceCount();

    EXPECT_FALSE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0u);
    EXPECT_EQ(wrapper.LastDLLErrorString(), "OK");
    EXPECT_EQ(wrapper.LoadedDLLFileName(), file);
    EXPECT_EQ(wrapper.FTLibraryVersion(), version);
    EXPECT_EQ(wrapper.DeviceCount(), devices);

    const std::int64_t ticks = wrapper.MMTicks();
    EXPECT_TRUE(WaitFor([&] { return wrapper.MMTicks() > ticks; })) << "the timer still runs";
}

} // namespace
