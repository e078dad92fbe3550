// Writes the fuzzers' initial inputs from what the virtual fixture really sends: each request the
// tool sends is put to the fixture through the cable layer, plainly and with each reply fault of
// the virtual cable, and the replies are taken from the line capture and from the reply record.
//
//   make_corpora <corpus folder>
//
// Files are named fixture-<request>-<fault>[-<variant>]; other files in the folders (inputs kept
// for found bugs) are left alone.
#include "FTD2XXWrapper.h"
#include "RDM_Lib.h"
#include "ToolRequests.h"
#include "VirtualCable.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kCable = 0;
constexpr int kFixture = 0;
constexpr std::uint32_t kReplyTimeoutMs = 60; // replies are readable at once; only faulty ones wait
constexpr int kDiscoveryTimeoutMs = 60;

struct FaultCase {
    int fault;
    const char* name;
};

// Faults whose replies reach the controller in time (slow and silent ones bring no bytes).
constexpr FaultCase kFaults[] = {
    {VC_FAULT_NONE, "ok"},
    {VC_FAULT_NACK, "nack"},
    {VC_FAULT_WRONG_CHECKSUM, "wrong-checksum"},
    {VC_FAULT_SHORT_REPLY, "short"},
    {VC_FAULT_WRONG_CC, "wrong-cc"},
    {VC_FAULT_WRONG_PID, "wrong-pid"},
    {VC_FAULT_ACK_TIMER, "ack-timer"},
    {VC_FAULT_ACK_OVERFLOW, "ack-overflow"},
    {VC_FAULT_LENGTH_ZERO, "length-zero"},
    {VC_FAULT_STRAY_BYTES, "stray-bytes"},
};

constexpr FaultCase kDiscoveryFaults[] = {
    {VC_FAULT_NONE, "ok"},
    {VC_FAULT_COLLISION, "collision"},
    {VC_FAULT_WRONG_CHECKSUM, "wrong-checksum"},
    {VC_FAULT_SHORT_REPLY, "short"},
    {VC_FAULT_STRAY_BYTES, "stray-bytes"},
};

struct Variant {
    const char* name;
    void (*change)(VC_FixtureConfig&);
};

const Variant kVariants[] = {
    {"", [](VC_FixtureConfig&) {}},
    {"bare",
     [](VC_FixtureConfig& c) {
         c.supports_model_description = 0;
         c.supports_status_led = 0;
         c.personality_count = 0;
         c.current_personality = 0;
     }},
    {"led-on", [](VC_FixtureConfig& c) { c.status_led = 0xFF; }},
};

class CorpusWriter {
  public:
    explicit CorpusWriter(fs::path root) : fRoot(std::move(root)) {}

