// The FT232R stand-in for libusb-1.0, driven through Debian's own libftdi1: what a libftdi1-based
// driver sees of the virtual cables, and what reaches the line.
#include "VirtualCable.h"

#include <ftdi.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr int kVendor = 0x0403;
constexpr int kProduct = 0x6001;

// GET DEVICE_INFO from 5A59:00000001 to the default VEK-340 5A59:12345678, transaction 7.
const Bytes kGetDeviceInfo{
    0xCC, 0x01, 0x18,                   // start code, sub-start code, message length 24
    0x5A, 0x59, 0x12, 0x34, 0x56, 0x78, // destination UID
    0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, // source UID
    0x07, 0x01, 0x00, 0x00, 0x00,       // transaction 7, port 1, message count 0, sub-device 0
    0x20, 0x00, 0x60, 0x00,             // GET_COMMAND, DEVICE_INFO, no parameter data
    0x03, 0xE8};                        // checksum
constexpr std::size_t kDeviceInfoReplyLength = 24 + 19 + 2;

VC_CableConfig secondCable() {
    VC_CableConfig cable{};
    VC_DefaultCable(&cable);
    std::strcpy(cable.description, "DMX Cable B");
    std::strcpy(cable.serial, "VC000002");
    return cable;
}

class UsbChipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VC_Reset();
        ftdi = ftdi_new();
        ASSERT_NE(ftdi, nullptr);
    }
    void TearDown() override {
        ftdi_usb_close(ftdi);
        ftdi_free(ftdi);
        VC_Reset();
    }

    // Opens as a DMX controller does: 250000 baud 8N2, no flow control, purged, line to transmit.
    void openLine(unsigned index = 0) {
        ASSERT_EQ(ftdi_usb_open_desc_index(ftdi, kVendor, kProduct, nullptr, nullptr, index), 0)
            << ftdi_get_error_string(ftdi);
        ASSERT_EQ(ftdi_set_baudrate(ftdi, 250000), 0);
        ASSERT_EQ(ftdi_set_line_property2(ftdi, BITS_8, STOP_BIT_2, NONE, BREAK_OFF), 0);
        ASSERT_EQ(ftdi_setflowctrl(ftdi, SIO_DISABLE_FLOW_CTRL), 0);
        ASSERT_EQ(ftdi_tcioflush(ftdi), 0);
        ASSERT_EQ(ftdi_setrts(ftdi, 0), 0);
    }

    // The break as the tool makes it (a zero byte at 50000 baud), the request at 250000 once the
    // break has left, then the line turned to receive.
    void sendRequest(const Bytes& request) {
        uint8_t breakByte = 0x00;
        ASSERT_EQ(ftdi_set_baudrate(ftdi, 50000), 0);
        ASSERT_EQ(ftdi_write_data(ftdi, &breakByte, 1), 1);
        std::this_thread::sleep_for(300us); // 220 us on the wire at 50000 baud 8N2
        ASSERT_EQ(ftdi_set_baudrate(ftdi, 250000), 0);
        ASSERT_EQ(ftdi_write_data(ftdi, request.data(), static_cast<int>(request.size())),
                  static_cast<int>(request.size()));
        ASSERT_EQ(ftdi_setrts(ftdi, 1), 0);
    }

    // Reads until `count` bytes came or a second passed.
    Bytes readReply(std::size_t count) {
        Bytes reply;
        const auto deadline = std::chrono::steady_clock::now() + 1s;
        while (reply.size() < count && std::chrono::steady_clock::now() < deadline) {
            uint8_t chunk[512];
            const int got = ftdi_read_data(ftdi, chunk, static_cast<int>(count - reply.size()));
            EXPECT_GE(got, 0) << ftdi_get_error_string(ftdi);
            if (got < 0)
                break;
            reply.insert(reply.end(), chunk, chunk + got);
        }
        return reply;
    }

    // Lists with a context of its own: libftdi1 reads the strings through a context's open device.
    static std::vector<std::string> listedSerials() {
        std::vector<std::string> serials;
        ftdi_context* lister = ftdi_new();
        ftdi_device_list* list = nullptr;
        EXPECT_GE(ftdi_usb_find_all(lister, &list, kVendor, kProduct), 0);
        for (ftdi_device_list* node = list; node; node = node->next) {
            char serial[64] = {};
            EXPECT_EQ(ftdi_usb_get_strings(lister, node->dev, nullptr, 0, nullptr, 0, serial, sizeof serial),
                      0);
            serials.emplace_back(serial);
        }
        ftdi_list_free(&list);
        ftdi_free(lister);
        return serials;
    }

    ftdi_context* ftdi = nullptr;
};

