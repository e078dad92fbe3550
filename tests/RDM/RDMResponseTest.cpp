// The reply check: each ErrorCode reached by a reply built for it, the unsupported response
// types, and reply lengths that no stored reply can have.
#include "RDMTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <limits>
#include <string>

using ::testing::ElementsAreArray;

namespace {

const TRDMCommand& GetDeviceInfo() {
    static const TRDMCommand Request(FixtureUID, CC_GET_COMMAND, PID_DEVICE_INFO, true);
    return Request;
}

const TRDMCommand& SetStartAddress() {
    static const TRDMCommand Request = [] {
        TRDMCommand R(FixtureUID, CC_SET_COMMAND, PID_DMX_START_ADDRESS, false);
        R.SetWordParam(1, true);
        return R;
    }();
    return Request;
}

// The fixture's ACK to GET DEVICE_INFO, without parameter data.
const TBytes AckDeviceInfo{
    0xCC, 0x01, 0x18,                   // start code, sub-start code, message length 24
    0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // destination: controller
    0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // source: the fixture
    0x00, 0x00, 0x00,                   // transaction number, ACK, message count
    0x00, 0x00,                         // sub-device: root
    0x21, 0x00, 0x60, 0x00,             // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 0
    0x04, 0x84,                         // checksum
};

// GET DEVICE_INFO replies with two faults each, for the order of the tests.
const TBytes AckDeviceInfoBadChecksum{
    0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
    0x00, 0x00, 0x00, 0x00, 0x00, // TN, ACK, count, sub-device
    0x21, 0x00, 0x60, 0x00,       // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 0
    0x04, 0x85,                   // checksum off by one
};
const TBytes NackDeviceInfo{
    0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
    0x00, 0x02, 0x00, 0x00, 0x00, // TN, NACK_REASON, count, sub-device
    0x21, 0x00, 0x60, 0x02,       // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 2
    0x00, 0x05,                   // reason: data out of range
    0x04, 0x8F,                   // checksum
};
const TBytes NackOtherPid{
    0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
    0x00, 0x02, 0x00, 0x00, 0x00, // TN, NACK_REASON, count, sub-device
    0x21, 0x00, 0x61, 0x02,       // GET_COMMAND_RESPONSE, PID 0x0061, PDL 2
    0x00, 0x05,                   // reason: data out of range
    0x04, 0x90,                   // checksum
};
const TBytes AckTimerOtherPid{
    0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
    0x00, 0x01, 0x00, 0x00, 0x00, // TN, ACK_TIMER, count, sub-device
    0x21, 0x00, 0x61, 0x00,       // GET_COMMAND_RESPONSE, PID 0x0061, PDL 0
    0x04, 0x86,                   // checksum
};

struct TCheckCase {
    std::string Name;
    const TRDMCommand& (*Request)();
    TBytes Reply;
    std::uint32_t TimeMs;
    std::int32_t ErrorCode;
    bool Result;
};

std::ostream& operator<<(std::ostream& Out, const TCheckCase& C) {
    return Out << C.Name;
}

const TCheckCase CheckCases[] = {
    {"Ack", GetDeviceInfo, AckDeviceInfo, 10, 0, true},
    {"AckAtTheTimeLimit", GetDeviceInfo, AckDeviceInfo, 1000, 0, true},
    {"ShortReplyEvenWithMatchingChecksum",
     GetDeviceInfo,
     {
         0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
         0x00, 0x00, 0x00, 0x00, 0x00, 0x21, // up to the command class: 21 bytes
         0x04, 0x24,                         // their sum
     },
     10,
     1,
     false},
    {"ChecksumMismatch", GetDeviceInfo, AckDeviceInfoBadChecksum, 10, 2, false},
    {"GetResponseToSetRequest", SetStartAddress, AckDeviceInfo, 10, 3, false},
    {"SetResponseToGetRequest",
     GetDeviceInfo,
     {
         0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
         0x00, 0x00, 0x00, 0x00, 0x00, // TN, ACK, count, sub-device
         0x31, 0x00, 0xF0, 0x00,       // SET_COMMAND_RESPONSE, DMX_START_ADDRESS, PDL 0
         0x05, 0x24,                   // checksum
     },
     10,
     3,
     false},
    {"ReplyForAnotherPID",
     GetDeviceInfo,
     {
         0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
         0x00, 0x00, 0x00, 0x00, 0x00, // TN, ACK, count, sub-device
         0x21, 0x00, 0x61, 0x00,       // GET_COMMAND_RESPONSE, PID 0x0061, PDL 0
         0x04, 0x85,                   // checksum
     },
     10,
     4,
     false},
    {"NackReasonIsAcceptedWithCode5", GetDeviceInfo, NackDeviceInfo, 10, 5, true},
    {"CompleteButLate", GetDeviceInfo, AckDeviceInfo, 1001, 6, false},
    // Replies with two faults: the first test in the order time, length, checksum, command class,
    // PID, response type names the fault.
    {"LateAndShort", GetDeviceInfo, TBytes(AckDeviceInfo.begin(), AckDeviceInfo.begin() + 23), 1001, 6,
     false},
    {"ChecksumBeforeCommandClass", SetStartAddress, AckDeviceInfoBadChecksum, 10, 2, false},
    {"CommandClassBeforeResponseType", SetStartAddress, NackDeviceInfo, 10, 3, false},
    {"PidBeforeResponseType", GetDeviceInfo, NackOtherPid, 10, 4, false},
    {"PidBeforeAckTimer", GetDeviceInfo, AckTimerOtherPid, 10, 4, false},
};

class CheckResponseTest : public ::testing::TestWithParam<TCheckCase> {};

TEST_P(CheckResponseTest, SetsErrorCodeAndResult) {
    TRDMResponseData Reply = MakeReply(GetParam().Reply, GetParam().TimeMs);
    Reply.ErrorCode = 99; // whatever was there before
    EXPECT_EQ(CheckRDMResponse(GetParam().Request(), Reply, 1000), GetParam().Result);
    EXPECT_EQ(ErrorCodeOf(Reply), GetParam().ErrorCode);
}

INSTANTIATE_TEST_SUITE_P(Replies, CheckResponseTest, ::testing::ValuesIn(CheckCases),
                         [](const auto& Info) { return Info.param.Name; });

TEST(CheckResponse, KeepsTheChecksumBytesInWireOrder) {
    TRDMResponseData Reply = MakeReply(AckDeviceInfo);
    ASSERT_TRUE(CheckRDMResponse(GetDeviceInfo(), Reply, 1000));
    std::uint8_t Stored[2];
    std::memcpy(Stored, reinterpret_cast<const std::uint8_t*>(&Reply) + offsetof(TRDMResponseData, ChkSum),
                2);
    EXPECT_THAT(Stored, ElementsAreArray({0x04, 0x84}));
    if constexpr (std::endian::native == std::endian::little) {
        EXPECT_EQ(ChkSumOf(Reply), 0x8404);
    }
}

TEST(CheckResponse, TimeoutLeavesChkSumUntouched) {
    TRDMResponseData Reply = MakeReply(AckDeviceInfo, 1001);
    Reply.ChkSum = 0x5A5A;
    EXPECT_FALSE(CheckRDMResponse(GetDeviceInfo(), Reply, 1000));
    EXPECT_EQ(ErrorCodeOf(Reply), 6);
    EXPECT_EQ(ChkSumOf(Reply), 0x5A5A);
}

TEST(CheckResponse, LocatesTheChecksumByResponseLenNotMesLen) {
    // The ACK's 24 counted bytes followed by zeros: the sum is the same, so the checksum may sit
    // at the very end of Raw.
    TRDMResponseData Reply = MakeReply(TBytes(AckDeviceInfo.begin(), AckDeviceInfo.end() - 2));
    Reply.Raw[510] = 0x04;
    Reply.Raw[511] = 0x84;
    Reply.ResponseLen = 512;
    EXPECT_TRUE(CheckRDMResponse(GetDeviceInfo(), Reply, 1000));
    EXPECT_EQ(ErrorCodeOf(Reply), 0);
}

// A length no stored reply can have must not lead the check outside Raw.
TEST(CheckResponse, ImpossibleLengthsAreFaultsNotReads) {
    struct TCase {
        std::int32_t Len;
        std::int32_t ErrorCode;
    };
    for (const TCase C : {TCase{-1, 1}, TCase{std::numeric_limits<std::int32_t>::min(), 1}, TCase{513, 2},
                          TCase{std::numeric_limits<std::int32_t>::max(), 2}}) {
        TRDMResponseData Reply = MakeReply(AckDeviceInfo);
        Reply.ResponseLen = C.Len;
        EXPECT_FALSE(CheckRDMResponse(GetDeviceInfo(), Reply, 1000)) << C.Len;
        EXPECT_EQ(ErrorCodeOf(Reply), C.ErrorCode) << C.Len;
        EXPECT_EQ(ChkSumOf(Reply), 0) << C.Len;
    }
}

// ---------------------------------------------------------------------------------------------
// Assertion failures: unsupported response types and an unknown request class

struct TAssertionCase {
    std::string Name;
    std::uint8_t RequestCC;
    TBytes Reply;
    std::string Text;
};

std::ostream& operator<<(std::ostream& Out, const TAssertionCase& C) {
    return Out << C.Name;
}

const TAssertionCase AssertionCases[] = {
    {"AckTimer",
     CC_GET_COMMAND,
     {
         0xCC, 0x01, 0x1A, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
         0x00, 0x01, 0x00, 0x00, 0x00, // TN, ACK_TIMER, count, sub-device
         0x21, 0x00, 0x60, 0x02,       // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 2
         0x00, 0x0A,                   // estimated delay
         0x04, 0x93,                   // checksum
     },
     "RESPONSE_TYPE_ACK_TIMER not supported"},
    {"AckOverflow",
     CC_GET_COMMAND,
     {
         0xCC, 0x01, 0x18, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // header
         0x00, 0x03, 0x00, 0x00, 0x00, // TN, ACK_OVERFLOW, count, sub-device
         0x21, 0x00, 0x60, 0x00,       // GET_COMMAND_RESPONSE, DEVICE_INFO, PDL 0
         0x04, 0x87,                   // checksum
     },
     "RESPONSE_TYPE_ACK_OVERFLOW not supported"},
    {"UnknownRequestClass", 0x40, AckDeviceInfo, "Unknown CC"},
};

class CheckResponseAssertionTest : public ::testing::TestWithParam<TAssertionCase> {};

TEST_P(CheckResponseAssertionTest, RaisesWithErrorCodeZero) {
    const TRDMCommand Request(FixtureUID, GetParam().RequestCC, PID_DEVICE_INFO, true);
    TRDMResponseData Reply = MakeReply(GetParam().Reply);
    Reply.ErrorCode = 99;
    try {
        CheckRDMResponse(Request, Reply, 1000);
        FAIL() << "no assertion failure";
    } catch (const EAssertionFailed& E) {
        EXPECT_EQ(E.what(), AssertionMessage(GetParam().Text, E));
        EXPECT_GT(E.Line(), 0);
    }
    EXPECT_EQ(ErrorCodeOf(Reply), 0);
}

INSTANTIATE_TEST_SUITE_P(Replies, CheckResponseAssertionTest, ::testing::ValuesIn(AssertionCases),
                         [](const auto& Info) { return Info.param.Name; });

} // namespace
