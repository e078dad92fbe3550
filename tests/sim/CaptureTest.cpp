// The line capture: what crossed the line, in which direction, in order.
#include "SimLine.h"

using namespace simtest;

namespace {

Bytes bytesOf(const VC_Packet& packet) {
    return Bytes(packet.bytes, packet.bytes + packet.length);
}

std::vector<VC_Packet> captured() {
    std::vector<VC_Packet> packets(static_cast<std::size_t>(VC_CaptureCount()));
    for (std::size_t i = 0; i < packets.size(); ++i)
        EXPECT_EQ(VC_CaptureGet(static_cast<int>(i), &packets[i]), 0);
    return packets;
}

TEST_F(FastLineTest, CapturesRequestAndAnswerInOrder) {
    VC_CaptureClear();
    const Bytes request = rdmRequest(kFixtureUid, 0x20, 0x0060);
    const Bytes reply = transact(handle, request);
    const auto packets = captured();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].direction, VC_TO_FIXTURE);
    EXPECT_EQ(bytesOf(packets[0]), request);
    EXPECT_EQ(packets[0].flags, 0);
    EXPECT_EQ(packets[1].direction, VC_FROM_FIXTURE);
    EXPECT_EQ(bytesOf(packets[1]), reply);
    EXPECT_EQ(packets[1].cable, 0);
    EXPECT_LE(packets[0].time_ms, packets[1].time_ms);
    EXPECT_GE(packets[0].time_ms, 0.0);
}

TEST_F(FastLineTest, CapturesDmxFramesAndMarksOddTraffic) {
    VC_CaptureClear();
    sendWithBreak(handle, Bytes(513, 0x00));
    uint8_t stray[2] = {0x12, 0x34};
    VC_DWORD written = 0;
    ASSERT_EQ(FT_Write(handle, stray, 2, &written), VC_FT_OK); // after the complete frame: no break
    ASSERT_EQ(FT_SetRts(handle), VC_FT_OK);
    sendWithBreak(handle, {0x00, 0x01}); // written while receiving
    ASSERT_EQ(FT_ClrRts(handle), VC_FT_OK);

    const auto packets = captured();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].length, 513);
    EXPECT_EQ(packets[0].flags, 0);
    EXPECT_EQ(bytesOf(packets[1]), (Bytes{0x12, 0x34}));
    EXPECT_EQ(packets[1].flags, VC_PACKET_NO_BREAK);
    EXPECT_EQ(bytesOf(packets[2]), (Bytes{0x00, 0x01}));
    EXPECT_EQ(packets[2].flags, VC_PACKET_NOT_DRIVEN);
    VC_Packet none{};
    EXPECT_EQ(VC_CaptureGet(3, &none), -1);
    EXPECT_EQ(VC_CaptureGet(-1, &none), -1);
}

TEST_F(FastLineTest, ResetEmptiesTheCapture) {
    transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060));
    EXPECT_GT(VC_CaptureCount(), 0);
    VC_CaptureClear();
    EXPECT_EQ(VC_CaptureCount(), 0);
    transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060));
    VC_Reset();
    EXPECT_EQ(VC_CaptureCount(), 0);
}

} // namespace
