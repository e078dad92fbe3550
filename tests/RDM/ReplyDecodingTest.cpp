// Reading the values out of the replies the reading sequence asks for: one table of replies per
// reply, each case a reply as the cable layer stores it (header, parameter data, checksum, maybe
// more bytes behind it) and what it gives. A reply too short for what is read gives nothing.
#include "ReplyDecoding.h"
#include "RDMTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// A reply whose PDL byte says `Pdl` (default: the bytes given), with `Data` as the parameter bytes
// that arrived and `Behind` after them (the checksum, unread here, and whatever more arrived).
TRDMResponseData Reply(const TBytes& Data, int Pdl = -1, const TBytes& Behind = {0x0A, 0x0B}) {
    TBytes bytes(RDM_HEADER_SIZE, 0x00);
    bytes[0] = RDM_START_CODE;
    bytes[1] = RDM_SUB_START_CODE;
    bytes[2] = static_cast<std::uint8_t>(RDM_HEADER_SIZE + Data.size());
    bytes[23] = static_cast<std::uint8_t>(Pdl < 0 ? static_cast<int>(Data.size()) : Pdl);
    bytes.insert(bytes.end(), Data.begin(), Data.end());
    bytes.insert(bytes.end(), Behind.begin(), Behind.end());
    return MakeReply(bytes);
}

TBytes Text(const std::string& S) {
    return TBytes(S.begin(), S.end());
}

// DEVICE_INFO of a VEK-340: protocol 1.0, model 0x0067, category 0x0101, software 2.14.0.5,
// footprint 32, personality 2 of 3, start address 37, no sub-devices, 1 sensor.
const TBytes DeviceInfo{0x01, 0x00, 0x00, 0x67, 0x01, 0x01, 0x02, 0x0E, 0x00, 0x05,
                        0x00, 0x20, 0x02, 0x03, 0x00, 0x25, 0x00, 0x00, 0x01};

TBytes DeviceInfoWith(int Offset, std::initializer_list<std::uint8_t> Bytes) {
    TBytes data = DeviceInfo;
    std::copy(Bytes.begin(), Bytes.end(), data.begin() + Offset);
    return data;
}

TBytes WithByte(TBytes Data, std::uint8_t Byte) {
    Data.push_back(Byte);
    return Data;
}

TBytes Shorter(const TBytes& Data, std::size_t By) {
    return TBytes(Data.begin(), Data.end() - static_cast<long>(By));
}

TEST(ReplyDecodingTest, DeviceInfo) {
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        bool Decoded;
        std::uint16_t Model, StartAddress, Footprint;
        std::uint8_t Current, Total, Sensors;
    };
    const TCase cases[] = {
        {"AllNineteenBytes", Reply(DeviceInfo), true, 0x0067, 37, 32, 2, 3, 1},
        {"ModelHighByteFirst", Reply(DeviceInfoWith(2, {0xFF, 0xFE})), true, 0xFFFE, 37, 32, 2, 3, 1},
        {"AddressHighByteFirst", Reply(DeviceInfoWith(14, {0x02, 0x00})), true, 0x0067, 512, 32, 2, 3, 1},
        {"FootprintHighByteFirst", Reply(DeviceInfoWith(10, {0x01, 0x02})), true, 0x0067, 37, 0x0102, 2, 3,
         1},
        {"PersonalitiesAndSensors", Reply(DeviceInfoWith(12, {0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0xFF})),
         true, 0x0067, 1, 32, 0xFF, 0x00, 0xFF},
        {"LongerPDL", Reply(WithByte(DeviceInfo, 0x33)), true, 0x0067, 37, 32, 2, 3, 1},
        {"MoreBytesThanThePDL", Reply(DeviceInfo, 19, {0x33, 0x0A, 0x0B}), true, 0x0067, 37, 32, 2, 3, 1},
        {"EighteenBytes", Reply(Shorter(DeviceInfo, 1)), false, 0, 0, 0, 0, 0, 0},
        {"NoData", Reply({}), false, 0, 0, 0, 0, 0, 0},
        {"PDLClaimsBytesThatNeverArrived", Reply(Shorter(DeviceInfo, 1), 19), false, 0, 0, 0, 0, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto info = DecodeDeviceInfo(c.Reply);
        ASSERT_EQ(info.has_value(), c.Decoded);
        if (!info)
            continue;
        EXPECT_EQ(info->DeviceModelID, c.Model);
        EXPECT_EQ(info->DMX512StartAdr, c.StartAddress);
        EXPECT_EQ(info->DMX512Footprint, c.Footprint);
        EXPECT_EQ(info->DMX512PersonalityCurrent, c.Current);
        EXPECT_EQ(info->DMX512PersonalityTotal, c.Total);
        EXPECT_EQ(info->SensorCount, c.Sensors);
    }
}

TEST(ReplyDecodingTest, DeviceInfoKeepsTheSoftwareVersionBytesInWireOrder) {
    const auto info = DecodeDeviceInfo(Reply(DeviceInfo));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->SoftwareVersionId.Major, 0x02);
    EXPECT_EQ(info->SoftwareVersionId.Minor, 0x0E);
    EXPECT_EQ(info->SoftwareVersionId.NA, 0x00);
    EXPECT_EQ(info->SoftwareVersionId.Beta, 0x05);
}

