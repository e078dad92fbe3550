// The shared helpers: where the executable lies, 8-bit character arrays as text, version text.
#include "Utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(UtilsExeFolder, IsTheExecutablesFolderWithATrailingDelimiter) {
    const std::string folder = ExeFolder();
    const std::string exe = Platform::ExecutablePath();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\') << folder;
    EXPECT_EQ(exe.rfind(folder, 0), 0u) << exe;
    EXPECT_EQ(exe.substr(folder.size()).find_first_of("/\\"), std::string::npos) << exe;
}

struct AnsiCase {
    const char* name;
    std::vector<unsigned char> bytes;
    int maxLen;
    std::string expected;
};

TEST(UtilsAnsiArrayToString, ConvertsUpToNulOrMaximumLength) {
    const std::vector<AnsiCase> cases = {
        {"stops at NUL", {'U', 'S', 'B', 0, 'X'}, 5, "USB"},
        {"stops at the maximum length", {'V', 'C', '0', '1'}, 2, "VC"},
        {"all bytes used, no NUL", {'A', 'B', 'C'}, 3, "ABC"},
        {"control characters become ?", {'V', 0x01, 'C', 0x1F, 0x0A}, 5, "V?C??"},
        {"space and DEL stay", {' ', 0x7F}, 2, " \x7F"},
        {"upper half maps to U+0080..U+00FF", {0xE9, 0x80, 0xFF}, 3, "\xC3\xA9\xC2\x80\xC3\xBF"},
        {"empty at NUL first", {0, 'A'}, 2, ""},
        {"zero maximum reads nothing", {'A'}, 0, ""},
        {"negative maximum reads nothing", {'A'}, -1, ""},
    };
    for (const AnsiCase& c : cases)
        EXPECT_EQ(AnsiArrayToString(c.bytes.data(), c.maxLen), c.expected) << c.name;
    EXPECT_EQ(AnsiArrayToString(nullptr, 16), "");
}

TEST(UtilsVersionToString, MajorMinorAndANonZeroBuild) {
    const struct {
        std::uint32_t version;
        const char* expected;
    } cases[] = {
        {0x010100, "1.1"},   {0x020A00, "2.10"}, {0x0102FF, "1.2 build 255"}, {0x010203, "1.2 build 3"},
        {0xFF010200, "1.2"}, // bits 24-31 never show
        {0, "0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionToString(c.version), c.expected) << std::hex << c.version;
}

} // namespace
