#include "FTD2XXWrapper.h"

#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

// ---- Unit-level state ---------------------------------------------------------------------------

std::mutex DMXLock;
const TDMXBuffer DMXBuffer{};

namespace {

constexpr std::uint32_t DLLErrorMissing = 0x1001;
constexpr std::uint32_t DLLErrorIndexOutOfBounds = 0x2000;

constexpr FT_DWORD BreakBaudRate = 50000;
constexpr FT_DWORD DMXBaudRate = 250000;
constexpr std::uint8_t BreakByte = 0x00;
constexpr std::int64_t MarkAfterBreakMicros = 212;
constexpr FT_DWORD AcceptedDeviceID = 0x04036001;
constexpr const char* AcceptedDescriptions[] = {"FT232R USB UART", "USB-RS485 Cable"};

constexpr std::uint32_t RDMPreDelay = 80;
constexpr std::uint32_t RDMPostDelay = 80;
constexpr std::uint32_t PauseAfterSendWithoutReception = 40;
constexpr std::uint32_t TickWaitLimitMs = 50; // a wrapper whose timer does not tick must not hang
constexpr std::uint8_t RDMStartCode = 0xCC;
constexpr std::uint8_t DiscoverySeparator = 0xAA;
constexpr int MaxStoredResponseLen = 257;   // collection stops once more than this is stored
constexpr int DiscoveryResponseLen = 17;    // separator, 12 encoded UID bytes, 4 encoded checksum bytes

constexpr std::uint32_t RefreshIntervalMs = 40;
constexpr std::uint32_t PauseAfterRefreshMs = 5;
constexpr wchar_t BoostTaskName[] = L"Pro Audio";
constexpr int BoostPriorityCritical = 2;

// What the process learns once about its clocks, timer and scheduler; released at exit.
struct UnitState {
    bool UsingPerformanceCounter = false;
    std::int64_t PerformanceFrequency = 1000;
    std::int64_t MABPFCount = 1000;
    Platform::TimeCaps MMTimeCaps;
    Platform::ThreadBoost Avrt;

