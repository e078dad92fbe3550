// The line between controller and fixtures: direction, timing, framing and the receive queue.
#include "SimLine.h"

#include <chrono>
#include <thread>

using namespace simtest;

namespace {

const Bytes kGetDeviceInfo = rdmRequest(kFixtureUid, 0x20, 0x0060);
constexpr std::size_t kDeviceInfoReplyLength = 45;

VC_DWORD readableNow(VC_FT_HANDLE handle) {
    VC_DWORD rx = 0, tx = 0, events = 0;
    EXPECT_EQ(FT_GetStatus(handle, &rx, &tx, &events), VC_FT_OK);
    return rx;
}

TEST_F(FastLineTest, AnswerComesOnlyAfterTheSwitchToReceive) {
    sendWithBreak(handle, kGetDeviceInfo);
    EXPECT_EQ(readableNow(handle), 0u);  // still transmitting: the answer waits
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    const Bytes reply = readAvailable(handle);
    ASSERT_EQ(reply.size(), kDeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);
    EXPECT_EQ(reply[20], 0x21);
}

TEST_F(FastLineTest, ANewBreakDropsAnAnswerNobodyListenedFor) {
    sendWithBreak(handle, kGetDeviceInfo);
    sendWithBreak(handle, rdmRequest(kFixtureUid, 0x20, 0x00C0));
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    const Bytes reply = readAvailable(handle);
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(reply[22], 0xC0);  // only the second request is answered
    EXPECT_EQ(reply.size(), 39u);
}

TEST_F(FastLineTest, RequestWithoutBreakOrAtAnotherRateIsNotHeard) {
    VC_DWORD written = 0;
    Bytes request = kGetDeviceInfo;
    ASSERT_EQ(FT_Write(handle, request.data(), static_cast<VC_DWORD>(request.size()), &written), VC_FT_OK);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    EXPECT_EQ(readableNow(handle), 0u);

    ASSERT_EQ(FT_ClrRts(handle), VC_FT_OK);
    uint8_t breakByte = 0;
    ASSERT_EQ(FT_SetBaudRate(handle, 50000), VC_FT_OK);
    ASSERT_EQ(FT_Write(handle, &breakByte, 1, &written), VC_FT_OK);
    ASSERT_EQ(FT_SetBaudRate(handle, 115200), VC_FT_OK);
    ASSERT_EQ(FT_Write(handle, request.data(), static_cast<VC_DWORD>(request.size()), &written), VC_FT_OK);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    EXPECT_EQ(readableNow(handle), 0u);
}

TEST_F(FastLineTest, RequestSentWhileReceivingIsNotHeard) {
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    sendWithBreak(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x33}));
    EXPECT_EQ(readableNow(handle), 0u);
    VC_FixtureConfig state{};
    ASSERT_EQ(VC_GetFixture(kFixture, &state), 0);
    EXPECT_EQ(state.start_address, 1);
}

TEST_F(FastLineTest, PurgeDropsReceivedBytes) {
    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    ASSERT_EQ(readableNow(handle), kDeviceInfoReplyLength);
    ASSERT_EQ(FT_Purge(handle, VC_FT_PURGE_RX), VC_FT_OK);
    EXPECT_EQ(readableNow(handle), 0u);
}

TEST_F(FastLineTest, ReadHandsOutBytesInOrderAndNoMoreThanWait) {
    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    Bytes collected;
    uint8_t byte = 0;
    VC_DWORD got = 0;
    while (readableNow(handle) > 0) {
        ASSERT_EQ(FT_Read(handle, &byte, 1, &got), VC_FT_OK);
        ASSERT_EQ(got, 1u);
        collected.push_back(byte);
    }
    Bytes spare(8);
    ASSERT_EQ(FT_Read(handle, spare.data(), 8, &got), VC_FT_OK);
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(collected.size(), kDeviceInfoReplyLength);
    EXPECT_EQ(collected[0], 0xCC);
    EXPECT_EQ(collected[2], 0x2B);
}

// Realistic timing: bytes cross the line at 44 us each and wait for the USB latency.
class RealisticLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        VC_Reset();
        handle = openLine();
    }
    void TearDown() override {
        FT_Close(handle);
        VC_Reset();
    }
    VC_FT_HANDLE handle = nullptr;
};

TEST_F(RealisticLineTest, AnswerBecomesReadableAfterTurnaroundBytesAndLatency) {
    const VC_Timing slow{200, 44, 300'000};  // a latency long enough to look at before it passes
    VC_SetTiming(&slow);
    sendWithBreak(handle, kGetDeviceInfo);
    const auto switched = std::chrono::steady_clock::now();
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    const VC_DWORD early = readableNow(handle);
    const auto looked = std::chrono::steady_clock::now();
    if (looked - switched < std::chrono::milliseconds(250)) {
        EXPECT_EQ(early, 0u);  // looked before the latency was over
    }

    Bytes reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reply.size() < kDeviceInfoReplyLength && std::chrono::steady_clock::now() < deadline) {
        const Bytes more = readAvailable(handle);
        reply.insert(reply.end(), more.begin(), more.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - switched, std::chrono::milliseconds(300));
    ASSERT_EQ(reply.size(), kDeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);
}

TEST_F(RealisticLineTest, ReadWaitsUpToItsTimeoutForTheBytes) {
    ASSERT_EQ(FT_SetTimeouts(handle, 5000, 0), VC_FT_OK);
    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    Bytes reply(kDeviceInfoReplyLength);
    VC_DWORD got = 0;
    ASSERT_EQ(FT_Read(handle, reply.data(), static_cast<VC_DWORD>(reply.size()), &got), VC_FT_OK);
    EXPECT_EQ(got, kDeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);
}

TEST_F(RealisticLineTest, TurningBackToTransmitLosesTheRestOfTheAnswer) {
    const VC_Timing slowBytes{0, 20'000, 0};  // 20 ms per byte
    VC_SetTiming(&slowBytes);
    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    ASSERT_EQ(FT_ClrRts(handle), VC_FT_OK);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(readAvailable(handle).size(), kDeviceInfoReplyLength);
}

}  // namespace
