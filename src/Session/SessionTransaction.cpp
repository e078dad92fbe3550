#include "SessionTransaction.h"

#include "LineConstants.h"

bool TransactRDMRequest(TFTD2XXWrapper& ftd, int CableIndex, const TRDMCommand& Command,
                        TRDMResponseData& Response) {
    const bool complete = ftd.RDMCommandWithResponse(CableIndex, Command, Response, RDMLine::ReplyTimeoutMs);
    if (complete)
        CheckRDMResponse(Command, Response, RDMLine::ReplyTimeoutMs);
    else if (Response.ResponseTimeMs > RDMLine::ReplyTimeoutMs)
        Response.ErrorCode = RDM_ERR_TIMEOUT;
    else
        Response.ErrorCode = RDM_ERR_TOO_SHORT; // stopped early: no answer to rely on
    return Response.ErrorCode == RDM_ERR_NONE;
}

std::string RDMErrorText(const TRDMCommand& Command, const TRDMResponseData& Response) {
    // A finalized request holds its PID in wire order.
    const std::uint16_t pid = GetBE16(Command.CommandData().PID);
    return "RDM error(" + RDMPIDToString(pid) + ", " + RDMErrorToString(Response) + ")";
}
