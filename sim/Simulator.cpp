#include "Simulator.h"

#include "RawReply.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vcable {

namespace {

constexpr uint32_t kLibraryVersion = 0x00030215;
constexpr uint32_t kDriverVersion = 0x00020C1C;
constexpr uint32_t kMinBaud = 183;
constexpr uint32_t kMaxBaud = 3'000'000;
constexpr uint16_t kFlowRtsCts = 0x0100;
constexpr uint16_t kFlowDtrDsr = 0x0200;
constexpr uint16_t kFlowXonXoff = 0x0400;
constexpr uintptr_t kHandleStep = 0x10;
// While FT_Read waits, it looks at the line again at least this often: another thread may have
// turned it around or purged it.
constexpr Nanos kReadPollInterval = 5 * kMilli;

void copyText(char* target, std::size_t capacity, const char* text) {
    std::memset(target, 0, capacity);
    std::strncpy(target, text, capacity - 1);
}

void* toPointer(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}
uintptr_t fromPointer(void* handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

} // namespace

VC_Timing realisticTiming() {
    return VC_Timing{200, 44, 16000};
}

VC_CableConfig defaultCableConfig() {
    VC_CableConfig cable{};
    cable.flags = 0;
    cable.type = VC_FT_DEVICE_232R;
    cable.id = 0x04036001;
    copyText(cable.description, sizeof cable.description, "FT232R USB UART");
    copyText(cable.serial, sizeof cable.serial, "VC000001");
    return cable;
}

Setup defaultSetup() {
    Setup setup;
    setup.timing = realisticTiming();
    Setup::CableSetup cable;
    cable.cable = defaultCableConfig();
    cable.fixtures.push_back(defaultFixtureConfig());
    cable.silent.push_back(false);
    setup.cables.push_back(cable);
    return setup;
}

Simulator& Simulator::instance() {
    static Simulator simulator;
    return simulator;
}

Simulator::Simulator() : timing_(realisticTiming()) {}

void Simulator::ensureInitialized(bool readConfig) {
    if (initialized_)
        return;
    initialized_ = true;
    capture_.clear(monotonicNow());
    if (const char* path = std::getenv("ZYL_VIRTUAL_CABLE_CAPTURE"); path && *path) {
        if (!capture_.openFile(path))
            std::fprintf(stderr, "virtual cable: cannot write the line capture to %s\n", path);
    }
    if (!readConfig)
        return;
    const char* config = std::getenv("ZYL_VIRTUAL_CABLE");
    if (!config || !*config) {
        applySetup(defaultSetup());
        return;
    }
    std::string error;
    if (const auto setup = readSetupFile(config, error)) {
        applySetup(*setup);
    } else {
        // Without the described cables the tool reports a missing cable: a visible sign that the
        // file needs fixing, where a silent fallback would run with fixtures nobody asked for.
        std::fprintf(stderr, "virtual cable: %s: %s; no cable is attached\n", config, error.c_str());
    }
}

// ---- Set-up --------------------------------------------------------------------------------

void Simulator::clearLocked() {
    const Nanos now = monotonicNow();
    for (auto& cable : cables_)
        cable->line->reset(now);
    handles_.clear();
    cables_.clear();
    fixtures_.clear();
    faults_.clear();
    clearRawReply();
    nextFixtureId_ = 0;
    deviceListSnapshot_.clear();
    snapshotTaken_ = false;
    reportedDeviceCount_ = -1;
}

void Simulator::applySetup(const Setup& setup) {
    timing_ = setup.timing;
    for (const auto& cableSetup : setup.cables) {
        const int cable = addCableLocked(cableSetup.cable, cableSetup.plugged);
        for (std::size_t i = 0; i < cableSetup.fixtures.size(); ++i) {
            const int fixture = addFixtureLocked(cable, cableSetup.fixtures[i]);
            if (i < cableSetup.silent.size() && cableSetup.silent[i])
                fixtures_.at(fixture).setSilent(true);
        }
    }
}

int Simulator::addCableLocked(const VC_CableConfig& config, bool plugged) {
    const int index = static_cast<int>(cables_.size());
    auto cable = std::make_unique<Cable>();
    cable->config = config;
    cable->plugged = plugged;
    cable->plugGeneration = nextPlugGeneration_++;
    // A cable another process has open has its serial driver taken away by that process already.
    cable->kernelDriverBound = (config.flags & VC_FT_FLAGS_OPENED) == 0;
    cable->line =
        std::make_unique<Line>(index, capture_, timing_, [this, index](const Bytes& packet, Nanos at) {
            return respond(index, packet, at);
        });
    cable->line->reset(monotonicNow());
    cables_.push_back(std::move(cable));
    return index;
}

int Simulator::addFixtureLocked(int cable, const VC_FixtureConfig& config) {
    if (cable < 0 || cable >= static_cast<int>(cables_.size()))
        return -1;
    const int id = nextFixtureId_++;
    fixtures_.emplace(id, Fixture(id, cable, config));
    return id;
}

std::vector<int> Simulator::pluggedCables() const {
    std::vector<int> plugged;
    for (std::size_t i = 0; i < cables_.size(); ++i)
        if (cables_[i]->plugged)
            plugged.push_back(static_cast<int>(i));
    return plugged;
}

// ---- Calls ---------------------------------------------------------------------------------

uint32_t Simulator::enter(const char* entryPoint) {
    ensureInitialized(true);
    ++totalCalls_;
    ++callCounts_[entryPoint];
    if (const auto unplug = unplugs_.find(entryPoint);
        unplug != unplugs_.end() && --unplug->second.calls <= 0) {
        const int cable = unplug->second.cable;
        unplugs_.erase(unplug);
        setCablePluggedLocked(cable, false);
    }
    const auto it = failures_.find(entryPoint);
    if (it == failures_.end())
        return VC_FT_OK;
    const uint32_t status = it->second.status;
    if (it->second.count > 0 && --it->second.count == 0)
        failures_.erase(it);
    return status;
}

uint32_t Simulator::enter(const char* entryPoint, void* handle) {
    if (const uint32_t status = enter(entryPoint))
        return status;
    const auto it = handles_.find(fromPointer(handle));
    if (it == handles_.end())
        return VC_FT_INVALID_HANDLE;
    const Cable& cable = *cables_.at(static_cast<std::size_t>(it->second.cable));
    if (!cable.plugged || cable.plugGeneration != it->second.plugGeneration)
        return VC_FT_IO_ERROR;
    return VC_FT_OK;
}

Simulator::Handle& Simulator::handleOf(void* handle) {
    return handles_.at(fromPointer(handle));
}

Simulator::Cable& Simulator::cableOf(void* handle) {
    return *cables_.at(static_cast<std::size_t>(handleOf(handle).cable));
}

Line& Simulator::lineOf(void* handle, Nanos now) {
    Line& line = *cableOf(handle).line;
    line.advance(now);
    return line;
}

void Simulator::advanceAll(Nanos now) {
    for (auto& cable : cables_)
        if (cable->plugged)
            cable->line->advance(now);
}

std::vector<FaultedAnswer> Simulator::respond(int cable, const Bytes& packet, Nanos at) {
    std::vector<FaultedAnswer> answers;
    const auto request = parseRequest(packet);
    if (!request)
        return answers;
    const bool discovery =
        request->commandClass == rdm::kDiscoveryCommand && request->pid == rdm::kDiscUniqueBranch;
    for (auto& [id, fixture] : fixtures_) {
        if (fixture.cable() != cable || fixture.busy(at))
            continue;
        if (!fixture.willReply(*request)) {
            fixture.handle(*request, at);
            continue;
        }
        if (auto raw = takeRawReply(id, request->commandClass, request->pid)) {
            fixture.handle(*request, at);
            answers.push_back(FaultedAnswer{std::move(*raw), 0});
            continue;
        }
        const int fault = faults_.take(id, request->commandClass, request->pid, discovery);
        Bytes answer = fixture.handle(*request, at, fault == VC_FAULT_NACK);
        if (fault == VC_FAULT_NONE || fault == VC_FAULT_NACK)
            answers.push_back(FaultedAnswer{std::move(answer), 0});
        else
            answers.push_back(applyFault(fault, *request, std::move(answer), fixture.uid()));
    }
    if (const Bytes& noise = cables_.at(static_cast<std::size_t>(cable))->noise; !noise.empty())
        answers.push_back(FaultedAnswer{noise, 0});
    return answers;
}

// ---- D2XX side -----------------------------------------------------------------------------

uint32_t Simulator::getLibraryVersion(uint32_t* version) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_GetLibraryVersion"))
        return status;
    if (!version)
        return VC_FT_INVALID_PARAMETER;
    *version = kLibraryVersion;
    return VC_FT_OK;
}

