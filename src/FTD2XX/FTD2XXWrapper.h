// The one object through which the application reaches the USB/DMX cable: binding the D2XX
// library, listing and opening cables, DMX and RDM on the line, and the 1 ms timer that counts
// ticks and refreshes DMX in the background. Never raises on its own: D2XX statuses go to
// LastFTD2XXError, binding errors to LastDLLErrorCode / LastDLLErrorString.
#pragma once

#include "FTD2XXDefines.h"
#include "Platform.h"
#include "RDM_Lib.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#pragma pack(push, 1)
using TDMXData = std::uint8_t[512];
union TDMXBuffer {
    std::uint8_t Buffer[513];
    struct View {
        std::uint8_t StartCode;
        TDMXData DMXData;
    } Frame;
};
#pragma pack(pop)
static_assert(sizeof(TDMXBuffer) == 513);

// Unit-level state, one copy per process.
extern std::mutex DMXLock;         // guards fOutData and additions to the interface lists
extern const TDMXBuffer DMXBuffer; // all-zero idle frame

class TFTD2XXWrapper;

// What came back to a DISC_UNIQUE_BRANCH: nothing at all, bytes that do not decode (replies on top
// of each other, or noise), or one UID.
enum class TDiscoveryReply { None, Garbled, Decoded };

// Callback of every wrapper's 1 ms timer: counts the tick, keeps the thread's real-time registration
// and the timer resolution as requested, and refreshes DMX for the active wrapper. `user` is the
// wrapper that started the timer; only the active wrapper's own timer serves it.
void MMTimerCallback(std::uint32_t timerId, void* user);

class TFTD2XXDevice {
  public:
    std::uint32_t fFTD2XXDeviceIndex = 0;
    TDeviceSerialNumber fSerialNumber{};
    TDeviceDescription fDescription{};
    std::string SerialNumberString() const;
    std::string DeviceDescriptionString() const;
};

class TDeviceList : public std::vector<std::unique_ptr<TFTD2XXDevice>> {
  public:
    // Driver index of the cable whose MakeDeviceID equals aID; -1 when none.
    int DeviceIndexOfID(const std::string& aID) const;
};

class TDMXInterface {
  public:
    TDMXInterface() = default;
    ~TDMXInterface(); // closes the handle through the wrapper's FT_Close
    TDMXInterface(const TDMXInterface&) = delete;
    TDMXInterface& operator=(const TDMXInterface&) = delete;

    FT_HANDLE fDeviceHandle = nullptr;
    TFTD2XXWrapper* fWrapper = nullptr;
    std::atomic<std::int64_t> fOutPacketCount{0};
    std::int64_t OutPacketCount() const { return fOutPacketCount.load(); }
    // The cable's latency timer: how long the chip holds received bytes before it hands them over.
    int fLatencyTimerMs = FT232RResetLatencyTimerMs;
};

using TInterfaceList = std::vector<std::unique_ptr<TDMXInterface>>;

class TFTD2XXWrapper {
  public:
    TFTD2XXWrapper();
    ~TFTD2XXWrapper();
    TFTD2XXWrapper(const TFTD2XXWrapper&) = delete;
    TFTD2XXWrapper& operator=(const TFTD2XXWrapper&) = delete;

    // Binding (the library file name is FTD2XX_LIBRARY_NAME)
    bool Initialize();
    std::string LastDLLErrorString() const;
    std::uint32_t LastDLLErrorCode() const;
    std::uint32_t LastFTD2XXError() const;
    std::uint32_t FTLibraryVersion() const;
    std::string LoadedDLLFileName() const;
    std::uint32_t LastMMResult() const;
    std::int64_t MMTicks() const;
    void SetMMTicks(std::int64_t v);

    // Cables
    bool ScanDevices();
    // Opens the cable and sets up the DMX line; lowers its latency timer where the library can.
    bool OpenAvailableInterfaceByIndex(int Idx);
    // The latency timer of open interface Idx in ms: how long received bytes may wait in the chip
    // before they can be read. 16 (the chip's own) when it was not lowered or for a bad index.
    int LatencyTimerMs(int Idx) const;
    int DeviceCount() const;
    int InterfaceCount() const;
    const TDeviceList& DeviceList() const;
    std::string GetDeviceDescription(int Idx) const;
    std::string GetDeviceSerialNo(int Idx) const;
    static std::string MakeDeviceID(const std::string& description, const std::string& serial);

