// The line between controller and fixtures: direction, timing, framing and the receive queue.
#include "SimLine.h"

#include <chrono>
#include <thread>

using namespace simtest;

namespace {

const Bytes kGetDeviceInfo = rdmRequest(kFixtureUid, 0x20, 0x0060);
constexpr std::size_t kDeviceInfoReplyLength = 45;

// Reads until the whole DEVICE_INFO reply is in, or 10 s have passed.
Bytes collectReply(VC_FT_HANDLE handle) {
    Bytes reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reply.size() < kDeviceInfoReplyLength && std::chrono::steady_clock::now() < deadline) {
        const Bytes more = readAvailable(handle);
        reply.insert(reply.end(), more.begin(), more.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return reply;
}

VC_DWORD readableNow(VC_FT_HANDLE handle) {
    VC_DWORD rx = 0, tx = 0, events = 0;
    EXPECT_EQ(FT_GetStatus(handle, &rx, &tx, &events), VC_FT_OK);
    return rx;
}

TEST_F(FastLineTest, AnswerComesOnlyAfterTheSwitchToReceive) {
    sendWithBreak(handle, kGetDeviceInfo);
    EXPECT_EQ(readableNow(handle), 0u); // still transmitting: the answer waits
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
    EXPECT_EQ(reply[22], 0xC0); // only the second request is answered
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
    const VC_Timing slow{200, 44, 300'000}; // a latency long enough to look at before it passes
    VC_SetTiming(&slow);
    sendWithBreak(handle, kGetDeviceInfo);
    const auto switched = std::chrono::steady_clock::now();
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    const VC_DWORD early = readableNow(handle);
    const auto looked = std::chrono::steady_clock::now();
    if (looked - switched < std::chrono::milliseconds(250)) {
        EXPECT_EQ(early, 0u); // looked before the latency was over
    }

    const Bytes reply = collectReply(handle);
    EXPECT_GE(std::chrono::steady_clock::now() - switched, std::chrono::milliseconds(300));
    ASSERT_EQ(reply.size(), kDeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);
}

// The latency timer set with FT_SetLatencyTimer takes the place of the USB latency: with the timer
// out of reset the answer would wait a minute, with 2 ms it comes within the test's deadline.
TEST_F(RealisticLineTest, ALowerLatencyTimerMakesTheAnswerReadableSooner) {
    const VC_Timing minute{200, 44, 60'000'000};
    VC_SetTiming(&minute);
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.latency_timer_ms, 16) << "as the chip comes out of reset";
    ASSERT_EQ(FT_SetLatencyTimer(handle, 2), VC_FT_OK);
    for (const unsigned char refused : {0, 1}) {
        EXPECT_EQ(FT_SetLatencyTimer(handle, refused), VC_FT_INVALID_PARAMETER) << int{refused};
    }
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.latency_timer_ms, 2);
    EXPECT_EQ(VC_CallCount("FT_SetLatencyTimer"), 3u);

    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    const Bytes reply = collectReply(handle);
    ASSERT_EQ(reply.size(), kDeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);

    // Opening again resets the chip, and with it the timer.
    ASSERT_EQ(FT_Close(handle), VC_FT_OK);
    handle = openLine();
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.latency_timer_ms, 16);
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
    const VC_Timing slowBytes{0, 20'000, 0}; // 20 ms per byte
    VC_SetTiming(&slowBytes);
    sendWithBreak(handle, kGetDeviceInfo);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    ASSERT_EQ(FT_ClrRts(handle), VC_FT_OK);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(readAvailable(handle).size(), kDeviceInfoReplyLength);
}

bool sameFormat(const VC_LineFormat& f, uint32_t baud, uint8_t dataBits, uint8_t stopBits, uint8_t parity) {
    return f.baud == baud && f.data_bits == dataBits && f.stop_bits == stopBits && f.parity == parity;
}

VC_Packet firstControllerPacket() {
    VC_Packet packet{};
    for (int i = 0; i < VC_CaptureCount(); ++i)
        if (VC_CaptureGet(i, &packet) == 0 && packet.direction == VC_TO_FIXTURE)
            return packet;
    ADD_FAILURE() << "no packet from the controller";
    return VC_Packet{};
}

TEST_F(RealisticLineTest, CaptureShowsHowTheBreakAndTheDataCrossedTheLine) {
    const struct {
        const char* name;
        uint32_t breakBaud;
        double lowUs; // start bit and 8 data bits
    } cases[] = {{"break at 50000 baud", 50000, 180.0}, {"break at 100000 baud", 100000, 90.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VC_CaptureClear();
        ASSERT_EQ(FT_ClrRts(handle), VC_FT_OK);
        sendWithBreak(handle, kGetDeviceInfo, c.breakBaud);
        ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // request and answer crossed the line
        const VC_Packet packet = firstControllerPacket();
        EXPECT_EQ(packet.flags, 0);
        EXPECT_TRUE(sameFormat(packet.break_format, c.breakBaud, 8, 2, 0));
        EXPECT_TRUE(sameFormat(packet.data_format, 250000, 8, 2, 0));
        EXPECT_NEAR(packet.break_low_us, c.lowUs, 1.0);
        // The data waited for the whole break byte, stop bits included.
        EXPECT_GE(packet.break_to_data_us, c.lowUs * 11 / 9 - 1.0);
    }
    VC_Packet answer{};
    ASSERT_EQ(VC_CaptureGet(VC_CaptureCount() - 1, &answer), 0);
    EXPECT_EQ(answer.direction, VC_FROM_FIXTURE);
    EXPECT_EQ(answer.break_format.baud, 0u);
    EXPECT_EQ(answer.break_to_data_us, -1.0);
}

// The chip takes a new rate at once: the break byte goes on at it, holds the line low for too short
// a time and the request after it is not heard.
TEST_F(RealisticLineTest, ARateChangeWhileTheBreakIsSentCutsTheBreakShort) {
    VC_CaptureClear();
    uint8_t breakByte = 0x00;
    VC_DWORD written = 0;
    Bytes request = kGetDeviceInfo;
    ASSERT_EQ(FT_SetBaudRate(handle, 50000), VC_FT_OK);
    ASSERT_EQ(FT_Write(handle, &breakByte, 1, &written), VC_FT_OK);
    ASSERT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_OK);
    ASSERT_EQ(FT_Write(handle, request.data(), static_cast<VC_DWORD>(request.size()), &written), VC_FT_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(5)); // the request has crossed the line
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const VC_Packet packet = firstControllerPacket();
    EXPECT_EQ(packet.flags & (VC_PACKET_NO_BREAK | VC_PACKET_GARBLED),
              VC_PACKET_NO_BREAK | VC_PACKET_GARBLED);
    EXPECT_EQ(packet.break_format.baud, 0u);
    EXPECT_EQ(VC_CaptureCount(), 1) << "the fixture answered a request without a break";
}

TEST_F(FastLineTest, CableSettingsShowWhatTheControllerSet) {
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.open, 1);
    EXPECT_TRUE(sameFormat(settings.format, 250000, 8, 2, 0));
    EXPECT_EQ(settings.flow_control, 0);
    EXPECT_EQ(settings.purge_masks, 1u << 3);
    EXPECT_EQ(settings.receive, 0);

