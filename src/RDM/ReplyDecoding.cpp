#include "ReplyDecoding.h"

#include "ReplyData.h"

#include <algorithm>

namespace {

// A personality description is the personality number and the footprint, then its text.
constexpr int PersonalityDescriptionTextOffset = 3;

std::string ReplyText(const TRDMResponseData& Response, int Offset, int Length) {
    return RDMTextToString(&Response.Data.Raw[Offset], Length);
}

} // namespace

std::optional<TDeviceInfoReply> DecodeDeviceInfo(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, sizeof(TRDMData_DeviceInfoResponse)))
        return std::nullopt;
    const TRDMData_DeviceInfoResponse& info = Response.Data.DeviceInfoResponse;
    TDeviceInfoReply reply;
    reply.DeviceModelID = GetBE16(info.DeviceModelID);
    reply.SoftwareVersionId = info.SoftwareVersionId;
    reply.SensorCount = info.SensorCount;
    reply.DMX512Footprint = GetBE16(info.DMX512Footprint);
    reply.DMX512StartAdr = GetBE16(info.DMX512StartAdr);
    reply.DMX512PersonalityCurrent = info.DMX512PersonalityCurrent;
    reply.DMX512PersonalityTotal = info.DMX512PersonalityTotal;
    return reply;
}

std::vector<std::uint16_t> SupportedParametersReceived(const TRDMResponseData& Response) {
    const int usable = std::min(ReplyPDL(Response), ReplyParameterBytesReceived(Response));
    std::vector<std::uint16_t> pids;
    for (int k = 0; k < usable / 2; ++k)
        pids.push_back(ReplyWord(Response, 2 * k));
    return pids;
}

std::optional<std::vector<std::uint16_t>> DecodeSupportedParameters(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, 0))
        return std::nullopt;
    return SupportedParametersReceived(Response);
}

std::optional<std::string> DecodeDeviceModelDescription(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, 0))
        return std::nullopt;
    return ReplyText(Response, 0, ReplyPDL(Response));
}

std::optional<std::string> DecodeSoftwareVersionLabel(const TRDMResponseData& Response) {
    return DecodeDeviceModelDescription(Response); // the same counted text
}

std::optional<TDMXPersonalityReply> DecodeDMXPersonality(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, sizeof(TRDMData_DMXPersonalityGet)))
        return std::nullopt;
    return TDMXPersonalityReply{Response.Data.DMXPersonalityGet.CurrentPersonality,
                                Response.Data.DMXPersonalityGet.NoPersonalities};
}

std::optional<TPersonalityDescriptionReply>
DecodeDMXPersonalityDescription(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, PersonalityDescriptionTextOffset))
        return std::nullopt;
    return TPersonalityDescriptionReply{GetBE16(Response.Data.DMXPersonalityDescriptionResponse.DMXFootprint),
                                        ReplyText(Response, PersonalityDescriptionTextOffset,
                                                  ReplyPDL(Response) - PersonalityDescriptionTextOffset)};
}

std::optional<bool> DecodeStatusLed(const TRDMResponseData& Response) {
    if (!ReplyHasParameterData(Response, 1))
        return std::nullopt;
    return ReplyByte(Response, 0) != 0;
}
