// Cables as the driver lists and opens them: the device list, opening, unplugging, failing calls.
#include "SimLine.h"

#include <cstddef>
#include <cstring>
#include <string>

using namespace simtest;

namespace {

static_assert(offsetof(VC_FT_DEVICE_LIST_INFO_NODE, SerialNumber) == 16);
static_assert(offsetof(VC_FT_DEVICE_LIST_INFO_NODE, Description) == 32);
static_assert(offsetof(VC_FT_DEVICE_LIST_INFO_NODE, ftHandle) == 96);

std::vector<VC_FT_DEVICE_LIST_INFO_NODE> deviceList() {
    VC_DWORD count = 0;
    EXPECT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    std::vector<VC_FT_DEVICE_LIST_INFO_NODE> list(count);
    VC_DWORD filled = count;
    EXPECT_EQ(FT_GetDeviceInfoList(list.data(), &filled), VC_FT_OK);
    EXPECT_EQ(filled, count);
    return list;
}

VC_CableConfig cable(const char* description, const char* serial, uint32_t flags = 0) {
    VC_CableConfig config{};
    VC_DefaultCable(&config);
    std::strncpy(config.description, description, sizeof config.description - 1);
    std::strncpy(config.serial, serial, sizeof config.serial - 1);
    config.flags = flags;
    return config;
}

class CablesTest : public ::testing::Test {
  protected:
    void SetUp() override { VC_Reset(); }
    void TearDown() override { VC_Reset(); }
};

TEST_F(CablesTest, DefaultCableIsAnFt232r) {
    uint32_t version = 0;
    ASSERT_EQ(FT_GetLibraryVersion(&version), VC_FT_OK);
    EXPECT_NE(version, 0u);

    const auto list = deviceList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Flags, 0u);
    EXPECT_EQ(list[0].Type, 5u);
    EXPECT_EQ(list[0].ID, 0x04036001u);
    EXPECT_STREQ(list[0].Description, "FT232R USB UART");
    EXPECT_STREQ(list[0].SerialNumber, "VC000001");

    VC_FT_HANDLE handle = openLine();
    VC_DWORD type = 0, id = 0;
    char serial[16] = {}, description[64] = {};
    ASSERT_EQ(FT_GetDeviceInfo(handle, &type, &id, serial, description, nullptr), VC_FT_OK);
    EXPECT_EQ(type, 5u);
    EXPECT_EQ(id, 0x04036001u);
    EXPECT_STREQ(serial, "VC000001");
    EXPECT_STREQ(description, "FT232R USB UART");
    // Open here counts as open: the list shows it, and a second open is refused.
    EXPECT_EQ(deviceList()[0].Flags & VC_FT_FLAGS_OPENED, 1u);
    VC_FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), VC_FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(VC_OpenHandleCount(), 1);
    EXPECT_EQ(FT_Close(handle), VC_FT_OK);
    EXPECT_EQ(VC_OpenHandleCount(), 0);
    EXPECT_EQ(FT_Close(handle), VC_FT_INVALID_HANDLE);
}

TEST_F(CablesTest, SeveralCablesKeepTheirOrderAndFlags) {
    VC_Clear();
    EXPECT_EQ(VC_AddCable(&static_cast<const VC_CableConfig&>(cable("USB-RS485 Cable", "A1", 1))), 0);
    EXPECT_EQ(VC_AddCable(&static_cast<const VC_CableConfig&>(cable("FT232R USB UART", "B2"))), 1);
    EXPECT_EQ(VC_CableCount(), 2);
    const auto list = deviceList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Flags, 1u);
    EXPECT_STREQ(list[0].Description, "USB-RS485 Cable");
    EXPECT_STREQ(list[1].SerialNumber, "B2");
    VC_FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), VC_FT_DEVICE_NOT_OPENED); // another process has it
    EXPECT_EQ(FT_Open(1, &handle), VC_FT_OK);
    EXPECT_EQ(FT_Open(2, &handle), VC_FT_DEVICE_NOT_FOUND);
}

TEST_F(CablesTest, NoCableListsNothing) {
    VC_Clear();
    VC_DWORD count = 99;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(FT_GetDeviceInfoList(nullptr, &count), VC_FT_OK);
    EXPECT_EQ(count, 0u);
    VC_FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), VC_FT_DEVICE_NOT_FOUND);
}

TEST_F(CablesTest, ListTakenEarlierNeverGrowsPastTheCallersBuffer) {
    VC_DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    ASSERT_EQ(count, 1u);
    VC_AddCable(&static_cast<const VC_CableConfig&>(cable("FT232R USB UART", "LATE")));
    VC_FT_DEVICE_LIST_INFO_NODE list[2] = {};
    list[1].Type = 0xDEAD;
    VC_DWORD filled = 0;
    ASSERT_EQ(FT_GetDeviceInfoList(list, &filled), VC_FT_OK);
    EXPECT_EQ(filled, 1u);
    EXPECT_EQ(list[1].Type, 0xDEADu);
}

// A confused driver: the count claims more devices than the list holds.
TEST_F(CablesTest, ReportedCountMayExceedWhatTheListFills) {
    VC_SetReportedDeviceCount(1000);
    VC_DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    EXPECT_EQ(count, 1000u);
    std::vector<VC_FT_DEVICE_LIST_INFO_NODE> list(count);
    VC_DWORD filled = count;
    ASSERT_EQ(FT_GetDeviceInfoList(list.data(), &filled), VC_FT_OK);
    EXPECT_EQ(filled, 1u);
    EXPECT_STREQ(list[0].SerialNumber, "VC000001");
    VC_Reset();
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), VC_FT_OK);
    EXPECT_EQ(count, 1u);
}

