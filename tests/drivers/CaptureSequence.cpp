// One fixed sequence of the cable layer's operations (open, a DMX frame, discovery, reading, writing
// a DMX address and reading it back, a send without reception), then the line capture printed as
// text: direction, bytes, flags and how break and data were sent, never times. Built once beside
// the virtual cable and once beside the libftdi1-based library on the emulated chip, so the two
// printouts must be the same.
#include "FTD2XXWrapper.h"
#include "VirtualCable.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::uint16_t DEVICE_INFO = 0x0060;
constexpr std::uint16_t DISC_UN_MUTE = 0x0003;

int Failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++Failures;
    }
}

std::string Format(const VC_LineFormat& format) {
    return std::to_string(format.baud) + "/" + std::to_string(format.data_bits) +
           std::to_string(format.stop_bits) + std::to_string(format.parity);
}

void PrintCapture() {
    for (int i = 0; i < VC_CaptureCount(); ++i) {
        VC_Packet packet{};
        Check(VC_CaptureGet(i, &packet) == 0, "capture entry");
        std::printf("%s cable %d flags %d break %s data %s length %d:",
                    packet.direction == VC_TO_FIXTURE ? "out" : "in", packet.cable, packet.flags,
                    Format(packet.break_format).c_str(), Format(packet.data_format).c_str(), packet.length);
        const int shown = packet.length < VC_CAPTURE_MAX_BYTES ? packet.length : VC_CAPTURE_MAX_BYTES;
        for (int b = 0; b < shown; ++b)
            std::printf(" %02X", packet.bytes[b]);
        std::printf("\n");
    }
}

} // namespace

int main() {
    VC_Reset();
    VC_SetFastTiming();
    VC_FixtureConfig fixture{};
    Check(VC_GetFixture(0, &fixture) == 0, "fixture 0");
    fixture.busy_after_set_ms = 0; // the read-back follows the write at once
    Check(VC_SetFixture(0, &fixture) == 0, "fixture set-up");
    VC_CaptureClear();
    {
        TFTD2XXWrapper wrapper;
        wrapper.SetDMXStreamDisabled(true); // frames go out only when asked, so both runs match
        Check(wrapper.Initialize(), "binding");
        Check(wrapper.OpenAvailableInterfaceByIndex(0), "opening cable 0");

        TDMXBuffer frame{};
        for (int slot = 0; slot < 512; ++slot)
            frame.Frame.DMXData[slot] = static_cast<std::uint8_t>(slot * 7);
        wrapper.TransmitDMXPackage(0, frame);

        TRDMDiscoveryUniqueBranch branch(NullUID, BroadcastUID);
        branch.Finalize();
        TUID uid{};
        Check(wrapper.DiscoveryCommand(0, branch, uid, 100), "discovery");

        TRDMResponseData response{};
        TRDMCommand deviceInfo(uid, CC_GET_COMMAND, DEVICE_INFO, true);
        Check(wrapper.RDMCommandWithResponse(0, deviceInfo, response, 1000), "DEVICE_INFO");

        TRDMCommand setAddress(uid, CC_SET_COMMAND, PID_DMX_START_ADDRESS, false);
        setAddress.SetWordParam(42, true);
        Check(wrapper.RDMCommandWithResponse(0, setAddress, response, 1000), "SET DMX_START_ADDRESS");

        TRDMCommand getAddress(uid, CC_GET_COMMAND, PID_DMX_START_ADDRESS, true);
        Check(wrapper.RDMCommandWithResponse(0, getAddress, response, 1000), "GET DMX_START_ADDRESS");
        Check(response.ResponseLen >= 26 && response.Raw[24] == 0 && response.Raw[25] == 42,
              "address read back");

        TRDMCommand unmute(BroadcastUID, CC_DISCOVERY_COMMAND, DISC_UN_MUTE, true);
        Check(wrapper.SendRDMCommand(0, &unmute.CommandData(), unmute.MessageLength() + 2, false), "un-mute");
    }
    Check(VC_OpenHandleCount() == 0, "cable closed");
    PrintCapture();
    return Failures == 0 ? 0 : 1;
}
