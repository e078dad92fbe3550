// Requests as they go on the wire: constructors, fixed-size setters, Finalize and its checks.
#include "RDMTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <memory>
#include <string>

using ::testing::ElementsAreArray;

namespace {

// ---------------------------------------------------------------------------------------------
// Complete wire images, checksum included

struct TGoldenPacket {
    std::string Name;
    std::function<std::unique_ptr<TRDMCommand>()> Build;
    TBytes Expected;
    std::uint16_t CheckSum;
};

std::ostream& operator<<(std::ostream& Out, const TGoldenPacket& P) {
    return Out << P.Name;
}

const TBytes GetDeviceInfoPacket{
    0xCC, 0x01, 0x18,                   // start code, sub-start code, message length 24
    0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // destination: the fixture
    0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source: controller
    0x00, 0x01, 0x00,                   // transaction number, port ID, message count
    0x00, 0x00,                         // sub-device: root
    0x20, 0x00, 0x60, 0x00,             // GET_COMMAND, DEVICE_INFO, PDL 0
    0x04, 0x84,                         // checksum
};

const TGoldenPacket GoldenPackets[] = {
    {"BroadcastDiscUnMute",
     [] { return std::make_unique<TRDMCommand>(BroadcastUID, 0x10, 0x0003, true); },
     {
         0xCC, 0x01, 0x18,                   // start code, sub-start code, message length 24
         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // destination: broadcast
         0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source: controller
         0x00, 0x01, 0x00,                   // transaction number, port ID, message count
         0x00, 0x00,                         // sub-device: root
         0x10, 0x00, 0x03, 0x00,             // DISCOVERY_COMMAND, DISC_UN_MUTE, PDL 0
         0x07, 0xA7,                         // checksum
     },
     0x07A7},
    {"FullRangeDiscovery",
     [] {
         auto Request = std::make_unique<TRDMDiscoveryUniqueBranch>(NullUID, BroadcastUID);
         Request->Finalize();
         return Request;
     },
     {
         0xCC, 0x01, 0x24,                   // start code, sub-start code, message length 36
         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // destination: broadcast
         0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source: controller
         0x00, 0x01, 0x00,                   // transaction number, port ID, message count
         0x00, 0x00,                         // sub-device: root
         0x10, 0x00, 0x01, 0x0C,             // DISCOVERY_COMMAND, DISC_UNIQUE_BRANCH, PDL 12
         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // lower bound
         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, // upper bound
         0x0D, 0xB7,                         // checksum
     },
     0x0DB7},
    {"GetDeviceInfo", [] { return std::make_unique<TRDMCommand>(FixtureUID, 0x20, 0x0060, true); },
     GetDeviceInfoPacket, 0x0484},
    {"SetDmxStartAddress1",
     [] {
         auto Request = std::make_unique<TRDMCommand>(FixtureUID, 0x30, 0x00F0, false);
         Request->SetWordParam(1, true);
         return Request;
     },
     {
         0xCC, 0x01, 0x1A,                   // start code, sub-start code, message length 26
         0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // destination: the fixture
         0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source: controller
         0x00, 0x01, 0x00,                   // transaction number, port ID, message count
         0x00, 0x00,                         // sub-device: root
         0x30, 0x00, 0xF0, 0x02,             // SET_COMMAND, DMX_START_ADDRESS, PDL 2
         0x00, 0x01,                         // start address 1
         0x05, 0x29,                         // checksum
     },
     0x0529},
    {"ExplicitFinalizeEqualsMakeFinal",
     [] {
         auto Request = std::make_unique<TRDMCommand>(FixtureUID, 0x20, 0x0060, false);
         Request->Finalize();
         return Request;
     },
     GetDeviceInfoPacket, 0x0484},
};

class GoldenPacketTest : public ::testing::TestWithParam<TGoldenPacket> {};

TEST_P(GoldenPacketTest, WireImageAndCheckSumMatch) {
    const auto Request = GetParam().Build();
    EXPECT_THAT(WireImage(*Request), ElementsAreArray(GetParam().Expected));
    EXPECT_EQ(Request->CheckSum(), GetParam().CheckSum);
    EXPECT_EQ(Request->MessageLength() + 2, static_cast<int>(GetParam().Expected.size()));
}

INSTANTIATE_TEST_SUITE_P(Requests, GoldenPacketTest, ::testing::ValuesIn(GoldenPackets),
                         [](const auto& Info) { return Info.param.Name; });

TEST(RequestPID, StaysInHostOrderUntilFinalizeThenWireOrder) {
    TRDMCommand Request(FixtureUID, 0x20, 0x0060, false);
    std::uint16_t Stored;
    std::memcpy(&Stored, Request.CommandData().PID, 2);
    EXPECT_EQ(Stored, 0x0060);
    if constexpr (std::endian::native == std::endian::little) {
        EXPECT_THAT(Request.CommandData().PID, ElementsAreArray({0x60, 0x00}));
    }
    Request.Finalize();
    EXPECT_THAT(Request.CommandData().PID, ElementsAreArray({0x00, 0x60}));
}

TEST(RequestDefaults, CreateFillsTheHeaderAndClearsTheRest) {
    const TRDMCommand Request;
    const TBytes Expected{
        0xCC, 0x01, 0x18,                   // start code, sub-start code, message length 24
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // destination: none yet
        0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source: controller
        0x00, 0x01, 0x00,                   // transaction number, port ID, message count
        0x00, 0x00,                         // sub-device: root
        0x00, 0x00, 0x00, 0x00,             // no command class, no PID, PDL 0
    };
    TBytes Image = RecordImage(Request);
    EXPECT_THAT(TBytes(Image.begin(), Image.begin() + 24), ElementsAreArray(Expected));
    EXPECT_EQ(std::count(Image.begin() + 24, Image.end(), 0), 462);
    EXPECT_EQ(Request.CheckSum(), 0);
}

TEST(RequestDestination, ReadsAndReplacesTheDestinationUID) {
    TRDMCommand Request(FixtureUID);
    EXPECT_EQ(Request.DestintationUID(), FixtureUID);
    Request.SetDestintationUID(BroadcastUID);
    EXPECT_EQ(Request.DestintationUID(), BroadcastUID);
    EXPECT_EQ(Request.CommandData().SourceUID, ControllerUID);
}

// ---------------------------------------------------------------------------------------------
// Fixed-size setters: their bytes, PDL and MesLen, and nothing else of the parameter area

struct TSetterCase {
    std::string Name;
    std::function<void(TRDMCommand&)> Apply;
    TBytes Param; // bytes from offset 24
};

std::ostream& operator<<(std::ostream& Out, const TSetterCase& C) {
    return Out << C.Name;
}

const TSetterCase FixedSetters[] = {
    {"ByteParam", [](TRDMCommand& R) { R.SetByteParam(0x7F, false); }, {0x7F}},
    {"WordParamHighByteFirst", [](TRDMCommand& R) { R.SetWordParam(0x01FE, false); }, {0x01, 0xFE}},
    {"ByteParams", [](TRDMCommand& R) { R.SetByteParams(1, 2, 3, 4, false); }, {0x01, 0x02, 0x03, 0x04}},
    {"EEpromGetParams",
     [](TRDMCommand& R) { R.SetEEpromGetParams(0x1234, 0x20, false); },
     {0x12, 0x34, // start
      0x20}},     // count
    {"ColorOutputValueParams",
     [](TRDMCommand& R) { R.SetColorOutputValueParams(3, 2, 0xABCD, false); },
     {0x03, 0x02,   // pixel, color
      0xAB, 0xCD}}, // value
    {"ColorCalibrationGetData",
     [](TRDMCommand& R) { R.SetColorCalibrationGetData(1, 2, 3, false); },
     {0x01, 0x02, 0x03}},
    {"ColorCalibrationSetDataFloatsLsbFirst",
     [](TRDMCommand& R) { R.SetColorCalibrationSetData(1, 2, 3, 1.0f, -2.5f, 0.15625f, 25, false); },
     {0x01, 0x02, 0x03,       // pixel, color, measurement
      0x00, 0x00, 0x80, 0x3F, // X 1.0
      0x00, 0x00, 0x20, 0xC0, // Y -2.5
      0x00, 0x00, 0x20, 0x3E, // Z 0.15625
      0x19}},                 // temperature 25
};

class FixedSetterTest : public ::testing::TestWithParam<TSetterCase> {};

TEST_P(FixedSetterTest, WritesOnlyItsBytesPdlAndLength) {
    TOpenCommand Request(FixtureUID, 0x30, 0xA101, false);
    std::memset(Request.Data().Raw, 0xEE, sizeof Request.Data().Raw);
    GetParam().Apply(Request);

    const TBytes& Param = GetParam().Param;
    const TBytes Image = RecordImage(Request);
    EXPECT_THAT(TBytes(Image.begin() + 24, Image.begin() + 24 + Param.size()), ElementsAreArray(Param));
    EXPECT_EQ(Request.CommandData().PDL, Param.size());
    EXPECT_EQ(Request.MessageLength(), 24 + static_cast<int>(Param.size()));
    EXPECT_TRUE(
        std::all_of(Image.begin() + 24 + Param.size(), Image.end(), [](auto B) { return B == 0xEE; }));
}

INSTANTIATE_TEST_SUITE_P(Setters, FixedSetterTest, ::testing::ValuesIn(FixedSetters),
                         [](const auto& Info) { return Info.param.Name; });

TEST(SetterMakeFinal, SealsTheRequestWithTheChecksumBehindTheParameters) {
    TRDMCommand Request(FixtureUID, 0x30, 0x00E0, false);
    Request.SetByteParam(2, true);
    EXPECT_THAT(WireImage(Request), ElementsAreArray<std::uint8_t>({
                                        0xCC, 0x01, 0x19,                   // message length 25
                                        0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, // destination
                                        0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source
                                        0x00, 0x01, 0x00, 0x00, 0x00,       // TN, port, count, sub-device
                                        0x30, 0x00, 0xE0, 0x01,             // SET DMX_PERSONALITY, PDL 1
                                        0x02,                               // personality 2
                                        0x05, 0x18,                         // checksum
                                    }));
}

TEST(SingleHelpers, ReadBackWhatWasStored) {
    std::uint8_t Bytes[4];
    PutLESingle(Bytes, -2.5f);
    EXPECT_THAT(Bytes, ElementsAreArray({0x00, 0x00, 0x20, 0xC0}));
    EXPECT_EQ(GetLESingle(Bytes), -2.5f);
}

// ---------------------------------------------------------------------------------------------
// Discovery requests: the discovery defaults, whichever constructor is used

TEST(DiscoveryUniqueBranch, DefaultsAreTheFullRangeNotFinalized) {
    const TRDMDiscoveryUniqueBranch Request;
    const TRDMData& D = Request.CommandData();
    EXPECT_EQ(D.MesLen, 36);
    EXPECT_EQ(D.PDL, 12);
    EXPECT_EQ(D.CC, 0x10);
    EXPECT_EQ(D.DestinationUID, BroadcastUID);
    EXPECT_EQ(D.SourceUID, ControllerUID);
    EXPECT_EQ(D.UniqueBranch.LowBound, NullUID);
    EXPECT_EQ(D.UniqueBranch.HighBound, BroadcastUID);
    std::uint16_t HostPID;
    std::memcpy(&HostPID, D.PID, 2);
    EXPECT_EQ(HostPID, 0x0001);
    EXPECT_EQ(D.UniqueBranch.CheckSumHi, 0);
    EXPECT_EQ(D.UniqueBranch.CheckSumLow, 0);
    EXPECT_EQ(Request.CheckSum(), 0);
}

TEST(DiscoveryUniqueBranch, BuiltFromAUIDStartsFromTheDiscoveryDefaults) {
    TRDMDiscoveryUniqueBranch Request(FixtureUID);
    const TRDMData& D = Request.CommandData();
    EXPECT_EQ(D.DestinationUID, FixtureUID);
    EXPECT_EQ(D.MesLen, 36);
    EXPECT_EQ(D.CC, 0x10);
    EXPECT_EQ(D.UniqueBranch.HighBound, BroadcastUID);
    Request.Finalize(); // carries the discovery PID, so it can be sealed
    EXPECT_THAT(D.PID, ElementsAreArray({0x00, 0x01}));
}

TEST(DiscoveryUniqueBranch, BuiltFromAUIDAndCommandKeepsTheDiscoveryParameters) {
    const TRDMDiscoveryUniqueBranch Request(FixtureUID, 0x10, 0x0001, true);
    const TBytes Image = WireImage(Request);
    ASSERT_EQ(Image.size(), 38u);
    EXPECT_THAT(TBytes(Image.begin() + 3, Image.begin() + 9), ElementsAreArray(FixtureUID.Bytes));
    EXPECT_EQ(Request.CommandData().UniqueBranch.HighBound, BroadcastUID);
}

TEST(DiscoveryUniqueBranch, StoresTheGivenBounds) {
    const TUID Low{{0x5A, 0x59, 0x00, 0x00, 0x00, 0x00}};
    const TUID High{{0x5A, 0x59, 0x7F, 0xFF, 0xFF, 0xFF}};
    const TRDMDiscoveryUniqueBranch Request(Low, High);
    EXPECT_EQ(Request.CommandData().UniqueBranch.LowBound, Low);
    EXPECT_EQ(Request.CommandData().UniqueBranch.HighBound, High);
    EXPECT_EQ(Request.CommandData().DestinationUID, BroadcastUID);
}

// ---------------------------------------------------------------------------------------------
// Finalize refuses a request without PID or command class

int FinalizeFailureLine(std::uint8_t CC, std::uint16_t PID) {
    TRDMCommand Request(FixtureUID, CC, PID, false);
    const TBytes Before = RecordImage(Request);
    try {
        Request.Finalize();
    } catch (const EAssertionFailed& E) {
        EXPECT_EQ(E.what(), AssertionMessage("Assertion failure", E));
        EXPECT_GT(E.Line(), 0);
        EXPECT_EQ(RecordImage(Request), Before) << "nothing may be swapped or summed";
        return E.Line();
    }
    ADD_FAILURE() << "Finalize accepted CC " << int(CC) << " PID " << PID;
    return -1;
}

TEST(FinalizeAssertion, RequestWithoutCommandCannotBeFinalized) {
    TRDMCommand Request(FixtureUID);
    try {
        Request.Finalize();
        FAIL() << "finalized without PID";
    } catch (const EAssertionFailed& E) {
        const std::logic_error& General = E; // callers may catch the general kind
        EXPECT_EQ(General.what(), AssertionMessage("Assertion failure", E));
    }
}

TEST(FinalizeAssertion, PIDIsCheckedBeforeCommandClassAndNothingChanges) {
    const int PIDLine = FinalizeFailureLine(0x20, 0x0000);
    const int BothLine = FinalizeFailureLine(0x00, 0x0000);
    const int CCLine = FinalizeFailureLine(0x00, 0x0060);
    EXPECT_EQ(BothLine, PIDLine);
    EXPECT_NE(CCLine, PIDLine);
}

TEST(FinalizeAssertion, MakeFinalWithZeroPIDThrowsFromTheConstructor) {
    EXPECT_THROW(TRDMCommand(FixtureUID, 0x20, 0x0000, true), EAssertionFailed);
}

} // namespace
