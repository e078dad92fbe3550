// Listing the cables the driver reports, choosing the usable ones, and opening one with the DMX
// line settings.
#include "VirtualCableFixture.h"

#include <string>
#include <vector>

namespace {

class CableList : public VirtualCableTest {
  protected:
    void SetUp() override {
        VirtualCableTest::SetUp();
        VC_Clear();
    }
};

TEST(FTStatusToString, NamesEveryStatusAndCallsTheRestUndefined) {
    EXPECT_EQ(FTStatusToString(0), "Undefined error code");
    EXPECT_EQ(FTStatusToString(1), "FT_INVALID_HANDLE");
    EXPECT_EQ(FTStatusToString(4), "FT_IO_ERROR (device disconnected?)");
    EXPECT_EQ(FTStatusToString(17), "FT_NOT_SUPPORTED");
    EXPECT_EQ(FTStatusToString(18), "FT_OTHER_ERROR");
    EXPECT_EQ(FTStatusToString(19), "Undefined error code");
    EXPECT_EQ(FTStatusToString(0xFFFFFFFFu), "Undefined error code");
}

struct FilterCase {
    const char* name;
    VC_CableConfig cable;
    bool accepted;
    const char* shownSerial;
};

VC_CableConfig With(VC_CableConfig cable, std::uint32_t flags, std::uint32_t type, std::uint32_t id) {
    cable.flags = flags;
    cable.type = type;
    cable.id = id;
    return cable;
}

TEST_F(CableList, AcceptsOnlyClosedFT232RCablesWithTheirExactDescriptionAndASerial) {
    ZYL_NOT_BEHIND_LIBFTDI("a record of device type 4 with the FT232R's IDs: the chip is always an FT232R");
    const VC_CableConfig uart = Cable("FT232R USB UART", "A1");
    const VC_CableConfig sixteen = Cable("USB-RS485 Cable", "0123456789ABCDEF"); // no NUL left
    const std::vector<FilterCase> cases = {
        {"FT232R USB UART", uart, true, "A1"},
        {"USB-RS485 Cable", Cable("USB-RS485 Cable", "B2"), true, "B2"},
        {"serial filling all 16 bytes", sixteen, true, "0123456789ABCDEF"},
        {"control characters in the serial show as ?",
         Cable("FT232R USB UART", "V\x01"
                                  "C\x1F"),
         true, "V?C?"},
        {"description with a trailing blank", Cable("USB-RS485 Cable ", "C3"), false, ""},
        {"description in other letter case", Cable("usb-rs485 cable", "C4"), false, ""},
        {"another FTDI description", Cable("FT232R USB UART2", "C5"), false, ""},
        {"empty serial", Cable("FT232R USB UART", ""), false, ""},
        {"opened by another process", With(uart, 1, 5, 0x04036001), false, ""},
        {"another device type", With(uart, 0, 4, 0x04036001), false, ""},
        {"another product ID", With(uart, 0, 5, 0x04036015), false, ""},
        {"another vendor ID", With(uart, 0, 5, 0x04046001), false, ""},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        VC_Clear();
        VC_AddCable(&c.cable);
        TFTD2XXWrapper wrapper;
        ASSERT_TRUE(wrapper.Initialize());
        EXPECT_TRUE(wrapper.ScanDevices());
        ASSERT_EQ(wrapper.DeviceCount(), c.accepted ? 1 : 0);
        if (c.accepted) {
            EXPECT_EQ(wrapper.GetDeviceSerialNo(0), c.shownSerial);
            EXPECT_EQ(wrapper.GetDeviceDescription(0), std::string(c.cable.description, 15));
        }
    }
}

TEST_F(CableList, KeepsTheDriverIndexAndFindsCablesByTheirID) {
    ZYL_NOT_BEHIND_LIBFTDI(
        "a record of another product ID: the library lists FT232R cables only, so driver positions differ");
    const VC_CableConfig other = With(Cable("FT232R USB UART", "X0"), 0, 5, 0x04036015);
    const VC_CableConfig rs485 = Cable("USB-RS485 Cable", "A1");
    const VC_CableConfig uart = Cable("FT232R USB UART", "B2");
    VC_AddCable(&other);
    VC_AddCable(&rs485);
    VC_AddCable(&uart);
    VC_AddCable(&rs485); // the same ID twice: the first listed wins

    TFTD2XXWrapper wrapper;
    ASSERT_TRUE(wrapper.Initialize());
    ASSERT_TRUE(wrapper.ScanDevices());
    ASSERT_EQ(wrapper.DeviceCount(), 3);
    EXPECT_EQ(wrapper.DeviceList()[0]->fFTD2XXDeviceIndex, 1u);
    EXPECT_EQ(wrapper.DeviceList()[1]->fFTD2XXDeviceIndex, 2u);
    EXPECT_EQ(wrapper.DeviceList()[2]->fFTD2XXDeviceIndex, 3u);
    EXPECT_EQ(wrapper.GetDeviceDescription(1), "FT232R USB UART");
    EXPECT_EQ(wrapper.GetDeviceSerialNo(1), "B2");

    EXPECT_EQ(TFTD2XXWrapper::MakeDeviceID("USB-RS485 Cable", "A1"), "USB-RS485 Cable A1");
    EXPECT_EQ(wrapper.DeviceList().DeviceIndexOfID("USB-RS485 Cable A1"), 1);
    EXPECT_EQ(wrapper.DeviceList().DeviceIndexOfID("FT232R USB UART B2"), 2);
    EXPECT_EQ(wrapper.DeviceList().DeviceIndexOfID("USB-RS485 Cable B2"), -1);
    EXPECT_EQ(wrapper.DeviceList().DeviceIndexOfID("usb-rs485 cable A1"), -1);
    EXPECT_EQ(TDeviceList().DeviceIndexOfID("USB-RS485 Cable A1"), -1);

    for (int idx : {-1, 3, 5}) {
        EXPECT_EQ(wrapper.GetDeviceDescription(idx), "") << idx;
        EXPECT_EQ(wrapper.GetDeviceSerialNo(idx), "") << idx;
    }
}

TEST_F(CableList, AFailedScanKeepsTheLastListAndAnUnpluggedCableDisappears) {
    ZYL_NOT_BEHIND_LIBFTDI("fails a D2XX call inside the virtual cable");
    VC_Reset();
    VC_SetFastTiming();
    TFTD2XXWrapper wrapper;
    ASSERT_TRUE(wrapper.Initialize());
    ASSERT_TRUE(wrapper.ScanDevices());
    ASSERT_EQ(wrapper.DeviceCount(), 1);

    VC_FailCall("FT_CreateDeviceInfoList", 4, 1);
    EXPECT_FALSE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.LastFTD2XXError(), 4u);
    EXPECT_EQ(wrapper.DeviceCount(), 1);

