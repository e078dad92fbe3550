// What the list of fixtures on a line shows for each one, read over the cable, and what the list
// does with it: mark fixtures whose DMX slots overlap, and make one fixture identify itself.
#pragma once

#include "FTD2XXWrapper.h"
#include "RDM_Lib.h"

#include <cstdint>
#include <string>
#include <vector>

struct TFixtureListRow {
    TUID UID{};
    bool Read = false; // every reply below arrived and passed the check
    std::string Error; // "RDM error(<parameter>, <error>)" of the request that failed; empty if Read
    std::uint16_t DeviceModelID = 0;
    std::string DeviceModelDescription; // empty when the fixture does not list DEVICE_MODEL_DESCRIPTION
    std::uint16_t DMX512StartAdr = 0;
    std::uint16_t DMX512Footprint = 0; // slots of the current personality
    std::vector<std::uint16_t> SupportedParameters;
};

// GET DEVICE_INFO, GET SUPPORTED_PARAMETERS and, where listed, GET DEVICE_MODEL_DESCRIPTION. The
// first request that fails ends the reading; the row keeps what was read before it.
TFixtureListRow ReadFixtureListRow(TFTD2XXWrapper& ftd, int CableIndex, const TUID& UID);

// For each row, whether its DMX slots (start address, then footprint slots) share a slot with
// another row's. Rows not read, with no footprint or with no start address (outside 1..512, as the
// 0xFFFF of a fixture without slots) take no slots.
std::vector<bool> OverlappingFootprints(const std::vector<TFixtureListRow>& Rows);

// SET IDENTIFY_DEVICE on or off. False, with Error set, when the fixture did not acknowledge it.
bool SetIdentify(TFTD2XXWrapper& ftd, int CableIndex, const TUID& UID, bool On, std::string& Error);

// "MMMM:DDDDDDDD": manufacturer and device ID in upper-case hexadecimal.
std::string UIDToString(const TUID& UID);
