// Every injected fault shows on the line as a caller of the D2XX entry points sees it.
#include "SimLine.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

using namespace simtest;

namespace {

const Bytes kGetDeviceInfo = rdmRequest(kFixtureUid, 0x20, 0x0060);
const Bytes kFullDiscovery = discoveryRequest({0, 0, 0, 0, 0, 0}, kBroadcastUid);

bool checksumHolds(const Bytes& reply) {
    if (reply.size() < 2)
        return false;
    uint16_t sum = 0;
    for (std::size_t i = 0; i + 2 < reply.size(); ++i)
        sum = static_cast<uint16_t>(sum + reply[i]);
    return reply[reply.size() - 2] == (sum >> 8) && reply[reply.size() - 1] == (sum & 0xFF);
}

// E1.20 discovery decoding: true when a separator is followed by a UID whose checksum matches.
bool discoveryDecodes(const Bytes& reply) {
    const auto separator = std::find(reply.begin(), reply.end(), uint8_t{0xAA});
    if (separator == reply.end() || reply.end() - separator < 17)
        return false;
    const uint8_t* e = &*(separator + 1);
    uint16_t sum = 0;
    for (int i = 0; i < 12; ++i)
        sum = static_cast<uint16_t>(sum + e[i]);
    return sum == (((e[12] & e[13]) << 8) | (e[14] & e[15]));
}

struct FaultCase {
    const char* name;
    int fault;
    bool discovery;
    // Looks at the faulted answer, given the answer without the fault.
    std::function<void(const Bytes& faulted, const Bytes& normal)> check;
};

class FaultTest : public FastLineTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, ChangesTheNextAnswerOnly) {
    const Bytes& request = GetParam().discovery ? kFullDiscovery : kGetDeviceInfo;
    const Bytes normal = transact(handle, request);
    VC_InjectFault(kFixture, GetParam().fault, -1, -1, 1);
    const Bytes faulted = transact(handle, request);
    GetParam().check(faulted, normal);
    EXPECT_EQ(transact(handle, request), normal);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(FaultCase{"WrongChecksum", VC_FAULT_WRONG_CHECKSUM, false,
                                [](const Bytes& f, const Bytes& n) {
                                    ASSERT_EQ(f.size(), n.size());
                                    EXPECT_TRUE(std::equal(n.begin(), n.end() - 2, f.begin()));
                                    EXPECT_FALSE(checksumHolds(f));
                                }},
                      FaultCase{"WrongChecksumInDiscovery", VC_FAULT_WRONG_CHECKSUM, true,
                                [](const Bytes& f, const Bytes& n) {
                                    ASSERT_EQ(f.size(), n.size());
                                    EXPECT_TRUE(discoveryDecodes(n));
                                    EXPECT_FALSE(discoveryDecodes(f));
                                }},
                      FaultCase{"ShortReply", VC_FAULT_SHORT_REPLY, false,
                                [](const Bytes& f, const Bytes& n) {
                                    ASSERT_GE(f.size(), 3u); // the length byte arrives, the rest does not
                                    ASSERT_LT(f.size(), 24u);
                                    EXPECT_TRUE(std::equal(f.begin(), f.end(), n.begin()));
                                }},
                      FaultCase{"WrongCommandClass", VC_FAULT_WRONG_CC, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 45u);
                                    EXPECT_NE(f[20], 0x21);
                                    EXPECT_TRUE(checksumHolds(f));
                                }},
                      FaultCase{"WrongPid", VC_FAULT_WRONG_PID, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 45u);
                                    EXPECT_NE(Bytes(f.begin() + 21, f.begin() + 23), (Bytes{0x00, 0x60}));
                                    EXPECT_TRUE(checksumHolds(f));
                                }},
                      FaultCase{"Nack", VC_FAULT_NACK, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 28u);
                                    EXPECT_EQ(f[16], 0x02);
                                    EXPECT_EQ(f[24], 0x00);
                                    EXPECT_EQ(f[25], 0x00);
                                    EXPECT_TRUE(checksumHolds(f));
                                }},
                      FaultCase{"AckTimer", VC_FAULT_ACK_TIMER, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 28u);
                                    EXPECT_EQ(f[16], 0x01);
                                    EXPECT_TRUE(checksumHolds(f));
                                }},
                      FaultCase{"AckOverflow", VC_FAULT_ACK_OVERFLOW, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 45u);
                                    EXPECT_EQ(f[16], 0x03);
                                    EXPECT_TRUE(checksumHolds(f));
                                }},
                      FaultCase{"LengthZero", VC_FAULT_LENGTH_ZERO, false,
                                [](const Bytes& f, const Bytes&) {
                                    ASSERT_EQ(f.size(), 45u);
                                    EXPECT_EQ(f[2], 0x00);
                                }},
                      FaultCase{"StrayBytes", VC_FAULT_STRAY_BYTES, false,
                                [](const Bytes& f, const Bytes& n) {
                                    ASSERT_GT(f.size(), n.size());
                                    const std::size_t stray = f.size() - n.size();
                                    EXPECT_EQ(std::find(f.begin(), f.begin() + static_cast<long>(stray),
                                                        uint8_t{0xCC}),
                                              f.begin() + static_cast<long>(stray));
                                    EXPECT_TRUE(
                                        std::equal(n.begin(), n.end(), f.begin() + static_cast<long>(stray)));
                                }},
                      FaultCase{"CollisionInDiscovery", VC_FAULT_COLLISION, true,
                                [](const Bytes& f, const Bytes& n) {
                                    ASSERT_EQ(f.size(), n.size());
                                    EXPECT_NE(f, n);
                                    EXPECT_FALSE(discoveryDecodes(f));
                                }},
                      FaultCase{"Silence", VC_FAULT_SILENCE, false,
                                [](const Bytes& f, const Bytes&) { EXPECT_TRUE(f.empty()); }}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(FastLineTest, SlowReplyArrivesAfterASecondEvenWithFastTiming) {
    VC_InjectFault(kFixture, VC_FAULT_SLOW_REPLY, -1, -1, 1);
    const auto start = std::chrono::steady_clock::now();
    const Bytes early = transact(handle, kGetDeviceInfo);
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1000)) {
        EXPECT_TRUE(early.empty());
    }
    Bytes reply = early;
    while (reply.size() < 45 && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Bytes more = readAvailable(handle);
        reply.insert(reply.end(), more.begin(), more.end());
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1100));
    EXPECT_EQ(reply.size(), 45u);
}

