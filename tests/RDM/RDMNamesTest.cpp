// Parameter names, error texts and 8-bit texts from replies.
#include "AnsiText.h"
#include "Platform.h"
#include "RDMTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

TEST(RDMPIDToString, NamesEveryKnownParameter) {
    const std::pair<std::uint16_t, const char*> Known[] = {
        {0x0001, "DISC_UNIQUE_BRANCH"},
        {0x0002, "DISC_MUTE"},
        {0x0003, "DISC_UN_MUTE"},
        {0x0050, "SUPPORTED_PARAMETERS"},
        {0x0060, "DEVICE_INFO"},
        {0x0080, "DEVICE_MODEL_DESCRIPTION"},
        {0x0082, "DEVICE_LABEL"},
        {0x00C0, "SOFTWARE_VERSION_LABEL"},
        {0x00E0, "DMX_PERSONALITY"},
        {0x00E1, "DMX_PERSONALITY_DESCRIPTION"},
        {0x00F0, "DMX_START_ADDRESS"},
        {0x0200, "SENSOR_DEFINITION"},
        {0x0201, "SENSOR_VALUE"},
        {0x1000, "IDENTIFY_DEVICE"},
        {0x1001, "RESET_DEVICE"},
        {0xA100, "ZYL_INTERNAL_STATUSFLAGS"},
        {0xA101, "ZYL_EEPROM"},
        {0xA102, "ZYL_SERIALNUMBER"},
        {0xA103, "ZYL_COLORCALIBRATIONDATA"},
        {0xA105, "ZYL_MISC_CONTROL"},
        {0xA106, "ZYL_UNIQUE_ID"},
        {0xA107, "ZYL_UID"},
        {0xA108, "ZYL_COLOR_OUTPUT"},
        {0xA109, "ZYL_CALIBRATIONDATE"},
    };
    for (const auto& [PID, Name] : Known)
        EXPECT_EQ(RDMPIDToString(PID), Name) << PID;
}

TEST(RDMPIDToString, UnknownParametersInFourUpperCaseHexDigits) {
    const std::pair<std::uint16_t, const char*> Unknown[] = {
        {0x0004, "(0x0004)"}, {0xFFFF, "(0xFFFF)"}, {0x0000, "(0x0000)"},
        {0x0501, "(0x0501)"}, {0xA104, "(0xA104)"}, {0x00AB, "(0x00AB)"},
    };
    for (const auto& [PID, Text] : Unknown)
        EXPECT_EQ(RDMPIDToString(PID), Text) << PID;
}

TEST(RDMErrorToString, TextForEachCode) {
    const std::pair<std::int32_t, const char*> Texts[] = {
        {0, ""},
        {1, "Response length too short"},
        {2, "Response checksum error"},
        {3, "Response CC error"},
        {4, "Response PID error"},
        {5, "Response NACK"},
        {6, "Timeout"},
        {7, "Code = 7"},
        {-1, "Code = -1"},
        {-2147483647 - 1, "Code = -2147483648"},
    };
    for (const auto& [Code, Text] : Texts) {
        TRDMResponseData Reply = MakeReply({});
        Reply.ErrorCode = Code;
        EXPECT_EQ(RDMErrorToString(Reply), Text) << Code;
    }
}

TEST(RDMTextToString, KeepsZeroBytesAsCharacters) {
    const std::uint8_t Bytes[] = {0x41, 0x42, 0x43, 0x00, 0x44};
    const std::string Text = RDMTextToString(Bytes, 5);
    ASSERT_EQ(Text.size(), 5u);
    EXPECT_EQ(Text, std::string("ABC\0D", 5));
}

TEST(RDMTextToString, StopsAt255Characters) {
    std::uint8_t Bytes[300];
    for (int I = 0; I < 300; ++I)
        Bytes[I] = static_cast<std::uint8_t>('A' + I % 26);
    const std::string Text = RDMTextToString(Bytes, 300);
    EXPECT_EQ(Text, std::string(reinterpret_cast<const char*>(Bytes), 255));
}

TEST(RDMTextToString, NoLengthGivesEmptyText) {
    const std::uint8_t Bytes[] = {0x41};
    EXPECT_EQ(RDMTextToString(Bytes, 0), "");
    EXPECT_EQ(RDMTextToString(Bytes, -5), "");
}

TEST(RDMTextToString, ReadsTheSystemCodePageIntoUtf8) {
    const std::uint8_t Bytes[] = {'L', 0xE9, 'D', 0x80};
    if (Platform::AnsiCodePage() != 1252)
        GTEST_SKIP() << "the bytes are read as Windows-1252 has them";
    EXPECT_EQ(RDMTextToString(Bytes, 4), "L\u00E9D\u20AC");
}

} // namespace