uint32_t Simulator::createDeviceInfoList(uint32_t* count) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_CreateDeviceInfoList"))
        return status;
    if (!count)
        return VC_FT_INVALID_PARAMETER;
    deviceListSnapshot_ = pluggedCables();
    snapshotTaken_ = true;
    *count = reportedDeviceCount_ >= 0 ? static_cast<uint32_t>(reportedDeviceCount_)
                                       : static_cast<uint32_t>(deviceListSnapshot_.size());
    return VC_FT_OK;
}

uint32_t Simulator::getDeviceInfoList(VC_FT_DEVICE_LIST_INFO_NODE* list, uint32_t* count) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_GetDeviceInfoList"))
        return status;
    if (!count)
        return VC_FT_INVALID_PARAMETER;
    // The list FT_CreateDeviceInfoList took, as the driver keeps it: a cable plugged in since
    // then must not write past the records the caller sized its buffer for.
    const std::vector<int>& cables = deviceListSnapshot_;
    if (!cables.empty() && !list)
        return VC_FT_INVALID_PARAMETER;
    for (std::size_t i = 0; i < cables.size(); ++i) {
        const Cable& cable = *cables_.at(static_cast<std::size_t>(cables[i]));
        VC_FT_DEVICE_LIST_INFO_NODE& node = list[i];
        std::memset(&node, 0, sizeof node);
        node.Flags = cable.config.flags | (cable.openHandle ? VC_FT_FLAGS_OPENED : 0);
        node.Type = cable.config.type;
        node.ID = cable.config.id;
        node.LocId = 0x1000u + static_cast<uint32_t>(cables[i]);
        std::memcpy(node.SerialNumber, cable.config.serial, sizeof node.SerialNumber);
        std::memcpy(node.Description, cable.config.description, sizeof node.Description);
        node.ftHandle = toPointer(cable.openHandle);
    }
    *count = static_cast<uint32_t>(cables.size());
    return VC_FT_OK;
}