TEST_F(FastLineTest, FaultsMatchTheirRequestAndQueueInOrder) {
    VC_InjectFault(kFixture, VC_FAULT_SILENCE, 0x20, 0x00C0, 1); // only a GET of the label
    VC_InjectFault(kFixture, VC_FAULT_NACK, -1, -1, 2);
    VC_InjectFault(kFixture, VC_FAULT_ACK_TIMER, -1, -1, 1);

    const Bytes getLabel = rdmRequest(kFixtureUid, 0x20, 0x00C0);
    EXPECT_EQ(transact(handle, kGetDeviceInfo).at(16), 0x02);
    EXPECT_TRUE(transact(handle, getLabel).empty());
    EXPECT_EQ(transact(handle, getLabel).at(16), 0x02);
    EXPECT_EQ(transact(handle, kGetDeviceInfo).at(16), 0x01);
    EXPECT_EQ(transact(handle, kGetDeviceInfo).at(16), 0x00);
}

TEST_F(FastLineTest, LastingFaultHoldsUntilCleared) {
    VC_InjectFault(kFixture, VC_FAULT_SILENCE, -1, -1, -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(transact(handle, kGetDeviceInfo).empty());
    VC_ClearFaults();
    EXPECT_EQ(transact(handle, kGetDeviceInfo).size(), 45u);
}

TEST_F(FastLineTest, NackedSetIsNotCarriedOutButOtherFaultsAre) {
    VC_InjectFault(kFixture, VC_FAULT_NACK, 0x30, -1, 1);
    VC_InjectFault(kFixture, VC_FAULT_SILENCE, 0x30, -1, 1);
    transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x20}));
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 1);
    transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x21}));
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 0x21);
}

TEST_F(FastLineTest, SilentFixtureHearsButNeverAnswers) {
    VC_SetFixtureSilent(kFixture, 1);
    EXPECT_TRUE(transact(handle, kFullDiscovery).empty());
    EXPECT_TRUE(transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00E0, {3})).empty());
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.current_personality, 3);
    VC_SetFixtureSilent(kFixture, 0);
    EXPECT_EQ(transact(handle, kGetDeviceInfo).size(), 45u);
}

TEST_F(FastLineTest, TwoFixturesCollideInDiscoveryButAnswerApart) {
    VC_FixtureConfig second{};
    VC_DefaultFixture(&second);
    second.uid[5] = 0x99; // 5A59:12345699
    ASSERT_GE(VC_AddFixture(0, &second), 0);

    const Bytes both = transact(handle, kFullDiscovery);
    ASSERT_EQ(both.size(), 24u);
    EXPECT_FALSE(discoveryDecodes(both));

    const Bytes onlyFirst = transact(handle, discoveryRequest(kFixtureUid, kFixtureUid));
    EXPECT_TRUE(discoveryDecodes(onlyFirst));
    const Bytes reply = transact(handle, rdmRequest({0x5A, 0x59, 0x12, 0x34, 0x56, 0x99}, 0x20, 0x0060));
    ASSERT_EQ(reply.size(), 45u);
    EXPECT_EQ(reply[14], 0x99); // source UID
}

TEST_F(FastLineTest, RemovedFixtureNoLongerAnswers) {
    VC_RemoveFixture(kFixture);
    EXPECT_TRUE(transact(handle, kGetDeviceInfo).empty());
    VC_FixtureConfig state{};
    EXPECT_EQ(VC_GetFixture(kFixture, &state), -1);
}

} // namespace

namespace {

TEST_F(FastLineTest, RawReplyGoesOnTheLineAsGivenWhileTheFixtureActs) {
    const uint8_t raw[] = {0xCC, 0x01, 0x00, 0x42};
    VC_SetRawReply(kFixture, raw, 4, 0x30, 0x00F0, 1);
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060)).size(),
              45u); // other requests untouched
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x07})),
              (Bytes{0xCC, 0x01, 0x00, 0x42}));
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 7);
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x08})).size(), 26u); // used up
}

} // namespace
