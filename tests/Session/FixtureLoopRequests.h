// The requests the fixture loop puts on the line, written out byte by byte. Every request comes from
// the controller 5A59:00000001 with transaction number 0, port 1, message count 0, root sub-device;
// those addressed to a fixture go to 5A59:0000002A (kFixtureUid).
#pragma once

#include <cstdint>
#include <vector>

namespace req {

using B = std::vector<std::uint8_t>;

// clang-format off
#define ZYL_HEADER_TO_FIXTURE(len) 0xCC, 0x01, len, 0x5A, 0x59, 0x00, 0x00, 0x00, 0x2A, \
                                   0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00
#define ZYL_HEADER_BROADCAST(len)  0xCC, 0x01, len, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, \
                                   0x5A, 0x59, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00

//                                     CC    PID         PDL   data                  checksum
inline const B UnMuteAll{ZYL_HEADER_BROADCAST(0x18),
                                       0x10, 0x00, 0x03, 0x00,                       0x07, 0xA7};
inline const B UniqueBranchAll{ZYL_HEADER_BROADCAST(0x24),
                                       0x10, 0x00, 0x01, 0x0C,
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00,           // lower bound
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,           // upper bound
                                                                                     0x0D, 0xB7};
inline const B MuteFixture{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x10, 0x00, 0x02, 0x00,                       0x02, 0x89};
inline const B GetDeviceInfo{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x00, 0x60, 0x00,                       0x02, 0xF7};
inline const B GetSupportedParameters{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x00, 0x50, 0x00,                       0x02, 0xE7};
inline const B GetDeviceModelDescription{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x00, 0x80, 0x00,                       0x03, 0x17};
inline const B GetSoftwareVersionLabel{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x00, 0xC0, 0x00,                       0x03, 0x57};
inline const B GetDmxPersonality{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x00, 0xE0, 0x00,                       0x03, 0x77};
inline const B GetPersonalityDescription1{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x20, 0x00, 0xE1, 0x01, 0x01,                 0x03, 0x7B};
inline const B GetPersonalityDescription2{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x20, 0x00, 0xE1, 0x01, 0x02,                 0x03, 0x7C};
inline const B GetPersonalityDescription3{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x20, 0x00, 0xE1, 0x01, 0x03,                 0x03, 0x7D};
inline const B GetStatusLed{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x20, 0x05, 0x01, 0x00,                       0x02, 0x9D};
inline const B Poll{ZYL_HEADER_TO_FIXTURE(0x18),
                                       0x10, 0x00, 0x03, 0x00,                       0x02, 0x8A};

inline const B SetStartAddress512{ZYL_HEADER_TO_FIXTURE(0x1A),
                                       0x30, 0x00, 0xF0, 0x02, 0x02, 0x00,           0x03, 0x9D};
inline const B SetStartAddress1{ZYL_HEADER_TO_FIXTURE(0x1A),
                                       0x30, 0x00, 0xF0, 0x02, 0x00, 0x01,           0x03, 0x9C};
inline const B SetStartAddress200{ZYL_HEADER_TO_FIXTURE(0x1A),
                                       0x30, 0x00, 0xF0, 0x02, 0x00, 0xC8,           0x04, 0x63};
inline const B SetPersonality0{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x30, 0x00, 0xE0, 0x01, 0x00,                 0x03, 0x89};
inline const B SetPersonality2{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x30, 0x00, 0xE0, 0x01, 0x02,                 0x03, 0x8B};
inline const B SetPersonality3{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x30, 0x00, 0xE0, 0x01, 0x03,                 0x03, 0x8C};
inline const B SetStatusLedOn{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x30, 0x05, 0x01, 0x01, 0xFF,                 0x03, 0xAE};
inline const B SetStatusLedOff{ZYL_HEADER_TO_FIXTURE(0x19),
                                       0x30, 0x05, 0x01, 0x01, 0x00,                 0x02, 0xAF};

#undef ZYL_HEADER_TO_FIXTURE
#undef ZYL_HEADER_BROADCAST
// clang-format on

} // namespace req