uint32_t Simulator::open(int index, void** handle) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_Open"))
        return status;
    if (!handle)
        return VC_FT_INVALID_PARAMETER;
    const std::vector<int> plugged = pluggedCables();
    if (index < 0 || index >= static_cast<int>(plugged.size()))
        return VC_FT_DEVICE_NOT_FOUND;
    return openLocked(plugged[static_cast<std::size_t>(index)], handle, true);
}

uint32_t Simulator::openLocked(int cableIndex, void** handle, bool readsCloseIdlePackets) {
    Cable& cable = *cables_[static_cast<std::size_t>(cableIndex)];
    if ((cable.config.flags & VC_FT_FLAGS_OPENED) || cable.openHandle)
        return VC_FT_DEVICE_NOT_OPENED;
    const uintptr_t value = nextHandle_;
    nextHandle_ += kHandleStep;
    handles_.emplace(value, Handle{cableIndex, cable.plugGeneration});
    cable.openHandle = value;
    cable.line->reset(monotonicNow());
    cable.line->setReadsCloseIdlePackets(readsCloseIdlePackets);
    cable.settings = VC_CableSettings{};
    *handle = toPointer(value);
    return VC_FT_OK;
}

uint32_t Simulator::close(void* handle) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_Close"))
        return status;
    const auto it = handles_.find(fromPointer(handle));
    if (it == handles_.end())
        return VC_FT_INVALID_HANDLE;
    Cable& cable = *cables_.at(static_cast<std::size_t>(it->second.cable));
    const bool alive = cable.plugged && cable.plugGeneration == it->second.plugGeneration;
    if (alive) {
        cable.line->reset(monotonicNow());
        cable.openHandle = 0;
    }
    // A handle of an unplugged cable is still released, so nothing leaks; the call reports the loss.
    handles_.erase(it);
    return alive ? VC_FT_OK : VC_FT_IO_ERROR;
}

