// Breaks, frames and direction on an opened cable, and the RDM transactions on the line, with the
// background refresh switched off (its interplay with transactions is in RefreshTest).
#include "VirtualCableFixture.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr std::uint8_t GET_COMMAND = 0x20;
constexpr std::uint16_t DEVICE_INFO = 0x0060;
constexpr std::uint16_t SUPPORTED_PARAMETERS = 0x0050;
constexpr std::uint8_t DISCOVERY_COMMAND = 0x10;
constexpr std::uint16_t DISC_UN_MUTE = 0x0003;

class Line : public VirtualCableTest {};

// The break is a zero byte at 50000 baud, 8N2: 180 us low. The data follows at 250000 baud, 8N2,
// no sooner than 212 us after the break byte was handed over.
void ExpectBreakThenDataAsDMXWants(const VC_Packet& packet) {
    EXPECT_EQ(packet.break_format.baud, 50000u);
    EXPECT_EQ(packet.break_format.data_bits, 8);
    EXPECT_EQ(packet.break_format.stop_bits, 2);
    EXPECT_EQ(packet.break_format.parity, 0);
    EXPECT_GE(packet.break_low_us, 176.0);
    EXPECT_EQ(packet.data_format.baud, 250000u);
    EXPECT_EQ(packet.data_format.data_bits, 8);
    EXPECT_EQ(packet.data_format.stop_bits, 2);
    EXPECT_EQ(packet.data_format.parity, 0);
    EXPECT_GE(packet.break_to_data_us, 212.0);
}

// The reply record is packed; its fields go to the assertions as copies, never as references.
template <typename T> T Value(T field) {
    return field;
}

TEST_F(Line, AFrameGoesOutAfterABreakAsAll513Bytes) {
    auto wrapper = OpenCable();
    TDMXBuffer frame{};
    frame.Frame.DMXData[0] = 0x11;
    frame.Frame.DMXData[511] = 0x22;

    for (const TDMXBuffer& sent : {DMXBuffer, frame}) {
        VC_CaptureClear();
        wrapper->TransmitDMXPackage(0, sent);
        const std::vector<VC_Packet> packets = Captured(VC_TO_FIXTURE);
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0].length, 513);
        EXPECT_EQ(packets[0].flags, 0) << "sent without a proper break, undriven or garbled";
        EXPECT_TRUE(std::equal(sent.Buffer, sent.Buffer + 513, packets[0].bytes));
        ExpectBreakThenDataAsDMXWants(packets[0]);
    }
    EXPECT_EQ(wrapper->LastFTD2XXError(), 0u);
}

TEST_F(Line, OperationsOnAnIndexWithoutCableTouchNothing) {
    ZYL_NOT_BEHIND_LIBFTDI("fails and counts D2XX calls inside the virtual cable");
    auto wrapper = OpenCable();
    VC_FailCall("FT_GetStatus", 3, 1); // leaves a status behind that must survive
    std::uint32_t rx = 0;
    std::uint32_t tx = 0;
    wrapper->GetStatus(0, rx, tx);
    ASSERT_EQ(wrapper->LastFTD2XXError(), 3u);
    const std::uint64_t callsBefore = VC_CallCount("*");

    std::uint8_t byte = 0;
    for (int idx : {-1, 1}) {
        wrapper->TransmitDMXPackage(idx, DMXBuffer);
        wrapper->StreamDataWithBreak(idx, &byte, 1);
        wrapper->SetTransmit(idx);
        wrapper->SetRecieve(idx);
        wrapper->PurgeInBuf(idx);
        wrapper->SetTimeOuts(idx, 10, 10);
        rx = tx = 99;
        wrapper->GetStatus(idx, rx, tx);
        EXPECT_EQ(rx, 0u);
        EXPECT_EQ(tx, 0u);
        int read = -7;
        wrapper->ReadData(idx, &byte, 1, read);
        EXPECT_EQ(read, -7);
    }
    EXPECT_EQ(VC_CallCount("*"), callsBefore);
    EXPECT_EQ(wrapper->LastFTD2XXError(), 3u);
    EXPECT_EQ(VC_CaptureCount(), 0);
}

TEST_F(Line, BreakWithoutDataStillSwitchesTheBaudRateTwice) {
    ZYL_NOT_BEHIND_LIBFTDI("counts D2XX calls inside the virtual cable");
    auto wrapper = OpenCable();
    for (int length : {0, -5}) { // a negative length sends nothing rather than a huge count
        const std::uint64_t baudBefore = VC_CallCount("FT_SetBaudRate");
        const std::uint64_t writesBefore = VC_CallCount("FT_Write");
        std::uint8_t byte = 0x55;
        wrapper->StreamDataWithBreak(0, &byte, length);
        EXPECT_EQ(VC_CallCount("FT_SetBaudRate"), baudBefore + 2) << length;
        EXPECT_EQ(VC_CallCount("FT_Write"), writesBefore + 2) << length;
    }
}