    UnitState()
    {
        std::int64_t frequency = 0;
        UsingPerformanceCounter = Platform::QueryPerformanceFrequency(frequency);
        if (UsingPerformanceCounter) {
            PerformanceFrequency = frequency;
            MABPFCount = std::llround(static_cast<double>(frequency) / 1000000.0 * MarkAfterBreakMicros);
        }
        Platform::TimeCaps caps;
        if (Platform::TimeGetDevCaps(caps))
            MMTimeCaps = caps;
        Avrt = Platform::LoadThreadBoost();
    }
    ~UnitState() { Platform::ReleaseThreadBoost(); }
    UnitState(const UnitState&) = delete;
    UnitState& operator=(const UnitState&) = delete;
};

UnitState& Unit()
{
    static UnitState state;
    return state;
}

// Timer-callback state, shared by all wrappers.
std::atomic<TFTD2XXWrapper*> ActiveWrapper{nullptr};
std::atomic<std::uint32_t> LastRefreshTime{0};

// The scheduler registration and the timer resolution are changed by whichever timer thread ticks
// and by the user-interface thread; BoostLock keeps each change whole.
std::mutex BoostLock;
std::atomic<bool> AVRTBoostRequest{false};
std::atomic<bool> AVRTBoostActive{false};
std::uintptr_t AvrtTaskHandle = 0; // under BoostLock
std::uint32_t AvrtTaskIndex = 0;   // under BoostLock
std::atomic<bool> TimerPeriodRaisedFlag{false};

// Registers or unregisters the calling timer thread when the request changed; the first
// registration attempt also raises the timer resolution.
void UpdateThreadBoost()
{
    if (AVRTBoostRequest.load() == AVRTBoostActive.load())
        return;
    std::lock_guard<std::mutex> guard(BoostLock);
    const bool request = AVRTBoostRequest.load();
    if (request == AVRTBoostActive.load())
        return;
    const UnitState& unit = Unit();
    if (request) {
        AvrtTaskHandle = 0;
        AvrtTaskIndex = 0;
        if (unit.Avrt.SetMmThreadCharacteristics != nullptr)
            AvrtTaskHandle = unit.Avrt.SetMmThreadCharacteristics(BoostTaskName, &AvrtTaskIndex);
        if (AvrtTaskHandle != 0 && unit.Avrt.SetMmThreadPriority != nullptr)
            unit.Avrt.SetMmThreadPriority(AvrtTaskHandle, BoostPriorityCritical);
        const bool active = AvrtTaskHandle != 0;
        AVRTBoostActive.store(active);
        AVRTBoostRequest.store(active); // a failed registration withdraws the request instead of retrying
        if (unit.MMTimeCaps.wPeriodMin > 0 && !TimerPeriodRaisedFlag.load()) {
            Platform::TimeBeginPeriod(unit.MMTimeCaps.wPeriodMin);
            TimerPeriodRaisedFlag.store(true);
        }
    } else if (AvrtTaskHandle != 0 && unit.Avrt.RevertMmThreadCharacteristics != nullptr &&
               unit.Avrt.RevertMmThreadCharacteristics(AvrtTaskHandle)) {
        AVRTBoostActive.store(false);
        AVRTBoostRequest.store(false);
        AvrtTaskHandle = 0;
    }
}

void EndTimerPeriod()
{
    std::lock_guard<std::mutex> guard(BoostLock);
    if (TimerPeriodRaisedFlag.load()) {
        Platform::TimeEndPeriod(Unit().MMTimeCaps.wPeriodMin);
        TimerPeriodRaisedFlag.store(false);
    }
}

// Waits the mark after break on the performance counter without yielding; a 1 ms sleep where there
// is no counter.
void WaitMarkAfterBreak()
{
    const UnitState& unit = Unit();
    if (!unit.UsingPerformanceCounter) {
        Platform::Sleep(1);
        return;
    }
    std::int64_t start = 0;
    if (!Platform::QueryPerformanceCounter(start))
        return;
    std::int64_t now = start;
    while (now - start < unit.MABPFCount) {
        if (!Platform::QueryPerformanceCounter(now))
            break;
    }
}

// A call through an entry point the library did not offer fails like a call the driver refused.
template <typename Fn, typename... Args>
FT_STATUS Call(Fn entryPoint, Args... args)
{
    if (entryPoint == nullptr)
        return FT_NOT_SUPPORTED;
    return entryPoint(args...);
}

bool IsAcceptedDevice(const FT_DEVICE_LIST_INFO_NODE& record)
{
    if ((record.Flags & FT_FLAGS_OPENED) != 0)
        return false;
    if (record.ID != AcceptedDeviceID || record.Type != FT_DEVICE_232R)
        return false;
    const std::string description = AnsiArrayToString(record.Description, sizeof(record.Description));
    if (std::none_of(std::begin(AcceptedDescriptions), std::end(AcceptedDescriptions),
                     [&](const char* accepted) { return description == accepted; }))
        return false;
    return !AnsiArrayToString(record.SerialNumber, sizeof(record.SerialNumber)).empty();
}

std::string FormatIndexOutOfBounds(int idx)
{
    return "Device Index out of bounds (" + std::to_string(idx) + ")";
}

} // namespace

// ---- Devices and interfaces ---------------------------------------------------------------------

std::string TFTD2XXDevice::SerialNumberString() const
{
    return AnsiArrayToString(fSerialNumber, sizeof(fSerialNumber));
}

std::string TFTD2XXDevice::DeviceDescriptionString() const
{
    return AnsiArrayToString(fDescription, sizeof(fDescription));
}

int TDeviceList::DeviceIndexOfID(const std::string& aID) const
{
    for (const auto& device : *this) {
        if (TFTD2XXWrapper::MakeDeviceID(device->DeviceDescriptionString(), device->SerialNumberString()) == aID)
            return static_cast<int>(device->fFTD2XXDeviceIndex);
    }
    return -1;
}

TDMXInterface::~TDMXInterface()
{
    if (fWrapper != nullptr)
        Call(fWrapper->FTClose, fDeviceHandle); // closing status is of no use to anyone
}

// ---- Construction and binding -------------------------------------------------------------------

TFTD2XXWrapper::TFTD2XXWrapper() : fDLLName(FTD2XX_LIBRARY_NAME)
{
    Unit(); // the unit state is ready before any wrapper works
}

