#include "Fixture.h"

#include <algorithm>
#include <cstring>

namespace vcable {

namespace {

constexpr uint16_t kRdmProtocolVersion = 0x0100;
constexpr uint16_t kProductCategoryFixedFixture = 0x0101;
constexpr std::size_t kMaxTextLength = 32;

void copyText(char* target, std::size_t capacity, const char* text) {
    std::memset(target, 0, capacity);
    std::strncpy(target, text, capacity - 1);
}

void terminate(char* text, std::size_t capacity) {
    text[capacity - 1] = '\0';
}

struct ParameterRule {
    uint16_t pid;
    bool get;
    bool set;
    uint8_t getLength; // parameter data a GET carries
    uint8_t setLength; // parameter data a SET carries
};

constexpr ParameterRule kRules[] = {
    {rdm::kSupportedParameters, true, false, 0, 0},
    {rdm::kDeviceInfo, true, false, 0, 0},
    {rdm::kDeviceModelDescription, true, false, 0, 0},
    {rdm::kSoftwareVersionLabel, true, false, 0, 0},
    {rdm::kDmxPersonality, true, true, 0, 1},
    {rdm::kDmxPersonalityDescription, true, false, 1, 0},
    {rdm::kDmxStartAddress, true, true, 0, 2},
    {rdm::kIdentifyDevice, true, true, 0, 1},
    {rdm::kStatusLed, true, true, 0, 1},
};

} // namespace

VC_FixtureConfig defaultFixtureConfig() {
    VC_FixtureConfig config{};
    const Uid uid = uidFromWord(0x5A59, 0x12345678);
    std::copy(uid.begin(), uid.end(), config.uid);
    config.model_id = 103;
    config.product_category = kProductCategoryFixedFixture;
    config.software_version = 0x020E0000; // 2.14: major, minor, 0, 0
    copyText(config.model_description, sizeof config.model_description, "VEK-340");
    copyText(config.software_label, sizeof config.software_label, "VEK-340 v2.14");
    config.start_address = 1;
    config.current_personality = 1;
    const struct {
        uint16_t footprint;
        const char* name;
    } personalities[] = {
        {4, "RGBW 8-bit"}, {8, "RGBW 16-bit"}, {6, "RGBW + Dimmer + Strobe"}, {3, "HSI"}, {24, "8-Pixel RGB"},
    };
    for (const auto& p : personalities) {
        VC_Personality& target = config.personalities[config.personality_count++];
        target.footprint = p.footprint;
        copyText(target.name, sizeof target.name, p.name);
    }
    config.sensor_count = 0;
    config.supports_model_description = 1;
    config.supports_status_led = 1;
    config.status_led = 0xFF;
    config.muted = 0;
    config.busy_after_set_ms = 2000;
    config.disc_mute = VC_DISC_MUTE_OBEYS;
    return config;
}

VC_FixtureConfig sanitizedFixtureConfig(const VC_FixtureConfig& in) {
    VC_FixtureConfig config = in;
    terminate(config.model_description, sizeof config.model_description);
    terminate(config.software_label, sizeof config.software_label);
    config.personality_count = std::min<uint8_t>(config.personality_count, VC_MAX_PERSONALITIES);
    for (VC_Personality& p : config.personalities)
        terminate(p.name, sizeof p.name);
    config.muted = config.muted ? 1 : 0;
    if (config.disc_mute != VC_DISC_MUTE_IGNORES && config.disc_mute != VC_DISC_MUTE_ANSWERS_ONLY)
        config.disc_mute = VC_DISC_MUTE_OBEYS;
    return config;
}

Uid fixtureUid(const VC_FixtureConfig& config) {
    Uid uid{};
    std::copy_n(config.uid, 6, uid.begin());
    return uid;
}

Fixture::Fixture(int id, int cable, const VC_FixtureConfig& config)
    : id_(id), cable_(cable), config_(sanitizedFixtureConfig(config)) {}

bool Fixture::isAddressedBy(const Uid& destination) const {
    const Uid own = uid();
    if (destination == own)
        return true;
    const bool allDevices =
        std::all_of(destination.begin() + 2, destination.end(), [](uint8_t b) { return b == 0xFF; });
    if (!allDevices)
        return false;
    const bool anyManufacturer = destination[0] == 0xFF && destination[1] == 0xFF;
    return anyManufacturer || (destination[0] == own[0] && destination[1] == own[1]);
}

bool Fixture::inDiscoveryRange(const Request& request) const {
    Uid lower{};
    Uid upper{};
    std::copy_n(request.data.begin(), 6, lower.begin());
    std::copy_n(request.data.begin() + 6, 6, upper.begin());
    const uint64_t value = uidValue(uid());
    return uidValue(lower) <= value && value <= uidValue(upper);
}

bool Fixture::willReply(const Request& request) const {
    if (silent_ || !isAddressedBy(request.destination))
        return false;
    const bool toMe = request.destination == uid();
    switch (request.commandClass) {
    case rdm::kDiscoveryCommand:
        if (request.pid == rdm::kDiscUniqueBranch)
            return request.data.size() == 12 && !config_.muted && inDiscoveryRange(request);
        if (request.pid == rdm::kDiscMute && config_.disc_mute == VC_DISC_MUTE_IGNORES)
            return false;
        if (request.pid == rdm::kDiscMute || request.pid == rdm::kDiscUnMute)
            return request.data.empty() && toMe;
        return false;
    case rdm::kGetCommand:
    case rdm::kSetCommand:
        return toMe;
    default:
        return false;
    }
}

Bytes Fixture::handle(const Request& request, Nanos at, bool refuse) {
    if (!isAddressedBy(request.destination))
        return {};
    const bool reply = willReply(request);
    if (refuse)
        return reply ? nack(request, rdm::kNackUnknownPid) : Bytes{};
    stored_ = false;
    Bytes answer =
        request.commandClass == rdm::kDiscoveryCommand ? handleDiscovery(request) : handleGetSet(request);
    if (stored_)
        busyUntil_ = at + static_cast<Nanos>(config_.busy_after_set_ms) * kMilli;
    return reply ? answer : Bytes{};
}

Bytes Fixture::handleDiscovery(const Request& request) {
    switch (request.pid) {
    case rdm::kDiscUniqueBranch:
        if (request.data.size() != 12 || config_.muted || !inDiscoveryRange(request))
            return {};
        return encodeDiscoveryReply(uid());
    case rdm::kDiscMute:
    case rdm::kDiscUnMute: {
        if (!request.data.empty())
            return {};
        const bool mute = request.pid == rdm::kDiscMute;
        if (!mute || config_.disc_mute == VC_DISC_MUTE_OBEYS)
            config_.muted = mute ? 1 : 0;
        Bytes controlField;
        appendWord(controlField, 0x0000);
        return ack(request, controlField);
    }
    default:
        return {};
    }
}

Bytes Fixture::handleGetSet(const Request& request) {
    const bool isSet = request.commandClass == rdm::kSetCommand;
    if (request.commandClass != rdm::kGetCommand && !isSet)
        return {};
    if (request.subDevice != rdm::kRootDevice && !(isSet && request.subDevice == rdm::kAllSubDevices))
        return nack(request, rdm::kNackSubDeviceOutOfRange);

    const ParameterRule* rule = nullptr;
    for (const ParameterRule& r : kRules)
        if (r.pid == request.pid)
            rule = &r;
    const bool listed = rule &&
                        (rule->pid != rdm::kDeviceModelDescription || config_.supports_model_description) &&
                        (rule->pid != rdm::kStatusLed || config_.supports_status_led);
    if (!listed)
        return nack(request, rdm::kNackUnknownPid);
    if (isSet ? !rule->set : !rule->get)
        return nack(request, rdm::kNackUnsupportedCommandClass);
    if (request.data.size() != (isSet ? rule->setLength : rule->getLength))
        return nack(request, rdm::kNackFormatError);

    const uint8_t* data = request.data.data();
    switch (request.pid) {
    case rdm::kSupportedParameters:
        return ack(request, supportedParameters());
    case rdm::kDeviceInfo:
        return ack(request, deviceInfo());
    case rdm::kDeviceModelDescription:
        return ack(request, text(config_.model_description, sizeof config_.model_description));
    case rdm::kSoftwareVersionLabel:
        return ack(request, text(config_.software_label, sizeof config_.software_label));
    case rdm::kDmxPersonality:
        if (!isSet)
            return ack(request, {config_.current_personality, config_.personality_count});
        if (data[0] == 0 || data[0] > config_.personality_count)
            return nack(request, rdm::kNackDataOutOfRange);
        config_.current_personality = data[0];
        stored_ = true;
        return ack(request, {});
    case rdm::kDmxPersonalityDescription: {
        if (data[0] == 0 || data[0] > config_.personality_count)
            return nack(request, rdm::kNackDataOutOfRange);
        const VC_Personality& p = config_.personalities[data[0] - 1];
        Bytes answer{data[0]};
        appendWord(answer, p.footprint);
        const Bytes name = text(p.name, sizeof p.name);
        answer.insert(answer.end(), name.begin(), name.end());
        return ack(request, answer);
    }
    case rdm::kDmxStartAddress: {
        if (!isSet) {
            Bytes answer;
            appendWord(answer, config_.start_address);
            return ack(request, answer);
        }
        const uint16_t address = readWord(data);
        if (address < 1 || address > 512)
            return nack(request, rdm::kNackDataOutOfRange);
        config_.start_address = address;
        stored_ = true;
        return ack(request, {});
    }
    case rdm::kIdentifyDevice:
        if (!isSet)
            return ack(request, {static_cast<uint8_t>(identifying_ ? 1 : 0)});
        if (data[0] > 1)
            return nack(request, rdm::kNackDataOutOfRange);
        identifying_ = data[0] == 1;
        return ack(request, {});
    case rdm::kStatusLed:
        if (!isSet)
            return ack(request, {config_.status_led});
        if (data[0] != 0x00 && data[0] != 0xFF)
            return nack(request, rdm::kNackDataOutOfRange);
        config_.status_led = data[0];
        stored_ = true;
        return ack(request, {});
    default:
        return nack(request, rdm::kNackUnknownPid);
    }
}

Bytes Fixture::ack(const Request& request, const Bytes& data) const {
    return buildReply(request, uid(), rdm::kResponseAck, data);
}

Bytes Fixture::nack(const Request& request, uint16_t reason) const {
    Bytes data;
    appendWord(data, reason);
    return buildReply(request, uid(), rdm::kResponseNack, data);
}

uint16_t Fixture::currentFootprint() const {
    const uint8_t current = config_.current_personality;
    if (current == 0 || current > config_.personality_count)
        return 0;
    return config_.personalities[current - 1].footprint;
}

Bytes Fixture::deviceInfo() const {
    Bytes info;
    appendWord(info, kRdmProtocolVersion);
    appendWord(info, config_.model_id);
    appendWord(info, config_.product_category);
    appendWord(info, static_cast<uint16_t>(config_.software_version >> 16));
    appendWord(info, static_cast<uint16_t>(config_.software_version & 0xFFFF));
    appendWord(info, currentFootprint());
    info.push_back(config_.current_personality);
    info.push_back(config_.personality_count);
    appendWord(info, config_.start_address);
    appendWord(info, 0); // no sub-devices
    info.push_back(config_.sensor_count);
    return info;
}

Bytes Fixture::supportedParameters() const {
    // Only what E1.20 does not already require of every responder.
    Bytes list;
    if (config_.supports_model_description)
        appendWord(list, rdm::kDeviceModelDescription);
    appendWord(list, rdm::kDmxPersonality);
    appendWord(list, rdm::kDmxPersonalityDescription);
    if (config_.supports_status_led)
        appendWord(list, rdm::kStatusLed);
    return list;
}

Bytes Fixture::text(const char* value, std::size_t capacity) {
    const std::size_t length = std::min({std::strlen(value), capacity - 1, kMaxTextLength});
    return Bytes(value, value + length);
}

} // namespace vcable
