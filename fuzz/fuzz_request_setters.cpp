// Arbitrary text through the hexadecimal and text setters of a request. A setter either fills the
// parameter area within its bounds and keeps the message length consistent, or refuses: a pair that
// is no hexadecimal number (EConvertError, bytes before it kept) or input too long for the area
// (std::length_error, request unchanged). It never writes past the packet it builds.
#include "FuzzCheck.h"
#include "RDM_Lib.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr TUID kFixture{{0x5A, 0x59, 0x12, 0x34, 0x56, 0x78}};

enum class Setter : std::uint8_t {
    ParamFromHex,
    UIDParamFromString,
    EEpromSetParams,
    AnsiString,
    ZYLSerialNumber,
    Count
};

void Apply(TRDMCommand& command, Setter setter, const std::string& text, std::uint16_t start,
           std::uint8_t count, bool makeFinal) {
    switch (setter) {
    case Setter::ParamFromHex:
        command.SetParamFromHexString(text, makeFinal);
        break;
    case Setter::UIDParamFromString:
        command.SetUIDParamFromString(text, makeFinal);
        break;
    case Setter::EEpromSetParams:
        command.SetEEpromSetParams(start, count, text, makeFinal);
        break;
    case Setter::AnsiString:
        command.SetAnsiString(text, makeFinal);
        break;
    case Setter::ZYLSerialNumber:
        command.SetZYLSerialNumber(text, makeFinal);
        break;
    case Setter::Count:
        break;
    }
}

void RequireZeroFrom(const TRDMData& data, std::size_t first) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&data);
    for (std::size_t i = first; i < sizeof(TRDMData); ++i)
        FUZZ_REQUIRE(bytes[i] == 0, "a setter wrote beyond the packet it built");
}

void RequireConsistentPacket(const TRDMData& data, bool finalized) {
    FUZZ_REQUIRE(data.PDL <= RDM_MAX_PDL, "the parameter data outgrew the message-length byte");
    FUZZ_REQUIRE(data.MesLen == RDM_HEADER_SIZE + data.PDL, "message length and parameter length disagree");
    RequireZeroFrom(data, static_cast<std::size_t>(data.MesLen) + 2);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&data);
    if (finalized) {
        std::uint16_t sum = 0;
        for (std::size_t i = 0; i < data.MesLen; ++i)
            sum = static_cast<std::uint16_t>(sum + bytes[i]);
        FUZZ_REQUIRE(bytes[data.MesLen] == (sum >> 8) && bytes[data.MesLen + 1] == (sum & 0xFF),
                     "the sealed request carries a wrong checksum");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < 4)
        return 0;
    const auto setter = static_cast<Setter>((input[0] & 0x7F) % static_cast<std::uint8_t>(Setter::Count));
    const bool makeFinal = (input[0] & 0x80) != 0;
    const auto start = static_cast<std::uint16_t>((input[1] << 8) | input[2]);
    const std::uint8_t count = input[3];
    const std::string text(reinterpret_cast<const char*>(input + 4), size - 4);

    // Heap-allocated so that a write past the object reaches AddressSanitizer's red zone.
    auto command = std::make_unique<TRDMCommand>(kFixture, 0x30, 0xA101, false);
    TRDMData before;
    std::memcpy(&before, &command->CommandData(), sizeof before);

    try {
        Apply(*command, setter, text, start, count, makeFinal);
    } catch (const EConvertError&) {
        // Bytes parsed before the bad pair stay and the caller discards the request; the lengths
        // may be half updated, but nothing may lie beyond the largest packet there is.
        const TRDMData& data = command->CommandData();
        FUZZ_REQUIRE(data.PDL <= RDM_MAX_PDL, "a refused text outgrew the message-length byte");
        RequireZeroFrom(data, RDM_HEADER_SIZE + RDM_MAX_PDL + 2);
        return 0;
    } catch (const std::length_error&) {
        FUZZ_REQUIRE(std::memcmp(&before, &command->CommandData(), sizeof before) == 0,
                     "a refused text changed the request");
        return 0;
    }
    RequireConsistentPacket(command->CommandData(), makeFinal);
    return 0;
}