TEST_F(UsbChipTest, ListsEachPluggedCableWithTheChipsStrings) {
    VC_CableConfig cable = secondCable();
    ASSERT_EQ(VC_AddCable(&cable), 1);
    ftdi_device_list* list = nullptr;
    ASSERT_EQ(ftdi_usb_find_all(ftdi, &list, kVendor, kProduct), 2);
    const char* expected[2][2] = {{"FT232R USB UART", "VC000001"}, {"DMX Cable B", "VC000002"}};
    int i = 0;
    for (ftdi_device_list* node = list; node; node = node->next, ++i) {
        char manufacturer[64] = {}, description[64] = {}, serial[64] = {};
        ASSERT_EQ(ftdi_usb_get_strings(ftdi, node->dev, manufacturer, sizeof manufacturer, description,
                                       sizeof description, serial, sizeof serial),
                  0);
        EXPECT_STREQ(manufacturer, "FTDI");
        EXPECT_STREQ(description, expected[i][0]);
        EXPECT_STREQ(serial, expected[i][1]);
    }
    ftdi_list_free(&list);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(0), 0) << "listing leaves the serial driver alone";
}

TEST_F(UsbChipTest, OpeningDetachesTheSerialDriverFromThatDeviceOnly) {
    VC_CableConfig cable = secondCable();
    ASSERT_EQ(VC_AddCable(&cable), 1);
    ASSERT_EQ(ftdi_usb_open_desc_index(ftdi, kVendor, kProduct, nullptr, nullptr, 1), 0)
        << ftdi_get_error_string(ftdi);
    EXPECT_EQ(ftdi->type, TYPE_R);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(0), 0);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(1), 1);
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(1, &settings), 0);
    EXPECT_EQ(settings.open, 1);
    EXPECT_EQ(settings.format.baud, 9600u) << "libftdi1 starts the chip at 9600 baud";
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.open, 0);
}

struct BaudCase {
    const char* name;
    int requested;
    uint32_t onTheLine;
};

class UsbChipBaudTest : public UsbChipTest, public ::testing::WithParamInterface<BaudCase> {};

TEST_P(UsbChipBaudTest, DivisorGivesTheChipsRate) {
    ASSERT_EQ(ftdi_usb_open(ftdi, kVendor, kProduct), 0) << ftdi_get_error_string(ftdi);
    ASSERT_EQ(ftdi_set_baudrate(ftdi, GetParam().requested), 0);
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.format.baud, GetParam().onTheLine);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, UsbChipBaudTest,
    ::testing::Values(BaudCase{"Dmx", 250000, 250000}, BaudCase{"ToolsBreak", 50000, 50000},
                      BaudCase{"Slow", 9600, 9600}, BaudCase{"NearestDivisor", 115200, 115385},
                      BaudCase{"OneEighth", 57600, 57554}, BaudCase{"TwoEighths", 57416, 57416},
                      BaudCase{"ThreeEighths", 57279, 57279}, BaudCase{"FourEighths", 57143, 57143},
                      BaudCase{"FiveEighths", 57007, 57007}, BaudCase{"SixEighths", 56872, 56872},
                      BaudCase{"SevenEighths", 56738, 56738}, BaudCase{"FullClock", 3000000, 3000000},
                      BaudCase{"TwoMegabaud", 2000000, 2000000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UsbChipTest, LinePropertiesAndFlowControlReachTheLine) {
    ASSERT_EQ(ftdi_usb_open(ftdi, kVendor, kProduct), 0) << ftdi_get_error_string(ftdi);
    ASSERT_EQ(ftdi_set_line_property2(ftdi, BITS_7, STOP_BIT_1, EVEN, BREAK_OFF), 0);
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.format.data_bits, 7);
    EXPECT_EQ(settings.format.stop_bits, 1);
    EXPECT_EQ(settings.format.parity, 2);
    ASSERT_EQ(ftdi_set_line_property2(ftdi, BITS_8, STOP_BIT_2, NONE, BREAK_OFF), 0);
    ASSERT_EQ(ftdi_setflowctrl_xonxoff(ftdi, 0x11, 0x13), 0);
    ASSERT_EQ(ftdi_set_event_char(ftdi, 0x7E, 1), 0);
    ASSERT_EQ(ftdi_set_error_char(ftdi, 0x55, 0), 0);
    ASSERT_EQ(ftdi_setrts(ftdi, 1), 0);
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.format.data_bits, 8);
    EXPECT_EQ(settings.format.stop_bits, 2);
    EXPECT_EQ(settings.format.parity, 0);
    EXPECT_EQ(settings.flow_control, 0x0400);
    EXPECT_EQ(settings.xon_char, 0x11);
    EXPECT_EQ(settings.xoff_char, 0x13);
    EXPECT_EQ(settings.event_char, 0x7E);
    EXPECT_EQ(settings.event_char_enabled, 1);
    EXPECT_EQ(settings.error_char, 0x55);
    EXPECT_EQ(settings.error_char_enabled, 0);
    EXPECT_EQ(settings.receive, 1);
}

