// The text and hexadecimal setters: what they store, how they fail, and the packet size limit.
#include "AnsiText.h"
#include "Platform.h"
#include "RDMTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

using ::testing::ElementsAreArray;

namespace {

const TBytes Signature{'K', 'E', 'Y', 'S', 'T', 'O', 'N', 'E', 'W', 'O', 'R', 'K', 'S', 'H', 'O', 'P'};

TBytes Concat(TBytes A, const TBytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

TBytes ParamBytes(const TRDMCommand& Request, std::size_t Count) {
    const TBytes Image = RecordImage(Request);
    return TBytes(Image.begin() + 24, Image.begin() + 24 + Count);
}

std::string Repeat(const std::string& Piece, int Times) {
    std::string Out;
    for (int I = 0; I < Times; ++I)
        Out += Piece;
    return Out;
}

// ---------------------------------------------------------------------------------------------

struct TTextSetterCase {
    std::string Name;
    std::function<void(TRDMCommand&)> Apply;
    TBytes Param;
    int PDL;
};

std::ostream& operator<<(std::ostream& Out, const TTextSetterCase& C) {
    return Out << C.Name;
}

const TTextSetterCase TextSetters[] = {
    {"HexPrefixAndOddLength",
     [](TRDMCommand& R) { R.SetParamFromHexString("0x1a2", false); },
     {0x01, 0xA2},
     2},
    {"HexOddWithoutPrefix", [](TRDMCommand& R) { R.SetParamFromHexString("abc", false); }, {0x0A, 0xBC}, 2},
    {"HexUpperCasePrefix", [](TRDMCommand& R) { R.SetParamFromHexString("0XFF00", false); }, {0xFF, 0x00}, 2},
    {"UIDTakesSixBytesIgnoresTheRest",
     [](TRDMCommand& R) { R.SetUIDParamFromString("1234567890ABCD", false); },
     Concat(Signature, {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB}), 22},
    {"UIDBadPairAfterSixBytesIsNeverRead",
     [](TRDMCommand& R) { R.SetUIDParamFromString("1234567890ABZZ", false); },
     Concat(Signature, {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB}), 22},
    {"UIDShorterThanSixBytes", [](TRDMCommand& R) { R.SetUIDParamFromString("0x0102", false); },
     Concat(Signature, {0x01, 0x02}), 18},
    {"SerialEmptyIsSignatureOnly", [](TRDMCommand& R) { R.SetZYLSerialNumber("", false); }, Signature, 16},
    {"SerialAfterSignature", [](TRDMCommand& R) { R.SetZYLSerialNumber("SN-0042", false); },
     Concat(Signature, {'S', 'N', '-', '0', '0', '4', '2'}), 23},
    {"AnsiStringEmpty", [](TRDMCommand& R) { R.SetAnsiString("", false); }, {}, 0},
    {"AnsiStringIsEightBit",
     [](TRDMCommand& R) { R.SetAnsiString("Gr\u00FCn", false); },
     {'G', 'r', 0xFC, 'n'},
     4},
    {"EEpromSetKeepsCountAsGiven", [](TRDMCommand& R) { R.SetEEpromSetParams(0x0102, 9, "aabb", false); },
     Concat(Signature, {0x01, 0x02, // start
                        0x09,       // count, not compared with the data
                        0xAA, 0xBB}),
     21},
};

class TextSetterTest : public ::testing::TestWithParam<TTextSetterCase> {};

TEST_P(TextSetterTest, StoresBytesPDLAndMesLen) {
    TRDMCommand Request(FixtureUID, 0x30, 0xA101, false);
    GetParam().Apply(Request);
    EXPECT_THAT(ParamBytes(Request, GetParam().Param.size()), ElementsAreArray(GetParam().Param));
    EXPECT_EQ(Request.CommandData().PDL, GetParam().PDL);
    EXPECT_EQ(Request.MessageLength(), 24 + GetParam().PDL);
}

INSTANTIATE_TEST_SUITE_P(Setters, TextSetterTest, ::testing::ValuesIn(TextSetters),
                         [](const auto& Info) { return Info.param.Name; });

TEST(HexSetter, TextWithoutBytesLeavesPDLAndMesLen) {
    for (const std::string Text : {"", "0x", "0X"}) {
        TRDMCommand Request(FixtureUID, 0x30, 0x00E0, false);
        Request.SetByteParam(5, false);
        Request.SetParamFromHexString(Text, false);
        EXPECT_EQ(Request.CommandData().PDL, 1) << '"' << Text << '"';
        EXPECT_EQ(Request.MessageLength(), 25) << '"' << Text << '"';
        EXPECT_EQ(Request.CommandData().ByteParam, 5) << '"' << Text << '"';
    }
}

TEST(AnsiStringSetter, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    TRDMCommand Request(FixtureUID, 0x30, 0x0082, false);
    if (Platform::AnsiCodePage() != 1252)
        GTEST_SKIP() << "the euro sign's byte is that of Windows-1252";
    Request.SetAnsiString("\u20AC\u4E2D", false); // euro sign, CJK character
    const std::uint8_t Euro = 0x80;
    EXPECT_THAT(ParamBytes(Request, 2), ElementsAreArray({Euro, std::uint8_t('?')}));
    EXPECT_EQ(Request.CommandData().PDL, 2);
}

// ---------------------------------------------------------------------------------------------
// A pair that is no hexadecimal number

struct TBadHexCase {
    std::string Name;
    std::function<void(TRDMCommand&)> Apply;
    std::string Message;
    TBytes StoredBefore; // from offset 24
    int PDL;
};

std::ostream& operator<<(std::ostream& Out, const TBadHexCase& C) {
    return Out << C.Name;
}

const TBadHexCase BadHexCases[] = {
    {"SecondPairOfParam",
     [](TRDMCommand& R) { R.SetParamFromHexString("12zz34", false); },
     "'0XZZ' is not a valid integer value",
     {0x12},
     1},
    {"FirstPairOfParam",
     [](TRDMCommand& R) { R.SetParamFromHexString("1g", false); },
     "'0X1G' is not a valid integer value",
     {},
     0},
    {"SpaceInPair",
     [](TRDMCommand& R) { R.SetParamFromHexString("01 2", false); },
     "'0X 2' is not a valid integer value",
     {0x01},
     1},
    {"NonAsciiCharacterCountsOnce",
     [](TRDMCommand& R) { R.SetParamFromHexString("\u00E91", false); },
     "'0X\u00E91' is not a valid integer value",
     {},
     0},
    {"UIDKeepsSignatureAndEarlierBytes", [](TRDMCommand& R) { R.SetUIDParamFromString("12ZZ", false); },
     "'0XZZ' is not a valid integer value", Concat(Signature, {0x12}), 17},
};

class BadHexTest : public ::testing::TestWithParam<TBadHexCase> {};

TEST_P(BadHexTest, RaisesConvertErrorKeepingTheBytesBefore) {
    TRDMCommand Request(FixtureUID, 0x30, 0xA101, false);
    try {
        GetParam().Apply(Request);
        FAIL() << "no conversion error";
    } catch (const EConvertError& E) {
        EXPECT_EQ(std::string(E.what()), GetParam().Message);
    }
    EXPECT_THAT(ParamBytes(Request, GetParam().StoredBefore.size()),
                ElementsAreArray(GetParam().StoredBefore));
    EXPECT_EQ(Request.CommandData().PDL, GetParam().PDL);
}

INSTANTIATE_TEST_SUITE_P(Setters, BadHexTest, ::testing::ValuesIn(BadHexCases),
                         [](const auto& Info) { return Info.param.Name; });

// ---------------------------------------------------------------------------------------------
// Input beyond one packet is refused before anything is written

struct TLimitCase {
    std::string Name;
    std::function<void(TRDMCommand&, int)> ApplyBytes; // input that converts to this many bytes
    int Limit;
    int FixedBytes;
};

std::ostream& operator<<(std::ostream& Out, const TLimitCase& C) {
    return Out << C.Name;
}

const TLimitCase LimitCases[] = {
    {"AnsiString", [](TRDMCommand& R, int N) { R.SetAnsiString(std::string(N, 'A'), false); }, 231, 0},
    {"AnsiStringCountsConvertedBytes",
     [](TRDMCommand& R, int N) { R.SetAnsiString(Repeat("\u00E9", N), false); }, 231, 0},
    {"ParamFromHexString", [](TRDMCommand& R, int N) { R.SetParamFromHexString(Repeat("5a", N), false); },
     231, 0},
    {"ZYLSerialNumber", [](TRDMCommand& R, int N) { R.SetZYLSerialNumber(std::string(N, '7'), false); }, 215,
     16},
    {"EEpromSetParams",
     [](TRDMCommand& R, int N) { R.SetEEpromSetParams(0x10, 1, "0x" + Repeat("A5", N), false); }, 212, 19},
};

class LimitTest : public ::testing::TestWithParam<TLimitCase> {};

TEST_P(LimitTest, LongestInputFillsThePacket) {
    TRDMCommand Request(FixtureUID, 0x30, 0xA101, false);
    GetParam().ApplyBytes(Request, GetParam().Limit);
    EXPECT_EQ(Request.CommandData().PDL, GetParam().FixedBytes + GetParam().Limit);
    EXPECT_EQ(Request.MessageLength(), 255);
}

TEST_P(LimitTest, OneByteMoreIsRefusedAndChangesNothing) {
    TRDMCommand Request(FixtureUID, 0x30, 0xA101, false);
    Request.SetByteParams(1, 2, 3, 4, false);
    const TBytes Before = RecordImage(Request);
    EXPECT_THROW(GetParam().ApplyBytes(Request, GetParam().Limit + 1), std::length_error);
    EXPECT_EQ(RecordImage(Request), Before);
}

INSTANTIATE_TEST_SUITE_P(Setters, LimitTest, ::testing::ValuesIn(LimitCases),
                         [](const auto& Info) { return Info.param.Name; });

TEST(FullPacket, CarriesItsChecksumAtOffset255) {
    TRDMCommand Request(FixtureUID, 0x30, 0x0082, false);
    Request.SetAnsiString(std::string(231, 'A'), true);
    const TBytes Image = WireImage(Request);
    ASSERT_EQ(Image.size(), 257u);
    EXPECT_THAT(TBytes(Image.begin(), Image.begin() + 24),
                ElementsAreArray<std::uint8_t>({
                    0xCC, 0x01, 0xFF,                   // message length 255
                    0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // destination
                    0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source
                    0x00, 0x01, 0x00, 0x00, 0x00,       // TN, port, count, sub-device
                    0x30, 0x00, 0x82, 0xE7,             // SET DEVICE_LABEL, PDL 231
                }));
    EXPECT_EQ(Image[255], 0x41);
    EXPECT_EQ(Image[256], 0x2B);
    EXPECT_EQ(Request.CheckSum(), 0x412B);
}

} // namespace
