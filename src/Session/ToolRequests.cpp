#include "ToolRequests.h"

#include <cstring>
#include <stdexcept>
#include <string>

const TToolRequest& ToolRequestNamed(const char* name) {
    for (const TToolRequest& request : kToolRequests)
        if (std::strcmp(request.name, name) == 0)
            return request;
    throw std::out_of_range(std::string("no tool request named ") + name);
}

std::unique_ptr<TRDMCommand> BuildToolRequest(const TToolRequest& Request, const TUID& UID,
                                              std::uint16_t Param) {
    // A request with parameter data is sealed by its setter, one without by its constructor.
    auto command = std::make_unique<TRDMCommand>(UID, Request.cc, Request.pid, Request.paramBytes == 0);
    if (Request.paramBytes == 1)
        command->SetByteParam(static_cast<std::uint8_t>(Param), true);
    else if (Request.paramBytes == 2)
        command->SetWordParam(Param, true);
    return command;
}

std::unique_ptr<TRDMCommand> BuildToolRequest(const TToolRequest& Request, const TUID& UID) {
    return BuildToolRequest(Request, UID, Request.param);
}

std::unique_ptr<TRDMCommand> BuildToolRequest(TToolRequestKind Kind, const TUID& UID, std::uint16_t Param) {
    return BuildToolRequest(ToolRequestOf(Kind), UID, Param);
}

std::unique_ptr<TRDMCommand> BuildToolRequest(TToolRequestKind Kind, const TUID& UID) {
    return BuildToolRequest(ToolRequestOf(Kind), UID);
}

std::unique_ptr<TRDMCommand> BuildUnMuteAll() {
    return BuildToolRequest(TToolRequestKind::Poll, BroadcastUID);
}

std::unique_ptr<TRDMDiscoveryUniqueBranch> BuildDiscoveryOfAll() {
    auto discovery = std::make_unique<TRDMDiscoveryUniqueBranch>(NullUID, BroadcastUID);
    discovery->Finalize();
    return discovery;
}