TFTD2XXWrapper::~TFTD2XXWrapper()
{
    if (hMMTimer != 0) {
        Platform::TimeKillEvent(hMMTimer); // returns once no callback runs any more
        hMMTimer = 0;
    }
    TFTD2XXWrapper* self = this;
    ActiveWrapper.compare_exchange_strong(self, nullptr); // a later wrapper stays active
    {
        std::lock_guard<std::mutex> guard(DMXLock);
        fInterfaceList.clear(); // closes every handle while the entry points are still there
    }
    fDeviceList.clear();
    if (hDLL != nullptr)
        Platform::FreeDynamicLibrary(hDLL);
    hDLL = nullptr;
    ForgetEntryPoints();
    EndTimerPeriod();
}

bool TFTD2XXWrapper::Initialize()
{
    return LoadDLL();
}

void* TFTD2XXWrapper::ResolveFunction(const char* Name)
{
    void* address = Platform::GetSymbol(hDLL, Name);
    if (address == nullptr) {
        fLastDLLErrorCode = DLLErrorMissing;
        fLastDLLErrorString = std::string("Unable to locate function ") + Name + " in " + fDLLName;
    }
    return address;
}

void TFTD2XXWrapper::ForgetEntryPoints()
{
    fGetLibraryVersion = nullptr;
    FTCreateDeviceInfoList = nullptr;
    FTGetDeviceInfoList = nullptr;
    FTGetDeviceInfo = nullptr;
    FTGetDriverVersion = nullptr;
    FTOpen = nullptr;
    FTClose = nullptr;
    FTSetBaudRate = nullptr;
    FTSetDataCharacteristics = nullptr;
    FTSetFlowControl = nullptr;
    FTSetChars = nullptr;
    FTPurge = nullptr;
    FTClrRts = nullptr;
    FTSetBreakOn = nullptr;
    FTSetBreakOff = nullptr;
    FTGetStatus = nullptr;
    FTWrite = nullptr;
    FTSetRts = nullptr;
    FTRead = nullptr;
    FTSetTimeOuts = nullptr;
}

namespace {
template <typename Fn>
void Resolve(Fn& field, void* address)
{
    field = reinterpret_cast<Fn>(address);
}
} // namespace

bool TFTD2XXWrapper::LoadDLL()
{
    if (hDLL != nullptr)
        return false; // a wrapper binds once

    hDLL = Platform::LoadDynamicLibrary(ExeFolder() + fDLLName);
    if (hDLL == nullptr)
        hDLL = Platform::LoadDynamicLibrary(fDLLName);
    if (hDLL == nullptr) {
        fLastDLLErrorCode = DLLErrorMissing;
        fLastDLLErrorString = "Error loading " + fDLLName;
        return false;
    }
    fLastDLLErrorCode = 0;
    fLastDLLErrorString = "OK";
    fLoadedDLLFileName = ModuleFileName(hDLL);

    try {
        Resolve(fGetLibraryVersion, ResolveFunction("FT_GetLibraryVersion"));
        if (fGetLibraryVersion != nullptr) {
            FT_DWORD version = 0;
            fGetLibraryVersion(&version);
            fFTD2XXLibraryVersion = version;
        }
        Resolve(FTCreateDeviceInfoList, ResolveFunction("FT_CreateDeviceInfoList"));
        Resolve(FTGetDeviceInfoList, ResolveFunction("FT_GetDeviceInfoList"));
        Resolve(FTGetDeviceInfo, ResolveFunction("FT_GetDeviceInfo"));
        Resolve(FTGetDriverVersion, ResolveFunction("FT_GetDriverVersion"));
        Resolve(FTOpen, ResolveFunction("FT_Open"));
        Resolve(FTClose, ResolveFunction("FT_Close"));
        Resolve(FTSetBaudRate, ResolveFunction("FT_SetBaudRate"));
        Resolve(FTSetDataCharacteristics, ResolveFunction("FT_SetDataCharacteristics"));
        Resolve(FTSetFlowControl, ResolveFunction("FT_SetFlowControl"));
        Resolve(FTSetChars, ResolveFunction("FT_SetChars"));
        Resolve(FTPurge, ResolveFunction("FT_Purge"));
        Resolve(FTClrRts, ResolveFunction("FT_ClrRts"));
        Resolve(FTSetBreakOn, ResolveFunction("FT_SetBreakOn"));
        Resolve(FTSetBreakOff, ResolveFunction("FT_SetBreakOff"));
        Resolve(FTGetStatus, ResolveFunction("FT_GetStatus"));
        Resolve(FTWrite, ResolveFunction("FT_Write"));
        Resolve(FTSetRts, ResolveFunction("FT_SetRts"));
        Resolve(FTRead, ResolveFunction("FT_Read"));
        Resolve(FTSetTimeOuts, ResolveFunction("FT_SetTimeouts"));

        hMMTimer = Platform::TimeSetEvent(1, 1, MMTimerCallback, this);
        ActiveWrapper.store(this);
        AVRTBoostRequest.store(true);
    } catch (...) {
        if (hMMTimer != 0) {
            Platform::TimeKillEvent(hMMTimer);
            hMMTimer = 0;
        }
        TFTD2XXWrapper* self = this;
        ActiveWrapper.compare_exchange_strong(self, nullptr);
        ForgetEntryPoints(); // they would point into the released library
        Platform::FreeDynamicLibrary(hDLL);
        hDLL = nullptr;
        throw;
    }
    return fLastDLLErrorCode == 0;
}

