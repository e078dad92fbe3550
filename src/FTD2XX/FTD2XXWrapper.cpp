// Binding the D2XX library and its entry points, and listing and opening the cables.
#include "FTD2XXUnit.h"

#include "Utils.h"

#include <algorithm>
#include <cstring>

using namespace FTD2XXUnit;

namespace {

constexpr std::uint32_t DLLErrorMissing = 0x1001;
constexpr std::uint32_t DLLErrorIndexOutOfBounds = 0x2000;
constexpr FT_DWORD AcceptedDeviceID = 0x04036001;
constexpr const char* AcceptedDescriptions[] = {"FT232R USB UART", "USB-RS485 Cable"};
// The latency timer set at opening. The chip hands received bytes to the host when 62 of them wait
// or when this timer runs out; an RDM reply (at most 257 bytes, mostly far fewer) ends with a short
// remainder that waits for the timer, so each transaction pays it once. 2 ms is the FT232R's
// shortest: every reply becomes readable up to 14 ms sooner than with the chip's 16; the cost, an
// empty USB packet every 2 ms while the host asks and nothing came, is small for one cable.
constexpr std::uint8_t LoweredLatencyTimerMs = 2;

bool IsAcceptedDevice(const FT_DEVICE_LIST_INFO_NODE& record) {
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

std::string FormatIndexOutOfBounds(int idx) {
    return "Device Index out of bounds (" + std::to_string(idx) + ")";
}

} // namespace

// ---- Devices and interfaces ---------------------------------------------------------------------

std::string TFTD2XXDevice::SerialNumberString() const {
    return AnsiArrayToString(fSerialNumber, sizeof(fSerialNumber));
}

std::string TFTD2XXDevice::DeviceDescriptionString() const {
    return AnsiArrayToString(fDescription, sizeof(fDescription));
}

int TDeviceList::DeviceIndexOfID(const std::string& aID) const {
    for (const auto& device : *this) {
        if (TFTD2XXWrapper::MakeDeviceID(device->DeviceDescriptionString(), device->SerialNumberString()) ==
            aID)
            return static_cast<int>(device->fFTD2XXDeviceIndex);
    }
    return -1;
}

TDMXInterface::~TDMXInterface() {
    if (fWrapper != nullptr)
        Call(fWrapper->FTClose, fDeviceHandle); // closing status is of no use to anyone
}

// ---- Construction and binding -------------------------------------------------------------------

TFTD2XXWrapper::TFTD2XXWrapper() : fDLLName(FTD2XX_LIBRARY_NAME) {
    Unit(); // the unit state is ready before any wrapper works
}

TFTD2XXWrapper::~TFTD2XXWrapper() {
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

bool TFTD2XXWrapper::Initialize() {
    return LoadDLL();
}

void* TFTD2XXWrapper::ResolveFunction(const char* Name, TEntryPointNeed Need) {
    void* address = Platform::GetSymbol(hDLL, Name);
    if (address == nullptr && Need == TEntryPointNeed::Required) {
        fLastDLLErrorCode = DLLErrorMissing;
        fLastDLLErrorString = std::string("Unable to locate function ") + Name + " in " + fDLLName;
    }
    return address;
}

void TFTD2XXWrapper::ForgetEntryPoints() {
#define FTD2XX_FORGET(name, field, need, parameters) field = nullptr;
    FTD2XX_ENTRY_POINTS(FTD2XX_FORGET)
#undef FTD2XX_FORGET
}

namespace {
template <typename Fn> void Resolve(Fn& field, void* address) {
    field = reinterpret_cast<Fn>(address);
}
} // namespace

bool TFTD2XXWrapper::LoadDLL() {
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
        // A missing entry point is noted and binding goes on; the last required one missing is
        // reported. A missing optional one stays nullptr and is never called.
#define FTD2XX_RESOLVE(name, field, need, parameters)                                                        \
    Resolve(field, ResolveFunction(#name, TEntryPointNeed::need));
        FTD2XX_ENTRY_POINTS(FTD2XX_RESOLVE)
#undef FTD2XX_RESOLVE
        if (fGetLibraryVersion != nullptr) {
            FT_DWORD version = 0;
            fGetLibraryVersion(&version);
            fFTD2XXLibraryVersion = version;
        }

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

std::string TFTD2XXWrapper::LastDLLErrorString() const {
    return fLastDLLErrorString;
}
std::uint32_t TFTD2XXWrapper::LastDLLErrorCode() const {
    return fLastDLLErrorCode;
}
std::uint32_t TFTD2XXWrapper::LastFTD2XXError() const {
    return fLastFTD2XXError.load();
}
std::uint32_t TFTD2XXWrapper::FTLibraryVersion() const {
    return fFTD2XXLibraryVersion;
}
std::string TFTD2XXWrapper::LoadedDLLFileName() const {
    return fLoadedDLLFileName;
}
std::uint32_t TFTD2XXWrapper::LastMMResult() const {
    return fLastMMResult;
}
std::int64_t TFTD2XXWrapper::MMTicks() const {
    return fMMTicks.load();
}
void TFTD2XXWrapper::SetMMTicks(std::int64_t v) {
    fMMTicks.store(v);
}

void TFTD2XXWrapper::StoreStatus(FT_STATUS status) {
    fLastFTD2XXError.store(status);
}

// ---- Cables -------------------------------------------------------------------------------------

bool TFTD2XXWrapper::ScanDevices() {
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

bool TFTD2XXWrapper::OpenAvailableInterfaceByIndex(int Idx) {
    if (!ScanDevices())
        return false;
    if (Idx < 0 || Idx >= DeviceCount()) {
        fLastDLLErrorCode = DLLErrorIndexOutOfBounds;
        fLastDLLErrorString = FormatIndexOutOfBounds(Idx);
        return false;
    }
    FT_HANDLE handle = nullptr;
    FT_STATUS status = Call(
        FTOpen, static_cast<int>(fDeviceList[static_cast<std::size_t>(Idx)]->fFTD2XXDeviceIndex), &handle);
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
    step([&] {
        return Call(FTGetDeviceInfo, handle, &type, &id, serial, description, static_cast<void*>(nullptr));
    });
    step([&] { return Call(FTSetBaudRate, handle, FT_DWORD{RDMLine::DataBaudRate}); });
    step([&] { return Call(FTSetDataCharacteristics, handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE); });
    step([&] { return Call(FTSetFlowControl, handle, FT_FLOW_NONE, std::uint8_t{0}, std::uint8_t{0}); });
    step([&] {
        return Call(FTSetChars, handle, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0});
    });
    step([&] { return Call(FTPurge, handle, FT_PURGE_RX | FT_PURGE_TX); });
    step([&] { return Call(FTClrRts, handle); });
    if (status != FT_OK) {
        Call(FTClose, handle); // nobody else holds this handle: don't leave the cable open
        return false;
    }

    auto dmxInterface = std::make_unique<TDMXInterface>();
    dmxInterface->fWrapper = this;
    dmxInterface->fDeviceHandle = handle;
    dmxInterface->fLatencyTimerMs = LowerLatencyTimer(handle);
    std::lock_guard<std::mutex> guard(DMXLock);
    fInterfaceList.push_back(std::move(dmxInterface));
    return true;
}

// Returns the latency timer the cable has afterwards. A library without FT_SetLatencyTimer, or a
// refusal, leaves the chip's own timer: replies come later, but the cable works as well, so the
// status is not kept (the session would take it for a lost cable).
int TFTD2XXWrapper::LowerLatencyTimer(FT_HANDLE handle) {
    if (Call(FTSetLatencyTimer, handle, LoweredLatencyTimerMs) != FT_OK)
        return FT232RResetLatencyTimerMs;
    return LoweredLatencyTimerMs;
}

int TFTD2XXWrapper::LatencyTimerMs(int Idx) const {
    if (!IsValidInterface(Idx))
        return FT232RResetLatencyTimerMs;
    return fInterfaceList[static_cast<std::size_t>(Idx)]->fLatencyTimerMs;
}

int TFTD2XXWrapper::DeviceCount() const {
    return static_cast<int>(fDeviceList.size());
}
int TFTD2XXWrapper::InterfaceCount() const {
    return static_cast<int>(fInterfaceList.size());
}
const TDeviceList& TFTD2XXWrapper::DeviceList() const {
    return fDeviceList;
}

std::string TFTD2XXWrapper::GetDeviceDescription(int Idx) const {
    if (Idx < 0 || Idx >= DeviceCount())
        return {};
    return fDeviceList[static_cast<std::size_t>(Idx)]->DeviceDescriptionString();
}

std::string TFTD2XXWrapper::GetDeviceSerialNo(int Idx) const {
    if (Idx < 0 || Idx >= DeviceCount())
        return {};
    return fDeviceList[static_cast<std::size_t>(Idx)]->SerialNumberString();
}

std::string TFTD2XXWrapper::MakeDeviceID(const std::string& description, const std::string& serial) {
    return description + " " + serial;
}
