// Reading a checked reply's parameter data without going past the bytes that actually arrived.
// A reply's PDL is not compared with its length by the response check, so a fixture may claim
// more parameter data than it sent; the bytes behind the received ones are zeros, not data.
#pragma once

#include "RDM_Lib.h"

#include <algorithm>
#include <cstdint>

inline int ReplyPDL(const TRDMResponseData& Response) {
    return Response.Data.PDL;
}

// Bytes between the 24-byte header and the two checksum bytes that end the received reply.
inline int ReplyParameterBytesReceived(const TRDMResponseData& Response) {
    return std::clamp<int>(Response.ResponseLen - RDM_HEADER_SIZE - 2, 0,
                           static_cast<int>(sizeof(Response.Data.Raw)));
}

// True when the reply's PDL covers at least `Needed` bytes and every one of its PDL bytes arrived.
inline bool ReplyHasParameterData(const TRDMResponseData& Response, int Needed) {
    const int pdl = ReplyPDL(Response);
    return pdl >= Needed && pdl <= ReplyParameterBytesReceived(Response);
}

inline std::uint8_t ReplyByte(const TRDMResponseData& Response, int Offset) {
    return Response.Data.Raw[Offset];
}

// Big-endian word at a parameter-data offset.
inline std::uint16_t ReplyWord(const TRDMResponseData& Response, int Offset) {
    return GetBE16(&Response.Data.Raw[Offset]);
}
