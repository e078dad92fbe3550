#include "RDMFixture.h"

#include "ReplyDecoding.h"

#include <algorithm>

bool TRDMFixture::SupportsParameter(std::uint16_t P) const {
    return std::find(fSupportedParameterList.begin(), fSupportedParameterList.end(), P) !=
           fSupportedParameterList.end();
}

void TRDMFixture::AddSupportedParameters(const TRDMResponseData& Response) {
    AddSupportedParameters(SupportedParametersReceived(Response));
}

void TRDMFixture::AddSupportedParameters(const std::vector<std::uint16_t>& PIDs) {
    for (const std::uint16_t pid : PIDs) {
        if (!SupportsParameter(pid)) {
            fSupportedParameterList.push_back(pid);
        }
    }
}

void TRDMFixture::AddPersonalityDescription(std::uint16_t FootPrint, const std::string& Text) {
    auto& entry = fPersonalityDescriptionList.emplace_back(std::make_unique<TPersonalityDescription>());
    entry->DMX512SlotsRequired = FootPrint;
    entry->Description = Text;
}
