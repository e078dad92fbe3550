// One cable's RS-485 line, worked out from timestamps: the controller's bytes cross it at the baud
// rate set, a break opens a packet, fixtures answer complete packets, and their answers reach the
// receive queue only while the line is turned to receive. There is no thread: every call first
// brings the line up to `now`.
#pragma once

#include "Capture.h"
#include "Clock.h"
#include "Faults.h"
#include "VirtualCable.h"

#include <deque>
#include <functional>
#include <vector>

namespace vcable {

class Line {
  public:
    // The FT232R's latency timer as it comes out of reset; usb_latency_us stands for it.
    static constexpr uint8_t kResetLatencyTimerMs = 16;

    // Hands a complete, intact packet to the fixtures; returns what they put on the line.
    // `at` is when the packet's last byte arrived.
    using Responder = std::function<std::vector<FaultedAnswer>(const Bytes& packet, Nanos at)>;

    Line(int cable, Capture& capture, const VC_Timing& timing, Responder respond);

    // Back to the state of a freshly opened cable: 9600 baud 8N1, RTS cleared, buffers empty.
    void reset(Nanos now);
    void advance(Nanos now);

    // Every call below expects advance(now) to have run for the same `now`.
    // A change reaches the chip at once: the byte being sent goes on at the new rate and bytes still
    // queued go out with the new settings.
    void setBaudRate(Nanos now, uint32_t baud);
    void setDataCharacteristics(Nanos now, uint8_t wordLength, uint8_t stopBits, uint8_t parity);
    VC_LineFormat format() const;
    bool receiving() const { return receive_; }
    void setBreak(Nanos now, bool on);
    void write(Nanos now, const uint8_t* bytes, std::size_t count);
    void setReceive(bool receive, Nanos now);
    void purge(Nanos now, bool receiveBuffer, bool transmitBuffer);
    uint32_t readable(Nanos now);
    // With the D2XX front end a look at the receive queue ends a packet whose length nobody knows;
    // the USB chip's polls of its IN endpoint never reach the line, so there they must not.
    void setReadsCloseIdlePackets(bool close) { readsCloseIdlePackets_ = close; }
    uint32_t transmitPending() const { return static_cast<uint32_t>(inFlight_.size()); }
    std::size_t read(Nanos now, uint8_t* out, std::size_t count);
    // When `count` bytes will be readable as far as the line knows now; -1 when they are not coming.
    Nanos readableAt(std::size_t count) const;
    // The chip's latency timer: bytes that arrive from now on wait for it instead of the timing's
    // usb_latency_us where it is shorter (with fast timing they still wait for nothing).
    void setLatencyTimer(uint8_t ms) { latencyTimerMs_ = ms; }
    uint8_t latencyTimerMs() const { return latencyTimerMs_; }

  private:
    enum class Symbol { Break, Data, Noise };
    struct WireByte {
        uint8_t value;
        Nanos start;
        Nanos end;
        Symbol symbol;
        bool driven; // written with the line turned to transmit
        VC_LineFormat format;
        Nanos low; // how long a zero byte holds the line low: its start and data bits
    };
    struct Arrival {
        uint8_t value;
        Nanos at;
    };

    Symbol classify(uint8_t value, Nanos low) const;
    void retime(Nanos now);
    Nanos byteDuration() const;
    Nanos usbLatency() const;
    void deliver(const WireByte& byte);
    void completePacket(Nanos end);
    void finishPacket();
    void closeIfIdle(bool evenWithKnownLength);
    void scheduleAnswers(Nanos from);
    long expectedLength() const;

    int cable_;
    Capture& capture_;
    const VC_Timing& timing_;
    Responder respond_;

    uint32_t baud_ = 9600;
    uint8_t wordLength_ = 8;
    uint8_t stopBits_ = 0; // D2XX code: 0 = one, 2 = two
    uint8_t parity_ = 0;
    bool breakOn_ = false;
    bool receive_ = false;
    bool readsCloseIdlePackets_ = true;
    uint8_t latencyTimerMs_ = kResetLatencyTimerMs;

    std::deque<WireByte> inFlight_;
    Nanos lineFreeAt_ = 0;

    bool framed_ = false; // a break opened the packet being collected
    bool intact_ = false; // every byte of it was heard as data
    Bytes packet_;
    Capture::EntryId entry_ = Capture::kNoEntry;

    std::vector<FaultedAnswer> waiting_; // answers held back until the line turns to receive
    Nanos requestEnd_ = 0;
    std::vector<Arrival> arriving_; // answer bytes on their way, by arrival time
    std::deque<Arrival> received_;  // by the time they become readable
};

} // namespace vcable
