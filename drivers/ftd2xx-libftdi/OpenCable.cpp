#include "OpenCable.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace ftd2xx {

namespace {

// An FT232R answers every bulk read within its latency timer with the bytes it holds or its two
// status bytes alone; one read waits at most that long and this much more.
constexpr int FetchTimeoutMarginMs = 34;
// A read waiting for more bytes asks again no sooner than this, when the last ask brought none.
constexpr auto RefetchPause = std::chrono::microseconds(200);
constexpr int FetchChunk = 4096;
// The FT232R's latency timer as it comes out of reset, and the range D2XX lets a caller set.
constexpr UCHAR ResetLatencyTimerMs = 16;
constexpr UCHAR ShortestLatencyTimerMs = 2;
// libftdi1's answer when the chip refused the request (the device itself may still be there).
constexpr int LatencyRequestRefused = -2;

int FetchTimeoutMs(std::chrono::milliseconds latencyTimer) {
    return static_cast<int>(latencyTimer.count()) + FetchTimeoutMarginMs;
}

} // namespace

OpenCable::OpenCable(ftdi_context* ftdi, UsbAddress address, DWORD type, UsbStrings strings)
    : ftdi_(ftdi), address_(address), type_(type), strings_(std::move(strings)),
      latencyTimer_(ResetLatencyTimerMs) {
    ftdi_->usb_read_timeout = FetchTimeoutMs(latencyTimer_);
}

OpenCable::~OpenCable() {
    CloseLocked();
}

FT_STATUS OpenCable::Open(int index, const std::function<bool(UsbAddress)>& openHere,
                          std::unique_ptr<OpenCable>& cable) {
    std::unique_ptr<ftdi_context, void (*)(ftdi_context*)> ftdi(ftdi_new(), ftdi_free);
    if (!ftdi)
        return FT_INSUFFICIENT_RESOURCES;
    ftdi->module_detach_mode = AUTO_DETACH_SIO_MODULE; // this device only, and not given back on close
    UsbAddress address;
    DWORD type = 0;
    UsbStrings strings;
    {
        FoundCables found(ftdi.get());
        if (!found.Succeeded() || index < 0 || static_cast<std::size_t>(index) >= found.Devices().size())
            return FT_DEVICE_NOT_FOUND;
        libusb_device* device = found.Devices()[static_cast<std::size_t>(index)];
        address = AddressOf(device);
        type = D2xxTypeOf(device);
        if (openHere(address))
            return FT_DEVICE_NOT_OPENED;
        if (ftdi_usb_open_dev(ftdi.get(), device) < 0)
            return FT_DEVICE_NOT_OPENED;
        strings = StringsOf(ftdi.get(), device);
    }
    cable.reset(new OpenCable(ftdi.release(), address, type, std::move(strings)));
    return FT_OK;
}

void OpenCable::CloseLocked() {
    if (ftdi_ == nullptr)
        return;
    if (ftdi_usb_close(ftdi_) < 0)
        lost_ = true;
    ftdi_free(ftdi_); // ends libusb's context and its event thread with it
    ftdi_ = nullptr;
}

FT_STATUS OpenCable::Close() {
    std::lock_guard lock(mutex_);
    if (ftdi_ == nullptr)
        return FT_INVALID_HANDLE;
    CloseLocked();
    return lost_ ? FT_IO_ERROR : FT_OK;
}

FT_STATUS OpenCable::Usable() const {
    if (ftdi_ == nullptr)
        return FT_INVALID_HANDLE;
    return lost_ ? FT_IO_ERROR : FT_OK;
}

FT_STATUS OpenCable::Checked(int result) {
    if (result >= 0)
        return FT_OK;
    lost_ = true;
    return FT_IO_ERROR;
}

FT_STATUS OpenCable::PresentLocked() {
    if (const FT_STATUS status = Usable())
        return status;
    unsigned short modemStatus = 0;
    return Checked(ftdi_poll_modem_status(ftdi_, &modemStatus));
}

FT_STATUS OpenCable::CheckPresent() {
    std::lock_guard lock(mutex_);
    return PresentLocked();
}