TEST_F(Line, TheLastDriverStatusOfABreakIsKept) {
    ZYL_NOT_BEHIND_LIBFTDI("fails a D2XX call inside the virtual cable");
    auto wrapper = OpenCable();
    VC_FailCall("FT_SetBaudRate", 7, 1);
    wrapper->TransmitDMXPackage(0, DMXBuffer);
    EXPECT_EQ(wrapper->LastFTD2XXError(), 0u) << "the final write succeeded";

    VC_FailCall("FT_Write", 10, -1);
    wrapper->TransmitDMXPackage(0, DMXBuffer);
    VC_FailCall("FT_Write", 0, 0);
    EXPECT_EQ(wrapper->LastFTD2XXError(), 10u);
}

TEST_F(Line, FrameSettersCopyAtMostOneFrame) {
    TFTD2XXWrapper wrapper;
    std::vector<std::uint8_t> source(600);
    std::iota(source.begin(), source.end(), std::uint8_t{1});

    wrapper.SetDMXBuffer(source.data(), 600);
    TDMXBuffer out = wrapper.OutData();
    EXPECT_TRUE(std::equal(out.Buffer, out.Buffer + 513, source.begin()));

    wrapper.SetDMXData(source.data(), 600);
    out = wrapper.OutData();
    EXPECT_EQ(out.Frame.StartCode, 0);
    EXPECT_TRUE(std::equal(out.Frame.DMXData, out.Frame.DMXData + 512, source.begin()));

    wrapper.SetOutData(DMXBuffer);
    const std::uint8_t three[] = {0xAA, 0xBB, 0xCC};
    wrapper.SetDMXBuffer(three, 3);
    wrapper.SetDMXBuffer(three, 0);
    wrapper.SetDMXBuffer(three, -1);
    out = wrapper.OutData();
    EXPECT_EQ(out.Buffer[0], 0xAA);
    EXPECT_EQ(out.Buffer[2], 0xCC);
    EXPECT_EQ(out.Buffer[3], 0);
}

// ---- RDM transactions ---------------------------------------------------------------------------

class Transactions : public VirtualCableTest {
  protected:
    void SetUp() override {
        VirtualCableTest::SetUp();
        wrapper = OpenCable();
        uid = FixtureUID();
    }
    std::unique_ptr<TFTD2XXWrapper> wrapper;
    TUID uid{};
};

TEST_F(Transactions, ACompleteReplyIsCollectedFromItsStartCode) {
    const struct {
        const char* name;
        int fault;
        bool realisticTiming;
    } cases[] = {
        {"clean reply", VC_FAULT_NONE, false},
        {"clean reply with USB latency", VC_FAULT_NONE, true},
        {"noise before the start code", VC_FAULT_STRAY_BYTES, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.realisticTiming) {
            VC_Timing timing{200, 44, 16000};
            VC_SetTiming(&timing);
        }
        if (c.fault != VC_FAULT_NONE)
            VC_InjectFault(0, c.fault, -1, -1, 1);
        TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
        TRDMResponseData response;
        std::memset(&response, 0x5A, sizeof(response));

        ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 1000));
        EXPECT_EQ(response.Raw[0], 0xCC);
        EXPECT_EQ(Value(response.ResponseLen), response.Raw[2] + 2);
        EXPECT_EQ(Value(response.ErrorCode), 0);
        EXPECT_EQ(Value(response.ChkSum), 0);
        EXPECT_TRUE(std::all_of(response.Raw + response.ResponseLen, response.Raw + 512,
                                [](std::uint8_t b) { return b == 0; }));
        EXPECT_LE(Value(response.ResponseTimeMs), 1000u);
        EXPECT_TRUE(CheckRDMResponse(request, response, 1000));
        EXPECT_EQ(Value(response.ErrorCode), 0);
    }
}

TEST_F(Transactions, TheRequestGoesOutWholeAndTheLineIsLeftReceiving) {
    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    VC_CaptureClear();
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 1000));
    const std::vector<VC_Packet> sent = Captured(VC_TO_FIXTURE);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].length, request.MessageLength() + 2);
    EXPECT_EQ(std::memcmp(sent[0].bytes, &request.CommandData(), static_cast<std::size_t>(sent[0].length)),
              0);
    EXPECT_EQ(sent[0].flags, 0);
    ExpectBreakThenDataAsDMXWants(sent[0]);
    EXPECT_EQ(VC_CallCount("FT_SetRts"), 1u);
}

