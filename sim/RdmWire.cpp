#include "RdmWire.h"

#include <algorithm>

namespace vcable {

uint16_t sum16(const uint8_t* bytes, std::size_t count) {
    uint16_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<uint16_t>(sum + bytes[i]);
    return sum;
}

uint16_t readWord(const uint8_t* bytes) {
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

void appendWord(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

Uid uidFromWord(uint16_t manufacturer, uint32_t device) {
    return Uid{static_cast<uint8_t>(manufacturer >> 8), static_cast<uint8_t>(manufacturer),
               static_cast<uint8_t>(device >> 24),      static_cast<uint8_t>(device >> 16),
               static_cast<uint8_t>(device >> 8),       static_cast<uint8_t>(device)};
}

uint64_t uidValue(const Uid& uid) {
    uint64_t value = 0;
    for (uint8_t b : uid)
        value = (value << 8) | b;
    return value;
}

std::optional<Request> parseRequest(const Bytes& packet) {
    if (packet.size() < static_cast<std::size_t>(rdm::kHeaderLength) + 2)
        return std::nullopt;
    if (packet[0] != rdm::kStartCode || packet[1] != rdm::kSubStartCode)
        return std::nullopt;
    const std::size_t messageLength = packet[2];
    if (messageLength < static_cast<std::size_t>(rdm::kHeaderLength) || packet.size() != messageLength + 2)
        return std::nullopt;
    const std::size_t parameterLength = packet[23];
    if (parameterLength != messageLength - rdm::kHeaderLength)
        return std::nullopt;
    if (sum16(packet.data(), messageLength) != readWord(&packet[messageLength]))
        return std::nullopt;

    Request request;
    std::copy_n(&packet[3], 6, request.destination.begin());
    std::copy_n(&packet[9], 6, request.source.begin());
    request.transactionNumber = packet[15];
    request.subDevice = readWord(&packet[18]);
    request.commandClass = packet[20];
    request.pid = readWord(&packet[21]);
    request.data.assign(packet.begin() + rdm::kHeaderLength,
                        packet.begin() + static_cast<std::ptrdiff_t>(messageLength));
    return request;
}

Bytes buildReply(const Request& request, const Uid& source, uint8_t responseType, const Bytes& data) {
    const std::size_t parameterLength = std::min<std::size_t>(data.size(), 231);
    Bytes reply;
    reply.reserve(rdm::kHeaderLength + parameterLength + 2);
    reply.push_back(rdm::kStartCode);
    reply.push_back(rdm::kSubStartCode);
    reply.push_back(static_cast<uint8_t>(rdm::kHeaderLength + parameterLength));
    reply.insert(reply.end(), request.source.begin(), request.source.end());
    reply.insert(reply.end(), source.begin(), source.end());
    reply.push_back(request.transactionNumber);
    reply.push_back(responseType);
    reply.push_back(0); // message count: this fixture never queues messages
    appendWord(reply, request.subDevice);
    reply.push_back(static_cast<uint8_t>(request.commandClass + 1));
    appendWord(reply, request.pid);
    reply.push_back(static_cast<uint8_t>(parameterLength));
    reply.insert(reply.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(parameterLength));
    appendWord(reply, sum16(reply.data(), reply.size()));
    return reply;
}

void resealReply(Bytes& reply) {
    if (reply.size() < 2)
        return;
    const uint16_t sum = sum16(reply.data(), reply.size() - 2);
    reply[reply.size() - 2] = static_cast<uint8_t>(sum >> 8);
    reply[reply.size() - 1] = static_cast<uint8_t>(sum & 0xFF);
}

namespace {
void appendEncoded(Bytes& out, uint8_t value) {
    out.push_back(static_cast<uint8_t>(value | 0xAA));
    out.push_back(static_cast<uint8_t>(value | 0x55));
}
constexpr std::size_t kPreambleLength = 7;
constexpr std::size_t kEncodedLength = 16; // 12 UID bytes and 4 checksum bytes after the separator
} // namespace

Bytes encodeDiscoveryReply(const Uid& uid) {
    Bytes reply(kPreambleLength, 0xFE);
    reply.push_back(0xAA);
    for (uint8_t b : uid)
        appendEncoded(reply, b);
    const uint16_t sum = sum16(reply.data() + kPreambleLength + 1, 12);
    appendEncoded(reply, static_cast<uint8_t>(sum >> 8));
    appendEncoded(reply, static_cast<uint8_t>(sum & 0xFF));
    return reply;
}

std::optional<Uid> decodeDiscoveryReply(const Bytes& reply) {
    const auto separator = std::find(reply.begin(), reply.end(), uint8_t{0xAA});
    if (separator == reply.end())
        return std::nullopt;
    const auto start = static_cast<std::size_t>(separator - reply.begin()) + 1;
    if (reply.size() < start + kEncodedLength)
        return std::nullopt;
    const uint8_t* e = &reply[start];
    Uid uid{};
    for (std::size_t k = 0; k < 6; ++k)
        uid[k] = static_cast<uint8_t>(e[2 * k] & e[2 * k + 1]);
    const uint16_t received = static_cast<uint16_t>(((e[12] & e[13]) << 8) | (e[14] & e[15]));
    if (sum16(e, 12) != received)
        return std::nullopt;
    return uid;
}

} // namespace vcable
