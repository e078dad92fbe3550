// Cables, fixtures and timing described in a JSON file.
#include "SimLine.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace simtest;

namespace {

const std::string kExample = std::string(VCABLE_EXAMPLES_DIR) + "/two-fixtures.json";

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override { VC_Reset(); }
    void TearDown() override {
        VC_Reset();
        std::remove(path_.c_str());
    }
    // Writes `text` to a file of this test's own and returns its path.
    std::string file(const std::string& text) {
        path_ = ::testing::TempDir() + "vcable-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json";
        std::ofstream(path_) << text;
        return path_;
    }

  private:
    std::string path_;
};

TEST_F(ConfigFileTest, ExampleDescribesTwoCablesAndTwoFixtures) {
    ASSERT_EQ(VC_LoadConfigFile(kExample.c_str()), 0);
    EXPECT_EQ(VC_CableCount(), 2);
    VC_Timing timing{};
    VC_GetTiming(&timing);
    EXPECT_EQ(timing.turnaround_us, 200u);
    EXPECT_EQ(timing.usb_latency_us, 16000u);

    VC_FixtureConfig second{};
    ASSERT_EQ(VC_GetFixture(1, &second), 0);
    EXPECT_EQ(second.uid[5], 0x42);
    EXPECT_EQ(second.start_address, 25);
    EXPECT_EQ(second.current_personality, 5);
    EXPECT_EQ(second.personality_count, 5);
    EXPECT_EQ(second.personalities[4].footprint, 24);
    EXPECT_STREQ(second.personalities[4].name, "8-Pixel RGB");
    EXPECT_STREQ(second.software_label, "VEK-340 v2.15");
    EXPECT_EQ(second.software_version, 0x020F0000u);
    EXPECT_EQ(second.status_led, 0);

    VC_DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    std::vector<VC_FT_DEVICE_LIST_INFO_NODE> list(count);
    ASSERT_EQ(FT_GetDeviceInfoList(list.data(), &count), VC_FT_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(list[1].Flags, 1u);
    EXPECT_STREQ(list[1].Description, "USB-RS485 Cable");
}

TEST_F(ConfigFileTest, LeftOutKeysTakeTheDefaults) {
    ASSERT_EQ(VC_LoadConfigFile(
                  file(R"({"timing": "fast", "cables": [{"serial": "X1", "fixtures": [{}]}]})").c_str()),
              0);
    VC_Timing timing{1, 1, 1};
    VC_GetTiming(&timing);
    EXPECT_EQ(timing.byte_us, 0u);
    EXPECT_EQ(timing.usb_latency_us, 0u);
    VC_FT_HANDLE handle = openLine();
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060)).size(), 45u);
    FT_Close(handle);
}

// Each example line loads, with the fixtures it promises.
TEST_F(ConfigFileTest, ExamplesOfLinesWithSeveralFixturesLoad) {
    const struct {
        const char* file;
        std::vector<const char*> uids;
    } examples[] = {
        {"32-consecutive.json", {"5A59:00001000", "5A59:0000101F"}},
        {"range-ends.json", {"0000:00000001", "7FFF:FFFFFFFE"}},
        {"and-collision.json", {"5A59:00001010", "5A59:00001012"}},
        {"phantom-collision.json", {"5A59:00001006", "5A59:0000100C"}},
        {"ignores-disc-mute.json", {"5A59:12345678", "5A59:00000042"}},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.file);
        ASSERT_EQ(VC_LoadConfigFile((std::string(VCABLE_EXAMPLES_DIR) + "/" + example.file).c_str()), 0);
        VC_FixtureConfig first{};
        VC_FixtureConfig last{};
        int count = 0;
        while (VC_GetFixture(count, &last) == 0)
            ++count;
        ASSERT_GT(count, 1);
        ASSERT_EQ(VC_GetFixture(0, &first), 0);
        ASSERT_EQ(VC_GetFixture(count - 1, &last), 0);
        char text[2][16];
        std::snprintf(text[0], sizeof text[0], "%02X%02X:%02X%02X%02X%02X", first.uid[0], first.uid[1],
                      first.uid[2], first.uid[3], first.uid[4], first.uid[5]);
        std::snprintf(text[1], sizeof text[1], "%02X%02X:%02X%02X%02X%02X", last.uid[0], last.uid[1],
                      last.uid[2], last.uid[3], last.uid[4], last.uid[5]);
        EXPECT_STREQ(text[0], example.uids.front());
        EXPECT_STREQ(text[1], example.uids.back());
    }
    VC_FixtureConfig ignoring{};
    ASSERT_EQ(VC_GetFixture(0, &ignoring), 0);
    EXPECT_EQ(ignoring.disc_mute, VC_DISC_MUTE_IGNORES);
}

TEST_F(ConfigFileTest, DiscMuteTakesItsThreeWords) {
    for (const auto& [word, value] :
         {std::pair{"obeys", VC_DISC_MUTE_OBEYS}, std::pair{"ignores", VC_DISC_MUTE_IGNORES},
          std::pair{"answers only", VC_DISC_MUTE_ANSWERS_ONLY}}) {
        SCOPED_TRACE(word);
        ASSERT_EQ(VC_LoadConfigFile(
                      file(std::string(R"({"cables": [{"fixtures": [{"disc_mute": ")") + word + R"("}]}]})")
                          .c_str()),
                  0);
        VC_FixtureConfig fixture{};
        ASSERT_EQ(VC_GetFixture(0, &fixture), 0);
        EXPECT_EQ(fixture.disc_mute, value);
    }
}

struct BadFileCase {
    const char* name;
    const char* text;
};

class BadFileTest : public ConfigFileTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(BadFileTest, IsRefusedAndChangesNothing) {
    EXPECT_EQ(VC_LoadConfigFile(file(GetParam().text).c_str()), -1);
    EXPECT_EQ(VC_CableCount(), 1);
    VC_FixtureConfig fixture{};
    EXPECT_EQ(VC_GetFixture(0, &fixture), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Config, BadFileTest,
    ::testing::Values(
        BadFileCase{"NotJson", "{ cables: "}, BadFileCase{"UnknownKey", R"({"cabels": []})"},
        BadFileCase{"UnknownFixtureKey", R"({"cables": [{"fixtures": [{"adress": 5}]}]})"},
        BadFileCase{"UidWithoutColon", R"({"cables": [{"fixtures": [{"uid": "5A5912345678"}]}]})"},
        BadFileCase{"NegativeAddress", R"({"cables": [{"fixtures": [{"start_address": -1}]}]})"},
        BadFileCase{"AddressTooWide", R"({"cables": [{"fixtures": [{"start_address": 70000}]}]})"},
        BadFileCase{"SerialTooLong", R"({"cables": [{"serial": "12345678901234567"}]})"},
        BadFileCase{
            "NameTooLong",
            R"({"cables": [{"fixtures": [{"personalities": [{"footprint": 1, "name": "123456789012345678901234567890123"}]}]}]})"},
        BadFileCase{"UnknownTiming", R"({"timing": "slow"})"},
        BadFileCase{"UnknownDiscMute", R"({"cables": [{"fixtures": [{"disc_mute": true}]}]})"}),
    [](const ::testing::TestParamInfo<BadFileCase>& info) { return info.param.name; });

TEST_F(ConfigFileTest, MissingFileIsRefused) {
    EXPECT_EQ(VC_LoadConfigFile("/nonexistent/vcable.json"), -1);
    EXPECT_EQ(VC_LoadConfigFile(nullptr), -1);
    EXPECT_EQ(VC_CableCount(), 1);
}

} // namespace
