// The libftdi1-based libftd2xx.so as a D2XX caller sees it, on Debian's libftdi1 and the emulated
// FT232R chip (the libusb-1.0 stand-in this test links): listing, opening, the receive queue,
// unplugging, handles, and what it leaves behind.
#include "Ftd2xxAbi.h"
#include "RDM_Lib.h"
#include "VirtualCable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

VC_CableConfig Cable(const char* description, const char* serial, std::uint32_t flags = 0) {
    VC_CableConfig cable;
    VC_DefaultCable(&cable);
    std::memset(cable.description, 0, sizeof cable.description);
    std::memset(cable.serial, 0, sizeof cable.serial);
    std::memcpy(cable.description, description, std::min(std::strlen(description), sizeof cable.description));
    std::memcpy(cable.serial, serial, std::min(std::strlen(serial), sizeof cable.serial));
    cable.flags = flags;
    return cable;
}

std::vector<FT_DEVICE_LIST_INFO_NODE> Listing() {
    DWORD count = 0;
    EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    std::vector<FT_DEVICE_LIST_INFO_NODE> records(count + 1);
    DWORD filled = count;
    EXPECT_EQ(FT_GetDeviceInfoList(records.data(), &filled), FT_OK);
    EXPECT_EQ(filled, count);
    records.resize(filled);
    return records;
}

// Baud rate, data bits, stop bits and parity, in one line for comparing.
std::string Format(const VC_LineFormat& format) {
    return std::to_string(format.baud) + " " + std::to_string(format.data_bits) + " " +
           std::to_string(format.stop_bits) + " " + std::to_string(format.parity);
}

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

class LibftdiD2xx : public ::testing::Test {
  protected:
    void SetUp() override {
        VC_Reset();
        VC_SetFastTiming();
    }
    void TearDown() override {
        for (FT_HANDLE handle : opened)
            FT_Close(handle);
        VC_Reset();
    }

    FT_HANDLE Open(int index = 0) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(FT_Open(index, &handle), FT_OK);
        opened.push_back(handle);
        return handle;
    }

    // The DMX line, as the tool sets it up.
    static void SetUpLine(FT_HANDLE handle) {
        ASSERT_EQ(FT_SetBaudRate(handle, 250000), FT_OK);
        ASSERT_EQ(FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_2, 0), FT_OK);
        ASSERT_EQ(FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
        ASSERT_EQ(FT_ClrRts(handle), FT_OK);
    }

    // A GET DEVICE_INFO to the fixture, after a break, with the line turned to receive after it.
    static void RequestDeviceInfo(FT_HANDLE handle, bool purge = true) {
        VC_FixtureConfig fixture;
        ASSERT_EQ(VC_GetFixture(0, &fixture), 0);
        TUID uid{};
        std::memcpy(uid.Bytes, fixture.uid, sizeof uid.Bytes);
        TRDMCommand request(uid, CC_GET_COMMAND, 0x0060, true);
        unsigned char breakByte = 0;
        DWORD written = 0;
        ASSERT_EQ(FT_ClrRts(handle), FT_OK);
        if (purge) {
            ASSERT_EQ(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
        }
        ASSERT_EQ(FT_SetBaudRate(handle, 50000), FT_OK);
        ASSERT_EQ(FT_Write(handle, &breakByte, 1, &written), FT_OK);
        std::this_thread::sleep_for(1ms); // the break byte leaves the chip before the rate changes
        ASSERT_EQ(FT_SetBaudRate(handle, 250000), FT_OK);
        const DWORD length = static_cast<DWORD>(request.MessageLength() + 2);
        ASSERT_EQ(FT_Write(handle, const_cast<TRDMData*>(&request.CommandData()), length, &written), FT_OK);
        EXPECT_EQ(written, length);
        ASSERT_EQ(FT_SetRts(handle), FT_OK);
    }

    // Waits (polling the queue, as the tool does) until `atLeast` bytes wait; the count seen last.
    static DWORD WaitForQueue(FT_HANDLE handle, DWORD atLeast) {
        DWORD rx = 0;
        DWORD tx = 0;
        DWORD events = 0;
        const auto giveUp = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < giveUp) {
            EXPECT_EQ(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
            EXPECT_EQ(tx, 0u);
            if (rx >= atLeast)
                break;
        }
        return rx;
    }

    std::vector<FT_HANDLE> opened;
};

