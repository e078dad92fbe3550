// What the tool knows about the one fixture it is connected to: its UID, the DEVICE_INFO values,
// model description, firmware label, the DMX personalities with their footprints and the PIDs it
// supports. The session creates a fresh record at every discovery attempt and fills it. Texts are
// UTF-8; the window converts them for display.
#pragma once

#include "RDM_Lib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TPersonalityDescription {
  public:
    std::uint16_t DMX512SlotsRequired = 0;
    std::string Description;
};

// Owns its entries: clearing or destroying the list destroys them. Entry k describes personality k + 1.
class TPersonalityDescriptionList : public std::vector<std::unique_ptr<TPersonalityDescription>> {};

// PIDs in the order of their first appearance, without repeats (filled by AddSupportedParameters).
class TSupportedParameterList : public std::vector<std::uint16_t> {};

class TRDMFixture {
  public:
    TUID UID{};
    std::uint16_t DeviceModelID = 0;
    TSoftwareVersionID SoftwareVersionId{}; // the four DEVICE_INFO bytes in wire order
    std::int32_t SensorCount = 0;
    std::string DeviceModelDescription;
    std::uint16_t DMX512StartAdr = 0;
    std::uint8_t DMX512PersonalityCurrent = 0; // 1-based
    std::uint8_t DMX512PersonalityTotal = 0;
    std::string FirmwareLabel;
    TPersonalityDescriptionList fPersonalityDescriptionList;
    TSupportedParameterList fSupportedParameterList;

    bool SupportsParameter(std::uint16_t P) const;
    // Merges the big-endian PIDs of a SUPPORTED_PARAMETERS reply; an odd last byte is ignored, and
    // so is anything the reply's PDL claims beyond the bytes actually received.
    void AddSupportedParameters(const TRDMResponseData& Response);
    // Merges PIDs in host order.
    void AddSupportedParameters(const std::vector<std::uint16_t>& PIDs);
    void AddPersonalityDescription(std::uint16_t FootPrint, const std::string& Text);
};