    ASSERT_EQ(FT_SetChars(handle, 0x7E, 1, 0x21, 1), VC_FT_OK);
    ASSERT_EQ(FT_SetFlowControl(handle, 0x0400, 0x11, 0x13), VC_FT_OK);
    ASSERT_EQ(FT_SetDataCharacteristics(handle, 7, 0, 2), VC_FT_OK);
    ASSERT_EQ(FT_Purge(handle, VC_FT_PURGE_RX), VC_FT_OK);
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_TRUE(sameFormat(settings.format, 250000, 7, 1, 2));
    EXPECT_EQ(settings.event_char, 0x7E);
    EXPECT_EQ(settings.event_char_enabled, 1);
    EXPECT_EQ(settings.error_char, 0x21);
    EXPECT_EQ(settings.error_char_enabled, 1);
    EXPECT_EQ(settings.flow_control, 0x0400);
    EXPECT_EQ(settings.xon_char, 0x11);
    EXPECT_EQ(settings.xoff_char, 0x13);
    EXPECT_EQ(settings.purge_masks, (1u << 3) | (1u << 1));
    EXPECT_EQ(settings.last_purge_mask, 1u);
    EXPECT_EQ(settings.receive, 1);

    // Opened again, the cable starts as a fresh chip.
    ASSERT_EQ(FT_Close(handle), VC_FT_OK);
    ASSERT_EQ(FT_Open(0, &handle), VC_FT_OK);
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_TRUE(sameFormat(settings.format, 9600, 8, 1, 0));
    EXPECT_EQ(settings.purge_masks, 0u);
    EXPECT_EQ(settings.event_char_enabled, 0);
    EXPECT_EQ(VC_GetCableSettings(1, &settings), -1);
}

TEST_F(FastLineTest, AFixtureStoringASetHearsNothingUntilItIsDone) {
    VC_FixtureConfig fixture{};
    ASSERT_EQ(VC_GetFixture(kFixture, &fixture), 0);
    fixture.busy_after_set_ms = 200;
    ASSERT_EQ(VC_SetFixture(kFixture, &fixture), 0);

    // A GET and a refused SET store nothing.
    EXPECT_EQ(transact(handle, kGetDeviceInfo).size(), kDeviceInfoReplyLength);
    EXPECT_GT(transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x02, 0x01})).size(), 0u);
    EXPECT_EQ(transact(handle, kGetDeviceInfo).size(), kDeviceInfoReplyLength);

    const auto stored = std::chrono::steady_clock::now();
    EXPECT_GT(transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00F0, {0x00, 0x21})).size(), 0u);
    const Bytes whileBusy = transact(handle, rdmRequest(kFixtureUid, 0x30, 0x00E0, {0x02}));
    if (std::chrono::steady_clock::now() - stored < std::chrono::milliseconds(150)) {
        EXPECT_EQ(whileBusy.size(), 0u);
        ASSERT_EQ(VC_GetFixture(kFixture, &fixture), 0);
        EXPECT_EQ(fixture.current_personality, 1) << "a busy fixture acted on a request";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(transact(handle, kGetDeviceInfo).size(), kDeviceInfoReplyLength);
    ASSERT_EQ(VC_GetFixture(kFixture, &fixture), 0);
    EXPECT_EQ(fixture.start_address, 0x21);

    VC_FixtureConfig fresh{};
    VC_DefaultFixture(&fresh);
    EXPECT_EQ(fresh.busy_after_set_ms, 2000u) << "a VEK-340 needs less than the tool's 2500 ms";
}

} // namespace