TEST(LibftdiD2xxVersion, IsTheVersionOfLibftdi1) {
    DWORD version = 0;
    ASSERT_EQ(FT_GetLibraryVersion(&version), FT_OK);
    EXPECT_EQ(version, 0x00010500u) << "Debian 12's libftdi1 1.5";
    EXPECT_EQ(FT_GetLibraryVersion(nullptr), FT_INVALID_PARAMETER);
}

TEST_F(LibftdiD2xx, ListsEachFT232RWithItsUsbStringsAndMarksCablesInUse) {
    VC_Clear();
    const VC_CableConfig uart = Cable("FT232R USB UART", "A1");
    const VC_CableConfig rs485 = Cable("USB-RS485 Cable", "0123456789ABCDEF");
    const VC_CableConfig taken = Cable("FT232R USB UART", "C3", 1);
    const VC_CableConfig otherProduct = [] {
        VC_CableConfig cable = Cable("FT230X Basic UART", "D4");
        cable.id = 0x04036015;
        return cable;
    }();
    for (const VC_CableConfig* cable : {&uart, &rs485, &taken, &otherProduct})
        VC_AddCable(cable);

    const std::vector<FT_DEVICE_LIST_INFO_NODE> records = Listing();
    ASSERT_EQ(records.size(), 3u) << "only vendor 0x0403, product 0x6001";
    const struct {
        const char* description;
        const char* serial;
        DWORD flags;
    } expected[] = {{"FT232R USB UART", "A1", 0},
                    {"USB-RS485 Cable", "0123456789ABCDEF", 0},
                    {"FT232R USB UART", "C3", 1}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].Flags, expected[i].flags);
        EXPECT_EQ(records[i].Type, FT_DEVICE_232R);
        EXPECT_EQ(records[i].ID, 0x04036001u);
        EXPECT_EQ(std::string(records[i].Description, strnlen(records[i].Description, 64)),
                  expected[i].description);
        EXPECT_EQ(std::string(records[i].SerialNumber, strnlen(records[i].SerialNumber, 16)),
                  expected[i].serial);
        EXPECT_NE(records[i].LocId, 0u);
        EXPECT_EQ(records[i].ftHandle, nullptr);
    }
    EXPECT_NE(records[0].LocId, records[1].LocId);

    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(2, &handle), FT_DEVICE_NOT_OPENED) << "held by another program";
    EXPECT_EQ(FT_Open(3, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Open(-1, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Open(0, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(VC_OpenHandleCount(), 0);

    // Opening takes the serial driver from that one device and shows it as open in the next list.
    handle = Open(0);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(0), 1);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(1), 0);
    std::vector<FT_DEVICE_LIST_INFO_NODE> again = Listing();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[0].Flags, 1u);
    EXPECT_EQ(again[0].ftHandle, handle);
    EXPECT_EQ(again[1].Flags, 0u) << "listing must not disturb the cable beside it";
    FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), FT_DEVICE_NOT_OPENED);

    DWORD type = 0;
    DWORD id = 0;
    char serial[16] = {};
    char description[64] = {};
    ASSERT_EQ(FT_GetDeviceInfo(handle, &type, &id, serial, description, nullptr), FT_OK);
    EXPECT_EQ(type, FT_DEVICE_232R);
    EXPECT_EQ(id, 0x04036001u);
    EXPECT_STREQ(serial, "A1");
    EXPECT_STREQ(description, "FT232R USB UART");

    ASSERT_EQ(FT_Close(handle), FT_OK);
    opened.clear();
    EXPECT_EQ(Listing()[0].Flags, 0u);
    EXPECT_EQ(VC_OpenHandleCount(), 0);
}