TEST_F(UsbChipTest, FlushesEmptyTheBufferTheyName) {
    openLine();
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.purge_masks, (1u << 1) | (1u << 2)) << "both buffers, one request each";
    ASSERT_EQ(ftdi_tcoflush(ftdi), 0);
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.last_purge_mask, 2u) << "the bytes on their way to the line";

    sendRequest(kGetDeviceInfo);
    std::this_thread::sleep_for(50ms); // the reply has arrived and passed the USB latency
    ASSERT_EQ(ftdi_tciflush(ftdi), 0);
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.last_purge_mask, 1u) << "the bytes received from the line";
    uint8_t buffer[64];
    EXPECT_EQ(ftdi_read_data(ftdi, buffer, sizeof buffer), 0);
}

TEST_F(UsbChipTest, LatencyTimerIsKeptAndModemStatusIsIdle) {
    ASSERT_EQ(ftdi_usb_open(ftdi, kVendor, kProduct), 0) << ftdi_get_error_string(ftdi);
    unsigned char latency = 0;
    ASSERT_EQ(ftdi_get_latency_timer(ftdi, &latency), 0);
    EXPECT_EQ(latency, 16);
    ASSERT_EQ(ftdi_set_latency_timer(ftdi, 2), 0);
    ASSERT_EQ(ftdi_get_latency_timer(ftdi, &latency), 0);
    EXPECT_EQ(latency, 2);
    VC_CableSettings settings{};
    ASSERT_EQ(VC_GetCableSettings(0, &settings), 0);
    EXPECT_EQ(settings.latency_timer_ms, 2) << "the cable's settings show it as after FT_SetLatencyTimer";
    unsigned short status = 0;
    ASSERT_EQ(ftdi_poll_modem_status(ftdi, &status), 0);
    EXPECT_EQ(status, 0x6001);
}