    VC_FailCall("FT_GetDeviceInfoList", 18, 1);
    EXPECT_FALSE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.LastFTD2XXError(), 18u);
    EXPECT_EQ(wrapper.DeviceCount(), 0);

    VC_SetCablePlugged(0, 0);
    EXPECT_TRUE(wrapper.ScanDevices());
    EXPECT_EQ(wrapper.LastFTD2XXError(), 0u);
    EXPECT_EQ(wrapper.DeviceCount(), 0);
}

TEST_F(CableList, OpeningWithoutThatCableReportsTheIndexOutOfBounds) {
    TFTD2XXWrapper wrapper;
    ASSERT_TRUE(wrapper.Initialize());
    EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(0));
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x2000u);
    EXPECT_EQ(wrapper.LastDLLErrorString(), "Device Index out of bounds (0)");
    EXPECT_EQ(wrapper.LastFTD2XXError(), 0u);

    const VC_CableConfig cable = Cable("FT232R USB UART", "A1");
    VC_AddCable(&cable);
    EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(-1));
    EXPECT_EQ(wrapper.LastDLLErrorString(), "Device Index out of bounds (-1)");
    EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(1));
    EXPECT_EQ(wrapper.LastDLLErrorString(), "Device Index out of bounds (1)");
    EXPECT_EQ(wrapper.InterfaceCount(), 0);
    EXPECT_EQ(VC_CallCount("FT_Open"), 0u);
}

TEST_F(CableList, OpeningSetsUpTheLineAndClosingTheWrapperClosesTheCable) {
    ZYL_NOT_BEHIND_LIBFTDI("counts D2XX calls inside the virtual cable");
    VC_Reset();
    VC_SetFastTiming();
    {
        TFTD2XXWrapper wrapper;
        wrapper.SetDMXStreamDisabled(true); // only the set-up calls are counted here
        ASSERT_TRUE(wrapper.Initialize());
        ASSERT_TRUE(wrapper.OpenAvailableInterfaceByIndex(0));
        EXPECT_EQ(wrapper.InterfaceCount(), 1);
        EXPECT_EQ(VC_OpenHandleCount(), 1);
        for (const char* step :
             {"FT_Open", "FT_GetDeviceInfo", "FT_SetBaudRate", "FT_SetDataCharacteristics",
              "FT_SetFlowControl", "FT_SetChars", "FT_Purge", "FT_ClrRts", "FT_SetLatencyTimer"})
            EXPECT_EQ(VC_CallCount(step), 1u) << step;
        // The DMX line: 250000 baud 8N2, no flow control, no event or error character, both buffers
        // emptied, the line turned to transmit.
        VC_CableSettings line{};
        ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
        EXPECT_EQ(line.format.baud, 250000u);
        EXPECT_EQ(line.format.data_bits, 8);
        EXPECT_EQ(line.format.stop_bits, 2);
        EXPECT_EQ(line.format.parity, 0);
        EXPECT_EQ(line.flow_control, 0);
        EXPECT_EQ(line.xon_char | line.xoff_char, 0);
        EXPECT_EQ(line.event_char | line.event_char_enabled | line.error_char | line.error_char_enabled, 0);
        EXPECT_EQ(line.purge_masks, 1u << 3);
        EXPECT_EQ(line.receive, 0);

        // The cable now shows as open, so it is no longer offered, even to this wrapper.
        EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(0));
        EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x2000u);
        EXPECT_EQ(wrapper.InterfaceCount(), 1);
        EXPECT_EQ(wrapper.GetPacketCount(0), 0);
        EXPECT_EQ(wrapper.GetPacketCount(1), -1);
        EXPECT_EQ(wrapper.GetPacketCount(-1), -1);
    }
    EXPECT_EQ(VC_OpenHandleCount(), 0);
}