TEST_F(LibftdiD2xx, LineSettingsReachTheChip) {
    FT_HANDLE handle = Open();
    SetUpLine(handle);
    ASSERT_EQ(FT_SetChars(handle, 0x7E, 1, 0x55, 1), FT_OK);
    VC_CableSettings line{};
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(Format(line.format), "250000 8 2 0");
    EXPECT_EQ(line.receive, 0);
    EXPECT_EQ(line.event_char, 0x7E);
    EXPECT_EQ(line.event_char_enabled, 1);
    EXPECT_EQ(line.error_char, 0x55);
    EXPECT_EQ(line.error_char_enabled, 1);
    EXPECT_EQ(line.latency_timer_ms, 16) << "the chip's own, until it is set";
    ASSERT_EQ(FT_SetLatencyTimer(handle, 2), FT_OK);
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(line.latency_timer_ms, 2);

    ASSERT_EQ(FT_SetDataCharacteristics(handle, FT_BITS_7, FT_STOP_BITS_1, 2), FT_OK);
    ASSERT_EQ(FT_SetFlowControl(handle, FT_FLOW_XON_XOFF, 0x11, 0x13), FT_OK);
    ASSERT_EQ(FT_SetRts(handle), FT_OK);
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(Format(line.format), "250000 7 1 2");
    EXPECT_EQ(line.flow_control, FT_FLOW_XON_XOFF);
    EXPECT_EQ(line.xon_char, 0x11);
    EXPECT_EQ(line.xoff_char, 0x13);
    EXPECT_EQ(line.receive, 1);

    // A break in between keeps the frame format.
    ASSERT_EQ(FT_SetBreakOn(handle), FT_OK);
    ASSERT_EQ(FT_SetBreakOff(handle), FT_OK);
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(Format(line.format), "250000 7 1 2");

    const struct {
        const char* name;
        std::function<FT_STATUS()> call;
        FT_STATUS expected;
    } refused[] = {
        {"baud rate 0", [&] { return FT_SetBaudRate(handle, 0); }, FT_INVALID_BAUD_RATE},
        {"baud rate above 3 MBd", [&] { return FT_SetBaudRate(handle, 3'000'001); }, FT_INVALID_BAUD_RATE},
        {"6 data bits", [&] { return FT_SetDataCharacteristics(handle, 6, 0, 0); }, FT_INVALID_PARAMETER},
        {"1.5 stop bits", [&] { return FT_SetDataCharacteristics(handle, 8, 1, 0); }, FT_INVALID_PARAMETER},
        {"parity 5", [&] { return FT_SetDataCharacteristics(handle, 8, 0, 5); }, FT_INVALID_PARAMETER},
        {"flow control 0x0300", [&] { return FT_SetFlowControl(handle, 0x0300, 0, 0); },
         FT_INVALID_PARAMETER},
        {"latency timer 0 ms", [&] { return FT_SetLatencyTimer(handle, 0); }, FT_INVALID_PARAMETER},
        {"latency timer 1 ms", [&] { return FT_SetLatencyTimer(handle, 1); }, FT_INVALID_PARAMETER},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.expected);
    }
    EXPECT_EQ(FT_SetBaudRate(handle, 9600), FT_OK) << "a refused value leaves the cable usable";
}

// The chip may refuse the request; the cable is still there, so it stays usable at its old timer.
TEST_F(LibftdiD2xx, ARefusedLatencyTimerLeavesTheCableUsable) {
    FT_HANDLE handle = Open();
    SetUpLine(handle);
    VC_FailCall("FT_SetLatencyTimer", FT_IO_ERROR, 1);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_IO_ERROR);
    VC_CableSettings line{};
    ASSERT_EQ(VC_GetCableSettings(0, &line), 0);
    EXPECT_EQ(line.latency_timer_ms, 16);
    RequestDeviceInfo(handle);
    EXPECT_EQ(WaitForQueue(handle, 45), 45u) << "the whole DEVICE_INFO reply";

    VC_SetCablePlugged(0, 0);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_IO_ERROR) << "a cable that is gone";
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), FT_IO_ERROR);
}

