// The line capture: every break-framed packet from the controller and every fixture answer, kept in
// memory for tests and, when a file is named, written to it as one text line per packet.
#pragma once

#include "Clock.h"
#include "RdmWire.h"
#include "VirtualCable.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vcable {

class Capture {
  public:
    using EntryId = uint64_t;
    static constexpr EntryId kNoEntry = 0;

    Capture() = default;
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    ~Capture();

    // Starts writing every finished packet to `path` (truncating it); false when it cannot be opened.
    bool openFile(const std::string& path);

    // Forgets every packet and restarts the clock of the capture at `now`.
    void clear(Nanos now);

    // A packet that grows while it crosses the line, finished later.
    EntryId begin(Nanos time, int direction, int cable, int flags);
    void append(EntryId id, uint8_t byte);
    void addFlags(EntryId id, int flags);
    // How the break byte opening the packet crossed the line.
    void noteBreak(EntryId id, const VC_LineFormat& format, Nanos start, Nanos low);
    // How a data byte crossed the line; only the first one of a packet is kept.
    void noteData(EntryId id, const VC_LineFormat& format, Nanos start);
    // Writes the packet to the file; later appends are refused.
    void finish(EntryId id);
    // A packet whose bytes are all known at once.
    void add(Nanos time, int direction, int cable, const Bytes& bytes);

    int count() const { return static_cast<int>(entries_.size()); }
    // Fills a VC_Packet; false for an index outside the capture.
    bool get(int index, VC_Packet& out) const;

  private:
    struct Entry {
        Nanos time;
        int direction;
        int cable;
        int flags;
        bool finished;
        Bytes bytes;
        VC_LineFormat breakFormat{};
        VC_LineFormat dataFormat{};
        Nanos breakStart = -1;
        Nanos breakLow = 0;
        Nanos dataStart = -1;
    };
    Entry* find(EntryId id);
    void writeLine(const Entry& entry);

    // Kept in memory up to a limit, so a demo left running for days does not eat the machine; the
    // file goes on receiving every packet. Packets past the limit wait in `spill_` until finished.
    static constexpr std::size_t kMaxEntries = 100'000;
    std::vector<Entry> entries_;
    std::map<EntryId, Entry> spill_;
    EntryId firstId_ = 1; // id of entries_[0]
    EntryId nextId_ = 1;
    Nanos epoch_ = 0;
    std::FILE* file_ = nullptr;
};

} // namespace vcable
