#include "RDMFixture.h"

#include "ReplyData.h"

#include <algorithm>

bool TRDMFixture::SupportsParameter(std::uint16_t P) const {
    return std::find(fSupportedParameterList.begin(), fSupportedParameterList.end(), P) !=
           fSupportedParameterList.end();
}

void TRDMFixture::AddSupportedParameters(const TRDMResponseData& Response) {
    const int usable = std::min<int>(ReplyPDL(Response), ReplyParameterBytesReceived(Response));
    const int count = usable / 2;
    for (int k = 0; k < count; ++k) {
        const std::uint16_t pid = ReplyWord(Response, 2 * k);
        if (!SupportsParameter(pid)) {
            fSupportedParameterList.push_back(pid);
        }
    }
}

void TRDMFixture::AddPersonalityDescription(std::uint16_t FootPrint, const QString& Text) {
    auto& entry = fPersonalityDescriptionList.emplace_back(std::make_unique<TPersonalityDescription>());
    entry->DMX512SlotsRequired = FootPrint;
    entry->Description = Text;
}