TEST_F(LibftdiD2xx, ReceivedBytesWaitInTheQueueUntilReadOrPurged) {
    FT_HANDLE handle = Open();
    SetUpLine(handle);

    // With the line's real pace (44 us a byte, the chip's 16 ms latency timer), a read asked for the
    // whole reply right after the request waits for it, up to its timeout.
    const VC_Timing realistic{200, 44, 16000};
    VC_SetTiming(&realistic);
    ASSERT_EQ(FT_SetTimeouts(handle, 2000, 0), FT_OK);
    RequestDeviceInfo(handle);
    constexpr DWORD DeviceInfoReplyLength = 26 + 19; // 19 bytes of parameter data
    unsigned char reply[DeviceInfoReplyLength] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_Read(handle, reply, DeviceInfoReplyLength, &got), FT_OK);
    ASSERT_EQ(got, DeviceInfoReplyLength);
    EXPECT_EQ(reply[0], 0xCC);
    EXPECT_EQ(reply[2] + 2u, DeviceInfoReplyLength);
    EXPECT_EQ(WaitForQueue(handle, 0), 0u) << "nothing beyond the reply";

    // The queue count grows as bytes arrive, whether or not the ones before were read.
    VC_SetFastTiming();
    RequestDeviceInfo(handle);
    EXPECT_EQ(WaitForQueue(handle, DeviceInfoReplyLength), DeviceInfoReplyLength);
    RequestDeviceInfo(handle, false);
    const DWORD waiting = WaitForQueue(handle, 2 * DeviceInfoReplyLength);
    EXPECT_EQ(waiting, 2 * DeviceInfoReplyLength);
    std::vector<unsigned char> both(waiting);
    ASSERT_EQ(FT_Read(handle, both.data(), waiting, &got), FT_OK);
    EXPECT_EQ(got, waiting);

    // With nothing coming, a read returns what there is when its time is up, and that is no error.
    ASSERT_EQ(FT_SetTimeouts(handle, 30, 0), FT_OK);
    unsigned char nothing[8] = {};
    got = 99;
    EXPECT_EQ(FT_Read(handle, nothing, sizeof nothing, &got), FT_OK);
    EXPECT_EQ(got, 0u);

    // Purging the receive side forgets a reply that has arrived.
    RequestDeviceInfo(handle);
    // The whole reply has arrived, so nothing comes in after the purge.
    ASSERT_EQ(WaitForQueue(handle, DeviceInfoReplyLength), DeviceInfoReplyLength);
    ASSERT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(WaitForQueue(handle, 0), 0u);
    EXPECT_EQ(FT_Read(handle, nothing, sizeof nothing, &got), FT_OK);
    EXPECT_EQ(got, 0u);
}

// Every call that takes a handle, with the arguments the tool passes; those that could answer from
// bytes already received come early, before anything empties the queue.
std::vector<std::pair<const char*, std::function<FT_STATUS(FT_HANDLE)>>> HandleCalls() {
    static unsigned char buffer[8];
    static DWORD a, b, c;
    static char serial[16], description[64];
    return {
        {"FT_GetDeviceInfo",
         [](FT_HANDLE h) { return FT_GetDeviceInfo(h, &a, &b, serial, description, nullptr); }},
        {"FT_GetDriverVersion", [](FT_HANDLE h) { return FT_GetDriverVersion(h, &a); }},
        {"FT_GetStatus", [](FT_HANDLE h) { return FT_GetStatus(h, &a, &b, &c); }},
        {"FT_Read", [](FT_HANDLE h) { return FT_Read(h, buffer, 1, &a); }},
        {"FT_SetBaudRate", [](FT_HANDLE h) { return FT_SetBaudRate(h, 250000); }},
        {"FT_SetDataCharacteristics", [](FT_HANDLE h) { return FT_SetDataCharacteristics(h, 8, 2, 0); }},
        {"FT_SetFlowControl", [](FT_HANDLE h) { return FT_SetFlowControl(h, 0, 0, 0); }},
        {"FT_SetChars", [](FT_HANDLE h) { return FT_SetChars(h, 0, 0, 0, 0); }},
        {"FT_Purge", [](FT_HANDLE h) { return FT_Purge(h, 3); }},
        {"FT_ClrRts", [](FT_HANDLE h) { return FT_ClrRts(h); }},
        {"FT_SetRts", [](FT_HANDLE h) { return FT_SetRts(h); }},
        {"FT_SetBreakOn", [](FT_HANDLE h) { return FT_SetBreakOn(h); }},
        {"FT_SetBreakOff", [](FT_HANDLE h) { return FT_SetBreakOff(h); }},
        {"FT_Write", [](FT_HANDLE h) { return FT_Write(h, buffer, 1, &a); }},
        {"FT_SetTimeouts", [](FT_HANDLE h) { return FT_SetTimeouts(h, 10, 10); }},
    };
}

