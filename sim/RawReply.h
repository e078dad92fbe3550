// Answers replaced by raw bytes (VC_SetRawReply): one setting at a time, used up answer by answer.
#pragma once

#include "RdmWire.h"

#include <cstdint>
#include <optional>

namespace vcable {

// The bytes that replace this answer of `fixture` to a request of class `commandClass` and PID
// `pid`, when the setting covers it; counts the answer against the setting.
std::optional<Bytes> takeRawReply(int fixture, uint8_t commandClass, uint16_t pid);
void clearRawReply();

} // namespace vcable
