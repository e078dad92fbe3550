// The whole virtual cable behind one lock: cables with their lines, fixtures, open handles, call
// failures and counts, timing, faults and the capture. The exported D2XX and VC_ functions are thin
// wrappers around it.
#pragma once

#include "Capture.h"
#include "D2xxApi.h"
#include "Faults.h"
#include "Fixture.h"
#include "Line.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vcable {

// A description of cables, fixtures and timing, as read from a configuration file.
struct Setup {
    struct CableSetup {
        VC_CableConfig cable;
        bool plugged = true;
        std::vector<VC_FixtureConfig> fixtures;
        std::vector<bool> silent;
    };
    VC_Timing timing{};
    std::vector<CableSetup> cables;
};

Setup defaultSetup();
VC_Timing realisticTiming();
VC_CableConfig defaultCableConfig();

class Simulator {
  public:
    static Simulator& instance();

    // ---- D2XX side; each returns the D2XX status ----
    uint32_t createDeviceInfoList(uint32_t* count);
    uint32_t getDeviceInfoList(VC_FT_DEVICE_LIST_INFO_NODE* list, uint32_t* count);
    uint32_t open(int index, void** handle);
    uint32_t close(void* handle);
    uint32_t getDeviceInfo(void* handle, uint32_t* type, uint32_t* id, char* serial, char* description);
    uint32_t setBaudRate(void* handle, uint32_t baud);
    uint32_t setDataCharacteristics(void* handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity);
    uint32_t setFlowControl(void* handle, uint16_t flowControl, uint8_t xon, uint8_t xoff);
    uint32_t setChars(void* handle, uint8_t eventChar, uint8_t eventEnabled, uint8_t errorChar,
                      uint8_t errorEnabled);
    uint32_t purge(void* handle, uint32_t mask);
    uint32_t setRts(void* handle, bool asserted);
    uint32_t setBreak(void* handle, bool on);
    uint32_t getStatus(void* handle, uint32_t* rx, uint32_t* tx, uint32_t* events);
    uint32_t write(void* handle, const void* buffer, uint32_t count, uint32_t* written);
    uint32_t read(void* handle, void* buffer, uint32_t count, uint32_t* returned);
    uint32_t setTimeouts(void* handle, uint32_t readMs, uint32_t writeMs);
    // D2XX refuses a timer below 2 ms; the chip's vendor request takes 1.
    uint32_t setLatencyTimer(void* handle, uint8_t ms, uint8_t shortestMs = 2);
    uint32_t getDriverVersion(void* handle, uint32_t* version);
    uint32_t getLibraryVersion(uint32_t* version);

    // ---- USB chip side: the same cables seen as USB devices ----
    struct UsbDevice {
        int cable;
        uint64_t plugGeneration; // tells a replugged cable from the device it was before
        VC_CableConfig config;
    };
    std::vector<UsbDevice> pluggedUsbDevices();
    bool usbDevicePresent(int cable, uint64_t plugGeneration);
    // Opens the named cable as FT_Open opens a listed one; FT_DEVICE_NOT_OPENED when another
    // process or handle has it, FT_DEVICE_NOT_FOUND when it is gone.
    uint32_t openCable(int cable, uint64_t plugGeneration, void** handle);
    // Whether a handle still reaches its cable, and the bytes not yet on the wire; unlike
    // getStatus it leaves the line and the call counts alone.
    uint32_t handleState(void* handle, uint32_t* transmitPending);
    // The chip's own reset: both buffers emptied, as at power-up, without counting as FT_Purge.
    uint32_t resetChip(void* handle);
    // The kernel's serial driver on a device: bound at plug-in, unbound by a detach.
    bool kernelDriverBound(int cable, uint64_t plugGeneration);
    // Returns false when the device is gone.
    bool setKernelDriverBound(int cable, uint64_t plugGeneration, bool bound);
    int kernelDriverDetachCount(int cable);