TEST_F(UsbChipTest, RdmRequestGetsTheFixturesReplyAndTheCaptureShowsThePacket) {
    openLine();
    VC_CaptureClear();
    sendRequest(kGetDeviceInfo);
    const Bytes reply = readReply(kDeviceInfoReplyLength);
    ASSERT_EQ(reply.size(), kDeviceInfoReplyLength) << "status bytes stripped, nothing else";
    EXPECT_EQ(reply[0], 0xCC);
    EXPECT_EQ(reply[2], 24 + 19);
    EXPECT_EQ(Bytes(reply.begin() + 3, reply.begin() + 9), Bytes({0x5A, 0x59, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(reply[16], 0x00) << "ACK";
    EXPECT_EQ(reply[20], 0x21) << "GET_COMMAND_RESPONSE";

    ASSERT_EQ(VC_CaptureCount(), 2);
    VC_Packet packet{};
    ASSERT_EQ(VC_CaptureGet(0, &packet), 0);
    EXPECT_EQ(packet.direction, VC_TO_FIXTURE);
    EXPECT_EQ(packet.flags, 0);
    EXPECT_EQ(Bytes(packet.bytes, packet.bytes + packet.length), kGetDeviceInfo);
    EXPECT_EQ(packet.break_format.baud, 50000u);
    EXPECT_EQ(packet.data_format.baud, 250000u);
    EXPECT_EQ(packet.data_format.data_bits, 8);
    EXPECT_EQ(packet.data_format.stop_bits, 2);
    EXPECT_EQ(packet.data_format.parity, 0);
    ASSERT_EQ(VC_CaptureGet(1, &packet), 0);
    EXPECT_EQ(packet.direction, VC_FROM_FIXTURE);
    EXPECT_EQ(Bytes(packet.bytes, packet.bytes + packet.length), reply);
}

TEST_F(UsbChipTest, BreakBitFramesAPacket) {
    openLine();
    VC_CaptureClear();
    ASSERT_EQ(ftdi_set_line_property2(ftdi, BITS_8, STOP_BIT_2, NONE, BREAK_ON), 0);
    std::this_thread::sleep_for(200us);
    ASSERT_EQ(ftdi_set_line_property2(ftdi, BITS_8, STOP_BIT_2, NONE, BREAK_OFF), 0);
    uint8_t nothing[8];
    ASSERT_EQ(ftdi_read_data(ftdi, nothing, sizeof nothing), 0) << "a reader's poll does not reach the line";
    ASSERT_EQ(ftdi_write_data(ftdi, kGetDeviceInfo.data(), static_cast<int>(kGetDeviceInfo.size())),
              static_cast<int>(kGetDeviceInfo.size()));
    ASSERT_EQ(ftdi_setrts(ftdi, 1), 0);
    EXPECT_EQ(readReply(kDeviceInfoReplyLength).size(), kDeviceInfoReplyLength);
    ASSERT_EQ(VC_CaptureCount(), 2);
    VC_Packet packet{};
    ASSERT_EQ(VC_CaptureGet(0, &packet), 0);
    EXPECT_EQ(packet.flags, 0);
    EXPECT_EQ(Bytes(packet.bytes, packet.bytes + packet.length), kGetDeviceInfo);
}

// Below libftdi1: the packets of the IN endpoint as the chip sends them.
TEST_F(UsbChipTest, BulkInPacketsCarryTheStatusBytesAndAtMost62Bytes) {
    openLine();
    Bytes raw(100);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint8_t>(i + 1);
    VC_SetRawReply(0, raw.data(), static_cast<int>(raw.size()), -1, -1, 1);
    sendRequest(kGetDeviceInfo);
    std::this_thread::sleep_for(50ms); // 100 bytes at 44 us and the USB latency have passed

    uint8_t buffer[4096];
    int got = 0;
    ASSERT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 1000), 0);
    ASSERT_EQ(got, 64 + 2 + 38);
    EXPECT_EQ(Bytes(buffer, buffer + 4), Bytes({0x01, 0x60, 1, 2}));
    EXPECT_EQ(buffer[63], 62);
    EXPECT_EQ(Bytes(buffer + 64, buffer + 67), Bytes({0x01, 0x60, 63}));
    EXPECT_EQ(buffer[got - 1], 100);

    // Nothing waiting: the latency timer sends the status bytes alone.
    ASSERT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 1000), 0);
    EXPECT_EQ(Bytes(buffer, buffer + got), Bytes({0x01, 0x60}));
}

TEST_F(UsbChipTest, BulkInHonoursTheRequestedLength) {
    openLine();
    Bytes raw(100, 0xA5);
    VC_SetRawReply(0, raw.data(), static_cast<int>(raw.size()), -1, -1, 1);
    sendRequest(kGetDeviceInfo);
    std::this_thread::sleep_for(50ms);
    uint8_t buffer[64];
    int got = 0;
    ASSERT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, 10, &got, 1000), 0);
    EXPECT_EQ(got, 10) << "two status bytes and 8 of the waiting bytes";
    ASSERT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 1000), 0);
    EXPECT_EQ(got, 64) << "the rest follows";
}

TEST_F(UsbChipTest, BulkInTimesOutOnlyBeforeTheLatencyTimerRunsOut) {
    openLine();
    ASSERT_EQ(ftdi_set_latency_timer(ftdi, 200), 0);
    uint8_t buffer[64];
    int got = -1;
    EXPECT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 20),
              LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 1000), 0);
    EXPECT_EQ(got, 2);
}