uint32_t Simulator::getDeviceInfo(void* handle, uint32_t* type, uint32_t* id, char* serial,
                                  char* description) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_GetDeviceInfo", handle))
        return status;
    const VC_CableConfig& config = cableOf(handle).config;
    if (type)
        *type = config.type;
    if (id)
        *id = config.id;
    if (serial)
        std::memcpy(serial, config.serial, sizeof config.serial);
    if (description)
        std::memcpy(description, config.description, sizeof config.description);
    return VC_FT_OK;
}

uint32_t Simulator::getDriverVersion(void* handle, uint32_t* version) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_GetDriverVersion", handle))
        return status;
    if (!version)
        return VC_FT_INVALID_PARAMETER;
    *version = kDriverVersion;
    return VC_FT_OK;
}

uint32_t Simulator::setBaudRate(void* handle, uint32_t baud) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetBaudRate", handle))
        return status;
    if (baud < kMinBaud || baud > kMaxBaud)
        return VC_FT_INVALID_BAUD_RATE;
    const Nanos now = monotonicNow();
    lineOf(handle, now).setBaudRate(now, baud);
    return VC_FT_OK;
}

uint32_t Simulator::setDataCharacteristics(void* handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetDataCharacteristics", handle))
        return status;
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return VC_FT_INVALID_PARAMETER;
    const Nanos now = monotonicNow();
    lineOf(handle, now).setDataCharacteristics(now, wordLength, stopBits, parity);
    return VC_FT_OK;
}

uint32_t Simulator::setFlowControl(void* handle, uint16_t flowControl, uint8_t xon, uint8_t xoff) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetFlowControl", handle))
        return status;
    if (flowControl != VC_FT_FLOW_NONE && flowControl != kFlowRtsCts && flowControl != kFlowDtrDsr &&
        flowControl != kFlowXonXoff)
        return VC_FT_INVALID_PARAMETER;
    const Nanos now = monotonicNow();
    Line& line = lineOf(handle, now);
    Handle& state = handleOf(handle);
    state.hardwareFlowControl = flowControl == kFlowRtsCts;
    VC_CableSettings& settings = cableOf(handle).settings;
    settings.flow_control = flowControl;
    settings.xon_char = xon;
    settings.xoff_char = xoff;
    // With RTS/CTS handshaking the chip asserts RTS whenever it can take data: the line listens.
    if (state.hardwareFlowControl)
        line.setReceive(true, now);
    return VC_FT_OK;
}

uint32_t Simulator::setChars(void* handle, uint8_t eventChar, uint8_t eventEnabled, uint8_t errorChar,
                             uint8_t errorEnabled) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetChars", handle))
        return status;
    // Event and error characters only matter for events and line errors, which this line never
    // reports; they are kept for the control API.
    VC_CableSettings& settings = cableOf(handle).settings;
    settings.event_char = eventChar;
    settings.event_char_enabled = eventEnabled;
    settings.error_char = errorChar;
    settings.error_char_enabled = errorEnabled;
    return VC_FT_OK;
}

uint32_t Simulator::purge(void* handle, uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_Purge", handle))
        return status;
    const Nanos now = monotonicNow();
    lineOf(handle, now).purge(now, (mask & VC_FT_PURGE_RX) != 0, (mask & VC_FT_PURGE_TX) != 0);
    VC_CableSettings& settings = cableOf(handle).settings;
    if (mask < 32)
        settings.purge_masks |= 1u << mask;
    settings.last_purge_mask = mask;
    return VC_FT_OK;
}