std::string TFTD2XXWrapper::LastDLLErrorString() const { return fLastDLLErrorString; }
std::uint32_t TFTD2XXWrapper::LastDLLErrorCode() const { return fLastDLLErrorCode; }
std::uint32_t TFTD2XXWrapper::LastFTD2XXError() const { return fLastFTD2XXError.load(); }
std::uint32_t TFTD2XXWrapper::FTLibraryVersion() const { return fFTD2XXLibraryVersion; }
std::string TFTD2XXWrapper::LoadedDLLFileName() const { return fLoadedDLLFileName; }
std::uint32_t TFTD2XXWrapper::LastMMResult() const { return fLastMMResult; }
std::int64_t TFTD2XXWrapper::MMTicks() const { return fMMTicks.load(); }
void TFTD2XXWrapper::SetMMTicks(std::int64_t v) { fMMTicks.store(v); }

void TFTD2XXWrapper::StoreStatus(FT_STATUS status)
{
    fLastFTD2XXError.store(status);
}

// ---- Cables -------------------------------------------------------------------------------------

bool TFTD2XXWrapper::ScanDevices()
{
    if (hDLL == nullptr) {
        fDeviceList.clear(); // no driver, no cable: the caller reports the missing cable
        return false;
    }
    FT_DWORD count = 0;
    FT_STATUS status = Call(FTCreateDeviceInfoList, &count);
    StoreStatus(status);
    if (status != FT_OK)
        return false;
    fDeviceList.clear();

    // One record more than needed, so the driver never gets a null buffer when there is no device.
    std::vector<FT_DEVICE_LIST_INFO_NODE> records(static_cast<std::size_t>(count) + 1);
    FT_DWORD filled = count;
    status = Call(FTGetDeviceInfoList, records.data(), &filled);
    StoreStatus(status);
    if (status == FT_OK) {
        // Never walk past what was allocated, even if the driver's list grew between the two calls.
        const FT_DWORD usable = std::min(filled, count);
        for (FT_DWORD i = 0; i < usable; ++i) {
            const FT_DEVICE_LIST_INFO_NODE& record = records[i];
            if (!IsAcceptedDevice(record))
                continue;
            auto device = std::make_unique<TFTD2XXDevice>();
            device->fFTD2XXDeviceIndex = i;
            std::memcpy(device->fSerialNumber, record.SerialNumber, sizeof(device->fSerialNumber));
            std::memcpy(device->fDescription, record.Description, sizeof(device->fDescription));
            fDeviceList.push_back(std::move(device));
        }
    }
    return fLastFTD2XXError.load() == FT_OK;
}

