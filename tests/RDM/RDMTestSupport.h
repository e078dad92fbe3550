// Small helpers shared by the RDM_Lib tests: wire images of requests and reply records.
#pragma once

#include "RDM_Lib.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

inline constexpr TUID FixtureUID{{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};

// What the cable layer sends: the first MessageLength() + 2 bytes.
inline TBytes WireImage(const TRDMCommand& Command) {
    const auto* First = reinterpret_cast<const std::uint8_t*>(&Command.CommandData());
    return TBytes(First, First + Command.MessageLength() + 2);
}

// The whole 486-byte record, to show that a refused call changed nothing.
inline TBytes RecordImage(const TRDMCommand& Command) {
    const auto* First = reinterpret_cast<const std::uint8_t*>(&Command.CommandData());
    return TBytes(First, First + sizeof(TRDMData));
}

// A reply record as the cable layer leaves it: all zero, then Raw, ResponseLen, ResponseTimeMs.
inline TRDMResponseData MakeReply(const TBytes& Bytes, std::uint32_t TimeMs = 10) {
    TRDMResponseData Reply;
    std::memset(&Reply, 0, sizeof Reply);
    if (!Bytes.empty())
        std::memcpy(Reply.Raw, Bytes.data(), Bytes.size());
    Reply.ResponseLen = static_cast<std::int32_t>(Bytes.size());
    Reply.ResponseTimeMs = TimeMs;
    return Reply;
}

// Gives tests a view of the packet under construction, to prefill it.
class TOpenCommand : public TRDMCommand {
  public:
    using TRDMCommand::TRDMCommand;
    TRDMData& Data() { return fData; }
};

// The reply's multi-byte fields are unaligned: copy them out before an assertion binds a
// reference to them.
inline std::int32_t ErrorCodeOf(const TRDMResponseData& Reply) {
    return Reply.ErrorCode;
}
inline std::uint16_t ChkSumOf(const TRDMResponseData& Reply) {
    return Reply.ChkSum;
}

// The assertion form "<Text> (RDM_Lib, line <n>)", n being the line the exception reports.
inline std::string AssertionMessage(const std::string& Text, const EAssertionFailed& E) {
    return Text + " (RDM_Lib, line " + std::to_string(E.Line()) + ")";
}
