#include "SessionTransaction.h"

#include "SessionTimings.h"

bool TransactRDMRequest(TFTD2XXWrapper& ftd, int CableIndex, const TRDMCommand& Command,
                        TRDMResponseData& Response) {
    const bool complete =
        ftd.RDMCommandWithResponse(CableIndex, Command, Response, SessionTimings::ReplyTimeoutMs);
    if (complete)
        CheckRDMResponse(Command, Response, SessionTimings::ReplyTimeoutMs);
    else if (Response.ResponseTimeMs > SessionTimings::ReplyTimeoutMs)
        Response.ErrorCode = RDM_ERR_TIMEOUT;
    else // stopped early (no length byte, or more than the collector keeps): no answer to rely on
        Response.ErrorCode = RDM_ERR_TOO_SHORT;
    return Response.ErrorCode == RDM_ERR_NONE;
}

std::string RDMErrorText(const TRDMCommand& Command, const TRDMResponseData& Response) {
    // A finalized request holds its PID in wire order.
    const std::uint16_t pid = GetBE16(Command.CommandData().PID);
    return "RDM error(" + RDMPIDToString(pid) + ", " + RDMErrorToString(Response) + ")";
}
