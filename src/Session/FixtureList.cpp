#include "FixtureList.h"

#include "ReplyDecoding.h"
#include "SessionTransaction.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace {

constexpr int LowestAddress = 1;
constexpr int HighestAddress = 512;

// One GET to the fixture; on failure the row gets the error and nothing is returned.
template <typename TDecode>
auto Get(TFTD2XXWrapper& ftd, int CableIndex, TFixtureListRow& Row, std::uint16_t PID, TDecode Decode)
    -> decltype(Decode(std::declval<const TRDMResponseData&>())) {
    const TRDMCommand request(Row.UID, CC_GET_COMMAND, PID, true);
    TRDMResponseData reply{};
    if (!TransactRDMRequest(ftd, CableIndex, request, reply)) {
        Row.Error = RDMErrorText(request, reply);
        return std::nullopt;
    }
    auto decoded = Decode(reply);
    if (!decoded) {
        reply.ErrorCode = RDM_ERR_TOO_SHORT;
        Row.Error = RDMErrorText(request, reply);
    }
    return decoded;
}

struct TSlots {
    int First = 0;
    int Last = -1; // First > Last: no slots
};

TSlots SlotsOf(const TFixtureListRow& Row) {
    const int start = Row.DMX512StartAdr;
    if (!Row.Read || Row.DMX512Footprint == 0 || start < LowestAddress || start > HighestAddress)
        return {};
    return TSlots{start, start + Row.DMX512Footprint - 1};
}

} // namespace

TFixtureListRow ReadFixtureListRow(TFTD2XXWrapper& ftd, int CableIndex, const TUID& UID) {
    TFixtureListRow row;
    row.UID = UID;
    const auto info = Get(ftd, CableIndex, row, PID_DEVICE_INFO, DecodeDeviceInfo);
    if (!info)
        return row;
    row.DeviceModelID = info->DeviceModelID;
    row.DMX512StartAdr = info->DMX512StartAdr;
    row.DMX512Footprint = info->DMX512Footprint;

    auto supported = Get(ftd, CableIndex, row, PID_SUPPORTED_PARAMETERS, DecodeSupportedParameters);
    if (!supported)
        return row;
    row.SupportedParameters = std::move(*supported);

    const auto& pids = row.SupportedParameters;
    if (std::find(pids.begin(), pids.end(), PID_DEVICE_MODEL_DESCRIPTION) != pids.end()) {
        auto description =
            Get(ftd, CableIndex, row, PID_DEVICE_MODEL_DESCRIPTION, DecodeDeviceModelDescription);
        if (!description)
            return row;
        row.DeviceModelDescription = std::move(*description);
    }
    row.Read = true;
    return row;
}

std::vector<bool> OverlappingFootprints(const std::vector<TFixtureListRow>& Rows) {
    std::vector<bool> overlapping(Rows.size(), false);
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        const TSlots a = SlotsOf(Rows[i]);
        for (std::size_t j = i + 1; j < Rows.size(); ++j) {
            const TSlots b = SlotsOf(Rows[j]);
            if (std::max(a.First, b.First) <= std::min(a.Last, b.Last))
                overlapping[i] = overlapping[j] = true;
        }
    }
    return overlapping;
}

bool SetIdentify(TFTD2XXWrapper& ftd, int CableIndex, const TUID& UID, bool On, std::string& Error) {
    TRDMCommand request(UID, CC_SET_COMMAND, PID_IDENTIFY_DEVICE, false);
    request.SetByteParam(On ? 1 : 0, true);
    TRDMResponseData reply{};
    if (TransactRDMRequest(ftd, CableIndex, request, reply)) {
        Error.clear();
        return true;
    }
    Error = RDMErrorText(request, reply);
    return false;
}

std::string UIDToString(const TUID& UID) {
    char text[16];
    std::snprintf(text, sizeof(text), "%02X%02X:%02X%02X%02X%02X", UID.Bytes[0], UID.Bytes[1], UID.Bytes[2],
                  UID.Bytes[3], UID.Bytes[4], UID.Bytes[5]);
    return text;
}
