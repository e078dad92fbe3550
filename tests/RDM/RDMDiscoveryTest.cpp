// Decoding the reply to DISC_UNIQUE_BRANCH.
#include "RDMTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The fixture 12 34 56 78 9A BC answering, as it appears from the separator on.
const TBytes EncodedReply{
    0xAA,                   // separator
    0xBA, 0x57, 0xBE, 0x75, // UID 12 34
    0xFE, 0x57, 0xFA, 0x7D, // UID 56 78
    0xBA, 0xDF, 0xBE, 0xFD, // UID 9A BC
    0xAA, 0x5D, 0xEE, 0x75, // checksum 0x0864; its first byte is itself 0xAA
};

TBytes WithPreamble(int Count, TBytes Reply = EncodedReply) {
    Reply.insert(Reply.begin(), Count, 0xFE);
    return Reply;
}

struct TDecodeCase {
    std::string Name;
    TBytes Received;
    bool Result;
    TUID UID;
};

std::ostream& operator<<(std::ostream& Out, const TDecodeCase& C) {
    return Out << C.Name;
}

const TDecodeCase DecodeCases[] = {
    {"SeparatorAtByte0", EncodedReply, true, FixtureUID},
    {"FullPreambleSeparatorAtByte7", WithPreamble(7), true, FixtureUID},
    {"NoiseBeforeSeparatorIsSkipped",
     {0x00, 0x13, 0xAA, 0xBA, 0x57, 0xBE, 0x75, 0xFE, 0x57, 0xFA, 0x7D, 0xBA, 0xDF, 0xBE, 0xFD, 0xAA, 0x5D,
      0xEE, 0x75},
     true,
     FixtureUID},
    {"SeparatorAtByte8IsNotFound", WithPreamble(8), false, NullUID},
    {"NothingReceived", {}, false, NullUID},
    {"OnlyTheSeparatorArrived", {0xAA}, false, NullUID},
    {"LastByteMissing", TBytes(EncodedReply.begin(), EncodedReply.end() - 1), false, NullUID},
    {"AlteredEncodedByteKeepsTheDecodedUID",
     {0xAA, 0xBB, 0x57, 0xBE, 0x75, 0xFE, 0x57, 0xFA, 0x7D, 0xBA, 0xDF, 0xBE, 0xFD, 0xAA, 0x5D, 0xEE, 0x75},
     false,
     TUID{{0x13, 0x34, 0x56, 0x78, 0x9A, 0xBC}}},
};

class DecodeDiscoveryTest : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(DecodeDiscoveryTest, ReturnsResultAndUID) {
    const TRDMResponseData Reply = MakeReply(GetParam().Received);
    TUID UID{{1, 2, 3, 4, 5, 6}};
    EXPECT_EQ(DecodeDiscoveryResponse(UID, Reply), GetParam().Result);
    EXPECT_EQ(UID, GetParam().UID);
}

INSTANTIATE_TEST_SUITE_P(Replies, DecodeDiscoveryTest, ::testing::ValuesIn(DecodeCases),
                         [](const auto& Info) { return Info.param.Name; });

TEST(DecodeDiscovery, ResponseLenDecidesWhatArrivedNotTheBytesInRaw) {
    TRDMResponseData Reply = MakeReply(EncodedReply);
    for (const std::int32_t Len : {16, 0, -1}) {
        Reply.ResponseLen = Len;
        TUID UID = FixtureUID;
        EXPECT_FALSE(DecodeDiscoveryResponse(UID, Reply)) << Len;
        EXPECT_EQ(UID, NullUID) << Len;
    }
}

} // namespace