TEST_F(CablesTest, ASlowWriteTakesItsTimeBeforeTheBytesGoOut) {
    VC_SetFastTiming();
    VC_FT_HANDLE handle = openLine();
    VC_SetWriteDelay(30'000);
    VC_CaptureClear();
    const auto start = std::chrono::steady_clock::now();
    sendWithBreak(handle, Bytes(513, 0x00));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60)); // two writes
    ASSERT_EQ(VC_CaptureCount(), 1);
    VC_Packet frame{};
    ASSERT_EQ(VC_CaptureGet(0, &frame), 0);
    EXPECT_GE(frame.break_to_data_us, 30'000.0); // the data waited for its own transfer
    FT_Close(handle);
}

TEST_F(CablesTest, UnpluggedCableFailsItsHandlesAndLeavesTheList) {
    VC_FT_HANDLE handle = openLine();
    VC_SetCablePlugged(0, 0);
    EXPECT_TRUE(deviceList().empty());
    uint8_t byte = 0;
    VC_DWORD count = 0, tx = 0, events = 0;
    EXPECT_EQ(FT_Write(handle, &byte, 1, &count), VC_FT_IO_ERROR);
    EXPECT_EQ(FT_GetStatus(handle, &count, &tx, &events), VC_FT_IO_ERROR);
    EXPECT_EQ(FT_SetRts(handle), VC_FT_IO_ERROR);
    VC_FT_HANDLE other = nullptr;
    EXPECT_EQ(FT_Open(0, &other), VC_FT_DEVICE_NOT_FOUND);

    VC_SetCablePlugged(0, 1);
    EXPECT_EQ(deviceList().size(), 1u);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_IO_ERROR); // the old handle stays dead
    EXPECT_EQ(FT_Close(handle), VC_FT_IO_ERROR);
    EXPECT_EQ(VC_OpenHandleCount(), 0);

    VC_SetFastTiming();
    handle = openLine();
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060)).size(), 45u);
    EXPECT_EQ(FT_Close(handle), VC_FT_OK);
}

TEST_F(CablesTest, ACableCanBePulledOutJustBeforeAChosenCall) {
    VC_UnplugBeforeCall(0, "FT_CreateDeviceInfoList", 2);
    EXPECT_EQ(deviceList().size(), 1u) << "the first listing still sees it";
    EXPECT_EQ(deviceList().size(), 0u) << "gone by the second";
    VC_SetCablePlugged(0, 1);
    EXPECT_EQ(deviceList().size(), 1u) << "pulled out once only";
}

TEST_F(CablesTest, FailedCallsReturnTheChosenStatusAndCount) {
    VC_FailCall("FT_SetBaudRate", VC_FT_IO_ERROR, 1);
    VC_FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), VC_FT_OK);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_IO_ERROR);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), VC_FT_OK);

    VC_FailCall("FT_Purge", VC_FT_OTHER_ERROR, -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FT_Purge(handle, VC_FT_PURGE_RX), VC_FT_OTHER_ERROR);
    VC_FailCall("FT_Purge", 0, 0);
    EXPECT_EQ(FT_Purge(handle, VC_FT_PURGE_RX), VC_FT_OK);

    EXPECT_EQ(VC_CallCount("FT_SetBaudRate"), 2u);
    EXPECT_EQ(VC_CallCount("FT_Purge"), 4u);
    EXPECT_EQ(VC_CallCount("FT_Open"), 1u);
    EXPECT_EQ(VC_CallCount("*"), 7u);
    EXPECT_EQ(FT_Close(handle), VC_FT_OK);
}

struct BadArgumentCase {
    const char* name;
    VC_FT_STATUS (*call)(VC_FT_HANDLE handle);
    VC_FT_STATUS expected;
};

class BadArgumentTest : public CablesTest, public ::testing::WithParamInterface<BadArgumentCase> {};

TEST_P(BadArgumentTest, IsRefusedWithoutTouchingTheLine) {
    VC_SetFastTiming();
    VC_FT_HANDLE handle = openLine();
    EXPECT_EQ(GetParam().call(handle), GetParam().expected);
    EXPECT_EQ(transact(handle, rdmRequest(kFixtureUid, 0x20, 0x0060)).size(), 45u);
    FT_Close(handle);
}

INSTANTIATE_TEST_SUITE_P(
    D2xx, BadArgumentTest,
    ::testing::Values(
        BadArgumentCase{"BaudRateZero", [](VC_FT_HANDLE h) { return FT_SetBaudRate(h, 0); },
                        VC_FT_INVALID_BAUD_RATE},
        BadArgumentCase{"FiveDataBits", [](VC_FT_HANDLE h) { return FT_SetDataCharacteristics(h, 5, 2, 0); },
                        VC_FT_INVALID_PARAMETER},
        BadArgumentCase{"StatusWithoutPlaces",
                        [](VC_FT_HANDLE h) { return FT_GetStatus(h, nullptr, nullptr, nullptr); },
                        VC_FT_INVALID_PARAMETER},
        BadArgumentCase{"WriteFromNowhere",
                        [](VC_FT_HANDLE h) {
                            VC_DWORD n = 0;
                            return FT_Write(h, nullptr, 4, &n);
                        },
                        VC_FT_INVALID_PARAMETER},
        BadArgumentCase{"UnknownHandle",
                        [](VC_FT_HANDLE) { return FT_SetRts(reinterpret_cast<VC_FT_HANDLE>(0x1234)); },
                        VC_FT_INVALID_HANDLE}),
    [](const ::testing::TestParamInfo<BadArgumentCase>& info) { return info.param.name; });

} // namespace
