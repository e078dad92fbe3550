// Reads the JSON description of cables, fixtures and timing (format in README.md).
#include "Simulator.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <stdexcept>

namespace vcable {

namespace {

using nlohmann::json;

struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void allowOnly(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
    if (!object.is_object())
        throw ConfigError(where + " must be an object");
    const std::set<std::string> known(keys.begin(), keys.end());
    for (const auto& item : object.items())
        if (!known.count(item.key()))
            throw ConfigError("unknown key \"" + item.key() + "\" in " + where);
}

// A number as a JSON number or as a text in decimal or with a 0x prefix.
uint64_t readNumber(const json& value, const std::string& what, uint64_t maximum) {
    uint64_t number = 0;
    if (value.is_number_unsigned()) {
        number = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        throw ConfigError(what + " must not be negative");
    } else if (value.is_string()) {
        const std::string text = value.get<std::string>();
        std::size_t used = 0;
        try {
            number = std::stoull(text, &used, 0);
        } catch (const std::exception&) {
            used = 0;
        }
        if (text.empty() || used != text.size())
            throw ConfigError(what + " is not a number: \"" + text + "\"");
    } else {
        throw ConfigError(what + " must be a number");
    }
    if (number > maximum)
        throw ConfigError(what + " is too large");
    return number;
}

template <typename T>
void readField(const json& object, const char* key, T& target, const std::string& where) {
    if (object.contains(key))
        target = static_cast<T>(readNumber(object[key], where + "." + key, std::numeric_limits<T>::max()));
}

void readFlag(const json& object, const char* key, int& target, const std::string& where) {
    if (!object.contains(key))
        return;
    if (!object[key].is_boolean())
        throw ConfigError(where + "." + key + " must be true or false");
    target = object[key].get<bool>() ? 1 : 0;
}

void readText(const json& object, const char* key, char* target, std::size_t capacity, std::size_t maxLength,
              const std::string& where) {
    if (!object.contains(key))
        return;
    if (!object[key].is_string())
        throw ConfigError(where + "." + key + " must be a text");
    const std::string text = object[key].get<std::string>();
    if (text.size() > maxLength)
        throw ConfigError(where + "." + key + " is longer than " + std::to_string(maxLength) + " characters");
    std::memset(target, 0, capacity);
    std::memcpy(target, text.data(), text.size());
}

Uid readUid(const json& value, const std::string& where) {
    // "5A59:12345678": manufacturer and device ID in hexadecimal.
    const std::string text = value.is_string() ? value.get<std::string>() : std::string();
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        throw ConfigError(where + ".uid must look like \"5A59:12345678\"");
    const uint64_t manufacturer = readNumber(json("0x" + text.substr(0, colon)), where + ".uid", 0xFFFF);
    const uint64_t device = readNumber(json("0x" + text.substr(colon + 1)), where + ".uid", 0xFFFFFFFF);
    return uidFromWord(static_cast<uint16_t>(manufacturer), static_cast<uint32_t>(device));
}

int readDiscMute(const json& value, const std::string& where) {
    const std::string text = value.is_string() ? value.get<std::string>() : std::string();
    if (text == "obeys")
        return VC_DISC_MUTE_OBEYS;
    if (text == "ignores")
        return VC_DISC_MUTE_IGNORES;
    if (text == "answers only")
        return VC_DISC_MUTE_ANSWERS_ONLY;
    throw ConfigError(where + ".disc_mute must be \"obeys\", \"ignores\" or \"answers only\"");
}

VC_FixtureConfig readFixture(const json& object, const std::string& where, bool& silent) {
    allowOnly(object, where,
              {"uid", "model_id", "product_category", "software_version", "model_description",
               "software_label", "start_address", "current_personality", "personalities", "sensor_count",
               "supports_model_description", "supports_status_led", "status_led", "muted", "silent",
               "busy_after_set_ms", "disc_mute"});
    VC_FixtureConfig fixture = defaultFixtureConfig();
    if (object.contains("uid")) {
        const Uid uid = readUid(object["uid"], where);
        std::copy(uid.begin(), uid.end(), fixture.uid);
    }
    readField(object, "model_id", fixture.model_id, where);
    readField(object, "product_category", fixture.product_category, where);
    readField(object, "software_version", fixture.software_version, where);
    readText(object, "model_description", fixture.model_description, sizeof fixture.model_description, 32,
             where);
    readText(object, "software_label", fixture.software_label, sizeof fixture.software_label, 32, where);
    readField(object, "start_address", fixture.start_address, where);
    readField(object, "current_personality", fixture.current_personality, where);
    if (object.contains("personalities")) {
        const json& list = object["personalities"];
        if (!list.is_array() || list.size() > VC_MAX_PERSONALITIES)
            throw ConfigError(where + ".personalities must be a list of at most 32");
        std::memset(fixture.personalities, 0, sizeof fixture.personalities);
        fixture.personality_count = static_cast<uint8_t>(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string at = where + ".personalities[" + std::to_string(i) + "]";
            allowOnly(list[i], at, {"footprint", "name"});
            readField(list[i], "footprint", fixture.personalities[i].footprint, at);
            readText(list[i], "name", fixture.personalities[i].name, sizeof fixture.personalities[i].name, 32,
                     at);
        }
    }
    readField(object, "sensor_count", fixture.sensor_count, where);
    readFlag(object, "supports_model_description", fixture.supports_model_description, where);
    readFlag(object, "supports_status_led", fixture.supports_status_led, where);
    readField(object, "status_led", fixture.status_led, where);
    readFlag(object, "muted", fixture.muted, where);
    readField(object, "busy_after_set_ms", fixture.busy_after_set_ms, where);
    if (object.contains("disc_mute"))
        fixture.disc_mute = readDiscMute(object["disc_mute"], where);
    int silentFlag = 0;
    readFlag(object, "silent", silentFlag, where);
    silent = silentFlag != 0;
    return fixture;
}

Setup::CableSetup readCable(const json& object, const std::string& where) {
    allowOnly(object, where, {"flags", "type", "id", "description", "serial", "plugged", "fixtures"});
    Setup::CableSetup cable;
    cable.cable = defaultCableConfig();
    readField(object, "flags", cable.cable.flags, where);
    readField(object, "type", cable.cable.type, where);
    readField(object, "id", cable.cable.id, where);
    readText(object, "description", cable.cable.description, sizeof cable.cable.description, 64, where);
    readText(object, "serial", cable.cable.serial, sizeof cable.cable.serial, 16, where);
    int plugged = 1;
    readFlag(object, "plugged", plugged, where);
    cable.plugged = plugged != 0;
    if (!object.contains("fixtures")) {
        cable.fixtures.push_back(defaultFixtureConfig());
        cable.silent.push_back(false);
        return cable;
    }
    const json& list = object["fixtures"];
    if (!list.is_array())
        throw ConfigError(where + ".fixtures must be a list");
    for (std::size_t i = 0; i < list.size(); ++i) {
        bool silent = false;
        cable.fixtures.push_back(
            readFixture(list[i], where + ".fixtures[" + std::to_string(i) + "]", silent));
        cable.silent.push_back(silent);
    }
    return cable;
}

VC_Timing readTiming(const json& value) {
    if (value.is_string()) {
        if (value == "fast")
            return VC_Timing{0, 0, 0};
        if (value == "realistic")
            return realisticTiming();
        throw ConfigError("timing must be \"fast\", \"realistic\" or an object");
    }
    allowOnly(value, "timing", {"turnaround_us", "byte_us", "usb_latency_us"});
    VC_Timing timing = realisticTiming();
    readField(value, "turnaround_us", timing.turnaround_us, "timing");
    readField(value, "byte_us", timing.byte_us, "timing");
    readField(value, "usb_latency_us", timing.usb_latency_us, "timing");
    return timing;
}

} // namespace

std::optional<Setup> readSetupFile(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot open the file";
        return std::nullopt;
    }
    try {
        const json root = json::parse(file);
        allowOnly(root, "the file", {"timing", "cables"});
        Setup setup = defaultSetup();
        if (root.contains("timing"))
            setup.timing = readTiming(root["timing"]);
        if (root.contains("cables")) {
            const json& list = root["cables"];
            if (!list.is_array())
                throw ConfigError("cables must be a list");
            setup.cables.clear();
            for (std::size_t i = 0; i < list.size(); ++i)
                setup.cables.push_back(readCable(list[i], "cables[" + std::to_string(i) + "]"));
        }
        return setup;
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
}

} // namespace vcable
