// The default VEK-340's answers, byte for byte as E1.20 lays them out. Expected packets are written
// out by hand, checksums included.
#include "SimLine.h"

using namespace simtest;

namespace {

struct GoldenCase {
    const char* name;
    Bytes request;
    Bytes reply;
};

class GoldenReplyTest : public FastLineTest, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenReplyTest, AnswersWithTheExactBytes) {
    EXPECT_EQ(transact(handle, GetParam().request), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    DefaultVek340, GoldenReplyTest,
    ::testing::Values(GoldenCase{"DeviceInfo",
                                 // GET DEVICE_INFO, TN 7
                                 {0xCC, 0x01, 0x18, 0x5A, 0x59, 0x12, 0x34, 0x56, 0x78,
                                  0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x07, 0x01, 0x00,
                                  0x00, 0x00, 0x20, 0x00, 0x60, 0x00, 0x03, 0xE8},
                                 {0xCC, 0x01, 0x2B, // start code, sub-start, message length 43
                                  0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // destination: the controller
                                  0x5A, 0x59, 0x12, 0x34, 0x56, 0x78, // source: the fixture
                                  0x07, 0x00, 0x00, 0x00, 0x00,       // TN copied, ACK, message count 0, root
                                                                      // device
                                  0x21, 0x00, 0x60, 0x13, // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 19
                                  0x01, 0x00,             // RDM protocol 1.0
                                  0x00, 0x67,             // model 103
                                  0x01, 0x01,             // product category
                                  0x02, 0x0E, 0x00, 0x00, // software version 2.14
                                  0x00, 0x04,             // footprint of personality 1
                                  0x01, 0x05,             // personality 1 of 5
                                  0x00, 0x01,             // start address 1
                                  0x00, 0x00,             // no sub-devices
                                  0x00,                   // no sensors
                                  0x04, 0x93}},
                      GoldenCase{"SupportedParameters",
                                 rdmRequest(kFixtureUid, 0x20, 0x0050),
                                 {0xCC, 0x01, 0x20, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01,
                                  0x5A, 0x59, 0x12, 0x34, 0x56, 0x78, 0x07, 0x00, 0x00,
                                  0x00, 0x00, 0x21, 0x00, 0x50, 0x08, 0x00, 0x80, // DEVICE_MODEL_DESCRIPTION
                                  0x00, 0xE0,                                     // DMX_PERSONALITY
                                  0x00, 0xE1, // DMX_PERSONALITY_DESCRIPTION
                                  0x05, 0x01, // status LED
                                  0x06, 0x2F}},
                      GoldenCase{"SoftwareVersionLabel",
                                 rdmRequest(kFixtureUid, 0x20, 0x00C0),
                                 {0xCC, 0x01, 0x25, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A,
                                  0x59, 0x12, 0x34, 0x56, 0x78, 0x07, 0x00, 0x00, 0x00, 0x00,
                                  0x21, 0x00, 0xC0, 0x0D, 'V',  'E',  'K',  '-',  '3',  '4',
                                  '0',  ' ',  'v',  '2',  '.',  '1',  '4', // no terminator
                                  0x07, 0x67}},
                      GoldenCase{
                          "PersonalityDescription",
                          // GET DMX_PERSONALITY_DESCRIPTION of personality 5
                          {0xCC, 0x01, 0x19, 0x5A, 0x59, 0x12, 0x34, 0x56, 0x78, 0x5A, 0x59, 0x00, 0x00, 0x00,
                           0x01, 0x07, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00, 0xE1, 0x01, 0x05, 0x04, 0x70},
                          {0xCC, 0x01, 0x26, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x59, 0x12, 0x34,
                           0x56, 0x78, 0x07, 0x00, 0x00, 0x00, 0x00, 0x21, 0x00, 0xE1, 0x0E,
                           0x05,       // personality 5
                           0x00, 0x18, // 24 slots
                           '8',  '-',  'P',  'i',  'x',  'e',  'l',  ' ',  'R',  'G',  'B',  0x08, 0x04}},
                      GoldenCase{"NackForAnUnknownPid",
                                 // GET of PID 0x1234
                                 {0xCC, 0x01, 0x18, 0x5A, 0x59, 0x12, 0x34, 0x56, 0x78,
                                  0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x07, 0x01, 0x00,
                                  0x00, 0x00, 0x20, 0x12, 0x34, 0x00, 0x03, 0xCE},
                                 {0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01,
                                  0x5A, 0x59, 0x12, 0x34, 0x56, 0x78, 0x07,
                                  0x02,                                                 // NACK_REASON
                                  0x00, 0x00, 0x00, 0x21, 0x12, 0x34, 0x02, 0x00, 0x00, // NR_UNKNOWN_PID
                                  0x03, 0xD4}},
                      GoldenCase{"FullRangeDiscovery",
                                 discoveryRequest({0, 0, 0, 0, 0, 0}, kBroadcastUid),
                                 {0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xAA, // preamble and separator
                                  0xFA, 0x5F, 0xFB, 0x5D, 0xBA, 0x57, 0xBE, 0x75,
                                  0xFE, 0x57, 0xFA, 0x7D,    // 5A59:12345678
                                  0xAF, 0x57, 0xEB, 0xD5}}), // checksum 0x05D5
    [](const ::testing::TestParamInfo<GoldenCase>& info) { return info.param.name; });

// The parameter data of an ACK to `request`, or the NACK reason as two bytes when refused.
struct Answer {
    uint8_t responseType;
    Bytes data;
};

Answer ask(VC_FT_HANDLE handle, uint8_t cc, uint16_t pid, const Bytes& data = {}) {
    const Bytes reply = transact(handle, rdmRequest(kFixtureUid, cc, pid, data));
    if (reply.size() < 26)
        return Answer{0xFF, reply};
    return Answer{reply[16], Bytes(reply.begin() + 24, reply.end() - 2)};
}

constexpr uint8_t kAck = 0x00;
constexpr uint8_t kNack = 0x02;

TEST_F(FastLineTest, SetStartAddressShowsInTheNextDeviceInfo) {
    EXPECT_EQ(ask(handle, 0x30, 0x00F0, {0x01, 0x25}).responseType, kAck); // 293
    const Answer info = ask(handle, 0x20, 0x0060);
    ASSERT_EQ(info.data.size(), 19u);
    EXPECT_EQ(info.data[14], 0x01);
    EXPECT_EQ(info.data[15], 0x25);
    EXPECT_EQ(ask(handle, 0x20, 0x00F0).data, (Bytes{0x01, 0x25}));
}

TEST_F(FastLineTest, SetPersonalityChangesTheFootprint) {
    EXPECT_EQ(ask(handle, 0x30, 0x00E0, {5}).responseType, kAck);
    const Answer info = ask(handle, 0x20, 0x0060);
    ASSERT_EQ(info.data.size(), 19u);
    EXPECT_EQ(info.data[10], 0x00);
    EXPECT_EQ(info.data[11], 24); // footprint of "8-Pixel RGB"
    EXPECT_EQ(info.data[12], 5);
    EXPECT_EQ(ask(handle, 0x20, 0x00E0).data, (Bytes{5, 5}));
}

TEST_F(FastLineTest, StatusLedReadsAndTakesOnlyOnOrOff) {
    EXPECT_EQ(ask(handle, 0x20, 0x0501).data, Bytes{0xFF});
    EXPECT_EQ(ask(handle, 0x30, 0x0501, {0x00}).responseType, kAck);
    EXPECT_EQ(ask(handle, 0x20, 0x0501).data, Bytes{0x00});
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.status_led, 0x00);
}

