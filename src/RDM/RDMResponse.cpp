#include "LineConstants.h"
#include "RDMAssert.h"
#include "RDM_Lib.h"

#include <cstring>

namespace {

constexpr std::int32_t RawSize = sizeof(TRDMResponseData::Raw);
constexpr std::int32_t EncodedUIDSize = RDMLine::DiscoveryEncodedUIDBytes;
constexpr std::int32_t DiscoveryReplySize = RDMLine::DiscoveryReplyLen; // from the separator on
constexpr std::int32_t SeparatorSearchBytes = RDMLine::DiscoverySeparatorSearchBytes;

std::uint8_t ExpectedReplyClass(std::uint8_t RequestClass) {
    switch (RequestClass) {
    case CC_DISCOVERY_COMMAND:
        return CC_DISCOVERY_COMMAND_RESPONSE;
    case CC_GET_COMMAND:
        return CC_GET_COMMAND_RESPONSE;
    case CC_SET_COMMAND:
        return CC_SET_COMMAND_RESPONSE;
    }
    RDM_ASSERT(false, "Unknown CC");
    return 0;
}

} // namespace

bool CheckRDMResponse(const TRDMCommand& Command, TRDMResponseData& Response, std::uint32_t MaxTimeMs) {
    Response.ErrorCode = RDM_ERR_NONE;
    if (Response.ResponseTimeMs > MaxTimeMs) {
        Response.ErrorCode = RDM_ERR_TIMEOUT;
        return false;
    }
    const std::int32_t Len = Response.ResponseLen;
    if (Len < RDM_HEADER_SIZE) {
        Response.ErrorCode = RDM_ERR_TOO_SHORT;
        return false;
    }
    // A length beyond the buffer cannot be a stored reply; its checksum would lie outside Raw.
    if (Len > RawSize) {
        Response.ErrorCode = RDM_ERR_CHECKSUM;
        return false;
    }

    std::uint16_t Sum = 0;
    for (std::int32_t I = 0; I < Len - 2; ++I)
        Sum = static_cast<std::uint16_t>(Sum + Response.Raw[I]);
    const std::uint8_t* Received = &Response.Raw[Len - 2];
    std::uint16_t WireOrder;
    std::memcpy(&WireOrder, Received, sizeof WireOrder);
    Response.ChkSum = WireOrder;
    if (GetBE16(Received) != Sum) {
        Response.ErrorCode = RDM_ERR_CHECKSUM;
        return false;
    }

    const TRDMData& Request = Command.CommandData();
    if (Response.Data.CC != ExpectedReplyClass(Request.CC)) {
        Response.ErrorCode = RDM_ERR_CC;
        return false;
    }
    if (Response.Data.PID[0] != Request.PID[0] || Response.Data.PID[1] != Request.PID[1]) {
        Response.ErrorCode = RDM_ERR_PID;
        return false;
    }

    switch (Response.Data.PortID) {
    case RESPONSE_TYPE_ACK_TIMER:
        RDM_ASSERT(false, "RESPONSE_TYPE_ACK_TIMER not supported");
        break;
    case RESPONSE_TYPE_NACK_REASON:
        Response.ErrorCode = RDM_ERR_NACK; // the reason code is left to the caller
        break;
    case RESPONSE_TYPE_ACK_OVERFLOW:
        RDM_ASSERT(false, "RESPONSE_TYPE_ACK_OVERFLOW not supported");
        break;
    default:
        break;
    }
    return true;
}

bool DecodeDiscoveryResponse(TUID& UID, const TRDMResponseData& Response) {
    UID = NullUID;
    std::int32_t Separator = 0;
    while (Separator < SeparatorSearchBytes && Response.Raw[Separator] != RDM_DISCOVERY_SEPARATOR)
        ++Separator;
    if (Separator == SeparatorSearchBytes)
        return false;
    // Bytes that never arrived read as zero and would make a valid-looking UID 00 00 00 00 00 00.
    if (Response.ResponseLen < Separator + DiscoveryReplySize)
        return false;

    const std::uint8_t* Encoded = &Response.Raw[Separator + 1];
    const std::uint8_t* CheckSum = Encoded + EncodedUIDSize;
    std::uint16_t Sum = 0;
    for (std::int32_t I = 0; I < EncodedUIDSize; ++I)
        Sum = static_cast<std::uint16_t>(Sum + Encoded[I]);
    for (int K = 0; K < 6; ++K)
        UID.Bytes[K] = Encoded[2 * K] & Encoded[2 * K + 1];
    const std::uint16_t Received =
        static_cast<std::uint16_t>((CheckSum[0] & CheckSum[1]) << 8 | (CheckSum[2] & CheckSum[3]));
    return Sum == Received;
}
