// One RDM responder on a simulated line: a VEK-340 unless configured otherwise. It answers the
// requests addressed to it from its own state, and SETs change that state.
#pragma once

#include "Clock.h"
#include "RdmWire.h"
#include "VirtualCable.h"

namespace vcable {

VC_FixtureConfig defaultFixtureConfig();
// Makes a caller's record safe to use: strings terminated, counts within their arrays.
VC_FixtureConfig sanitizedFixtureConfig(const VC_FixtureConfig& in);
Uid fixtureUid(const VC_FixtureConfig& config);

class Fixture {
  public:
    Fixture(int id, int cable, const VC_FixtureConfig& config);

    int id() const { return id_; }
    int cable() const { return cable_; }
    Uid uid() const { return fixtureUid(config_); }
    const VC_FixtureConfig& config() const { return config_; }
    void setConfig(const VC_FixtureConfig& config) { config_ = sanitizedFixtureConfig(config); }
    bool silent() const { return silent_; }
    void setSilent(bool silent) { silent_ = silent; }

    // While it writes a stored SET to its memory the fixture hears nothing.
    bool busy(Nanos at) const { return at < busyUntil_; }
    // Whether the fixture will answer the request (judged before it acts on it).
    bool willReply(const Request& request) const;
    // Acts on a request the fixture hears at `at` and returns its answer; empty when none is due.
    // `refuse` answers NACK UNKNOWN_PID without acting, for an injected fault.
    Bytes handle(const Request& request, Nanos at, bool refuse = false);

  private:
    bool isAddressedBy(const Uid& destination) const;
    bool inDiscoveryRange(const Request& request) const;
    Bytes handleDiscovery(const Request& request);
    Bytes handleGetSet(const Request& request);
    Bytes ack(const Request& request, const Bytes& data) const;
    Bytes nack(const Request& request, uint16_t reason) const;
    Bytes deviceInfo() const;
    Bytes supportedParameters() const;
    uint16_t currentFootprint() const;
    static Bytes text(const char* value, std::size_t capacity);

    int id_;
    int cable_;
    VC_FixtureConfig config_;
    bool silent_ = false;
    bool identifying_ = false;
    bool stored_ = false; // the request being handled changed a stored setting
    Nanos busyUntil_ = 0;
};

} // namespace vcable
