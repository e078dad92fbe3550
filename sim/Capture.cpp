#include "Capture.h"

#include "VirtualCable.h"

#include <algorithm>
#include <cstring>

namespace vcable {

Capture::~Capture() {
    for (auto& entry : entries_)
        if (!entry.finished)
            writeLine(entry);
    for (auto& [id, entry] : spill_)
        writeLine(entry);
    if (file_)
        std::fclose(file_);
}

bool Capture::openFile(const std::string& path) {
    if (file_)
        std::fclose(file_);
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void Capture::clear(Nanos now) {
    // Packets still crossing the line leave the memory but still reach the file when finished.
    std::map<EntryId, Entry> unfinished;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (!entries_[i].finished)
            unfinished.emplace(firstId_ + i, std::move(entries_[i]));
    for (auto& [id, entry] : spill_)
        unfinished.emplace(id, std::move(entry));
    entries_.clear();
    spill_ = std::move(unfinished);
    firstId_ = nextId_;
    epoch_ = now;
}

Capture::EntryId Capture::begin(Nanos time, int direction, int cable, int flags) {
    const EntryId id = nextId_++;
    Entry entry{time, direction, cable, flags, false, {}, {}, {}, -1, 0, -1};
    if (entries_.size() < kMaxEntries && id == firstId_ + entries_.size())
        entries_.push_back(std::move(entry));
    else
        spill_.emplace(id, std::move(entry));
    return id;
}

Capture::Entry* Capture::find(EntryId id) {
    if (id >= firstId_ && id - firstId_ < entries_.size())
        return &entries_[id - firstId_];
    const auto it = spill_.find(id);
    return it == spill_.end() ? nullptr : &it->second;
}

void Capture::append(EntryId id, uint8_t byte) {
    Entry* entry = find(id);
    if (entry && !entry->finished)
        entry->bytes.push_back(byte);
}

void Capture::addFlags(EntryId id, int flags) {
    Entry* entry = find(id);
    if (entry && !entry->finished)
        entry->flags |= flags;
}

void Capture::noteBreak(EntryId id, const VC_LineFormat& format, Nanos start, Nanos low) {
    Entry* entry = find(id);
    if (!entry || entry->finished)
        return;
    entry->breakFormat = format;
    entry->breakStart = start;
    entry->breakLow = low;
}

void Capture::noteData(EntryId id, const VC_LineFormat& format, Nanos start) {
    Entry* entry = find(id);
    if (!entry || entry->finished || entry->dataStart >= 0)
        return;
    entry->dataFormat = format;
    entry->dataStart = start;
}

void Capture::finish(EntryId id) {
    Entry* entry = find(id);
    if (!entry || entry->finished)
        return;
    entry->finished = true;
    writeLine(*entry);
    spill_.erase(id);
}

void Capture::add(Nanos time, int direction, int cable, const Bytes& bytes) {
    const EntryId id = begin(time, direction, cable, 0);
    if (Entry* entry = find(id))
        entry->bytes = bytes;
    finish(id);
}

bool Capture::get(int index, VC_Packet& out) const {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size())
        return false;
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    std::memset(&out, 0, sizeof out);
    out.time_ms = static_cast<double>(entry.time - epoch_) / kMilli;
    out.direction = entry.direction;
    out.cable = entry.cable;
    const std::size_t stored = std::min<std::size_t>(entry.bytes.size(), VC_CAPTURE_MAX_BYTES);
    out.length = static_cast<int>(stored);
    std::copy_n(entry.bytes.begin(), stored, out.bytes);
    out.flags = entry.flags | (entry.bytes.size() > stored ? VC_PACKET_TRUNCATED : 0);
    out.break_format = entry.breakFormat;
    out.data_format = entry.dataFormat;
    out.break_low_us = static_cast<double>(entry.breakLow) / kMicro;
    out.break_to_data_us = entry.breakStart >= 0 && entry.dataStart >= 0
                               ? static_cast<double>(entry.dataStart - entry.breakStart) / kMicro
                               : -1.0;
    return true;
}

void Capture::writeLine(const Entry& entry) {
    if (!file_)
        return;
    std::fprintf(file_, "%.3f %s", static_cast<double>(entry.time - epoch_) / kMilli,
                 entry.direction == VC_FROM_FIXTURE ? "<-" : "->");
    for (uint8_t b : entry.bytes)
        std::fprintf(file_, " %02X", b);
    // Anything unusual goes after a '#', so the three leading fields stay easy to read by machine.
    const struct {
        int flag;
        const char* text;
    } notes[] = {{VC_PACKET_NO_BREAK, "no break"},
                 {VC_PACKET_NOT_DRIVEN, "line in receive direction"},
                 {VC_PACKET_GARBLED, "garbled"}};
    bool first = true;
    if (entry.cable != 0) {
        std::fprintf(file_, " # cable %d", entry.cable);
        first = false;
    }
    for (const auto& note : notes) {
        if (!(entry.flags & note.flag))
            continue;
        std::fprintf(file_, first ? " # %s" : ", %s", note.text);
        first = false;
    }
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace vcable