// libftdi1's submitted transfers wait for the whole reply; the test gives up after a second
// instead of hanging when it does not come.
TEST_F(UsbChipTest, SubmittedWriteAndReadCarryTheTransaction) {
    openLine();
    uint8_t breakByte = 0x00;
    ASSERT_EQ(ftdi_set_baudrate(ftdi, 50000), 0);
    ASSERT_EQ(ftdi_transfer_data_done(ftdi_write_data_submit(ftdi, &breakByte, 1)), 1);
    std::this_thread::sleep_for(300us);
    ASSERT_EQ(ftdi_set_baudrate(ftdi, 250000), 0);
    Bytes request = kGetDeviceInfo;
    ASSERT_EQ(ftdi_transfer_data_done(
                  ftdi_write_data_submit(ftdi, request.data(), static_cast<int>(request.size()))),
              static_cast<int>(request.size()));
    ASSERT_EQ(ftdi_setrts(ftdi, 1), 0);

    Bytes reply(kDeviceInfoReplyLength);
    ftdi_transfer_control* transfer =
        ftdi_read_data_submit(ftdi, reply.data(), static_cast<int>(reply.size()));
    ASSERT_NE(transfer, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (!transfer->completed && std::chrono::steady_clock::now() < deadline) {
        timeval step{0, 10000};
        ASSERT_EQ(libusb_handle_events_timeout_completed(ftdi->usb_ctx, &step, &transfer->completed), 0);
    }
    if (!transfer->completed) {
        timeval wait{1, 0};
        ftdi_transfer_data_cancel(transfer, &wait);
        FAIL() << "the reply did not come";
    }
    EXPECT_EQ(ftdi_transfer_data_done(transfer), static_cast<int>(kDeviceInfoReplyLength));
    EXPECT_EQ(reply[0], 0xCC);
    EXPECT_EQ(reply[20], 0x21);
    VC_Packet packet{};
    ASSERT_EQ(VC_CaptureGet(VC_CaptureCount() - 2, &packet), 0);
    EXPECT_EQ(Bytes(packet.bytes, packet.bytes + packet.length), kGetDeviceInfo);
    EXPECT_EQ(packet.flags, 0);
}

TEST_F(UsbChipTest, UnplugFailsTheOpenHandleAndReplugOpensAgain) {
    VC_CableConfig cable = secondCable();
    ASSERT_EQ(VC_AddCable(&cable), 1);
    openLine();
    VC_SetCablePlugged(0, 0);
    const uint8_t byte = 0;
    EXPECT_LT(ftdi_write_data(ftdi, &byte, 1), 0);
    uint8_t buffer[16];
    EXPECT_LT(ftdi_read_data(ftdi, buffer, sizeof buffer), 0);
    EXPECT_LT(ftdi_set_baudrate(ftdi, 250000), 0);
    int sent = -1;
    EXPECT_EQ(libusb_bulk_transfer(ftdi->usb_dev, 0x02, buffer, 1, &sent, 100), LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(libusb_control_transfer(ftdi->usb_dev, 0x40, 0x09, 16, 1, nullptr, 0, 100),
              LIBUSB_ERROR_NO_DEVICE)
        << "setting the latency timer";
    EXPECT_EQ(listedSerials(), std::vector<std::string>{"VC000002"});
    ftdi_usb_close(ftdi);

    VC_SetCablePlugged(0, 1);
    EXPECT_EQ(listedSerials(), (std::vector<std::string>{"VC000001", "VC000002"}));
    openLine();
    sendRequest(kGetDeviceInfo);
    EXPECT_EQ(readReply(kDeviceInfoReplyLength).size(), kDeviceInfoReplyLength);
    EXPECT_EQ(VC_UsbKernelDriverDetaches(0), 2) << "the replugged device came with its driver again";
}

TEST_F(UsbChipTest, UnplugEndsAWaitingRead) {
    openLine();
    ASSERT_EQ(ftdi_set_latency_timer(ftdi, 255), 0);
    int result = 0;
    std::thread reader([&] {
        uint8_t buffer[64];
        int got = 0;
        result = libusb_bulk_transfer(ftdi->usb_dev, 0x81, buffer, sizeof buffer, &got, 5000);
    });
    std::this_thread::sleep_for(20ms);
    VC_SetCablePlugged(0, 0);
    reader.join();
    EXPECT_EQ(result, LIBUSB_ERROR_NO_DEVICE);
}

TEST_F(UsbChipTest, CableInUseElsewhereIsListedButCannotBeOpened) {
    VC_Clear();
    VC_CableConfig cable{};
    VC_DefaultCable(&cable);
    cable.flags = 1;
    ASSERT_EQ(VC_AddCable(&cable), 0);
    EXPECT_EQ(listedSerials(), std::vector<std::string>{"VC000001"});
    EXPECT_EQ(ftdi_usb_open(ftdi, kVendor, kProduct), -5) << "unable to claim";
    EXPECT_EQ(VC_OpenHandleCount(), 0);
}

TEST_F(UsbChipTest, SecondOpenOfTheSameCableIsBusy) {
    openLine();
    ftdi_context* other = ftdi_new();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(ftdi_usb_open(other, kVendor, kProduct), -5);
    ftdi_free(other);
    EXPECT_EQ(VC_OpenHandleCount(), 1);
}

} // namespace