uint32_t Simulator::setRts(void* handle, bool asserted) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter(asserted ? "FT_SetRts" : "FT_ClrRts", handle))
        return status;
    if (handleOf(handle).hardwareFlowControl)
        return VC_FT_OK;
    const Nanos now = monotonicNow();
    lineOf(handle, now).setReceive(asserted, now);
    return VC_FT_OK;
}

uint32_t Simulator::setBreak(void* handle, bool on) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter(on ? "FT_SetBreakOn" : "FT_SetBreakOff", handle))
        return status;
    const Nanos now = monotonicNow();
    lineOf(handle, now).setBreak(now, on);
    return VC_FT_OK;
}

uint32_t Simulator::getStatus(void* handle, uint32_t* rx, uint32_t* tx, uint32_t* events) {
    sleepFor(statusDelay_.load()); // the caller held up, without holding the line
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_GetStatus", handle))
        return status;
    if (!rx || !tx || !events)
        return VC_FT_INVALID_PARAMETER;
    const Nanos now = monotonicNow();
    Line& line = lineOf(handle, now);
    *rx = line.readable(now);
    *tx = line.transmitPending();
    *events = 0;
    return VC_FT_OK;
}

uint32_t Simulator::write(void* handle, const void* buffer, uint32_t count, uint32_t* written) {
    sleepFor(writeDelay_.load()); // the transfer, without holding the line
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_Write", handle))
        return status;
    if (!buffer && count > 0)
        return VC_FT_INVALID_PARAMETER;
    const Nanos now = monotonicNow();
    lineOf(handle, now).write(now, static_cast<const uint8_t*>(buffer), count);
    if (written)
        *written = count;
    return VC_FT_OK;
}

uint32_t Simulator::read(void* handle, void* buffer, uint32_t count, uint32_t* returned) {
    std::unique_lock lock(mutex_);
    if (const uint32_t status = enter("FT_Read", handle))
        return status;
    if ((!buffer && count > 0) || !returned)
        return VC_FT_INVALID_PARAMETER;
    const Nanos deadline = monotonicNow() + static_cast<Nanos>(handleOf(handle).readTimeoutMs) * kMilli;
    for (;;) {
        const Nanos now = monotonicNow();
        Line& line = lineOf(handle, now);
        if (line.readable(now) >= count || now >= deadline) {
            *returned = static_cast<uint32_t>(line.read(now, static_cast<uint8_t*>(buffer), count));
            return VC_FT_OK;
        }
        // Waits, as the driver does, for the bytes or the read timeout, without holding the line.
        const Nanos due = line.readableAt(count);
        const Nanos wake = std::min({due < 0 ? deadline : due, deadline, now + kReadPollInterval});
        lock.unlock();
        sleepFor(wake - now);
        lock.lock();
        const auto it = handles_.find(fromPointer(handle));
        if (it == handles_.end())
            return VC_FT_INVALID_HANDLE;
        const Cable& cable = *cables_.at(static_cast<std::size_t>(it->second.cable));
        if (!cable.plugged || cable.plugGeneration != it->second.plugGeneration)
            return VC_FT_IO_ERROR;
    }
}

uint32_t Simulator::setTimeouts(void* handle, uint32_t readMs,
                                uint32_t /*writeMs: writes never block here*/) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetTimeouts", handle))
        return status;
    handleOf(handle).readTimeoutMs = readMs;
    return VC_FT_OK;
}

uint32_t Simulator::setLatencyTimer(void* handle, uint8_t ms, uint8_t shortestMs) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_SetLatencyTimer", handle))
        return status;
    if (ms < shortestMs)
        return VC_FT_INVALID_PARAMETER;
    lineOf(handle, monotonicNow()).setLatencyTimer(ms); // bytes arrived so far keep their time
    return VC_FT_OK;
}

// ---- USB chip side ------------------------------------------------------------------------

Simulator::Cable* Simulator::usbCableLocked(int cable, uint64_t plugGeneration) {
    if (cable < 0 || cable >= static_cast<int>(cables_.size()))
        return nullptr;
    Cable& found = *cables_[static_cast<std::size_t>(cable)];
    return found.plugged && found.plugGeneration == plugGeneration ? &found : nullptr;
}

