// Arbitrary bytes as the reply to DISC_UNIQUE_BRANCH. Whatever arrives, decoding reads only the
// record it is given and accepts a UID only from a complete reply whose checksum matches.
#include "FuzzCheck.h"
#include "LineConstants.h"
#include "RDM_Lib.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kEncodedBytes = RDMLine::DiscoveryReplyLen - 1; // after the separator
constexpr std::size_t kLastSeparatorIndex = RDMLine::DiscoverySeparatorSearchBytes - 1;

int SeparatorIndex(const std::uint8_t* raw, std::size_t len) {
    for (std::size_t i = 0; i < len && i <= kLastSeparatorIndex; ++i)
        if (raw[i] == RDM_DISCOVERY_SEPARATOR)
            return static_cast<int>(i);
    return -1;
}

bool ChecksumMatches(const std::uint8_t* encoded) {
    std::uint16_t sum = 0;
    for (int i = 0; i < 12; ++i)
        sum = static_cast<std::uint16_t>(sum + encoded[i]);
    const std::uint16_t received =
        static_cast<std::uint16_t>(((encoded[12] & encoded[13]) << 8) | (encoded[14] & encoded[15]));
    return sum == received;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // On the heap, exactly sized, so that a read past the record hits AddressSanitizer's red zone.
    auto response = std::make_unique<TRDMResponseData>();
    std::memset(response.get(), 0, sizeof(TRDMResponseData));
    const std::size_t len = std::min(size, sizeof(response->Raw));
    std::memcpy(response->Raw, data, len);
    response->ResponseLen = static_cast<std::int32_t>(len);

    TUID uid{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};
    const bool accepted = DecodeDiscoveryResponse(uid, *response);

    const int separator = SeparatorIndex(response->Raw, len);
    if (separator < 0) {
        FUZZ_REQUIRE(!accepted, "a reply without separator in its first eight bytes was accepted");
        FUZZ_REQUIRE(uid == NullUID, "a reply without separator left a UID other than NullUID");
        return 0;
    }
    if (accepted) {
        const std::size_t first = static_cast<std::size_t>(separator) + 1;
        FUZZ_REQUIRE(len >= first + kEncodedBytes, "an incomplete discovery reply was accepted");
        FUZZ_REQUIRE(ChecksumMatches(response->Raw + first), "a reply with a wrong checksum was accepted");
        for (int k = 0; k < 6; ++k)
            FUZZ_REQUIRE(uid.Bytes[k] == (response->Raw[first + 2 * k] & response->Raw[first + 2 * k + 1]),
                         "the accepted UID is not the one the reply encodes");
    }
    return 0;
}