// A failing set-up call stops the sequence, leaves no interface and no open handle behind.
TEST_F(CableList, AFailingSetUpCallStopsTheSequenceAndClosesTheHandle) {
    ZYL_NOT_BEHIND_LIBFTDI("fails D2XX calls inside the virtual cable");
    const std::vector<const char*> steps = {
        "FT_Open",           "FT_GetDeviceInfo", "FT_SetBaudRate", "FT_SetDataCharacteristics",
        "FT_SetFlowControl", "FT_SetChars",      "FT_Purge",       "FT_ClrRts"};
    for (std::size_t failing = 0; failing < steps.size(); ++failing) {
        SCOPED_TRACE(steps[failing]);
        VC_Reset();
        VC_SetFastTiming();
        TFTD2XXWrapper wrapper;
        ASSERT_TRUE(wrapper.Initialize());
        const std::uint32_t status = 10 + static_cast<std::uint32_t>(failing);
        VC_FailCall(steps[failing], status, 1);

        EXPECT_FALSE(wrapper.OpenAvailableInterfaceByIndex(0));
        EXPECT_EQ(wrapper.InterfaceCount(), 0);
        EXPECT_EQ(wrapper.LastFTD2XXError(), status);
        EXPECT_EQ(wrapper.LastDLLErrorCode(), 0u);
        EXPECT_EQ(VC_OpenHandleCount(), 0);
        for (std::size_t later = failing + 1; later < steps.size(); ++later)
            EXPECT_EQ(VC_CallCount(steps[later]), 0u) << steps[later];
        EXPECT_EQ(VC_CallCount("FT_SetLatencyTimer"), 0u) << "a cable not opened keeps its timer";
    }
}

// The latency timer is lowered at opening, so that replies are readable soon after their last byte.
TEST_F(CableList, OpeningLowersTheLatencyTimer) {
    VC_Reset();
    VC_SetFastTiming();
    TFTD2XXWrapper wrapper;
    wrapper.SetDMXStreamDisabled(true);
    ASSERT_TRUE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LatencyTimerMs(0), 16) << "no cable open yet";
    ASSERT_TRUE(wrapper.OpenAvailableInterfaceByIndex(0));
    VC_CableSettings line{};
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(line.latency_timer_ms, 2);
    EXPECT_EQ(wrapper.LatencyTimerMs(0), 2);
    EXPECT_EQ(wrapper.LatencyTimerMs(1), 16);
    EXPECT_EQ(wrapper.LatencyTimerMs(-1), 16);
}

// A library may refuse the latency timer; the cable opens all the same and works at its own timer,
// and the refusal does not linger as the wrapper's last status, where the session would take it
// for a lost cable.
TEST_F(CableList, ARefusedLatencyTimerLeavesTheCableUsableAtItsOwnTimer) {
    const struct {
        const char* name;
        std::uint32_t status;
    } refusals[] = {{"not supported", 17}, {"I/O error", 4}, {"invalid parameter", 6}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        VC_Reset();
        VC_SetFastTiming();
        TFTD2XXWrapper wrapper;
        wrapper.SetDMXStreamDisabled(true);
        ASSERT_TRUE(wrapper.Initialize());
        VC_FailCall("FT_SetLatencyTimer", refusal.status, 1);

        ASSERT_TRUE(wrapper.OpenAvailableInterfaceByIndex(0));
        EXPECT_EQ(wrapper.InterfaceCount(), 1);
        EXPECT_EQ(wrapper.LatencyTimerMs(0), 16);
        EXPECT_EQ(wrapper.LastFTD2XXError(), 0u);
        VC_CableSettings line{};
        ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
        EXPECT_EQ(line.latency_timer_ms, 16);

        TRDMCommand request(FixtureUID(), CC_GET_COMMAND, PID_DEVICE_INFO, true);
        TRDMResponseData response{};
        EXPECT_TRUE(wrapper.RDMCommandWithResponse(0, request, response, 1000));
        EXPECT_EQ(response.Raw[0], 0xCC);
    }
}

} // namespace
