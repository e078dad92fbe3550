// First use of the library reads the files the environment names (set by this test's CMake entry).
#include "SimLine.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace simtest;

namespace {

std::string contents(const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// One test only: every process that uses the library starts the capture file afresh.
TEST(Environment, ConfigFileAtFirstUseAndCaptureFile) {
    const char* capturePath = std::getenv("ZYL_VIRTUAL_CABLE_CAPTURE");
    ASSERT_NE(capturePath, nullptr);

    VC_DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    EXPECT_EQ(count, 2u); // the two cables of the example file

    VC_Reset(); // back to the built-in cable, whatever the file says
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    EXPECT_EQ(count, 1u);

    VC_SetFastTiming();
    VC_FT_HANDLE handle = openLine();
    transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060));
    FT_Close(handle);

    const std::string text = contents(capturePath);
    EXPECT_NE(
        text.find(" -> CC 01 18 5A 59 12 34 56 78 5A 59 00 00 00 01 07 01 00 00 00 20 00 60 00 03 E8\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find(" <- CC 01 2B 5A 59 00 00 00 01 5A 59 12 34 56 78 07 00"), std::string::npos) << text;
}

} // namespace
