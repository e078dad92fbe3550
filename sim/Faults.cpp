#include "Faults.h"

#include "VirtualCable.h"

#include <algorithm>

namespace vcable {

namespace {

constexpr int64_t kSlowReplyDelayUs = 1'100'000;
constexpr std::size_t kShortReplyLength = 10;
const Bytes kStrayBytes{0x00, 0x7F, 0xF0}; // neither a start code nor a discovery separator

bool appliesToDiscoveryAnswer(int fault) {
    switch (fault) {
    case VC_FAULT_WRONG_CHECKSUM:
    case VC_FAULT_SHORT_REPLY:
    case VC_FAULT_STRAY_BYTES:
    case VC_FAULT_SLOW_REPLY:
    case VC_FAULT_COLLISION:
    case VC_FAULT_SILENCE:
        return true;
    default:
        return false;
    }
}

bool isDiscoveryAnswer(const Bytes& answer) {
    return !answer.empty() && answer[0] != rdm::kStartCode;
}

bool checksumHolds(const Bytes& answer) {
    if (isDiscoveryAnswer(answer))
        return decodeDiscoveryReply(answer).has_value();
    if (answer.size() < 2)
        return false;
    return sum16(answer.data(), answer.size() - 2) == readWord(&answer[answer.size() - 2]);
}

// Two fixtures answering at once: on the line the dominant level wins bit by bit, like an AND.
Bytes collide(const Bytes& answer, const Uid& fixtureUid) {
    for (uint32_t pattern : {0xFFFFFFFFu, 0x0F0F0F0Fu, 0xF0F0F0F0u, 0x00FF00FFu, 0x55555555u}) {
        Uid other = fixtureUid;
        for (int k = 0; k < 4; ++k)
            other[2 + k] = static_cast<uint8_t>(other[2 + k] ^ (pattern >> (24 - 8 * k)));
        Bytes second;
        if (isDiscoveryAnswer(answer)) {
            second = encodeDiscoveryReply(other);
        } else {
            second = answer;
            if (second.size() >= 15)
                std::copy(other.begin(), other.end(), second.begin() + 9);
            resealReply(second);
        }
        Bytes garbled(answer.size());
        for (std::size_t i = 0; i < answer.size(); ++i)
            garbled[i] = static_cast<uint8_t>(answer[i] & (i < second.size() ? second[i] : 0xFF));
        if (!checksumHolds(garbled))
            return garbled;
    }
    Bytes garbled = answer; // never reached with real UIDs; still make sure it does not decode
    garbled.back() = static_cast<uint8_t>(garbled.back() ^ 0x01);
    return garbled;
}

void breakChecksum(Bytes& answer) {
    if (answer.size() < 2)
        return;
    if (isDiscoveryAnswer(answer)) {
        // Re-encode the low checksum byte off by one, keeping the (b | 0xAA, b | 0x55) form.
        const auto low = static_cast<uint8_t>((answer[answer.size() - 2] & answer[answer.size() - 1]) ^ 0x01);
        answer[answer.size() - 2] = static_cast<uint8_t>(low | 0xAA);
        answer[answer.size() - 1] = static_cast<uint8_t>(low | 0x55);
    } else {
        answer.back() = static_cast<uint8_t>(answer.back() + 1);
    }
}

} // namespace

void FaultQueue::inject(int fixture, int fault, int commandClass, int pid, int count) {
    if (fault <= VC_FAULT_NONE || fault > VC_FAULT_SILENCE || count == 0 || count < -1)
        return;
    rules_.push_back(Rule{fixture, fault, commandClass, pid, count});
}

void FaultQueue::removeFixture(int fixture) {
    std::erase_if(rules_, [fixture](const Rule& r) { return r.fixture == fixture; });
}

int FaultQueue::take(int fixture, uint8_t commandClass, uint16_t pid, bool discoveryAnswer) {
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->fixture != fixture)
            continue;
        if (it->commandClass != -1 && it->commandClass != commandClass)
            continue;
        if (it->pid != -1 && it->pid != pid)
            continue;
        if (discoveryAnswer && !appliesToDiscoveryAnswer(it->fault))
            continue;
        const int fault = it->fault;
        if (it->count > 0 && --it->count == 0)
            rules_.erase(it);
        return fault;
    }
    return VC_FAULT_NONE;
}

FaultedAnswer applyFault(int fault, const Request& request, Bytes answer, const Uid& fixtureUid) {
    FaultedAnswer result;
    const bool rdmAnswer = !isDiscoveryAnswer(answer) && answer.size() >= 26;
    switch (fault) {
    case VC_FAULT_WRONG_CHECKSUM:
        breakChecksum(answer);
        break;
    case VC_FAULT_SHORT_REPLY:
        answer.resize(std::min(answer.size(), kShortReplyLength));
        break;
    case VC_FAULT_WRONG_CC:
        if (rdmAnswer) {
            answer[20] = answer[20] == 0x21 ? 0x31 : 0x21;
            resealReply(answer);
        }
        break;
    case VC_FAULT_WRONG_PID:
        if (rdmAnswer) {
            const auto pid = static_cast<uint16_t>(readWord(&answer[21]) + 1);
            answer[21] = static_cast<uint8_t>(pid >> 8);
            answer[22] = static_cast<uint8_t>(pid & 0xFF);
            resealReply(answer);
        }
        break;
    case VC_FAULT_ACK_TIMER:
        if (rdmAnswer)
            answer = buildReply(request, fixtureUid, rdm::kResponseAckTimer, {0x00, 0x0A}); // 1 s
        break;
    case VC_FAULT_ACK_OVERFLOW:
        if (rdmAnswer) {
            answer[16] = rdm::kResponseAckOverflow;
            resealReply(answer);
        }
        break;
    case VC_FAULT_LENGTH_ZERO:
        if (rdmAnswer) {
            answer[2] = 0;
            resealReply(answer);
        }
        break;
    case VC_FAULT_STRAY_BYTES:
        answer.insert(answer.begin(), kStrayBytes.begin(), kStrayBytes.end());
        break;
    case VC_FAULT_SLOW_REPLY:
        result.extraDelayUs = kSlowReplyDelayUs;
        break;
    case VC_FAULT_COLLISION:
        answer = collide(answer, fixtureUid);
        break;
    case VC_FAULT_SILENCE:
        answer.clear();
        break;
    default:
        break;
    }
    result.bytes = std::move(answer);
    return result;
}

} // namespace vcable
