#include "Ft232rChip.h"

#include "../D2xxApi.h"
#include "../Simulator.h"

#include <algorithm>
#include <libusb.h>

namespace vcable::usb {

namespace {

enum Request : uint8_t {
    kReset = 0x00,
    kModemControl = 0x01,
    kFlowControl = 0x02,
    kBaudRate = 0x03,
    kData = 0x04,
    kPollModemStatus = 0x05,
    kEventChar = 0x06,
    kErrorChar = 0x07,
    kSetLatency = 0x09,
    kGetLatency = 0x0A,
    kBitMode = 0x0B,
};
// Named from the chip's side: 1 empties what the host sent and the line has not taken yet, 2 what
// the line received and the host has not read yet.
enum ResetKind : uint16_t { kResetChip = 0, kPurgeTransmit = 1, kPurgeReceive = 2 };
constexpr uint16_t kRtsMask = 0x0200;
constexpr uint16_t kRtsHigh = 0x0002;
constexpr uint16_t kBreakBit = 0x4000;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kModemStatusIdle = 0x01; // the low nibble always reads 1
constexpr uint8_t kLineStatusEmpty = 0x60; // transmitter holding register and shifter empty
constexpr Nanos kReceivePoll = 1 * kMilli; // how often a waiting bulk IN looks at the line
constexpr uint32_t kChipClock = 3'000'000;

// The chip's status answers in the line model's terms: a lost cable is a vanished device, anything
// else it refuses is a stalled request.
int usbError(uint32_t status) {
    if (status == VC_FT_OK)
        return LIBUSB_SUCCESS;
    if (status == VC_FT_IO_ERROR || status == VC_FT_INVALID_HANDLE)
        return LIBUSB_ERROR_NO_DEVICE;
    return LIBUSB_ERROR_PIPE;
}

Simulator& sim() {
    return Simulator::instance();
}

} // namespace

uint32_t decodeBaudRate(uint16_t value, uint16_t index) {
    // The sub-divisor codes in bits 14 to 16 stand for these eighths.
    static constexpr uint32_t kEighths[8] = {0, 4, 2, 1, 3, 5, 6, 7};
    const uint32_t whole = value & 0x3FFFu;
    const uint32_t code = ((value >> 14) & 0x3u) | ((index & 0x1u) << 2);
    const uint32_t eighths = whole * 8 + kEighths[code];
    if (eighths == 0)
        return kChipClock; // divisor 0 means the full rate
    if (eighths == 8)
        return 2'000'000; // divisor 1 means 2 MHz, not 3
    return (kChipClock * 8 + eighths / 2) / eighths;
}

Ft232rChip::Ft232rChip(void* lineHandle) : line_(lineHandle), lastPacketAt_(monotonicNow()) {}

Ft232rChip::~Ft232rChip() {
    sim().close(line_);
}

int Ft232rChip::control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length) {
    std::lock_guard lock(mutex_);
    if (requestType == kVendorIn) {
        switch (request) {
        case kPollModemStatus:
            return modemStatus(data, length);
        case kGetLatency: {
            if (const int error = usbError(sim().handleState(line_, nullptr)))
                return error;
            if (length < 1 || !data)
                return LIBUSB_ERROR_OVERFLOW;
            data[0] = latencyMs_;
            return 1;
        }
        default:
            return LIBUSB_ERROR_PIPE;
        }
    }
    return lineRequest(request, value, index);
}