FT_STATUS OpenCable::GetDeviceInfo(DWORD* type, DWORD* id, char* serialNumber, char* description) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = PresentLocked())
        return status;
    if (type != nullptr)
        *type = type_;
    if (id != nullptr)
        *id = FT232RDeviceId;
    if (serialNumber != nullptr)
        CopyToField(strings_.serial, serialNumber, FT_SERIAL_NUMBER_SIZE);
    if (description != nullptr)
        CopyToField(strings_.description, description, FT_DESCRIPTION_SIZE);
    return FT_OK;
}

FT_STATUS OpenCable::SetBaudRate(DWORD baudRate) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if (baudRate == 0 || baudRate > 3'000'000)
        return FT_INVALID_BAUD_RATE;
    const int result = ftdi_set_baudrate(ftdi_, static_cast<int>(baudRate));
    if (result == -1) // no divisor comes close enough to that rate
        return FT_INVALID_BAUD_RATE;
    return Checked(result);
}

FT_STATUS OpenCable::SetDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if ((wordLength != FT_BITS_7 && wordLength != FT_BITS_8) ||
        (stopBits != FT_STOP_BITS_1 && stopBits != FT_STOP_BITS_2) || parity > FT_PARITY_SPACE)
        return FT_INVALID_PARAMETER;
    // D2XX and libftdi1 number word length, stop bits and parity alike.
    const FT_STATUS status = Checked(ftdi_set_line_property2(
        ftdi_, static_cast<ftdi_bits_type>(wordLength), static_cast<ftdi_stopbits_type>(stopBits),
        static_cast<ftdi_parity_type>(parity), breakOn_ ? BREAK_ON : BREAK_OFF));
    if (status == FT_OK) {
        wordLength_ = wordLength;
        stopBits_ = stopBits;
        parity_ = parity;
    }
    return status;
}

FT_STATUS OpenCable::SetBreak(bool on) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    const FT_STATUS status = Checked(ftdi_set_line_property2(
        ftdi_, static_cast<ftdi_bits_type>(wordLength_), static_cast<ftdi_stopbits_type>(stopBits_),
        static_cast<ftdi_parity_type>(parity_), on ? BREAK_ON : BREAK_OFF));
    if (status == FT_OK)
        breakOn_ = on;
    return status;
}

FT_STATUS OpenCable::SetFlowControl(USHORT flowControl, UCHAR xonChar, UCHAR xoffChar) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    switch (flowControl) {
    case FT_FLOW_NONE:
    case FT_FLOW_RTS_CTS:
    case FT_FLOW_DTR_DSR:
        return Checked(ftdi_setflowctrl(ftdi_, flowControl)); // the same values as libftdi1's
    case FT_FLOW_XON_XOFF:
        return Checked(ftdi_setflowctrl_xonxoff(ftdi_, xonChar, xoffChar));
    default:
        return FT_INVALID_PARAMETER;
    }
}

FT_STATUS OpenCable::SetChars(UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar,
                              UCHAR errorCharEnabled) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if (const FT_STATUS status = Checked(ftdi_set_event_char(ftdi_, eventChar, eventCharEnabled)))
        return status;
    return Checked(ftdi_set_error_char(ftdi_, errorChar, errorCharEnabled));
}

FT_STATUS OpenCable::SetRts(bool asserted) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    return Checked(ftdi_setrts(ftdi_, asserted ? 1 : 0));
}

FT_STATUS OpenCable::Purge(DWORD mask) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    const bool rx = (mask & FT_PURGE_RX) != 0;
    const bool tx = (mask & FT_PURGE_TX) != 0;
    if (rx)
        received_.clear();
    if (rx && tx)
        return Checked(ftdi_tcioflush(ftdi_));
    if (rx)
        return Checked(ftdi_tciflush(ftdi_));
    if (tx)
        return Checked(ftdi_tcoflush(ftdi_));
    return FT_OK;
}

