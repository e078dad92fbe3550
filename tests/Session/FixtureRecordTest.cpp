// The fixture record: merging SUPPORTED_PARAMETERS replies and the personality list.
#include "RDMFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A checked GET_COMMAND_RESPONSE as the cable layer leaves it: `received` parameter-data bytes
// arrived, while the PDL byte says `pdl`.
TRDMResponseData SupportedParametersReply(const std::vector<std::uint8_t>& received, int pdl) {
    TRDMResponseData r;
    std::memset(&r, 0, sizeof r);
    r.ResponseLen = 24 + static_cast<int>(received.size()) + 2;
    r.Data.StartCode = 0xCC;
    r.Data.SubStartCode = 0x01;
    r.Data.MesLen = static_cast<std::uint8_t>(24 + received.size());
    r.Data.CC = 0x21;
    r.Data.PID[0] = 0x00;
    r.Data.PID[1] = 0x50;
    r.Data.PDL = static_cast<std::uint8_t>(pdl);
    if (!received.empty()) // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(r.Data.Raw, received.data(), received.size());
    return r;
}

TRDMResponseData SupportedParametersReply(const std::vector<std::uint8_t>& data) {
    return SupportedParametersReply(data, static_cast<int>(data.size()));
}

struct MergeCase {
    std::string name;
    std::vector<std::uint8_t> received;
    int pdl;
    std::vector<std::uint16_t> expected;
};

class MergeSupportedParameters : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeSupportedParameters, KeepsFirstAppearanceOrder) {
    const MergeCase& c = GetParam();
    TRDMFixture fixture;
    fixture.AddSupportedParameters(SupportedParametersReply(c.received, c.pdl));
    EXPECT_EQ(std::vector<std::uint16_t>(fixture.fSupportedParameterList.begin(),
                                         fixture.fSupportedParameterList.end()),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MergeSupportedParameters,
    ::testing::Values(MergeCase{"Pdl0AddsNothing", {}, 0, {}}, MergeCase{"Pdl1AddsNothing", {0x00}, 1, {}},
                      MergeCase{"OddLastByteIgnored", {0x00, 0x80, 0x05, 0x01, 0x00}, 5, {0x0080, 0x0501}},
                      MergeCase{"RepeatDropped", {0x00, 0x80, 0x05, 0x01, 0x00, 0x80}, 6, {0x0080, 0x0501}},
                      MergeCase{"HighByteFirst", {0xA1, 0x02, 0x12, 0x34}, 4, {0xA102, 0x1234}},
                      // The PDL byte claims three PIDs, but only one arrived: the zeros behind it are no PID.
                      MergeCase{"PdlBeyondWhatArrived", {0x00, 0x60}, 6, {0x0060}},
                      MergeCase{"PdlBelowWhatArrived", {0x00, 0x60, 0x00, 0x80}, 2, {0x0060}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

TEST(FixtureRecord, NewRecordIsEmptyAndSupportsNothing) {
    const TRDMFixture fixture;
    EXPECT_TRUE(fixture.fSupportedParameterList.empty());
    EXPECT_TRUE(fixture.fPersonalityDescriptionList.empty());
    EXPECT_TRUE(fixture.DeviceModelDescription.empty());
    EXPECT_TRUE(fixture.FirmwareLabel.empty());
    EXPECT_EQ(fixture.UID, NullUID);
    EXPECT_EQ(fixture.DeviceModelID, 0);
    EXPECT_EQ(fixture.DMX512StartAdr, 0);
    EXPECT_EQ(fixture.DMX512PersonalityCurrent, 0);
    EXPECT_EQ(fixture.DMX512PersonalityTotal, 0);
    for (std::uint16_t pid : {0x0000, 0x0050, 0x0080, 0x0501, 0xFFFF}) {
        EXPECT_FALSE(fixture.SupportsParameter(pid)) << pid;
    }
}

TEST(FixtureRecord, SupportsExactlyTheMergedPids) {
    TRDMFixture fixture;
    fixture.AddSupportedParameters(SupportedParametersReply({0x00, 0x80, 0x05, 0x01, 0x00, 0x80}));
    EXPECT_TRUE(fixture.SupportsParameter(0x0501));
    EXPECT_TRUE(fixture.SupportsParameter(0x0080));
    EXPECT_FALSE(fixture.SupportsParameter(0x0105)); // byte-swapped 0x0501
    EXPECT_FALSE(fixture.SupportsParameter(0x0000));
}

TEST(FixtureRecord, LaterMergesOnlyAppendMissingPids) {
    TRDMFixture fixture;
    const auto first = SupportedParametersReply({0x00, 0x80, 0x05, 0x01});
    fixture.AddSupportedParameters(first);
    fixture.AddSupportedParameters(first);
    EXPECT_EQ(fixture.fSupportedParameterList.size(), 2u);

    fixture.AddSupportedParameters(SupportedParametersReply({0x00, 0xE0, 0x05, 0x01, 0x00, 0x60}));
    const std::vector<std::uint16_t> expected{0x0080, 0x0501, 0x00E0, 0x0060};
    EXPECT_EQ(std::vector<std::uint16_t>(fixture.fSupportedParameterList.begin(),
                                         fixture.fSupportedParameterList.end()),
              expected);
}

TEST(FixtureRecord, PersonalityDescriptionsAreAppendedWithoutDeduplication) {
    TRDMFixture fixture;
    fixture.AddPersonalityDescription(24, "Standard");
    fixture.AddPersonalityDescription(24, "Standard");
    fixture.AddPersonalityDescription(0xFFFF, "");
    ASSERT_EQ(fixture.fPersonalityDescriptionList.size(), 3u);
    EXPECT_EQ(fixture.fPersonalityDescriptionList[0]->DMX512SlotsRequired, 24);
    EXPECT_EQ(fixture.fPersonalityDescriptionList[1]->Description, "Standard");
    EXPECT_EQ(fixture.fPersonalityDescriptionList[2]->DMX512SlotsRequired, 0xFFFF);
    EXPECT_TRUE(fixture.fPersonalityDescriptionList[2]->Description.empty());
    // Reading by position past the end is the list's own out-of-range error.
    EXPECT_THROW((void)fixture.fPersonalityDescriptionList.at(3), std::out_of_range);

    fixture.fPersonalityDescriptionList.clear();
    fixture.AddPersonalityDescription(8, "Compact");
    ASSERT_EQ(fixture.fPersonalityDescriptionList.size(), 1u);
    EXPECT_EQ(fixture.fPersonalityDescriptionList[0]->Description, "Compact");
}

} // namespace