TEST_F(LibftdiD2xx, HandlesNotGivenOutOrClosedAreRefusedByEveryCall) {
    FT_HANDLE closed = nullptr;
    ASSERT_EQ(FT_Open(0, &closed), FT_OK);
    ASSERT_EQ(FT_Close(closed), FT_OK);
    FT_HANDLE live = Open(); // a handle in use must not make a stale one valid
    const struct {
        const char* name;
        FT_HANDLE handle;
    } handles[] = {{"null", nullptr},
                   {"made up", reinterpret_cast<FT_HANDLE>(std::uintptr_t{0xDEADBEEF})},
                   {"closed", closed},
                   {"just past a live one", static_cast<char*>(live) + 1}};
    for (const auto& h : handles) {
        SCOPED_TRACE(h.name);
        for (const auto& [name, call] : HandleCalls())
            EXPECT_EQ(call(h.handle), FT_INVALID_HANDLE) << name;
        EXPECT_EQ(FT_Close(h.handle), FT_INVALID_HANDLE);
    }
    EXPECT_EQ(FT_SetBaudRate(live, 250000), FT_OK);
}

TEST_F(LibftdiD2xx, AnUnpluggedCableFailsEveryCallAndIsBackOnceReplugged) {
    FT_HANDLE handle = Open();
    SetUpLine(handle);
    RequestDeviceInfo(handle);
    ASSERT_GT(WaitForQueue(handle, 1), 0u); // pulled out with a reply waiting: it is lost too
    VC_SetCablePlugged(0, 0);
    for (const auto& [name, call] : HandleCalls())
        EXPECT_EQ(call(handle), FT_IO_ERROR) << name;
    EXPECT_TRUE(Listing().empty());

    VC_SetCablePlugged(0, 1);
    EXPECT_EQ(FT_SetBaudRate(handle, 250000), FT_IO_ERROR) << "a handle does not survive the unplugging";
    EXPECT_EQ(FT_Close(handle), FT_IO_ERROR) << "released all the same";
    opened.clear();
    EXPECT_EQ(FT_Close(handle), FT_INVALID_HANDLE);

    ASSERT_EQ(Listing().size(), 1u);
    FT_HANDLE again = Open();
    SetUpLine(again);
    RequestDeviceInfo(again);
    EXPECT_GT(WaitForQueue(again, 1), 0u);
}

TEST_F(LibftdiD2xx, OpeningAndClosingManyTimesLeavesNoThreadOrHandle) {
    const std::size_t threadsBefore = ThreadCount();
    for (int i = 0; i < 40; ++i) {
        DWORD count = 0;
        ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
        FT_HANDLE handle = nullptr;
        ASSERT_EQ(FT_Open(0, &handle), FT_OK);
        DWORD rx = 0, tx = 0, events = 0;
        ASSERT_EQ(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
        ASSERT_EQ(FT_Close(handle), FT_OK);
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_EQ(VC_OpenHandleCount(), 0);
}

// The tool's refresh timer and its main thread call in on one handle at the same time; closing
// the handle under a thread still calling is refused cleanly, never a crash.
TEST_F(LibftdiD2xx, CallsFromTwoThreadsOnOneHandleMeetSafely) {
    FT_HANDLE handle = Open();
    SetUpLine(handle);
    std::atomic<int> refusals{0};
    std::thread refresher([&] {
        const unsigned char frame[513] = {};
        DWORD written = 0, rx = 0, tx = 0, events = 0;
        for (;;) {
            FT_SetBaudRate(handle, 50000);
            FT_SetBaudRate(handle, 250000);
            if (FT_Write(handle, const_cast<unsigned char*>(frame), sizeof frame, &written) ==
                    FT_INVALID_HANDLE ||
                FT_GetStatus(handle, &rx, &tx, &events) == FT_INVALID_HANDLE) {
                refusals.fetch_add(1);
                return;
            }
        }
    });
    for (int i = 0; i < 50; ++i) { // EXPECT, not ASSERT: the other thread ends only at the close
        DWORD rx = 0, tx = 0, events = 0;
        EXPECT_EQ(FT_SetRts(handle), FT_OK);
        EXPECT_EQ(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
        EXPECT_EQ(FT_Purge(handle, FT_PURGE_RX), FT_OK);
        EXPECT_EQ(FT_ClrRts(handle), FT_OK);
    }
    EXPECT_EQ(FT_Close(handle), FT_OK);
    opened.clear();
    refresher.join(); // it ends only on seeing its handle refused
    EXPECT_EQ(refusals.load(), 1) << "the other thread saw the handle go";
}

} // namespace
