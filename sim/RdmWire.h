// The few E1.20 byte layouts the simulated fixtures need: reading a request, building a reply,
// and the discovery reply encoding. Kept apart from the tool's RDM library on purpose, so that a
// fault in one cannot be mirrored by the other.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vcable {

using Uid = std::array<uint8_t, 6>;
using Bytes = std::vector<uint8_t>;

namespace rdm {
constexpr uint8_t kStartCode = 0xCC;
constexpr uint8_t kSubStartCode = 0x01;
constexpr int kHeaderLength = 24;

constexpr uint8_t kDiscoveryCommand = 0x10;
constexpr uint8_t kGetCommand = 0x20;
constexpr uint8_t kSetCommand = 0x30;

constexpr uint8_t kResponseAck = 0x00;
constexpr uint8_t kResponseAckTimer = 0x01;
constexpr uint8_t kResponseNack = 0x02;
constexpr uint8_t kResponseAckOverflow = 0x03;

constexpr uint16_t kDiscUniqueBranch = 0x0001;
constexpr uint16_t kDiscMute = 0x0002;
constexpr uint16_t kDiscUnMute = 0x0003;
constexpr uint16_t kSupportedParameters = 0x0050;
constexpr uint16_t kDeviceInfo = 0x0060;
constexpr uint16_t kDeviceModelDescription = 0x0080;
constexpr uint16_t kSoftwareVersionLabel = 0x00C0;
constexpr uint16_t kDmxPersonality = 0x00E0;
constexpr uint16_t kDmxPersonalityDescription = 0x00E1;
constexpr uint16_t kDmxStartAddress = 0x00F0;
constexpr uint16_t kIdentifyDevice = 0x1000;
constexpr uint16_t kStatusLed = 0x0501;

constexpr uint16_t kNackUnknownPid = 0x0000;
constexpr uint16_t kNackFormatError = 0x0001;
constexpr uint16_t kNackUnsupportedCommandClass = 0x0005;
constexpr uint16_t kNackDataOutOfRange = 0x0006;
constexpr uint16_t kNackSubDeviceOutOfRange = 0x0009;

constexpr uint16_t kRootDevice = 0x0000;
constexpr uint16_t kAllSubDevices = 0xFFFF;
} // namespace rdm

// A request as the fixture understood it; only well-formed packets with a correct checksum get here.
struct Request {
    Uid destination{};
    Uid source{};
    uint8_t transactionNumber = 0;
    uint16_t subDevice = 0;
    uint8_t commandClass = 0;
    uint16_t pid = 0;
    Bytes data;
};

uint16_t sum16(const uint8_t* bytes, std::size_t count);
uint16_t readWord(const uint8_t* bytes);
void appendWord(Bytes& out, uint16_t value);
Uid uidFromWord(uint16_t manufacturer, uint32_t device);
uint64_t uidValue(const Uid& uid);

// Parses a complete break-framed packet; nothing when it is not an intact RDM request.
std::optional<Request> parseRequest(const Bytes& packet);

// A reply to `request` from `source`, with the checksum appended.
Bytes buildReply(const Request& request, const Uid& source, uint8_t responseType, const Bytes& data);
// Recomputes the two checksum bytes at the end of an RDM reply in place.
void resealReply(Bytes& reply);

// The DISC_UNIQUE_BRANCH answer: 7 x 0xFE, 0xAA, the UID and its checksum, each byte b sent as
// (b | 0xAA, b | 0x55).
Bytes encodeDiscoveryReply(const Uid& uid);
// Decodes such an answer; nothing when the separator is missing or the checksum does not match.
std::optional<Uid> decodeDiscoveryReply(const Bytes& reply);

} // namespace vcable
