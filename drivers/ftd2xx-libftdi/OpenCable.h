// One cable opened through libftdi1: its line settings, the bytes already received, and whether
// it is still there. Every operation takes the cable's lock, so the caller's threads (a refresh
// timer beside the main thread) never meet inside libftdi1, whose context is not thread-safe.
#pragma once

#include "Ftd2xxAbi.h"
#include "UsbCables.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

struct ftdi_context;

namespace ftd2xx {

using Clock = std::chrono::steady_clock;

class OpenCable {
  public:
    // Opens the cable at `index` of the current FT232R list, unless `openHere` says this process
    // holds it already; the kernel serial driver is detached from that device only.
    static FT_STATUS Open(int index, const std::function<bool(UsbAddress)>& openHere,
                          std::unique_ptr<OpenCable>& cable);
    ~OpenCable();
    OpenCable(const OpenCable&) = delete;
    OpenCable& operator=(const OpenCable&) = delete;

    UsbAddress Address() const { return address_; }

    // Releases the device; later calls on this object answer FT_INVALID_HANDLE.
    FT_STATUS Close();

    FT_STATUS GetDeviceInfo(DWORD* type, DWORD* id, char* serialNumber, char* description);
    // FT_OK while the cable is open and still answers.
    FT_STATUS CheckPresent();
    FT_STATUS SetBaudRate(DWORD baudRate);
    FT_STATUS SetDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity);
    FT_STATUS SetBreak(bool on);
    FT_STATUS SetFlowControl(USHORT flowControl, UCHAR xonChar, UCHAR xoffChar);
    FT_STATUS SetChars(UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar, UCHAR errorCharEnabled);
    FT_STATUS SetRts(bool asserted);
    FT_STATUS Purge(DWORD mask);
    FT_STATUS GetStatus(DWORD* rxBytes, DWORD* txBytes, DWORD* eventDWord);
    FT_STATUS Write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);
    FT_STATUS Read(void* buffer, DWORD bytesToRead, DWORD* bytesReturned);
    FT_STATUS SetTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs);
    // 2 to 255 ms, as D2XX takes it for an FT232R.
    FT_STATUS SetLatencyTimer(UCHAR timerMs);

  private:
    OpenCable(ftdi_context* ftdi, UsbAddress address, DWORD type, UsbStrings strings);

    // Status of a libftdi1 call: a failure means the cable is gone or broken, and stays so.
    FT_STATUS Checked(int result);
    // Status for a call that needs the open, present cable; FT_OK when it may go on.
    FT_STATUS Usable() const;
    // Usable, and the chip still answers: for calls that would not otherwise reach it.
    FT_STATUS PresentLocked();
    // One bulk read: whatever the chip delivers now goes to the end of the receive buffer.
    FT_STATUS FetchReceived();
    void CloseLocked();

    std::mutex mutex_;
    ftdi_context* ftdi_; // null once closed
    const UsbAddress address_;
    const DWORD type_;
    const UsbStrings strings_;
    bool lost_ = false;
    std::deque<unsigned char> received_;
    Clock::time_point lastFetch_;
    DWORD readTimeoutMs_ = 0;
    // The chip's latency timer: it answers every bulk read within this time.
    std::chrono::milliseconds latencyTimer_;
    // The chip takes frame format and break in one request, so each is kept for the other.
    UCHAR wordLength_ = FT_BITS_8;
    UCHAR stopBits_ = FT_STOP_BITS_1;
    UCHAR parity_ = 0;
    bool breakOn_ = false;
};

} // namespace ftd2xx