    // Line
    void TransmitDMXPackage(int devIdx, const TDMXBuffer& DMXPackage);
    void StreamDataWithBreak(int devIdx, const void* pData, int Length);
    void SetTransmit(int devIdx);
    void SetRecieve(int devIdx);
    void PurgeInBuf(int devIdx);
    void GetStatus(int devIdx, std::uint32_t& rxQueueCount, std::uint32_t& txQueueCount);
    void ReadData(int devIdx, void* Buffer, int toRead, int& Read);
    void SetTimeOuts(int devIdx, std::uint32_t ReadTimeOut, std::uint32_t WriteTimeout);
    void SetDMXBuffer(const void* p, int Length);
    void SetDMXData(const void* p, int Length);

    // RDM transactions
    bool RDMCommandWithResponse(int DevIdx, const TRDMCommand& Command, TRDMResponseData& ResponseData,
                                std::uint32_t Timeout);
    bool SendRDMCommand(int DevIdx, const void* pData, int DataLength, bool EnableRx);
    bool DiscoveryCommand(int DevIdx, const TRDMDiscoveryUniqueBranch& Discovery, TUID& UID, int TimeOut);
    // DiscoveryCommand that also tells silence from bytes that do not decode.
    TDiscoveryReply DiscoveryBranch(int DevIdx, const TRDMDiscoveryUniqueBranch& Discovery, TUID& UID,
                                    int TimeOut);

    // Background refresh
    bool DMXStreamDisabled() const;
    void SetDMXStreamDisabled(bool v);
    TDMXBuffer OutData() const;
    void SetOutData(const TDMXBuffer& v);
    std::int64_t GetPacketCount(int Idx) const; // PacketCount[Idx]; -1 for a bad index
    static bool AVRTBoost();
    static void SetAVRTBoost(bool v);
    static Platform::TimeCaps MMTimeCaps();
    static bool UsingPerformanceCounter();
    static std::int64_t MABPFCount();
    // True while this process holds a raised timer resolution (raised by the first timer tick after
    // a boost request, released when a wrapper is destroyed).
    static bool TimerPeriodRaised();

  private:
    friend class TDMXInterface;
    friend void MMTimerCallback(std::uint32_t timerId, void* user);
    class RefreshSuspension;

    bool LoadDLL();
    void* ResolveFunction(const char* Name, TEntryPointNeed Need);
    int LowerLatencyTimer(FT_HANDLE handle);
    void ForgetEntryPoints();
    bool IsValidInterface(int devIdx) const;
    FT_HANDLE InterfaceHandle(int devIdx) const;
    void StoreStatus(FT_STATUS status);
    void SendBreakAndData(FT_HANDLE handle, const void* pData, FT_DWORD Length);
    void RefreshDMX();
    bool SuspendRefresh();
    void SendRequestForReply(int devIdx, const void* pData, int Length);
    bool PollByte(int devIdx, std::uint8_t& byte);
    int CollectReply(int devIdx, std::uint8_t StartByte, std::uint32_t LimitMs,
                     bool (*Ends)(const TRDMResponseData&), TRDMResponseData& Reply);

    Platform::LibraryHandle hDLL = nullptr;
    std::string fDLLName;
    std::uint32_t fLastDLLErrorCode = 0;
    std::string fLastDLLErrorString;
    std::string fLoadedDLLFileName;
    std::atomic<std::uint32_t> fLastFTD2XXError{0};
    std::uint32_t fFTD2XXLibraryVersion = 0;
    std::uint32_t fLastMMResult = 0;
    std::uint32_t hMMTimer = 0;
    std::atomic<std::int64_t> fMMTicks{0};

    // Entry points, nullptr while not resolved. Written only before the timer starts and after it
    // is killed, so the timer thread reads them without a lock.
#define FTD2XX_ENTRY_POINT_FIELD(name, field, need, parameters) T##name field = nullptr;
    FTD2XX_ENTRY_POINTS(FTD2XX_ENTRY_POINT_FIELD)
#undef FTD2XX_ENTRY_POINT_FIELD

    TDeviceList fDeviceList;
    TInterfaceList fInterfaceList; // appended under DMXLock; the timer thread reads it under DMXLock
    std::atomic<bool> fDisableDMXStream{false};
    TDMXBuffer fOutData{}; // under DMXLock
};
