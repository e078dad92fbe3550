// The one object through which the application reaches the USB/DMX cable: binding the D2XX
// library, listing and opening cables, DMX and RDM on the line, and the 1 ms timer that counts
// ticks and refreshes DMX in the background. Never raises on its own: D2XX statuses go to
// LastFTD2XXError, binding errors to LastDLLErrorCode / LastDLLErrorString.
#pragma once

#include "FTD2XXDefines.h"
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
extern std::mutex DMXLock;       // guards fOutData and additions to the interface lists
extern const TDMXBuffer DMXBuffer; // all-zero idle frame

class TFTD2XXWrapper;

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
    bool OpenAvailableInterfaceByIndex(int Idx);
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

    // ... private fields and helpers as the implementation needs (hDLL, fDLLName, entry points,
    // fDeviceList, fInterfaceList, atomics shared with the timer thread).
};