struct RefusalCase {
    const char* name;
    uint8_t cc;
    uint16_t pid;
    Bytes data;
    uint16_t reason;
};

class RefusalTest : public FastLineTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, NacksWithTheReasonAndKeepsItsState) {
    VC_FixtureConfig before{};
    ASSERT_EQ(VC_GetFixture(kFixture, &before), 0);
    const Answer answer = ask(handle, GetParam().cc, GetParam().pid, GetParam().data);
    EXPECT_EQ(answer.responseType, kNack);
    EXPECT_EQ(answer.data,
              (Bytes{static_cast<uint8_t>(GetParam().reason >> 8), static_cast<uint8_t>(GetParam().reason)}));
    VC_FixtureConfig after{};
    ASSERT_EQ(VC_GetFixture(kFixture, &after), 0);
    EXPECT_EQ(after.start_address, before.start_address);
    EXPECT_EQ(after.current_personality, before.current_personality);
    EXPECT_EQ(after.status_led, before.status_led);
}

INSTANTIATE_TEST_SUITE_P(
    DefaultVek340, RefusalTest,
    ::testing::Values(RefusalCase{"UnknownPid", 0x20, 0x0082, {}, 0x0000},
                      RefusalCase{"StartAddressZero", 0x30, 0x00F0, {0x00, 0x00}, 0x0006},
                      RefusalCase{"StartAddress513", 0x30, 0x00F0, {0x02, 0x01}, 0x0006},
                      RefusalCase{"StartAddressOneByte", 0x30, 0x00F0, {0x01}, 0x0001},
                      RefusalCase{"PersonalityZero", 0x30, 0x00E0, {0}, 0x0006},
                      RefusalCase{"PersonalityBeyondTheLast", 0x30, 0x00E0, {6}, 0x0006},
                      RefusalCase{"DescriptionOfPersonalityZero", 0x20, 0x00E1, {0}, 0x0006},
                      RefusalCase{"DescriptionWithoutNumber", 0x20, 0x00E1, {}, 0x0001},
                      RefusalCase{"DeviceInfoWithData", 0x20, 0x0060, {0x00}, 0x0001},
                      RefusalCase{"SetOfDeviceInfo", 0x30, 0x0060, {}, 0x0005},
                      RefusalCase{"SetOfSoftwareLabel", 0x30, 0x00C0, {}, 0x0005},
                      RefusalCase{"StatusLedHalfOn", 0x30, 0x0501, {0x7F}, 0x0006},
                      RefusalCase{"StatusLedTwoBytes", 0x30, 0x0501, {0xFF, 0xFF}, 0x0001}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(FastLineTest, UnlistedOptionalParametersAreUnknown) {
    VC_FixtureConfig config{};
    ASSERT_EQ(VC_GetFixture(kFixture, &config), 0);
    config.supports_model_description = 0;
    config.supports_status_led = 0;
    ASSERT_EQ(VC_SetFixture(kFixture, &config), 0);

    EXPECT_EQ(ask(handle, 0x20, 0x0050).data, (Bytes{0x00, 0xE0, 0x00, 0xE1}));
    EXPECT_EQ(ask(handle, 0x20, 0x0080).data, (Bytes{0x00, 0x00}));
    EXPECT_EQ(ask(handle, 0x20, 0x0501).data, (Bytes{0x00, 0x00}));
    // Required of every responder, so answered although not listed.
    EXPECT_EQ(ask(handle, 0x20, 0x00C0).responseType, kAck);
    EXPECT_EQ(ask(handle, 0x20, 0x1000).responseType, kAck);
}

TEST_F(FastLineTest, AnswersOnlyWhatIsAddressedToIt) {
    const Bytes otherFixture{0x5A, 0x59, 0x12, 0x34, 0x56, 0x79};
    const Bytes manufacturerBroadcast{0x5A, 0x59, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes otherManufacturerBroadcast{0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF};

    EXPECT_TRUE(transact(handle, rdmRequest(otherFixture, 0x20, 0x0060)).empty());
    EXPECT_TRUE(transact(handle, rdmRequest(kBroadcastUid, 0x20, 0x0060)).empty());

    // Broadcast SETs act without an answer, for this fixture's manufacturer or everyone.
    EXPECT_TRUE(transact(handle, rdmRequest(manufacturerBroadcast, 0x30, 0x00F0, {0x00, 0x0A})).empty());
    EXPECT_TRUE(transact(handle, rdmRequest(otherManufacturerBroadcast, 0x30, 0x00E0, {2})).empty());
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 10);
    EXPECT_EQ(state.current_personality, 1);
}

TEST_F(FastLineTest, IgnoresARequestWithABadChecksum) {
    Bytes request = rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x20});
    request.back() = static_cast<uint8_t>(request.back() ^ 0x01);
    EXPECT_TRUE(transact(handle, request).empty());
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 1);
}