    void Write(const char* target, const std::string& name, const Bytes& bytes) {
        const fs::path folder = fRoot / target;
        fs::create_directories(folder);
        std::ofstream out(folder / ("fixture-" + name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ++fWritten;
    }
    int Written() const { return fWritten; }

  private:
    fs::path fRoot;
    int fWritten = 0;
};

Bytes Cat(std::initializer_list<std::uint8_t> head, const Bytes& tail) {
    Bytes out(head);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

Bytes FromFixture() {
    Bytes stream;
    VC_Packet packet;
    for (int i = 0; i < VC_CaptureCount(); ++i)
        if (VC_CaptureGet(i, &packet) == 0 && packet.direction == VC_FROM_FIXTURE)
            stream.insert(stream.end(), packet.bytes, packet.bytes + packet.length);
    return stream;
}

std::string Hex(const Bytes& bytes, bool prefix) {
    static const char* digits = "0123456789ABCDEF";
    std::string text = prefix ? "0x" : "";
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

TUID FixtureUID() {
    VC_FixtureConfig config;
    VC_GetFixture(kFixture, &config);
    TUID uid{};
    std::memcpy(uid.Bytes, config.uid, sizeof uid.Bytes);
    return uid;
}

std::string Stem(const char* request, const FaultCase& fault, const Variant& variant) {
    std::string stem = std::string(request) + "-" + fault.name;
    if (*variant.name)
        stem += std::string("-") + variant.name;
    return stem;
}

// Reply check (byte 0: request, byte 1: reply time, then the stored reply) and reply collector
// (byte 0: transaction, then the bytes on the line).
void RequestReplies(TFTD2XXWrapper& wrapper, const Variant& variant, CorpusWriter& out) {
    const TUID uid = FixtureUID();
    for (std::size_t r = 0; r < kToolRequestCount; ++r) {
        const TToolRequest& request = kToolRequests[r];
        for (const FaultCase& fault : kFaults) {
            if (*variant.name && fault.fault != VC_FAULT_NONE)
                continue;
            VC_ClearFaults();
            if (fault.fault != VC_FAULT_NONE)
                VC_InjectFault(kFixture, fault.fault, request.cc, request.pid, 1);
            VC_CaptureClear();
            auto command = BuildToolRequest(request, uid);
            TRDMResponseData response;
            wrapper.RDMCommandWithResponse(kCable, *command, response, kReplyTimeoutMs);
            const std::string stem = Stem(request.name, fault, variant);
            const Bytes stored(response.Raw, response.Raw + response.ResponseLen);
            out.Write("reply_check", stem, Cat({static_cast<std::uint8_t>(r), 0}, stored));
            out.Write("reply_collector", stem, Cat({static_cast<std::uint8_t>(r << 1)}, FromFixture()));
            if (fault.fault == VC_FAULT_NONE && response.ResponseLen > 26) {
                // The parameter data as text, and the whole reply in hexadecimal, for the setters.
                const Bytes data(response.Raw + 24, response.Raw + response.ResponseLen - 2);
                const std::string text(data.begin(), data.end());
                out.Write("request_setters", stem + "-text",
                          Cat({3, 0, 0, 0}, Bytes(text.begin(), text.end())));
                out.Write("request_setters", stem + "-serial",
                          Cat({0x84, 0, 0, 0}, Bytes(text.begin(), text.end())));
                const std::string hex = Hex(data, r % 2 == 0);
                out.Write("request_setters", stem + "-hex",
                          Cat({0x80, 0, 0, 0}, Bytes(hex.begin(), hex.end())));
                out.Write("request_setters", stem + "-eeprom",
                          Cat({2, 0x01, 0x00, static_cast<std::uint8_t>(data.size())},
                              Bytes(hex.begin(), hex.end())));
            }
        }
    }
    VC_ClearFaults();
    const std::string uidHex = Hex(Bytes(uid.Bytes, uid.Bytes + 6), true);
    out.Write("request_setters", std::string("uid") + (*variant.name ? "-" : "") + variant.name,
              Cat({0x81, 0, 0, 0}, Bytes(uidHex.begin(), uidHex.end())));
}

// Discovery decoding (the reply as stored from its separator on, and as it stands on the line)
// and the reply collector's discovery transaction (odd byte 0).
void DiscoveryReplies(TFTD2XXWrapper& wrapper, CorpusWriter& out) {
    for (const FaultCase& fault : kDiscoveryFaults) {
        VC_ClearFaults();
        if (fault.fault != VC_FAULT_NONE)
            VC_InjectFault(kFixture, fault.fault, 0x10, 0x0001, 1);
        VC_CaptureClear();
        TUID uid{};
        wrapper.DiscoveryCommand(kCable, *BuildDiscoveryOfAll(), uid, kDiscoveryTimeoutMs);
        const Bytes line = FromFixture();
        Bytes stored = line;
        while (!stored.empty() && stored.front() != RDM_DISCOVERY_SEPARATOR)
            stored.erase(stored.begin());
        const std::string stem = std::string("discovery-") + fault.name;
        out.Write("discovery_decode", stem + "-line", line);
        out.Write("discovery_decode", stem + "-stored", stored);
        out.Write("reply_collector", stem, Cat({1}, line));
    }
    VC_ClearFaults();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    CorpusWriter out{fs::path(argv[1])};

    VC_Reset();
    VC_SetFastTiming();
    TFTD2XXWrapper wrapper;
    wrapper.SetDMXStreamDisabled(true);
    if (!wrapper.Initialize() || !wrapper.OpenAvailableInterfaceByIndex(kCable)) {
        std::fprintf(stderr, "the virtual cable did not open: %s\n", wrapper.LastDLLErrorString().c_str());
        return 1;
    }

    VC_FixtureConfig original;
    VC_GetFixture(kFixture, &original);
    original.busy_after_set_ms = 0; // each request answered, also right after a SET
    for (const Variant& variant : kVariants) {
        VC_FixtureConfig config = original;
        variant.change(config);
        VC_SetFixture(kFixture, &config);
        RequestReplies(wrapper, variant, out);
    }
    VC_SetFixture(kFixture, &original);
    DiscoveryReplies(wrapper, out);

    std::printf("%d files written to %s\n", out.Written(), argv[1]);
    return 0;
}