int Ft232rChip::lineRequest(uint8_t request, uint16_t value, uint16_t index) {
    switch (request) {
    case kReset:
        if (value == kResetChip)
            return usbError(sim().resetChip(line_));
        if (value == kPurgeReceive || value == kPurgeTransmit)
            return usbError(sim().purge(line_, value == kPurgeReceive ? VC_FT_PURGE_RX : VC_FT_PURGE_TX));
        return LIBUSB_ERROR_PIPE;
    case kModemControl: {
        // DTR is not wired to the line; a request touching only DTR still needs the device.
        if (!(value & kRtsMask))
            return usbError(sim().handleState(line_, nullptr));
        return usbError(sim().setRts(line_, (value & kRtsHigh) != 0));
    }
    case kFlowControl:
        return usbError(sim().setFlowControl(line_, static_cast<uint16_t>(index & 0xFF00),
                                             static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)));
    case kBaudRate:
        return usbError(sim().setBaudRate(line_, decodeBaudRate(value, index)));
    case kData:
        return setDataCharacteristics(value);
    case kEventChar:
    case kErrorChar: {
        const uint8_t character = static_cast<uint8_t>(value);
        const uint8_t enabled = static_cast<uint8_t>((value >> 8) & 1);
        const uint8_t event = request == kEventChar ? character : eventChar_;
        const uint8_t eventOn = request == kEventChar ? enabled : eventEnabled_;
        const uint8_t error = request == kErrorChar ? character : errorChar_;
        const uint8_t errorOn = request == kErrorChar ? enabled : errorEnabled_;
        if (const int status = usbError(sim().setChars(line_, event, eventOn, error, errorOn)))
            return status;
        eventChar_ = event;
        eventEnabled_ = eventOn;
        errorChar_ = error;
        errorEnabled_ = errorOn;
        return 0;
    }
    case kSetLatency: {
        // The line learns the timer too, so the cable's settings show it as after FT_SetLatencyTimer.
        const uint8_t ms = static_cast<uint8_t>(std::max<uint16_t>(1, value & 0xFF));
        if (const int error = usbError(sim().setLatencyTimer(line_, ms, 1)))
            return error;
        latencyMs_ = ms;
        lastPacketAt_ = monotonicNow(); // the timer starts over with its new period
        return 0;
    }
    case kBitMode: {
        // Only the plain serial mode: the line model has no bit-bang pins.
        if (value & 0xFF00)
            return LIBUSB_ERROR_PIPE;
        return usbError(sim().handleState(line_, nullptr));
    }
    default:
        return LIBUSB_ERROR_PIPE;
    }
}

int Ft232rChip::setDataCharacteristics(uint16_t value) {
    // Bits 0-7 data bits, 8-10 parity (D2XX codes), 11-13 stop bits (0 one, 1 one and a half, 2
    // two), 14 break. The D2XX stop-bit codes are the same numbers.
    const uint16_t format = value & 0x3FFF;
    if (format != dataFormat_) {
        const auto status = sim().setDataCharacteristics(line_, static_cast<uint8_t>(format & 0xFF),
                                                         static_cast<uint8_t>((format >> 11) & 0x7),
                                                         static_cast<uint8_t>((format >> 8) & 0x7));
        if (const int error = usbError(status))
            return error;
        dataFormat_ = format;
    }
    const bool breakOn = (value & kBreakBit) != 0;
    if (breakOn != breakOn_) {
        if (const int error = usbError(sim().setBreak(line_, breakOn)))
            return error;
        breakOn_ = breakOn;
    }
    return usbError(sim().handleState(line_, nullptr));
}

int Ft232rChip::modemStatus(uint8_t* data, uint16_t length) {
    uint32_t tx = 0;
    if (const int error = usbError(sim().handleState(line_, &tx)))
        return error;
    if (length < kStatusBytes || !data)
        return LIBUSB_ERROR_OVERFLOW;
    data[0] = kModemStatusIdle;
    data[1] = tx == 0 ? kLineStatusEmpty : 0;
    return kStatusBytes;
}

int Ft232rChip::bulkOut(const uint8_t* data, int length) {
    uint32_t written = 0;
    if (const int error = usbError(sim().write(line_, data, static_cast<uint32_t>(length), &written)))
        return error;
    return static_cast<int>(written);
}

void Ft232rChip::stepBulkIn(BulkIn& transfer, Nanos now) {
    std::lock_guard lock(mutex_);
    while (!transfer.done) {
        const int room = std::min(kMaxPacketSize, transfer.length - transfer.filled);
        if (room < kStatusBytes) {
            transfer.done = true;
            return;
        }
        uint32_t rx = 0, tx = 0, events = 0;
        if (const int error = usbError(sim().getStatus(line_, &rx, &tx, &events))) {
            transfer.error = error;
            transfer.done = true;
            return;
        }
        const int dataRoom = room - kStatusBytes;
        const bool full = rx >= static_cast<uint32_t>(dataRoom);
        const Nanos latencyDue = lastPacketAt_ + static_cast<Nanos>(latencyMs_) * kMilli;
        if (!full && now < latencyDue) {
            transfer.wakeAt = std::min(latencyDue, now + kReceivePoll);
            return;
        }
        uint8_t* packet = transfer.buffer + transfer.filled;
        packet[0] = kModemStatusIdle;
        packet[1] = tx == 0 ? kLineStatusEmpty : 0;
        uint32_t got = 0;
        if (const int error =
                usbError(sim().read(line_, packet + kStatusBytes,
                                    static_cast<uint32_t>(std::min<uint32_t>(rx, dataRoom)), &got))) {
            transfer.error = error;
            transfer.done = true;
            return;
        }
        lastPacketAt_ = now;
        const int size = kStatusBytes + static_cast<int>(got);
        transfer.filled += size;
        // A short packet ends the transfer, as it does on the bus.
        if (size < kMaxPacketSize)
            transfer.done = true;
    }
}

} // namespace vcable::usb
