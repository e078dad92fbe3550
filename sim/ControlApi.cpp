// The exported VC_ functions with which tests and people steer the virtual cable.
#include "Simulator.h"
#include "VirtualCable.h"

using vcable::Simulator;

extern "C" {

void VC_Reset(void) {
    Simulator::instance().reset();
}
void VC_Clear(void) {
    Simulator::instance().clear();
}
int VC_LoadConfigFile(const char* path) {
    return Simulator::instance().loadConfigFile(path);
}

void VC_SetTiming(const VC_Timing* timing) {
    if (timing)
        Simulator::instance().setTiming(*timing);
}
void VC_GetTiming(VC_Timing* timing) {
    if (timing)
        *timing = Simulator::instance().timing();
}
void VC_SetFastTiming(void) {
    Simulator::instance().setTiming(VC_Timing{0, 0, 0});
}

void VC_DefaultCable(VC_CableConfig* out) {
    if (out)
        *out = vcable::defaultCableConfig();
}
int VC_AddCable(const VC_CableConfig* cable) {
    return cable ? Simulator::instance().addCable(*cable) : -1;
}
int VC_CableCount(void) {
    return Simulator::instance().cableCount();
}
void VC_SetCablePlugged(int cable, int plugged) {
    Simulator::instance().setCablePlugged(cable, plugged != 0);
}
void VC_UnplugBeforeCall(int cable, const char* entryPoint, int calls) {
    if (entryPoint)
        Simulator::instance().unplugBeforeCall(cable, entryPoint, calls);
}
void VC_FailCall(const char* entryPoint, uint32_t status, int count) {
    if (entryPoint)
        Simulator::instance().failCall(entryPoint, status, count);
}
void VC_SetStatusDelay(uint32_t us) {
    Simulator::instance().setStatusDelay(static_cast<vcable::Nanos>(us) * vcable::kMicro);
}

void VC_SetWriteDelay(uint32_t us) {
    Simulator::instance().setWriteDelay(static_cast<vcable::Nanos>(us) * vcable::kMicro);
}
void VC_SetReportedDeviceCount(int64_t count) {
    Simulator::instance().setReportedDeviceCount(count);
}
uint64_t VC_CallCount(const char* entryPoint) {
    return entryPoint ? Simulator::instance().callCount(entryPoint) : 0;
}
int VC_OpenHandleCount(void) {
    return Simulator::instance().openHandleCount();
}
int VC_GetCableSettings(int cable, VC_CableSettings* out) {
    return out ? Simulator::instance().cableSettings(cable, *out) : -1;
}

void VC_DefaultFixture(VC_FixtureConfig* out) {
    if (out)
        *out = vcable::defaultFixtureConfig();
}
int VC_AddFixture(int cable, const VC_FixtureConfig* fixture) {
    return fixture ? Simulator::instance().addFixture(cable, *fixture) : -1;
}
void VC_RemoveFixture(int fixture) {
    Simulator::instance().removeFixture(fixture);
}
int VC_GetFixture(int fixture, VC_FixtureConfig* out) {
    return out ? Simulator::instance().getFixture(fixture, *out) : -1;
}
int VC_SetFixture(int fixture, const VC_FixtureConfig* in) {
    return in ? Simulator::instance().setFixture(fixture, *in) : -1;
}
void VC_SetFixtureSilent(int fixture, int silent) {
    Simulator::instance().setFixtureSilent(fixture, silent != 0);
}

void VC_InjectFault(int fixture, int fault, int cc, int pid, int count) {
    Simulator::instance().injectFault(fixture, fault, cc, pid, count);
}
void VC_ClearFaults(void) {
    Simulator::instance().clearFaults();
}

int VC_CaptureCount(void) {
    return Simulator::instance().captureCount();
}
int VC_CaptureGet(int index, VC_Packet* out) {
    return out ? Simulator::instance().captureGet(index, *out) : -1;
}
void VC_CaptureClear(void) {
    Simulator::instance().captureClear();
}

} // extern "C"