TEST_F(FastLineTest, DiscoveryAnswersInRangeUntilMuted) {
    const Bytes below{0x5A, 0x59, 0x12, 0x34, 0x56, 0x77};
    const Bytes exact = kFixtureUid;
    EXPECT_EQ(transact(handle, discoveryRequest(exact, exact)).size(), 24u);
    EXPECT_TRUE(transact(handle, discoveryRequest({0, 0, 0, 0, 0, 0}, below)).empty());

    // DISC_MUTE to the fixture answers with control field 0 and silences discovery.
    const Bytes muteReply = transact(handle, rdmRequest(kFixtureUid, 0x10, 0x0002));
    ASSERT_EQ(muteReply.size(), 28u);
    EXPECT_EQ(muteReply[20], 0x11);
    EXPECT_EQ(muteReply[23], 2);
    EXPECT_EQ(muteReply[24], 0x00);
    EXPECT_EQ(muteReply[25], 0x00);
    EXPECT_TRUE(transact(handle, discoveryRequest({0, 0, 0, 0, 0, 0}, kBroadcastUid)).empty());

    // A broadcast DISC_UN_MUTE gets no answer but brings it back.
    EXPECT_TRUE(transact(handle, rdmRequest(kBroadcastUid, 0x10, 0x0003)).empty());
    EXPECT_EQ(transact(handle, discoveryRequest({0, 0, 0, 0, 0, 0}, kBroadcastUid)).size(), 24u);
}

