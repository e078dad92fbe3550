// The one table of the tool's requests: each request built from it, byte for byte, as the fixture
// loop has always put it on the line.
#include "ToolRequests.h"
#include "FixtureLoopRequests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TUID Fixture() {
    TUID uid{};
    const std::uint8_t bytes[6] = {0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A};
    std::memcpy(uid.Bytes, bytes, sizeof bytes);
    return uid;
}

std::vector<std::uint8_t> Bytes(const TRDMCommand& command) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(&command.CommandData());
    return {first, first + command.MessageLength() + 2};
}

struct RequestCase {
    std::string name;
    TToolRequestKind kind;
    std::uint16_t param;
    const req::B* expected;
};

class ToolRequestBytes : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ToolRequestBytes, AreTheRecordedOnes) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(Bytes(*BuildToolRequest(c.kind, Fixture(), c.param)), *c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachRequest, ToolRequestBytes,
    ::testing::Values(
        RequestCase{"Poll", TToolRequestKind::Poll, 0, &req::Poll},
        RequestCase{"DeviceInfo", TToolRequestKind::DeviceInfo, 0, &req::GetDeviceInfo},
        RequestCase{"SupportedParameters", TToolRequestKind::SupportedParameters, 0,
                    &req::GetSupportedParameters},
        RequestCase{"DeviceModelDescription", TToolRequestKind::DeviceModelDescription, 0,
                    &req::GetDeviceModelDescription},
        RequestCase{"SoftwareVersionLabel", TToolRequestKind::SoftwareVersionLabel, 0,
                    &req::GetSoftwareVersionLabel},
        RequestCase{"DMXPersonality", TToolRequestKind::DMXPersonality, 0, &req::GetDmxPersonality},
        RequestCase{"PersonalityDescription3", TToolRequestKind::DMXPersonalityDescription, 3,
                    &req::GetPersonalityDescription3},
        RequestCase{"StatusLed", TToolRequestKind::StatusLed, 0, &req::GetStatusLed},
        RequestCase{"SetStartAddress512", TToolRequestKind::SetDMXStartAddress, 512,
                    &req::SetStartAddress512},
        RequestCase{"SetPersonality0", TToolRequestKind::SetDMXPersonality, 0, &req::SetPersonality0},
        RequestCase{"SetStatusLedOn", TToolRequestKind::SetStatusLed, 0xFF, &req::SetStatusLedOn},
        RequestCase{"SetStatusLedOff", TToolRequestKind::SetStatusLed, 0x00, &req::SetStatusLedOff}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

TEST(ToolRequests, TheDiscoveryAttemptSendsUnMuteAndOneBranchOverAllUIDs) {
    EXPECT_EQ(Bytes(*BuildUnMuteAll()), req::UnMuteAll);
    const auto discovery = BuildDiscoveryOfAll();
    EXPECT_EQ(Bytes(*discovery), req::UniqueBranchAll);
}

TEST(ToolRequests, EachNameIsFoundAndTheirTypicalParameterIsUsedWithoutOne) {
    std::set<std::string> names;
    for (const TToolRequest& request : kToolRequests) {
        EXPECT_TRUE(names.insert(request.name).second) << request.name << " is in the table twice";
        EXPECT_EQ(&ToolRequestNamed(request.name), &request);
    }
    EXPECT_THROW(ToolRequestNamed("no_such_request"), std::out_of_range);
    EXPECT_EQ(Bytes(*BuildToolRequest(ToolRequestNamed("set_status_led"), Fixture())), req::SetStatusLedOn);
}

} // namespace
