// What the discovery search and fixture list suites share: UIDs written as on the list, the virtual cable's
// fixtures as UIDs, and the controller's requests in the line capture.
#pragma once

#include "FixtureList.h"
#include "VirtualCableFixture.h"

#include <string>
#include <vector>

namespace sessiontest {

inline std::string ExampleFile(const char* Name) {
    return std::string(VCABLE_EXAMPLES_DIR) + "/" + Name;
}

// "5A59:12345678" as a UID.
inline TUID UID(const std::string& Text) {
    const unsigned long long manufacturer = std::stoull(Text.substr(0, 4), nullptr, 16);
    const unsigned long long device = std::stoull(Text.substr(5), nullptr, 16);
    const unsigned long long value = manufacturer << 32 | device;
    TUID uid{};
    for (int k = 0; k < 6; ++k)
        uid.Bytes[k] = static_cast<std::uint8_t>(value >> (8 * (5 - k)));
    return uid;
}

inline std::vector<std::string> Texts(const std::vector<TUID>& UIDs) {
    std::vector<std::string> texts;
    for (const TUID& uid : UIDs)
        texts.push_back(UIDToString(uid));
    return texts;
}

inline VC_FixtureConfig FixtureWithUID(const std::string& Text) {
    VC_FixtureConfig fixture{};
    VC_DefaultFixture(&fixture);
    const TUID uid = UID(Text);
    std::copy(std::begin(uid.Bytes), std::end(uid.Bytes), fixture.uid);
    return fixture;
}

// A request the controller put on the line: its command class, PID, destination and parameter data.
struct TSentRequest {
    std::uint8_t CC = 0;
    std::uint16_t PID = 0;
    std::string Destination;
    std::vector<std::uint8_t> Data;
};

inline std::vector<TSentRequest> SentRequests() {
    std::vector<TSentRequest> requests;
    VC_Packet p{};
    for (int i = 0; VC_CaptureGet(i, &p) == 0; ++i) {
        if (p.direction != VC_TO_FIXTURE || p.length < RDM_HEADER_SIZE + 2 || p.bytes[0] != RDM_START_CODE)
            continue;
        TSentRequest r;
        r.CC = p.bytes[20];
        r.PID = GetBE16(&p.bytes[21]);
        TUID destination{};
        std::copy(p.bytes + 3, p.bytes + 9, destination.Bytes);
        r.Destination = UIDToString(destination);
        r.Data.assign(p.bytes + RDM_HEADER_SIZE, p.bytes + RDM_HEADER_SIZE + p.bytes[23]);
        requests.push_back(r);
    }
    return requests;
}

} // namespace sessiontest