std::vector<Simulator::UsbDevice> Simulator::pluggedUsbDevices() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    std::vector<UsbDevice> devices;
    for (const int index : pluggedCables()) {
        const Cable& cable = *cables_[static_cast<std::size_t>(index)];
        devices.push_back(UsbDevice{index, cable.plugGeneration, cable.config});
    }
    return devices;
}

bool Simulator::usbDevicePresent(int cable, uint64_t plugGeneration) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return usbCableLocked(cable, plugGeneration) != nullptr;
}

uint32_t Simulator::openCable(int cable, uint64_t plugGeneration, void** handle) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_Open"))
        return status;
    if (!handle)
        return VC_FT_INVALID_PARAMETER;
    if (!usbCableLocked(cable, plugGeneration))
        return VC_FT_DEVICE_NOT_FOUND;
    return openLocked(cable, handle, false);
}

uint32_t Simulator::handleState(void* handle, uint32_t* transmitPending) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    const auto it = handles_.find(fromPointer(handle));
    if (it == handles_.end())
        return VC_FT_INVALID_HANDLE;
    Cable& cable = *cables_.at(static_cast<std::size_t>(it->second.cable));
    if (!cable.plugged || cable.plugGeneration != it->second.plugGeneration)
        return VC_FT_IO_ERROR;
    if (transmitPending) {
        cable.line->advance(monotonicNow());
        *transmitPending = cable.line->transmitPending();
    }
    return VC_FT_OK;
}

uint32_t Simulator::resetChip(void* handle) {
    std::lock_guard lock(mutex_);
    if (const uint32_t status = enter("FT_ResetDevice", handle))
        return status;
    const Nanos now = monotonicNow();
    lineOf(handle, now).purge(now, true, true);
    return VC_FT_OK;
}

bool Simulator::kernelDriverBound(int cable, uint64_t plugGeneration) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    const Cable* found = usbCableLocked(cable, plugGeneration);
    return found && found->kernelDriverBound;
}

bool Simulator::setKernelDriverBound(int cable, uint64_t plugGeneration, bool bound) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    Cable* found = usbCableLocked(cable, plugGeneration);
    if (!found)
        return false;
    if (found->kernelDriverBound && !bound)
        ++found->kernelDriverDetaches;
    found->kernelDriverBound = bound;
    return true;
}

int Simulator::kernelDriverDetachCount(int cable) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (cable < 0 || cable >= static_cast<int>(cables_.size()))
        return -1;
    return cables_[static_cast<std::size_t>(cable)]->kernelDriverDetaches;
}

// ---- Control side --------------------------------------------------------------------------

void Simulator::reset() {
    std::lock_guard lock(mutex_);
    ensureInitialized(false);
    clearLocked();
    writeDelay_.store(0);
    statusDelay_.store(0);
    applySetup(defaultSetup());
    failures_.clear();
    unplugs_.clear();
    callCounts_.clear();
    totalCalls_ = 0;
    capture_.clear(monotonicNow());
}

void Simulator::clear() {
    std::lock_guard lock(mutex_);
    ensureInitialized(false);
    clearLocked();
}

int Simulator::loadConfigFile(const char* path) {
    std::string error;
    const auto setup = path ? readSetupFile(path, error) : std::nullopt;
    std::lock_guard lock(mutex_);
    ensureInitialized(false);
    if (!setup) {
        std::fprintf(stderr, "virtual cable: %s: %s\n", path ? path : "(no file)", path ? error.c_str() : "");
        return -1;
    }
    clearLocked();
    applySetup(*setup);
    return 0;
}

void Simulator::setTiming(const VC_Timing& timing) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    advanceAll(monotonicNow());
    timing_ = timing;
}

VC_Timing Simulator::timing() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return timing_;
}

int Simulator::addCable(const VC_CableConfig& cable) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return addCableLocked(cable, true);
}

int Simulator::cableCount() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return static_cast<int>(cables_.size());
}