// Bytes left in the receive queue by an earlier reply must not be taken for the answer to the next
// request.
TEST_F(Transactions, TheReceiveBufferIsEmptiedBeforeEachRequest) {
    TRDMCommand first(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, first, response, 1000));
    const std::vector<std::uint8_t> reply(response.Raw, response.Raw + response.ResponseLen);
    std::vector<std::uint8_t> twice = reply;
    twice.insert(twice.end(), reply.begin(), reply.end());
    VC_SetRawReply(0, twice.data(), static_cast<int>(twice.size()), GET_COMMAND, DEVICE_INFO, 1);
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, first, response, 1000));

    TRDMCommand next(uid, GET_COMMAND, SUPPORTED_PARAMETERS, true);
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, next, response, 1000));
    EXPECT_TRUE(CheckRDMResponse(next, response, 1000));
    EXPECT_EQ(Value(response.ErrorCode), 0) << "the rest of the earlier reply was read as the answer";

    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    const std::uint8_t staleDiscoveryReply[] = {0xAA, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55,
                                                0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    std::vector<std::uint8_t> withStaleDiscovery = reply;
    withStaleDiscovery.insert(withStaleDiscovery.end(), std::begin(staleDiscoveryReply),
                              std::end(staleDiscoveryReply));
    VC_SetRawReply(0, withStaleDiscovery.data(), static_cast<int>(withStaleDiscovery.size()), GET_COMMAND,
                   DEVICE_INFO, 1);
    ASSERT_TRUE(wrapper->RDMCommandWithResponse(0, first, response, 1000));
    TUID found{};
    ASSERT_TRUE(wrapper->DiscoveryCommand(0, branch, found, 100));
    EXPECT_EQ(found, uid);
}

TEST_F(Transactions, IncompleteRepliesAreFailures) {
    const struct {
        const char* name;
        int fault;
        std::uint32_t timeout;
    } cases[] = {
        {"silence", VC_FAULT_SILENCE, 100},
        {"reply cut short", VC_FAULT_SHORT_REPLY, 100},
        {"length byte 0 never completes", VC_FAULT_LENGTH_ZERO, 100},
        {"reply later than the timeout", VC_FAULT_SLOW_REPLY, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VC_InjectFault(0, c.fault, -1, -1, 1);
        TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
        TRDMResponseData response{};
        EXPECT_FALSE(wrapper->RDMCommandWithResponse(0, request, response, c.timeout));
        EXPECT_GT(Value(response.ResponseTimeMs), c.timeout);
        EXPECT_LE(Value(response.ResponseLen), 258);
        if (response.ResponseLen > 0) {
            EXPECT_EQ(response.Raw[0], 0xCC);
        }
    }
}

// A reply whose length byte is 0 never says where it ends: collection gives up once it has stored
// 258 bytes, one more than the longest reply, long before the time is up.
TEST_F(Transactions, ReplyWithoutLengthIsCollectedUpTo258Bytes) {
    std::vector<std::uint8_t> endless(300, 0x55);
    endless[0] = 0xCC;
    endless[1] = 0x01;
    endless[2] = 0x00;
    VC_SetRawReply(0, endless.data(), static_cast<int>(endless.size()), GET_COMMAND, DEVICE_INFO, 1);
    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_FALSE(wrapper->RDMCommandWithResponse(0, request, response, 1000));
    EXPECT_EQ(Value(response.ResponseLen), 258);
    EXPECT_LT(Value(response.ResponseTimeMs), 1000u);
}

TEST_F(Transactions, DiscoveryDecodesTheAnsweringFixture) {
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found{};
    ASSERT_TRUE(wrapper->DiscoveryCommand(0, branch, found, 100));
    EXPECT_EQ(found, uid);

    VC_InjectFault(0, VC_FAULT_COLLISION, -1, -1, 1);
    EXPECT_FALSE(wrapper->DiscoveryCommand(0, branch, found, 100));
}

// The search needs to know whether anybody answered at all: bytes that never form a reply still
// mean somebody is there, silence means nobody is.
TEST_F(Transactions, ABranchTellsSilenceFromBytesThatDoNotDecode) {
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found{};
    EXPECT_EQ(wrapper->DiscoveryBranch(0, branch, found, 100), TDiscoveryReply::Decoded);
    EXPECT_EQ(found, uid);

    VC_InjectFault(0, VC_FAULT_COLLISION, -1, -1, 1);
    EXPECT_EQ(wrapper->DiscoveryBranch(0, branch, found, 100), TDiscoveryReply::Garbled);

    const std::uint8_t noSeparator[] = {0xFE, 0x00, 0x7F, 0x12};
    VC_SetRawReply(0, noSeparator, sizeof(noSeparator), DISCOVERY_COMMAND, -1, 1);
    EXPECT_EQ(wrapper->DiscoveryBranch(0, branch, found, 100), TDiscoveryReply::Garbled);

    VC_SetFixtureSilent(0, 1);
    EXPECT_EQ(wrapper->DiscoveryBranch(0, branch, found, 100), TDiscoveryReply::None);
    EXPECT_EQ(wrapper->DiscoveryBranch(1, branch, found, 100), TDiscoveryReply::None) << "no cable there";
}

// On a busy machine the collecting thread can fall behind: here each look at the receive queue
// takes 10 ms, so when the window closes most of a reply that came in time is still waiting in the
// driver. Those bytes arrived in time and are taken; nothing that arrives later is waited for.
TEST_F(Transactions, BytesReceivedInTimeAreTakenWhenTheCollectorFallsBehind) {
    ZYL_NOT_BEHIND_LIBFTDI("delays FT_GetStatus inside the virtual cable");
    VC_SetStatusDelay(10000);
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found{};
    EXPECT_TRUE(wrapper->DiscoveryCommand(0, branch, found, 100));
    EXPECT_EQ(found, uid);

    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 50));
    EXPECT_EQ(Value(response.ResponseLen), response.Raw[2] + 2);

    VC_InjectFault(0, VC_FAULT_SHORT_REPLY, -1, -1, 1);
    EXPECT_FALSE(wrapper->RDMCommandWithResponse(0, request, response, 50));
}

