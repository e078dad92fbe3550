// One request and its reply over the cable, judged as the fixture conversation judges every reply:
// complete within 1000 ms and passing the reply check. Reports by result, never by exception.
#pragma once

#include "FTD2XXWrapper.h"
#include "RDM_Lib.h"

#include <string>

// True when a complete reply arrived in time and passed the check with ErrorCode 0. Otherwise
// Response.ErrorCode says why: the check's code, 6 (timeout) when nothing complete came within the
// time, 1 (too short) when collection stopped early without a complete reply.
bool TransactRDMRequest(TFTD2XXWrapper& ftd, int CableIndex, const TRDMCommand& Command,
                        TRDMResponseData& Response);

// "RDM error(<parameter>, <error>)" for a request that failed with Response.ErrorCode.
std::string RDMErrorText(const TRDMCommand& Command, const TRDMResponseData& Response);