    // ---- Control side ----
    void reset();
    void clear();
    int loadConfigFile(const char* path);
    void setTiming(const VC_Timing& timing);
    VC_Timing timing();
    int addCable(const VC_CableConfig& cable);
    int cableCount();
    void setCablePlugged(int cable, bool plugged);
    void failCall(const std::string& entryPoint, uint32_t status, int count);
    void unplugBeforeCall(int cable, const std::string& entryPoint, int calls);
    void setReportedDeviceCount(int64_t count);
    void setWriteDelay(Nanos delay) { writeDelay_.store(delay); }
    void setStatusDelay(Nanos delay) { statusDelay_.store(delay); }
    uint64_t callCount(const std::string& entryPoint);
    int openHandleCount();
    int cableSettings(int cable, VC_CableSettings& out);
    int addFixture(int cable, const VC_FixtureConfig& config);
    void removeFixture(int fixture);
    int getFixture(int fixture, VC_FixtureConfig& out);
    int setFixture(int fixture, const VC_FixtureConfig& config);
    void setFixtureSilent(int fixture, bool silent);
    void setLineNoise(int cable, const Bytes& noise);
    void injectFault(int fixture, int fault, int commandClass, int pid, int count);
    void clearFaults();
    int captureCount();
    int captureGet(int index, VC_Packet& out);
    void captureClear();

  private:
    struct Cable {
        VC_CableConfig config{};
        bool plugged = true;
        uint64_t plugGeneration = 0; // grows at every unplug: handles of an earlier one are dead
        uintptr_t openHandle = 0;
        bool kernelDriverBound = true; // the serial driver claims every FT232R when it is plugged in
        int kernelDriverDetaches = 0;  // since the cable was added
        std::unique_ptr<Line> line;
        Bytes noise; // on the line after every RDM request (VC_SetLineNoise)
        // What the controller set since opening, beside the line's own rate and format.
        VC_CableSettings settings{};
    };
    struct Handle {
        int cable;
        uint64_t plugGeneration;
        uint32_t readTimeoutMs = 0;
        bool hardwareFlowControl = false; // the chip drives RTS itself
    };
    struct FailRule {
        uint32_t status;
        int count; // -1: until cleared
    };

    Simulator();
    // First use of the library: opens the capture file and, with `readConfig`, loads the
    // configuration file that the environment names.
    void ensureInitialized(bool readConfig);
    void applySetup(const Setup& setup);
    void clearLocked();
    int addCableLocked(const VC_CableConfig& config, bool plugged);
    void setCablePluggedLocked(int cable, bool plugged);
    uint32_t openLocked(int cableIndex, void** handle, bool readsCloseIdlePackets);
    Cable* usbCableLocked(int cable, uint64_t plugGeneration);
    int addFixtureLocked(int cable, const VC_FixtureConfig& config);
    std::vector<int> pluggedCables() const;
    // Counts the call and applies VC_FailCall; 0 when the call may go on.
    uint32_t enter(const char* entryPoint);
    // The same for a call on a handle, which must also be open on a plugged cable.
    uint32_t enter(const char* entryPoint, void* handle);
    Handle& handleOf(void* handle);
    Cable& cableOf(void* handle);
    // The handle's line, brought up to `now`.
    Line& lineOf(void* handle, Nanos now);
    std::vector<FaultedAnswer> respond(int cable, const Bytes& packet, Nanos at);
    void advanceAll(Nanos now);

    std::mutex mutex_;
    bool initialized_ = false;
    VC_Timing timing_{};
    Capture capture_;
    std::vector<std::unique_ptr<Cable>> cables_;
    // Never reused, not even across VC_Reset: a device seen before a reset or an unplug stays gone.
    uint64_t nextPlugGeneration_ = 1;
    std::map<int, Fixture> fixtures_;
    int nextFixtureId_ = 1;
    std::map<uintptr_t, Handle> handles_;
    uintptr_t nextHandle_ = 0x5C000;
    std::vector<int> deviceListSnapshot_;
    bool snapshotTaken_ = false;
    int64_t reportedDeviceCount_ = -1;  // -1: the plugged cables
    std::atomic<Nanos> writeDelay_{0};  // read before FT_Write takes the lock
    std::atomic<Nanos> statusDelay_{0}; // read before FT_GetStatus takes the lock
    FaultQueue faults_;
    std::map<std::string, FailRule> failures_;
    struct UnplugRule {
        int cable;
        int calls;
    };
    std::map<std::string, UnplugRule> unplugs_;
    std::map<std::string, uint64_t> callCounts_;
    uint64_t totalCalls_ = 0;
};

// Parses a configuration file; on failure returns nothing and sets `error`.
std::optional<Setup> readSetupFile(const std::string& path, std::string& error);

} // namespace vcable