bool TFTD2XXWrapper::OpenAvailableInterfaceByIndex(int Idx)
{
    if (!ScanDevices())
        return false;
    if (Idx < 0 || Idx >= DeviceCount()) {
        fLastDLLErrorCode = DLLErrorIndexOutOfBounds;
        fLastDLLErrorString = FormatIndexOutOfBounds(Idx);
        return false;
    }
    FT_HANDLE handle = nullptr;
    FT_STATUS status = Call(FTOpen, static_cast<int>(fDeviceList[static_cast<std::size_t>(Idx)]->fFTD2XXDeviceIndex),
                            &handle);
    StoreStatus(status);
    if (status != FT_OK)
        return false;

    FT_DWORD type = 0;
    FT_DWORD id = 0;
    TDeviceSerialNumber serial{};
    TDeviceDescription description{};
    // Each set-up step runs only while every step before it succeeded.
    const auto step = [&](auto&& call) {
        if (status == FT_OK) {
            status = call();
            StoreStatus(status);
        }
    };
    step([&] { return Call(FTGetDeviceInfo, handle, &type, &id, serial, description, static_cast<void*>(nullptr)); });
    step([&] { return Call(FTSetBaudRate, handle, DMXBaudRate); });
    step([&] { return Call(FTSetDataCharacteristics, handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE); });
    step([&] { return Call(FTSetFlowControl, handle, FT_FLOW_NONE, std::uint8_t{0}, std::uint8_t{0}); });
    step([&] { return Call(FTSetChars, handle, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0}); });
    step([&] { return Call(FTPurge, handle, FT_PURGE_RX | FT_PURGE_TX); });
    step([&] { return Call(FTClrRts, handle); });
    if (status != FT_OK) {
        Call(FTClose, handle); // nobody else holds this handle: don't leave the cable open
        return false;
    }

    auto dmxInterface = std::make_unique<TDMXInterface>();
    dmxInterface->fWrapper = this;
    dmxInterface->fDeviceHandle = handle;
    std::lock_guard<std::mutex> guard(DMXLock);
    fInterfaceList.push_back(std::move(dmxInterface));
    return true;
}

int TFTD2XXWrapper::DeviceCount() const { return static_cast<int>(fDeviceList.size()); }
int TFTD2XXWrapper::InterfaceCount() const { return static_cast<int>(fInterfaceList.size()); }
const TDeviceList& TFTD2XXWrapper::DeviceList() const { return fDeviceList; }

std::string TFTD2XXWrapper::GetDeviceDescription(int Idx) const
{
    if (Idx < 0 || Idx >= DeviceCount())
        return {};
    return fDeviceList[static_cast<std::size_t>(Idx)]->DeviceDescriptionString();
}

std::string TFTD2XXWrapper::GetDeviceSerialNo(int Idx) const
{
    if (Idx < 0 || Idx >= DeviceCount())
        return {};
    return fDeviceList[static_cast<std::size_t>(Idx)]->SerialNumberString();
}

std::string TFTD2XXWrapper::MakeDeviceID(const std::string& description, const std::string& serial)
{
    return description + " " + serial;
}

// ---- Line ---------------------------------------------------------------------------------------

bool TFTD2XXWrapper::IsValidInterface(int devIdx) const
{
    return devIdx >= 0 && devIdx < InterfaceCount();
}

FT_HANDLE TFTD2XXWrapper::InterfaceHandle(int devIdx) const
{
    return fInterfaceList[static_cast<std::size_t>(devIdx)]->fDeviceHandle;
}

// The break is a zero byte at a lowered baud rate; the statuses are kept but none stops the frame.
void TFTD2XXWrapper::SendBreakAndData(FT_HANDLE handle, const void* pData, FT_DWORD Length)
{
    std::uint8_t breakByte = BreakByte;
    FT_DWORD written = 0;
    StoreStatus(Call(FTSetBaudRate, handle, BreakBaudRate));
    StoreStatus(Call(FTWrite, handle, static_cast<void*>(&breakByte), FT_DWORD{1}, &written));
    WaitMarkAfterBreak();
    StoreStatus(Call(FTSetBaudRate, handle, DMXBaudRate));
    StoreStatus(Call(FTWrite, handle, const_cast<void*>(pData), Length, &written));
}

void TFTD2XXWrapper::TransmitDMXPackage(int devIdx, const TDMXBuffer& DMXPackage)
{
    TDMXBuffer frame = DMXPackage;
    if (!IsValidInterface(devIdx))
        return;
    SendBreakAndData(InterfaceHandle(devIdx), frame.Buffer, sizeof(frame.Buffer));
}

