// What the list of fixtures reads for each row, which rows it marks for overlapping DMX slots, and
// IDENTIFY_DEVICE switched on and off for one fixture.
#include "FixtureList.h"
#include "SearchTestSupport.h"

using namespace sessiontest;

namespace {

constexpr int CableIndex = 0;

class FixtureListRows : public VirtualCableTest {};

TEST_F(FixtureListRows, ReadModelAddressAndFootprintOfEachFixture) {
    ASSERT_EQ(VC_LoadConfigFile(ExampleFile("two-fixtures.json").c_str()), 0);
    VC_SetFastTiming();
    auto ftd = OpenCable();

    // 5A59:00000042 runs personality 5, "8-Pixel RGB", on 24 slots from address 25.
    const TFixtureListRow second = ReadFixtureListRow(*ftd, CableIndex, UID("5A59:00000042"));
    EXPECT_TRUE(second.Read) << second.Error;
    EXPECT_EQ(second.Error, "");
    EXPECT_EQ(UIDToString(second.UID), "5A59:00000042");
    EXPECT_EQ(second.DeviceModelID, 103);
    EXPECT_EQ(second.DeviceModelDescription, "VEK-340");
    EXPECT_EQ(second.DMX512StartAdr, 25);
    EXPECT_EQ(second.DMX512Footprint, 24);

    const TFixtureListRow first = ReadFixtureListRow(*ftd, CableIndex, UID("5A59:12345678"));
    EXPECT_TRUE(first.Read) << first.Error;
    EXPECT_EQ(first.DMX512StartAdr, 1);
    EXPECT_EQ(first.DMX512Footprint, 4);
}

// Without DEVICE_MODEL_DESCRIPTION in its list the fixture is not asked for it; the list shows
// the model ID instead.
TEST_F(FixtureListRows, AFixtureWithoutModelDescriptionIsNotAskedForIt) {
    VC_FixtureConfig fixture{};
    ASSERT_EQ(VC_GetFixture(0, &fixture), 0);
    fixture.supports_model_description = 0;
    fixture.model_id = 0x0123;
    ASSERT_EQ(VC_SetFixture(0, &fixture), 0);
    auto ftd = OpenCable();
    VC_CaptureClear();

    const TFixtureListRow row = ReadFixtureListRow(*ftd, CableIndex, UID("5A59:12345678"));
    EXPECT_TRUE(row.Read) << row.Error;
    EXPECT_EQ(row.DeviceModelID, 0x0123);
    EXPECT_EQ(row.DeviceModelDescription, "");
    std::vector<std::uint16_t> asked;
    for (const TSentRequest& r : SentRequests())
        asked.push_back(r.PID);
    EXPECT_EQ(asked, (std::vector<std::uint16_t>{PID_DEVICE_INFO, PID_SUPPORTED_PARAMETERS}));
}

TEST_F(FixtureListRows, AFailedRequestEndsTheRowWithItsError) {
    auto ftd = OpenCable();
    VC_InjectFault(0, VC_FAULT_NACK, CC_GET_COMMAND, PID_SUPPORTED_PARAMETERS, 1);
    const TFixtureListRow refused = ReadFixtureListRow(*ftd, CableIndex, UID("5A59:12345678"));
    EXPECT_FALSE(refused.Read);
    EXPECT_EQ(refused.Error, "RDM error(SUPPORTED_PARAMETERS, Response NACK)");
    EXPECT_EQ(refused.DeviceModelID, 103) << "what was read before the failure stays";
    EXPECT_EQ(refused.DeviceModelDescription, "");

    VC_SetFixtureSilent(0, 1);
    const TFixtureListRow silent = ReadFixtureListRow(*ftd, CableIndex, UID("5A59:12345678"));
    EXPECT_FALSE(silent.Read);
    EXPECT_EQ(silent.Error, "RDM error(DEVICE_INFO, Timeout)");
}

TEST(UIDText, ManufacturerThenDeviceInUpperCaseHexadecimal) {
    EXPECT_EQ(UIDToString(TUID{{0x00, 0x00, 0x00, 0x00, 0x00, 0x01}}), "0000:00000001");
    EXPECT_EQ(UIDToString(TUID{{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}}), "7FFF:FFFFFFFE");
    EXPECT_EQ(UIDToString(TUID{{0x5A, 0x59, 0x0a, 0xbc, 0xde, 0xf0}}), "5A59:0ABCDEF0");
}

struct TPlacement {
    std::uint16_t Start;
    std::uint16_t Footprint;
    bool Read = true;
};

struct TOverlapCase {
    const char* Name;
    std::vector<TPlacement> Rows;
    std::vector<bool> Marked;
};

class FootprintOverlap : public ::testing::TestWithParam<TOverlapCase> {};

TEST_P(FootprintOverlap, MarksEveryRowThatSharesASlot) {
    std::vector<TFixtureListRow> rows;
    for (const TPlacement& p : GetParam().Rows) {
        TFixtureListRow row;
        row.Read = p.Read;
        row.DMX512StartAdr = p.Start;
        row.DMX512Footprint = p.Footprint;
        rows.push_back(row);
    }
    EXPECT_EQ(OverlappingFootprints(rows), GetParam().Marked);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FootprintOverlap,
    ::testing::Values(
        TOverlapCase{"NoRows", {}, {}}, TOverlapCase{"OneRow", {{1, 4}}, {false}},
        TOverlapCase{"DirectlyBehindEachOther", {{1, 4}, {5, 4}}, {false, false}},
        TOverlapCase{"SharingTheLastSlot", {{1, 4}, {4, 6}}, {true, true}},
        TOverlapCase{"OneInsideTheOther", {{10, 24}, {12, 2}}, {true, true}},
        TOverlapCase{"SameAddressFreshFromTheFactory", {{1, 4}, {1, 4}, {1, 4}}, {true, true, true}},
        TOverlapCase{"OnlyThePairThatOverlaps", {{1, 4}, {30, 8}, {3, 2}}, {true, false, true}},
        TOverlapCase{"FarApartInAnyOrder", {{500, 13}, {1, 499}}, {false, false}},
        TOverlapCase{"AtTheEndOfTheUniverse", {{510, 8}, {512, 1}}, {true, true}},
        TOverlapCase{"NoFootprintTakesNoSlot", {{1, 0}, {1, 4}}, {false, false}},
        TOverlapCase{"NoStartAddressTakesNoSlot", {{0xFFFF, 4}, {0, 4}, {1, 4}}, {false, false, false}},
        TOverlapCase{"ARowNotReadTakesNoSlot", {{1, 4, false}, {1, 4}}, {false, false}}),
    [](const ::testing::TestParamInfo<TOverlapCase>& info) { return info.param.Name; });

class Identify : public VirtualCableTest {
  protected:
    // What the fixture itself says: GET IDENTIFY_DEVICE.
    static bool Identifying(TFTD2XXWrapper& ftd) {
        const TRDMCommand get(UID("5A59:12345678"), CC_GET_COMMAND, PID_IDENTIFY_DEVICE, true);
        TRDMResponseData reply{};
        EXPECT_TRUE(ftd.RDMCommandWithResponse(CableIndex, get, reply, 1000));
        return reply.Data.Raw[0] == 1;
    }
};

TEST_F(Identify, SwitchesOnAndOffWithOneSetEach) {
    auto ftd = OpenCable();
    VC_CaptureClear();
    std::string error = "stale";
    EXPECT_TRUE(SetIdentify(*ftd, CableIndex, UID("5A59:12345678"), true, error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(Identifying(*ftd));
    EXPECT_TRUE(SetIdentify(*ftd, CableIndex, UID("5A59:12345678"), false, error));
    EXPECT_FALSE(Identifying(*ftd));

    const std::vector<TSentRequest> sent = SentRequests();
    ASSERT_EQ(sent.size(), 4u);
    for (std::size_t i : {0u, 2u}) {
        EXPECT_EQ(sent[i].CC, CC_SET_COMMAND);
        EXPECT_EQ(sent[i].PID, PID_IDENTIFY_DEVICE);
        EXPECT_EQ(sent[i].Destination, "5A59:12345678");
    }
    EXPECT_EQ(sent[0].Data, std::vector<std::uint8_t>{1});
    EXPECT_EQ(sent[2].Data, std::vector<std::uint8_t>{0});
}

TEST_F(Identify, AFixtureThatDoesNotAcknowledgeIsReported) {
    auto ftd = OpenCable();
    std::string error;
    VC_InjectFault(0, VC_FAULT_NACK, CC_SET_COMMAND, PID_IDENTIFY_DEVICE, 1);
    EXPECT_FALSE(SetIdentify(*ftd, CableIndex, UID("5A59:12345678"), true, error));
    EXPECT_EQ(error, "RDM error(IDENTIFY_DEVICE, Response NACK)");
    EXPECT_FALSE(Identifying(*ftd));
}

} // namespace