void Simulator::setCablePlugged(int index, bool plugged) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    setCablePluggedLocked(index, plugged);
}

void Simulator::unplugBeforeCall(int cable, const std::string& entryPoint, int calls) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (calls <= 0)
        unplugs_.erase(entryPoint);
    else
        unplugs_[entryPoint] = UnplugRule{cable, calls};
}

void Simulator::setCablePluggedLocked(int index, bool plugged) {
    if (index < 0 || index >= static_cast<int>(cables_.size()))
        return;
    Cable& cable = *cables_[static_cast<std::size_t>(index)];
    if (cable.plugged == plugged)
        return;
    if (!plugged) {
        cable.line->reset(monotonicNow());
        cable.plugGeneration = nextPlugGeneration_++;
        cable.openHandle = 0;
        cable.kernelDriverBound = (cable.config.flags & VC_FT_FLAGS_OPENED) == 0; // bound again at replug
    }
    cable.plugged = plugged;
}

void Simulator::failCall(const std::string& entryPoint, uint32_t status, int count) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (count == 0 || count < -1)
        failures_.erase(entryPoint);
    else
        failures_[entryPoint] = FailRule{status, count};
}

void Simulator::setReportedDeviceCount(int64_t count) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    reportedDeviceCount_ = count < 0 ? -1 : std::min<int64_t>(count, UINT32_MAX);
}

uint64_t Simulator::callCount(const std::string& entryPoint) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (entryPoint == "*")
        return totalCalls_;
    const auto it = callCounts_.find(entryPoint);
    return it == callCounts_.end() ? 0 : it->second;
}

int Simulator::openHandleCount() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return static_cast<int>(handles_.size());
}

int Simulator::cableSettings(int index, VC_CableSettings& out) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (index < 0 || index >= static_cast<int>(cables_.size()))
        return -1;
    Cable& cable = *cables_[static_cast<std::size_t>(index)];
    const Nanos now = monotonicNow();
    cable.line->advance(now);
    out = cable.settings;
    out.open = cable.openHandle != 0 ? 1 : 0;
    out.format = cable.line->format();
    out.receive = cable.line->receiving() ? 1 : 0;
    out.latency_timer_ms = cable.line->latencyTimerMs();
    return 0;
}

int Simulator::addFixture(int cable, const VC_FixtureConfig& config) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    return addFixtureLocked(cable, config);
}

void Simulator::removeFixture(int fixture) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    fixtures_.erase(fixture);
    faults_.removeFixture(fixture);
}

int Simulator::getFixture(int fixture, VC_FixtureConfig& out) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    advanceAll(monotonicNow()); // SETs already on the line count
    const auto it = fixtures_.find(fixture);
    if (it == fixtures_.end())
        return -1;
    out = it->second.config();
    return 0;
}

int Simulator::setFixture(int fixture, const VC_FixtureConfig& config) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    const auto it = fixtures_.find(fixture);
    if (it == fixtures_.end())
        return -1;
    it->second.setConfig(config);
    return 0;
}

void Simulator::setFixtureSilent(int fixture, bool silent) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    const auto it = fixtures_.find(fixture);
    if (it != fixtures_.end())
        it->second.setSilent(silent);
}

void Simulator::setLineNoise(int cable, const Bytes& noise) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    if (cable >= 0 && cable < static_cast<int>(cables_.size()))
        cables_[static_cast<std::size_t>(cable)]->noise = noise;
}

void Simulator::injectFault(int fixture, int fault, int commandClass, int pid, int count) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    faults_.inject(fixture, fault, commandClass, pid, count);
}

void Simulator::clearFaults() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    faults_.clear();
    clearRawReply();
}

int Simulator::captureCount() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    advanceAll(monotonicNow());
    return capture_.count();
}

int Simulator::captureGet(int index, VC_Packet& out) {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    advanceAll(monotonicNow());
    return capture_.get(index, out) ? 0 : -1;
}

void Simulator::captureClear() {
    std::lock_guard lock(mutex_);
    ensureInitialized(true);
    capture_.clear(monotonicNow());
}

} // namespace vcable