// How a fixture takes DISC_MUTE: its answer, and whether discovery still finds it afterwards.
TEST_F(FastLineTest, DiscMuteIsObeyedIgnoredOrOnlyAnswered) {
    const struct {
        const char* name;
        int discMute;
        std::size_t muteReplyLength;
        bool answersDiscoveryAfterwards;
    } cases[] = {
        {"obeys", VC_DISC_MUTE_OBEYS, 28, false},
        {"ignores", VC_DISC_MUTE_IGNORES, 0, true},
        {"answers only", VC_DISC_MUTE_ANSWERS_ONLY, 28, true},
    };
    const Bytes wholeRange = discoveryRequest({0, 0, 0, 0, 0, 0}, kBroadcastUid);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VC_FixtureConfig fixture{};
        ASSERT_EQ(VC_GetFixture(kFixture, &fixture), 0);
        fixture.disc_mute = c.discMute;
        fixture.muted = 0;
        ASSERT_EQ(VC_SetFixture(kFixture, &fixture), 0);
        EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x10, 0x0002)).size(), c.muteReplyLength);
        EXPECT_EQ(transact(handle, wholeRange).size(), c.answersDiscoveryAfterwards ? 24u : 0u);
    }
}

// Noise follows every RDM request, answered or not, and ANDs with an answer that starts with it.
TEST_F(FastLineTest, LineNoiseFollowsEveryRequest) {
    const Bytes noise{0x7F, 0xF0, 0x3C};
    VC_SetLineNoise(0, noise.data(), static_cast<int>(noise.size()));
    EXPECT_EQ(transact(handle, rdmRequest({0x12, 0x34, 0, 0, 0, 1}, 0x20, 0x0060)), noise);
    const Bytes answer = transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060));
    ASSERT_EQ(answer.size(), 45u);
    EXPECT_EQ(answer[0], 0xCC & 0x7F);
    EXPECT_EQ(answer[1], 0x01 & 0xF0);
    EXPECT_EQ(answer[3], 0x5A) << "beyond the noise the answer is untouched";

    VC_SetLineNoise(0, nullptr, 0);
    EXPECT_TRUE(transact(handle, rdmRequest({0x12, 0x34, 0, 0, 0, 1}, 0x20, 0x0060)).empty());
}

} // namespace