FT_STATUS OpenCable::FetchReceived() {
    unsigned char chunk[FetchChunk];
    const int got = ftdi_read_data(ftdi_, chunk, sizeof chunk);
    lastFetch_ = Clock::now(); // when it ended: the read itself may have taken a latency period
    if (got == LIBUSB_ERROR_TIMEOUT)
        return FT_OK; // the chip had nothing to say in time: nothing arrived
    if (const FT_STATUS status = Checked(got))
        return status;
    received_.insert(received_.end(), chunk, chunk + got);
    return FT_OK;
}

FT_STATUS OpenCable::GetStatus(DWORD* rxBytes, DWORD* txBytes, DWORD* eventDWord) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if (rxBytes == nullptr || txBytes == nullptr || eventDWord == nullptr)
        return FT_INVALID_PARAMETER;
    // Asking a chip with nothing new costs up to its latency timer, so while bytes wait here it is
    // asked no more than once in that time: a caller reading byte by byte is not slowed, and one
    // waiting for the count to grow still sees it grow.
    if (received_.empty() || Clock::now() - lastFetch_ >= latencyTimer_)
        if (const FT_STATUS status = FetchReceived())
            return status;
    *rxBytes = static_cast<DWORD>(received_.size());
    *txBytes = 0; // every write has reached the chip when it returns
    *eventDWord = 0;
    return FT_OK;
}

FT_STATUS OpenCable::Write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if (buffer == nullptr && bytesToWrite > 0)
        return FT_INVALID_PARAMETER;
    int written = 0;
    if (bytesToWrite > 0) {
        written =
            ftdi_write_data(ftdi_, static_cast<const unsigned char*>(buffer), static_cast<int>(bytesToWrite));
        if (const FT_STATUS status = Checked(written))
            return status;
    }
    if (bytesWritten != nullptr)
        *bytesWritten = static_cast<DWORD>(written);
    return FT_OK;
}

FT_STATUS OpenCable::Read(void* buffer, DWORD bytesToRead, DWORD* bytesReturned) {
    std::unique_lock lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if ((buffer == nullptr && bytesToRead > 0) || bytesReturned == nullptr)
        return FT_INVALID_PARAMETER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    for (;;) {
        const std::size_t before = received_.size();
        if (before < bytesToRead)
            if (const FT_STATUS status = FetchReceived())
                return status;
        if (received_.size() >= bytesToRead || Clock::now() >= deadline) {
            const std::size_t count = std::min<std::size_t>(bytesToRead, received_.size());
            std::copy_n(received_.begin(), count, static_cast<unsigned char*>(buffer));
            received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
            *bytesReturned = static_cast<DWORD>(count);
            return FT_OK;
        }
        // Other threads may use the cable while this one waits for the rest.
        const bool nothingCame = received_.size() == before;
        lock.unlock();
        if (nothingCame)
            std::this_thread::sleep_for(RefetchPause);
        else
            std::this_thread::yield();
        lock.lock();
        if (const FT_STATUS status = Usable())
            return status;
    }
}

FT_STATUS OpenCable::SetTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = PresentLocked())
        return status;
    readTimeoutMs_ = readTimeoutMs;
    ftdi_->usb_write_timeout = static_cast<int>(std::min<DWORD>(writeTimeoutMs, 0x7FFFFFFF)); // 0: no limit
    return FT_OK;
}

FT_STATUS OpenCable::SetLatencyTimer(UCHAR timerMs) {
    std::lock_guard lock(mutex_);
    if (const FT_STATUS status = Usable())
        return status;
    if (timerMs < ShortestLatencyTimerMs)
        return FT_INVALID_PARAMETER;
    const int result = ftdi_set_latency_timer(ftdi_, timerMs);
    if (result == LatencyRequestRefused) {
        // A refusal leaves the chip at its old timer and the cable usable, unless it is gone.
        if (const FT_STATUS status = PresentLocked())
            return status;
        return FT_IO_ERROR;
    }
    if (const FT_STATUS status = Checked(result))
        return status;
    latencyTimer_ = std::chrono::milliseconds(timerMs);
    ftdi_->usb_read_timeout = FetchTimeoutMs(latencyTimer_);
    return FT_OK;
}

} // namespace ftd2xx