void TFTD2XXWrapper::StreamDataWithBreak(int devIdx, const void* pData, int Length)
{
    if (!IsValidInterface(devIdx))
        return;
    // A negative length would reach the driver as a huge unsigned count.
    const FT_DWORD count = (pData == nullptr || Length < 0) ? 0 : static_cast<FT_DWORD>(Length);
    SendBreakAndData(InterfaceHandle(devIdx), pData, count);
}

void TFTD2XXWrapper::SetTransmit(int devIdx)
{
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTClrRts, InterfaceHandle(devIdx)));
}

void TFTD2XXWrapper::SetRecieve(int devIdx)
{
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTSetRts, InterfaceHandle(devIdx)));
}

void TFTD2XXWrapper::PurgeInBuf(int devIdx)
{
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTPurge, InterfaceHandle(devIdx), FT_PURGE_RX));
}

void TFTD2XXWrapper::GetStatus(int devIdx, std::uint32_t& rxQueueCount, std::uint32_t& txQueueCount)
{
    rxQueueCount = 0;
    txQueueCount = 0;
    if (!IsValidInterface(devIdx))
        return; // no cable at that position: nothing waits
    FT_DWORD rx = 0;
    FT_DWORD tx = 0;
    FT_DWORD events = 0;
    StoreStatus(Call(FTGetStatus, InterfaceHandle(devIdx), &rx, &tx, &events));
    rxQueueCount = rx;
    txQueueCount = tx;
}

void TFTD2XXWrapper::ReadData(int devIdx, void* Buffer, int toRead, int& Read)
{
    if (!IsValidInterface(devIdx))
        return;
    FT_DWORD count = 0;
    const FT_DWORD wanted = (Buffer == nullptr || toRead < 0) ? 0 : static_cast<FT_DWORD>(toRead);
    StoreStatus(Call(FTRead, InterfaceHandle(devIdx), Buffer, wanted, &count));
    Read = static_cast<int>(std::min<FT_DWORD>(count, wanted));
}

void TFTD2XXWrapper::SetTimeOuts(int devIdx, std::uint32_t ReadTimeOut, std::uint32_t WriteTimeout)
{
    if (IsValidInterface(devIdx))
        StoreStatus(Call(FTSetTimeOuts, InterfaceHandle(devIdx), FT_DWORD{ReadTimeOut}, FT_DWORD{WriteTimeout}));
}

void TFTD2XXWrapper::SetDMXBuffer(const void* p, int Length)
{
    if (p == nullptr || Length <= 0)
        return;
    std::lock_guard<std::mutex> guard(DMXLock);
    std::memcpy(fOutData.Buffer, p, std::min<std::size_t>(static_cast<std::size_t>(Length), sizeof(fOutData.Buffer)));
}

void TFTD2XXWrapper::SetDMXData(const void* p, int Length)
{
    std::lock_guard<std::mutex> guard(DMXLock);
    fOutData.Frame.StartCode = 0;
    if (p == nullptr || Length <= 0)
        return;
    std::memcpy(fOutData.Frame.DMXData, p,
                std::min<std::size_t>(static_cast<std::size_t>(Length), sizeof(fOutData.Frame.DMXData)));
}

// ---- RDM transactions ---------------------------------------------------------------------------

// Suspends a running refresh for one transaction and resumes it when the transaction ends, however
// it ends.
class TFTD2XXWrapper::RefreshSuspension {
  public:
    RefreshSuspension(TFTD2XXWrapper& wrapper, int devIdx, bool transmitOnResume)
        : fWrapper(wrapper), fDevIdx(devIdx), fTransmitOnResume(transmitOnResume),
          fSuspended(wrapper.SuspendRefresh())
    {
    }
    ~RefreshSuspension()
    {
        if (!fSuspended || fKeepSuspended)
            return;
        if (fTransmitOnResume)
            fWrapper.SetTransmit(fDevIdx); // the refresh relies on the line being in transmit
        Platform::Sleep(RDMPostDelay);
        fWrapper.fDisableDMXStream.store(false);
    }
    RefreshSuspension(const RefreshSuspension&) = delete;
    RefreshSuspension& operator=(const RefreshSuspension&) = delete;

    void KeepSuspended() { fKeepSuspended = true; }

  private:
    TFTD2XXWrapper& fWrapper;
    int fDevIdx;
    bool fTransmitOnResume;
    bool fSuspended;
    bool fKeepSuspended = false;
};