TEST(ReplyDecodingTest, SupportedParameters) {
    using TPids = std::vector<std::uint16_t>;
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        std::optional<TPids> Pids;
    };
    const TCase cases[] = {
        {"InReplyOrderHighByteFirst", Reply({0x00, 0x80, 0x05, 0x01, 0x00, 0xE0}),
         TPids{0x0080, 0x0501, 0x00E0}},
        {"RepeatsAreLeftToTheRecord", Reply({0x00, 0x80, 0x00, 0x80}), TPids{0x0080, 0x0080}},
        {"OddLastByteIsNoPID", Reply({0x00, 0x80, 0x05}), TPids{0x0080}},
        {"NoneListed", Reply({}), TPids{}},
        {"BytesBeyondThePDLAreNoPIDs", Reply({0x00, 0x80, 0x05, 0x01}, 2), TPids{0x0080}},
        {"PDLClaimsBytesThatNeverArrived", Reply({0x00, 0x80}, 4), std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeSupportedParameters(c.Reply), c.Pids);
    }
}

TEST(ReplyDecodingTest, SupportedParametersReceivedStopsAtTheBytesThatArrived) {
    // The PDL claims three PIDs; only one and a half arrived before the reply ended.
    EXPECT_EQ(SupportedParametersReceived(Reply({0x00, 0x80, 0x05}, 6)), std::vector<std::uint16_t>{0x0080});
    EXPECT_EQ(SupportedParametersReceived(Reply({0x00, 0x80, 0x05, 0x01}, 2)),
              std::vector<std::uint16_t>{0x0080});
}

// The model description and the software label are the same counted text.
TEST(ReplyDecodingTest, Texts) {
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        std::optional<std::string> Text;
    };
    const TCase cases[] = {
        {"NoTerminatorEndsAtThePDL", Reply(Text("VEK-340")), "VEK-340"},
        {"BytesBehindThePDLAreNotText", Reply(Text("VEK-340 v2"), 7), "VEK-340"},
        {"Empty", Reply({}), ""},
        {"ZeroByteKept", Reply({'A', 0x00, 'B'}), std::string("A\0B", 3)},
        {"EightBitCharacter", Reply({'4', 0xB0}), "4\xC2\xB0"},
        {"LongestText", Reply(TBytes(RDM_MAX_PDL, 'x')), std::string(RDM_MAX_PDL, 'x')},
        {"PDLClaimsBytesThatNeverArrived", Reply(Text("VEK"), 7), std::nullopt},
        {"PDLClaimsTheChecksumAsText", Reply(Text("VEK-340"), 9), std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeDeviceModelDescription(c.Reply), c.Text);
        EXPECT_EQ(DecodeSoftwareVersionLabel(c.Reply), c.Text);
    }
}

TEST(ReplyDecodingTest, DMXPersonality) {
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        bool Decoded;
        std::uint8_t Current, Total;
    };
    const TCase cases[] = {
        {"SecondOfThree", Reply({0x02, 0x03}), true, 2, 3},
        {"Extremes", Reply({0x00, 0xFF}), true, 0, 255},
        {"LongerPDL", Reply({0x01, 0x04, 0x99}), true, 1, 4},
        {"OneByte", Reply({0x02}), false, 0, 0},
        {"PDLClaimsBytesThatNeverArrived", Reply({0x02}, 2), false, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto personality = DecodeDMXPersonality(c.Reply);
        ASSERT_EQ(personality.has_value(), c.Decoded);
        if (!personality)
            continue;
        EXPECT_EQ(personality->CurrentPersonality, c.Current);
        EXPECT_EQ(personality->NoPersonalities, c.Total);
    }
}

TEST(ReplyDecodingTest, DMXPersonalityDescription) {
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        bool Decoded;
        std::uint16_t Footprint;
        std::string Description;
    };
    const TCase cases[] = {
        {"FootprintHighByteFirstThenText", Reply({0x01, 0x00, 0x18, 'S', 't', 'd'}), true, 24, "Std"},
        {"NoText", Reply({0x01, 0x02, 0x00}), true, 512, ""},
        {"LargestFootprint", Reply({0x03, 0xFF, 0xFF, 'C'}), true, 0xFFFF, "C"},
        {"TextEndsAtThePDL", Reply({0x01, 0x00, 0x08, 'A', 'B', 'C'}, 4), true, 8, "A"},
        {"TwoBytes", Reply({0x01, 0x00}), false, 0, ""},
        {"PDLClaimsBytesThatNeverArrived", Reply({0x01, 0x00, 0x08, 'A'}, 9), false, 0, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto description = DecodeDMXPersonalityDescription(c.Reply);
        ASSERT_EQ(description.has_value(), c.Decoded);
        if (!description)
            continue;
        EXPECT_EQ(description->DMXFootprint, c.Footprint);
        EXPECT_EQ(description->Description, c.Description);
    }
}

TEST(ReplyDecodingTest, StatusLed) {
    struct TCase {
        const char* Name;
        TRDMResponseData Reply;
        std::optional<bool> On;
    };
    const TCase cases[] = {
        {"Off", Reply({0x00}), false},
        {"On", Reply({0xFF}), true},
        {"AnyValueButZeroIsOn", Reply({0x01}), true},
        {"LongerPDLReadsTheFirstByte", Reply({0x00, 0x01}), false},
        {"NoData", Reply({}), std::nullopt},
        {"PDLClaimsBytesThatNeverArrived", Reply({}, 1), std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeStatusLed(c.Reply), c.On);
    }
}

} // namespace
