// One FT232R as its USB side shows it: the vendor requests and the two bulk endpoints, worked onto
// the line of the cable the device stands for. Bulk IN hands out 64-byte packets, each starting
// with the two modem-status bytes, once 62 received bytes wait or the latency timer runs out.
#pragma once

#include "../Clock.h"

#include <cstdint>
#include <mutex>

namespace vcable::usb {

constexpr int kMaxPacketSize = 64;
constexpr int kStatusBytes = 2;
constexpr uint8_t kEndpointIn = 0x81;
constexpr uint8_t kEndpointOut = 0x02;

// How far a bulk IN transfer has got; a transfer is stepped until it is done.
struct BulkIn {
    uint8_t* buffer = nullptr;
    int length = 0;
    int filled = 0;
    bool done = false;
    int error = 0;    // a LIBUSB_ERROR once done, 0 on success
    Nanos wakeAt = 0; // when a step may find more to hand out
};

class Ft232rChip {
  public:
    // `lineHandle` is the simulator's handle on the cable, opened by the caller; the chip owns it.
    explicit Ft232rChip(void* lineHandle);
    ~Ft232rChip();
    Ft232rChip(const Ft232rChip&) = delete;
    Ft232rChip& operator=(const Ft232rChip&) = delete;

    // A vendor request; returns the bytes of the data stage or a LIBUSB_ERROR.
    int control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                uint16_t length);
    // Bytes to the line; returns how many were taken or a LIBUSB_ERROR.
    int bulkOut(const uint8_t* data, int length);
    // Hands out what the chip would send by `now`.
    void stepBulkIn(BulkIn& transfer, Nanos now);

  private:
    int lineRequest(uint8_t request, uint16_t value, uint16_t index);
    int setDataCharacteristics(uint16_t value);
    int modemStatus(uint8_t* data, uint16_t length);

    std::mutex mutex_;
    void* line_;
    uint8_t latencyMs_ = 16;
    Nanos lastPacketAt_;
    uint16_t dataFormat_ = 0x0008; // 8N1, as at power-up
    bool breakOn_ = false;
    uint8_t eventChar_ = 0, eventEnabled_ = 0, errorChar_ = 0, errorEnabled_ = 0;
};

// The baud rate an FT232R makes of a divisor request: 3 MHz over a divisor with eighths.
uint32_t decodeBaudRate(uint16_t value, uint16_t index);

} // namespace vcable::usb
