// What a caller of the virtual cable needs to talk RDM over it with nothing but the D2XX entry
// points: open the cable with the DMX line settings, send bytes after a break, read what came back.
#pragma once

#include "D2xxApi.h"
#include "VirtualCable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline const Bytes kControllerUid{0x5A, 0x59, 0x00, 0x00, 0x00, 0x01};
inline const Bytes kFixtureUid{0x5A, 0x59, 0x12, 0x34, 0x56, 0x78}; // the default VEK-340
inline const Bytes kBroadcastUid{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// An RDM request from the controller; the checksum is the plain 16-bit sum E1.20 asks for.
inline Bytes rdmRequest(const Bytes& destination, uint8_t cc, uint16_t pid, const Bytes& data = {},
                        uint8_t transaction = 7) {
    Bytes packet{0xCC, 0x01, static_cast<uint8_t>(24 + data.size())};
    packet.insert(packet.end(), destination.begin(), destination.end());
    packet.insert(packet.end(), kControllerUid.begin(), kControllerUid.end());
    packet.insert(packet.end(), {transaction, 0x01, 0x00, 0x00, 0x00, cc, static_cast<uint8_t>(pid >> 8),
                                 static_cast<uint8_t>(pid), static_cast<uint8_t>(data.size())});
    packet.insert(packet.end(), data.begin(), data.end());
    uint16_t sum = 0;
    for (uint8_t b : packet)
        sum = static_cast<uint16_t>(sum + b);
    packet.push_back(static_cast<uint8_t>(sum >> 8));
    packet.push_back(static_cast<uint8_t>(sum));
    return packet;
}

inline Bytes discoveryRequest(const Bytes& lower, const Bytes& upper) {
    Bytes bounds = lower;
    bounds.insert(bounds.end(), upper.begin(), upper.end());
    return rdmRequest(kBroadcastUid, 0x10, 0x0001, bounds);
}

// Opens a cable as the tool does: 250000 baud, 8N2, no flow control, purged, line to transmit.
inline VC_FT_HANDLE openLine(int index = 0) {
    VC_FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(index, &handle), VC_FT_OK);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_OK);
    EXPECT_EQ(FT_SetDataCharacteristics(handle, VC_FT_BITS_8, VC_FT_STOP_BITS_2, VC_FT_PARITY_NONE),
              VC_FT_OK);
    EXPECT_EQ(FT_SetFlowControl(handle, VC_FT_FLOW_NONE, 0, 0), VC_FT_OK);
    EXPECT_EQ(FT_Purge(handle, VC_FT_PURGE_RX | VC_FT_PURGE_TX), VC_FT_OK);
    EXPECT_EQ(FT_ClrRts(handle), VC_FT_OK);
    return handle;
}

// Waits until a byte written at `baud` has left the chip: a rate change reaches the chip at once,
// also for a byte still being sent.
inline void waitUntilSent(uint32_t baud) {
    VC_Timing timing{};
    VC_GetTiming(&timing);
    const double byteUs = static_cast<double>(timing.byte_us) * 250000.0 / baud;
    // A sleep shorter than the system's tick may return at once (Windows), so watch the clock.
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::microseconds(static_cast<long>(byteUs) + 10);
    while (std::chrono::steady_clock::now() < until) {
    }
}

// A break (one zero byte at `breakBaud`) and then `bytes` at 250000 baud, once the break has left.
inline void sendWithBreak(VC_FT_HANDLE handle, Bytes bytes, uint32_t breakBaud = 50000) {
    uint8_t breakByte = 0x00;
    VC_DWORD written = 0;
    EXPECT_EQ(FT_SetBaudRate(handle, breakBaud), VC_FT_OK);
    EXPECT_EQ(FT_Write(handle, &breakByte, 1, &written), VC_FT_OK);
    waitUntilSent(breakBaud);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_OK);
    EXPECT_EQ(FT_Write(handle, bytes.data(), static_cast<VC_DWORD>(bytes.size()), &written), VC_FT_OK);
}

// Everything readable right now.
inline Bytes readAvailable(VC_FT_HANDLE handle) {
    VC_DWORD rx = 0, tx = 0, events = 0;
    EXPECT_EQ(FT_GetStatus(handle, &rx, &tx, &events), VC_FT_OK);
    Bytes bytes(rx);
    VC_DWORD got = 0;
    if (rx > 0) {
        EXPECT_EQ(FT_Read(handle, bytes.data(), rx, &got), VC_FT_OK);
    }
    bytes.resize(got);
    return bytes;
}

// One exchange on a line with fast timing: transmit, break and request, receive, read the answer.
inline Bytes transact(VC_FT_HANDLE handle, const Bytes& request) {
    EXPECT_EQ(FT_ClrRts(handle), VC_FT_OK);
    EXPECT_EQ(FT_Purge(handle, VC_FT_PURGE_RX), VC_FT_OK);
    sendWithBreak(handle, request);
    EXPECT_EQ(FT_SetRts(handle), VC_FT_OK);
    return readAvailable(handle);
}

// Default VEK-340 on one cable, fast timing, the cable opened. It takes the next request at once
// after a SET; its time to store one has a test of its own.
class FastLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VC_Reset();
        VC_SetFastTiming();
        VC_FixtureConfig fixture{};
        VC_GetFixture(kFixture, &fixture);
        fixture.busy_after_set_ms = 0;
        VC_SetFixture(kFixture, &fixture);
        handle = openLine();
    }
    void TearDown() override {
        FT_Close(handle);
        VC_Reset();
    }
    VC_FT_HANDLE handle = nullptr;
    static constexpr int kFixture = 0; // the default fixture's id after VC_Reset
};

} // namespace simtest