// Stops the refresh and waits until one that had started has ended (two ticks), then lets the
// line settle. False when the refresh was already off.
bool TFTD2XXWrapper::SuspendRefresh()
{
    bool wasRunning = false;
    if (!fDisableDMXStream.compare_exchange_strong(wasRunning, true))
        return false;
    const std::int64_t ticksAtStart = fMMTicks.load();
    const std::uint32_t waitStart = Platform::TimeGetTime();
    while (fMMTicks.load() - ticksAtStart < 2 && Platform::TimeGetTime() - waitStart <= TickWaitLimitMs)
        std::this_thread::yield();
    Platform::Sleep(RDMPreDelay);
    return true;
}

// Sends a request with the line in transmit and an empty receive buffer, then turns the line
// around for the reply.
void TFTD2XXWrapper::SendRequestForReply(int devIdx, const void* pData, int Length)
{
    SetTransmit(devIdx);
    PurgeInBuf(devIdx);
    StreamDataWithBreak(devIdx, pData, Length);
    SetRecieve(devIdx);
}

// Reads one received byte if one waits.
bool TFTD2XXWrapper::PollByte(int devIdx, std::uint8_t& byte)
{
    std::uint32_t rx = 0;
    std::uint32_t tx = 0;
    GetStatus(devIdx, rx, tx);
    if (rx == 0)
        return false;
    int read = 0;
    ReadData(devIdx, &byte, 1, read);
    return read == 1;
}

bool TFTD2XXWrapper::RDMCommandWithResponse(int DevIdx, const TRDMCommand& Command, TRDMResponseData& ResponseData,
                                            std::uint32_t Timeout)
{
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, true);

    SendRequestForReply(DevIdx, &Command.CommandData(), Command.MessageLength() + 2);

    const std::uint32_t start = Platform::TimeGetTime();
    std::memset(&ResponseData, 0, sizeof(ResponseData));
    auto expectedLen = [&ResponseData] { return static_cast<int>(ResponseData.Raw[2]) + 2; };
    std::uint32_t elapsed = 0;
    do {
        std::uint8_t byte = 0;
        if (PollByte(DevIdx, byte) && (ResponseData.ResponseLen > 0 || byte == RDMStartCode))
            ResponseData.Raw[ResponseData.ResponseLen++] = byte;
        elapsed = Platform::TimeGetTime() - start;
    } while (elapsed <= Timeout && (expectedLen() == 2 || ResponseData.ResponseLen < expectedLen()) &&
             ResponseData.ResponseLen <= MaxStoredResponseLen);
    ResponseData.ResponseTimeMs = elapsed;
    // Two bytes alone carry no length byte yet, so they are never a complete reply.
    return ResponseData.ResponseLen > 2 && ResponseData.ResponseLen == expectedLen();
}

bool TFTD2XXWrapper::SendRDMCommand(int DevIdx, const void* pData, int DataLength, bool EnableRx)
{
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, false);
    if (EnableRx)
        suspension.KeepSuspended(); // the line waits in receive direction: the refresh must stay off
    struct PauseWithoutReception {
        bool pause;
        ~PauseWithoutReception()
        {
            if (pause)
                Platform::Sleep(PauseAfterSendWithoutReception);
        }
    } pauseAfterSend{!EnableRx};

    SetTransmit(DevIdx);
    if (EnableRx)
        PurgeInBuf(DevIdx);
    StreamDataWithBreak(DevIdx, pData, DataLength);
    if (EnableRx)
        SetRecieve(DevIdx);
    return fLastFTD2XXError.load() == FT_OK;
}

bool TFTD2XXWrapper::DiscoveryCommand(int DevIdx, const TRDMDiscoveryUniqueBranch& Discovery, TUID& UID, int TimeOut)
{
    if (!IsValidInterface(DevIdx))
        return false;
    RefreshSuspension suspension(*this, DevIdx, true);

    SendRequestForReply(DevIdx, &Discovery.CommandData(), Discovery.MessageLength() + 2);

    const std::uint32_t start = Platform::TimeGetTime();
    const std::uint32_t limit = TimeOut < 0 ? 0 : static_cast<std::uint32_t>(TimeOut);
    TRDMResponseData response;
    std::memset(&response, 0, sizeof(response));
    std::uint32_t elapsed = 0;
    do {
        std::uint8_t byte = 0;
        if (PollByte(DevIdx, byte) && (response.ResponseLen > 0 || byte == DiscoverySeparator))
            response.Raw[response.ResponseLen++] = byte;
        elapsed = Platform::TimeGetTime() - start;
    } while (elapsed <= limit && response.ResponseLen < DiscoveryResponseLen);
    response.ResponseTimeMs = elapsed;
    return DecodeDiscoveryResponse(UID, response);
}

