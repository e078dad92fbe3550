// The least time a stretch of line traffic can take: every packet in the line capture on the wire
// (break, bytes at 44 us each), each reply's turnaround and USB latency, and the waits the tool
// must make between them. Software can only come close to it.
#pragma once

#include "VirtualCable.h"

#include <cstdint>

namespace bench {

// What a captured packet from the controller is, as far as the floor and the counts need to know.
struct RequestKind {
    bool rdm = false;
    bool broadcast = false;
    std::uint8_t cc = 0;
    std::uint16_t pid = 0;
};
RequestKind KindOf(const VC_Packet& packet);

// Which prescribed waits count: those of the cable layer's transactions alone, also those the
// fixture state machine adds around discovery, or the reply windows of the discovery search (the
// first question's 100 ms, then the search's own window for every unanswered request).
enum class WaitScope { Transactions, StateMachine, DiscoverySearch };

struct LineFloor {
    double WireMs = 0; // requests and replies on the wire, turnarounds, USB latencies
    double WaitMs = 0; // prescribed pauses and reply windows
    int Requests = 0;
    int Replies = 0;
    double TotalMs() const { return WireMs + WaitMs; }
};

// The floor of the captured packets with indices first .. last - 1. `searchWindowMs` is the
// search's reply window (WaitScope::DiscoverySearch only).
LineFloor FloorOfCapture(const VC_Timing& timing, int first, int last, WaitScope scope,
                         int searchWindowMs = 0);

} // namespace bench
