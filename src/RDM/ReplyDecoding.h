// The values the tool reads out of the replies it asks a fixture for, one function per reply.
// Each takes a reply that passed CheckRDMResponse and gives its values, or nothing when the reply's
// PDL is shorter than what is read or claims bytes that never arrived: the caller reports that as
// a reply too short. Texts are counted 8-bit texts, converted as RDMTextToString converts them.
#pragma once

#include "RDM_Lib.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TDeviceInfoReply {
    std::uint16_t DeviceModelID = 0;
    TSoftwareVersionID SoftwareVersionId{}; // the four bytes in wire order
    std::uint8_t SensorCount = 0;
    std::uint16_t DMX512Footprint = 0; // slots of the current personality
    std::uint16_t DMX512StartAdr = 0;
    std::uint8_t DMX512PersonalityCurrent = 0; // 1-based
    std::uint8_t DMX512PersonalityTotal = 0;
};

struct TDMXPersonalityReply {
    std::uint8_t CurrentPersonality = 0; // 1-based
    std::uint8_t NoPersonalities = 0;
};

struct TPersonalityDescriptionReply {
    std::uint16_t DMXFootprint = 0;
    std::string Description;
};

std::optional<TDeviceInfoReply> DecodeDeviceInfo(const TRDMResponseData& Response);
// The PIDs in the order the reply lists them; an odd last byte is no PID.
std::optional<std::vector<std::uint16_t>> DecodeSupportedParameters(const TRDMResponseData& Response);
std::optional<std::string> DecodeDeviceModelDescription(const TRDMResponseData& Response);
std::optional<std::string> DecodeSoftwareVersionLabel(const TRDMResponseData& Response);
std::optional<TDMXPersonalityReply> DecodeDMXPersonality(const TRDMResponseData& Response);
std::optional<TPersonalityDescriptionReply> DecodeDMXPersonalityDescription(const TRDMResponseData& Response);
// True for a lit status LED: any value but zero.
std::optional<bool> DecodeStatusLed(const TRDMResponseData& Response);

// The PIDs in the parameter data that actually arrived, however much more the PDL claims.
std::vector<std::uint16_t> SupportedParametersReceived(const TRDMResponseData& Response);
