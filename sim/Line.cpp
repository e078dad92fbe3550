#include "Line.h"

#include <algorithm>
#include <map>

namespace vcable {

namespace {

constexpr uint32_t kDmxBaud = 250000;
constexpr uint32_t kBaudTolerance = kDmxBaud * 3 / 100;
// A receiver takes a low line as a break once it lasts 88 us: a zero byte at 100000 baud or slower.
constexpr Nanos kShortestBreak = 88 * kMicro;
constexpr std::size_t kDmxFrameLength = 513;
constexpr std::size_t kReceiveBufferSize = 65536;
constexpr uint8_t kDmxStartCode = 0x00;

int frameBits(const VC_LineFormat& f) {
    return 1 + f.data_bits + (f.parity != 0 ? 1 : 0) + f.stop_bits;
}
// Bit times as the baud rate makes them, whatever the timing of the simulation.
double bitNanos(const VC_LineFormat& f) {
    return 1e9 / f.baud;
}
Nanos lowTime(const VC_LineFormat& f) {
    return static_cast<Nanos>((1 + f.data_bits) * bitNanos(f));
}

} // namespace

Line::Line(int cable, Capture& capture, const VC_Timing& timing, Responder respond)
    : cable_(cable), capture_(capture), timing_(timing), respond_(std::move(respond)) {}

void Line::reset(Nanos now) {
    advance(now);
    inFlight_.clear();
    finishPacket();
    waiting_.clear();
    arriving_.clear();
    received_.clear();
    lineFreeAt_ = now;
    baud_ = 9600;
    wordLength_ = 8;
    stopBits_ = 0;
    parity_ = 0;
    breakOn_ = false;
    receive_ = false;
    latencyTimerMs_ = kResetLatencyTimerMs;
}

void Line::advance(Nanos now) {
    while (!inFlight_.empty() && inFlight_.front().end <= now) {
        const WireByte byte = inFlight_.front();
        inFlight_.pop_front();
        deliver(byte);
    }
    const Nanos latency = usbLatency();
    auto arrived = arriving_.begin();
    for (; arrived != arriving_.end() && arrived->at <= now; ++arrived)
        if (received_.size() < kReceiveBufferSize)
            received_.push_back(Arrival{arrived->value, arrived->at + latency});
    arriving_.erase(arriving_.begin(), arrived);
}

VC_LineFormat Line::format() const {
    return VC_LineFormat{baud_, wordLength_, static_cast<uint8_t>(stopBits_ == 2 ? 2 : 1), parity_};
}

void Line::setBaudRate(Nanos now, uint32_t baud) {
    if (baud == baud_)
        return;
    baud_ = baud;
    retime(now);
}

void Line::setDataCharacteristics(Nanos now, uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
    if (wordLength == wordLength_ && stopBits == stopBits_ && parity == parity_)
        return;
    wordLength_ = wordLength;
    stopBits_ = stopBits;
    parity_ = parity;
    retime(now);
}

void Line::retime(Nanos now) {
    const VC_LineFormat next = format();
    const Nanos duration = byteDuration();
    Nanos cursor = now;
    for (WireByte& byte : inFlight_) {
        if (byte.start < now && byte.end > now) {
            // The byte being sent: its remaining bits follow at the new rate. A zero byte cut before
            // its low part ended holds the line low for less, maybe too little for a break; any
            // other byte reaches the receiver garbled.
            const double bitsDone = static_cast<double>(now - byte.start) /
                                    static_cast<double>(byte.end - byte.start) * frameBits(byte.format);
            const int lowBits = 1 + byte.format.data_bits;
            if (byte.value == 0x00 && bitsDone < lowBits)
                byte.low = static_cast<Nanos>(bitsDone * bitNanos(byte.format) +
                                              (lowBits - bitsDone) * bitNanos(next));
            const bool stillBreak = byte.symbol == Symbol::Break && byte.low >= kShortestBreak;
            byte.symbol = stillBreak ? Symbol::Break : Symbol::Noise;
            byte.end = now + static_cast<Nanos>((frameBits(byte.format) - bitsDone) / frameBits(next) *
                                                static_cast<double>(duration));
        } else if (byte.start >= now) {
            byte.start = cursor;
            byte.end = cursor + duration;
            byte.format = next;
            byte.low = lowTime(next);
            byte.symbol = classify(byte.value, byte.low);
        }
        cursor = byte.end;
    }
    if (!inFlight_.empty())
        lineFreeAt_ = cursor;
}

Line::Symbol Line::classify(uint8_t value, Nanos low) const {
    if (breakOn_)
        return Symbol::Noise; // the line is held low: nothing gets through
    if (value == 0x00 && low >= kShortestBreak)
        return Symbol::Break;
    const bool dmxRate = baud_ + kBaudTolerance >= kDmxBaud && baud_ <= kDmxBaud + kBaudTolerance;
    return dmxRate && wordLength_ == 8 && parity_ == 0 ? Symbol::Data : Symbol::Noise;
}

Nanos Line::byteDuration() const {
    // byte_us is the time of one byte of 11 bits (start, 8 data, 2 stop) at 250000 baud.
    const int frameBits = 1 + wordLength_ + (parity_ != 0 ? 1 : 0) + (stopBits_ == 2 ? 2 : 1);
    const double nanos = static_cast<double>(timing_.byte_us) * kMicro *
                         (static_cast<double>(kDmxBaud) / baud_) * (frameBits / 11.0);
    return static_cast<Nanos>(nanos);
}

void Line::setBreak(Nanos now, bool on) {
    if (on && !breakOn_) {
        const Nanos start = std::max(now, lineFreeAt_);
        inFlight_.push_back(WireByte{0x00, start, start, Symbol::Break, !receive_, format(), 0});
        lineFreeAt_ = start;
        advance(now);
    }
    breakOn_ = on;
}

void Line::write(Nanos now, const uint8_t* bytes, std::size_t count) {
    const Nanos duration = byteDuration();
    const VC_LineFormat current = format();
    const Nanos low = lowTime(current);
    Nanos start = std::max(now, lineFreeAt_);
    for (std::size_t i = 0; i < count; ++i) {
        inFlight_.push_back(
            WireByte{bytes[i], start, start + duration, classify(bytes[i], low), !receive_, current, low});
        start += duration;
    }
    lineFreeAt_ = start;
    advance(now);
}

void Line::setReceive(bool receive, Nanos now) {
    if (receive != receive_) {
        receive_ = receive;
        if (receive && !waiting_.empty())
            scheduleAnswers(std::max(requestEnd_, now));
        if (!receive)
            arriving_.clear(); // the rest of an answer meets a line that no longer listens
    }
    closeIfIdle(true);
}

void Line::purge(Nanos now, bool receiveBuffer, bool transmitBuffer) {
    if (receiveBuffer) {
        received_.clear();
        arriving_.clear();
        waiting_.clear();
    }
    if (transmitBuffer) {
        inFlight_.clear();
        lineFreeAt_ = now;
        finishPacket();
    }
}

uint32_t Line::readable(Nanos now) {
    if (readsCloseIdlePackets_)
        closeIfIdle(false);
    uint32_t count = 0;
    for (const Arrival& byte : received_) {
        if (byte.at > now)
            break;
        ++count;
    }
    return count;
}

std::size_t Line::read(Nanos now, uint8_t* out, std::size_t count) {
    const std::size_t available = std::min<std::size_t>(count, readable(now));
    for (std::size_t i = 0; i < available; ++i) {
        out[i] = received_.front().value;
        received_.pop_front();
    }
    return available;
}

Nanos Line::readableAt(std::size_t count) const {
    if (count == 0)
        return 0;
    if (count <= received_.size())
        return received_[count - 1].at;
    const std::size_t fromArriving = count - received_.size();
    if (fromArriving > arriving_.size())
        return -1;
    return arriving_[fromArriving - 1].at + usbLatency();
}

Nanos Line::usbLatency() const {
    const Nanos timing = static_cast<Nanos>(timing_.usb_latency_us) * kMicro;
    if (latencyTimerMs_ == kResetLatencyTimerMs)
        return timing; // the timing's own figure, whatever it is, stands for the timer out of reset
    return std::min(timing, static_cast<Nanos>(latencyTimerMs_) * kMilli);
}

void Line::deliver(const WireByte& byte) {
    if (byte.symbol == Symbol::Break) {
        finishPacket();
        if (byte.driven) {
            // A new request: fixtures drop answers the controller never turned around for.
            waiting_.clear();
            arriving_.clear();
        }
        framed_ = true;
        intact_ = byte.driven;
        packet_.clear();
        entry_ = capture_.begin(byte.start, VC_TO_FIXTURE, cable_, byte.driven ? 0 : VC_PACKET_NOT_DRIVEN);
        capture_.noteBreak(entry_, byte.format, byte.start, byte.low);
        return;
    }
    if (!framed_ && entry_ == Capture::kNoEntry)
        entry_ = capture_.begin(byte.start, VC_TO_FIXTURE, cable_, VC_PACKET_NO_BREAK);
    capture_.noteData(entry_, byte.format, byte.start);
    capture_.append(entry_, byte.value);
    if (!byte.driven)
        capture_.addFlags(entry_, VC_PACKET_NOT_DRIVEN);
    if (byte.symbol == Symbol::Noise)
        capture_.addFlags(entry_, VC_PACKET_GARBLED);
    if (!framed_)
        return;

    packet_.push_back(byte.value);
    intact_ = intact_ && byte.driven && byte.symbol == Symbol::Data;
    const long expected = expectedLength();
    if (expected > 0 && packet_.size() >= static_cast<std::size_t>(expected))
        completePacket(byte.end);
}

long Line::expectedLength() const {
    if (packet_.empty())
        return -1;
    if (packet_[0] == 0xCC)
        return packet_.size() >= 3 ? std::max<long>(3, packet_[2] + 2L) : -1;
    if (packet_[0] == kDmxStartCode)
        return static_cast<long>(kDmxFrameLength);
    return -1;
}

void Line::completePacket(Nanos end) {
    const bool heard = intact_;
    const Bytes packet = packet_;
    finishPacket();
    if (!heard)
        return;
    std::vector<FaultedAnswer> answers = respond_(packet, end);
    std::erase_if(answers, [](const FaultedAnswer& a) { return a.bytes.empty(); });
    if (answers.empty())
        return;
    waiting_ = std::move(answers);
    requestEnd_ = end;
    if (receive_)
        scheduleAnswers(end);
}

void Line::finishPacket() {
    if (entry_ != Capture::kNoEntry)
        capture_.finish(entry_);
    entry_ = Capture::kNoEntry;
    framed_ = false;
    packet_.clear();
}

void Line::closeIfIdle(bool evenWithKnownLength) {
    if (!inFlight_.empty() || entry_ == Capture::kNoEntry)
        return;
    if (framed_ && expectedLength() > 0 && !evenWithKnownLength)
        return;
    finishPacket();
}

void Line::scheduleAnswers(Nanos from) {
    const Nanos start = from + static_cast<Nanos>(timing_.turnaround_us) * kMicro;
    const Nanos byteTime = static_cast<Nanos>(timing_.byte_us) * kMicro;
    // Answers that start together collide: on the line the dominant level wins, like an AND of
    // the bytes (an idle line reads as all ones).
    std::map<Nanos, Bytes> onLine;
    for (const FaultedAnswer& answer : waiting_) {
        Bytes& combined = onLine[start + answer.extraDelayUs * kMicro];
        if (combined.size() < answer.bytes.size())
            combined.resize(answer.bytes.size(), 0xFF);
        for (std::size_t i = 0; i < answer.bytes.size(); ++i)
            combined[i] = static_cast<uint8_t>(combined[i] & answer.bytes[i]);
    }
    waiting_.clear();
    for (const auto& [begin, bytes] : onLine) {
        capture_.add(begin, VC_FROM_FIXTURE, cable_, bytes);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            arriving_.push_back(Arrival{bytes[i], begin + static_cast<Nanos>(i + 1) * byteTime});
    }
    std::stable_sort(arriving_.begin(), arriving_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
}

} // namespace vcable