// ---- Background refresh -------------------------------------------------------------------------

bool TFTD2XXWrapper::DMXStreamDisabled() const { return fDisableDMXStream.load(); }
void TFTD2XXWrapper::SetDMXStreamDisabled(bool v) { fDisableDMXStream.store(v); }

// The timer thread copies the frame under DMXLock, so reading and writing it whole takes the lock too.
TDMXBuffer TFTD2XXWrapper::OutData() const
{
    std::lock_guard<std::mutex> guard(DMXLock);
    return fOutData;
}

void TFTD2XXWrapper::SetOutData(const TDMXBuffer& v)
{
    std::lock_guard<std::mutex> guard(DMXLock);
    fOutData = v;
}

std::int64_t TFTD2XXWrapper::GetPacketCount(int Idx) const
{
    if (!IsValidInterface(Idx))
        return -1;
    return fInterfaceList[static_cast<std::size_t>(Idx)]->OutPacketCount();
}

bool TFTD2XXWrapper::AVRTBoost() { return AVRTBoostRequest.load(); }

void TFTD2XXWrapper::SetAVRTBoost(bool v)
{
    std::lock_guard<std::mutex> guard(BoostLock);
    if (v != AVRTBoostActive.load())
        AVRTBoostRequest.store(v);
}

Platform::TimeCaps TFTD2XXWrapper::MMTimeCaps() { return Unit().MMTimeCaps; }
bool TFTD2XXWrapper::UsingPerformanceCounter() { return Unit().UsingPerformanceCounter; }
std::int64_t TFTD2XXWrapper::MABPFCount() { return Unit().MABPFCount; }
bool TFTD2XXWrapper::TimerPeriodRaised() { return TimerPeriodRaisedFlag.load(); }

// Sends the current frame to every opened cable; runs on the timer thread.
void TFTD2XXWrapper::RefreshDMX()
{
    TDMXBuffer frame;
    std::vector<TDMXInterface*> interfaces;
    {
        std::lock_guard<std::mutex> guard(DMXLock);
        frame = fOutData;
        interfaces.reserve(fInterfaceList.size());
        for (const auto& dmxInterface : fInterfaceList)
            interfaces.push_back(dmxInterface.get());
    }
    // The interfaces live until the wrapper is destroyed, which kills this timer first.
    for (TDMXInterface* dmxInterface : interfaces) {
        dmxInterface->fOutPacketCount.fetch_add(1);
        SendBreakAndData(dmxInterface->fDeviceHandle, frame.Buffer, sizeof(frame.Buffer));
        FT_DWORD rx = 0;
        FT_DWORD tx = 0;
        FT_DWORD events = 0;
        StoreStatus(Call(FTGetStatus, dmxInterface->fDeviceHandle, &rx, &tx, &events));
    }
}

void MMTimerCallback(std::uint32_t /*timerId*/, void* user)
{
    try {
        UpdateThreadBoost();

        TFTD2XXWrapper* wrapper = ActiveWrapper.load();
        if (wrapper == nullptr || wrapper != user)
            return; // only the active wrapper's own timer serves it, so no other timer outlives it
        wrapper->fMMTicks.fetch_add(1);
        if (wrapper->fDisableDMXStream.load())
            return;

        const std::uint32_t now = Platform::TimeGetTime();
        const std::uint32_t last = LastRefreshTime.load();
        if (now - last < RefreshIntervalMs && last <= now)
            return;
        struct RefreshEnd {
            std::uint32_t startedAt;
            ~RefreshEnd()
            {
                LastRefreshTime.store(startedAt);
                Platform::Sleep(PauseAfterRefreshMs);
            }
        } refreshEnd{now};
        wrapper->RefreshDMX();
    } catch (...) {
        // Nothing may leave the timer thread; the next tick tries again.
    }
}
