// The fixture the session's and the window's tests put on the virtual line.
#pragma once

#include "VirtualCable.h"

#include <cstdint>
#include <cstring>

// UID 5A59:0000002A; the request literals of FixtureLoopRequests.h are addressed to it.
inline constexpr std::uint8_t kFixtureUid[6] = {0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A};

// A VEK-340 at address 37 in personality 2 of 3, status LED off.
inline VC_FixtureConfig Vek340() {
    VC_FixtureConfig c{};
    VC_DefaultFixture(&c);
    std::memcpy(c.uid, kFixtureUid, sizeof c.uid);
    c.model_id = 103;
    std::strcpy(c.model_description, "VEK-340");
    std::strcpy(c.software_label, "VEK-340 v2.14");
    c.start_address = 37;
    c.personality_count = 3;
    c.personalities[0] = VC_Personality{24, "Standard"};
    c.personalities[1] = VC_Personality{32, "Extended"};
    c.personalities[2] = VC_Personality{8, "Compact"};
    c.current_personality = 2;
    c.supports_model_description = 1;
    c.supports_status_led = 1;
    c.status_led = 0x00;
    return c;
}