TEST_F(Transactions, AReplyFinishedAfterTheWindowIsATimeoutEvenWhenTakenLate) {
    // The reply's last byte reaches the driver about 60 ms after the request, past the 50 ms window;
    // the collector, held up in each status query, finds it whole only after the window closed.
    VC_Timing timing{};
    VC_GetTiming(&timing);
    timing.turnaround_us = 60000;
    timing.usb_latency_us = 0;
    VC_SetTiming(&timing);
    VC_SetStatusDelay(30000);
    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    EXPECT_TRUE(wrapper->RDMCommandWithResponse(0, request, response, 50)) << "the late bytes are taken";
    EXPECT_GT(Value(response.ResponseTimeMs), 50u);
    CheckRDMResponse(request, response, 50);
    EXPECT_EQ(Value(response.ErrorCode), RDM_ERR_TIMEOUT);
}

TEST_F(Transactions, DiscoveryWithoutAnswerTimesOut) {
    VC_RemoveFixture(0);
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found = uid;
    const std::uint32_t start = Platform::TimeGetTime();
    EXPECT_FALSE(wrapper->DiscoveryCommand(0, branch, found, 100));
    EXPECT_GE(Platform::TimeGetTime() - start, 100u);
    EXPECT_EQ(found, NullUID);
}

TEST_F(Transactions, SendingWithoutReceptionStaysInTransmitAndPausesAfterwards) {
    TRDMCommand unmute(BroadcastUID, DISCOVERY_COMMAND, DISC_UN_MUTE, true);
    VC_CaptureClear();
    const std::uint32_t start = Platform::TimeGetTime();
    EXPECT_TRUE(wrapper->SendRDMCommand(0, &unmute.CommandData(), unmute.MessageLength() + 2, false));
    EXPECT_GE(Platform::TimeGetTime() - start, 40u);
    EXPECT_EQ(VC_CallCount("FT_SetRts"), 0u);
    const std::vector<VC_Packet> sent = Captured(VC_TO_FIXTURE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].length, 26);
    EXPECT_EQ(std::memcmp(sent[0].bytes, &unmute.CommandData(), 26), 0);

    VC_SetCablePlugged(0, 0);
    EXPECT_FALSE(wrapper->SendRDMCommand(0, &unmute.CommandData(), unmute.MessageLength() + 2, false))
        << "a send the driver refused is no success";
}

TEST_F(Transactions, AnIndexWithoutCableFailsAtOnce) {
    TRDMCommand request(uid, GET_COMMAND, DEVICE_INFO, true);
    TRDMResponseData response{};
    TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
    branch.Finalize();
    TUID found{};
    const std::uint64_t callsBefore = VC_CallCount("*");
    for (int idx : {-1, 1}) {
        EXPECT_FALSE(wrapper->RDMCommandWithResponse(idx, request, response, 1000));
        EXPECT_FALSE(wrapper->SendRDMCommand(idx, &request.CommandData(), 26, true));
        EXPECT_FALSE(wrapper->DiscoveryCommand(idx, branch, found, 100));
    }
    EXPECT_EQ(VC_CallCount("*"), callsBefore);
}

} // namespace
