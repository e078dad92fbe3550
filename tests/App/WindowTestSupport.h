// Shared by the window tests: a control of the window by its name, the cable openings so far, and
// what the controller put on the line, read from the virtual cable's capture.
#pragma once

#include "VirtualCable.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

using TBytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TBytes)

// The child of `window` (a control, an action, a timer) with that object name; nullptr when none.
template <typename T = QWidget> T* Control(const QObject& window, const QString& name) {
    return window.findChild<T*>(name);
}
template <typename T = QWidget> T* Control(const QObject& window, const char* name) {
    return Control<T>(window, QString::fromLatin1(name));
}

// Cable openings so far: every bootstrap that finds a cable opens it once.
inline std::uint64_t Opens() {
    return VC_CallCount("FT_Open") + VC_CallCount("FT_OpenEx");
}

struct TLinePacket {
    double TimeMs;
    TBytes Bytes;
    std::uint32_t Flags; // VC_PACKET_... : how the line carried it
};

// Reads the controller's packets off the capture, in order, as the capture grows.
class TCaptureReader {
  public:
    // The packets captured since the last call (at the first call, since the capture was cleared).
    std::vector<TLinePacket> Next() {
        std::vector<TLinePacket> out;
        VC_Packet p;
        for (const int n = VC_CaptureCount(); fRead < n; ++fRead) {
            if (VC_CaptureGet(fRead, &p) == 0 && p.direction == VC_TO_FIXTURE)
                out.push_back({p.time_ms, TBytes(p.bytes, p.bytes + std::min(p.length, VC_CAPTURE_MAX_BYTES)),
                               static_cast<std::uint32_t>(p.flags)});
        }
        return out;
    }

  private:
    int fRead = 0;
};

// What the controller sent since the capture was cleared, in order.
inline std::vector<TLinePacket> ControllerPackets() {
    return TCaptureReader().Next();
}

// What an RDM request asks: its command class and parameter.
struct TRequestKind {
    std::uint8_t CommandClass;
    std::uint16_t Pid;
    bool Broadcast; // addressed to every fixture (FFFF:FFFFFFFF)
};

// The kind of an RDM request; nothing for any other packet (a DMX frame, a stray byte).
inline std::optional<TRequestKind> RequestKind(const TBytes& b) {
    if (b.size() < 26 || b[0] != 0xCC)
        return std::nullopt;
    const bool broadcast =
        std::all_of(b.begin() + 3, b.begin() + 9, [](std::uint8_t x) { return x == 0xFF; });
    return TRequestKind{b[20], static_cast<std::uint16_t>((b[21] << 8) | b[22]), broadcast};
}

inline bool IsRequest(const TBytes& b, std::uint8_t cc, std::uint16_t pid) {
    const auto kind = RequestKind(b);
    return kind && kind->CommandClass == cc && kind->Pid == pid;
}
