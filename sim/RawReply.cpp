// VC_SetRawReply: arbitrary bytes on the line in place of a fixture's answer.
#include "RawReply.h"

#include "VirtualCable.h"

#include <mutex>

namespace vcable {

namespace {

struct RawReplySetting {
    int fixture = -1;
    int commandClass = -1;
    int pid = -1;
    int count = 0; // -1: until cleared
    Bytes bytes;
};

std::mutex rawMutex;
RawReplySetting rawSetting;

} // namespace

std::optional<Bytes> takeRawReply(int fixture, uint8_t commandClass, uint16_t pid) {
    std::lock_guard lock(rawMutex);
    RawReplySetting& s = rawSetting;
    if (s.count == 0 || s.fixture != fixture)
        return std::nullopt;
    if ((s.commandClass != -1 && s.commandClass != commandClass) || (s.pid != -1 && s.pid != pid))
        return std::nullopt;
    if (s.count > 0)
        --s.count;
    return s.bytes;
}

void clearRawReply() {
    std::lock_guard lock(rawMutex);
    rawSetting = RawReplySetting{};
}

} // namespace vcable

extern "C" void VC_SetRawReply(int fixture, const uint8_t* bytes, int length, int cc, int pid, int count) {
    if (length < 0 || length > VC_RAW_REPLY_MAX_BYTES || (length > 0 && !bytes) || count < -1)
        return;
    std::lock_guard lock(vcable::rawMutex);
    vcable::rawSetting =
        vcable::RawReplySetting{fixture, cc, pid, count, vcable::Bytes(bytes, bytes + length)};
}
