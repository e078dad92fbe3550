// The twenty-one D2XX entry points: each finds its cable by handle and lets it do the work.
#include "DeviceList.h"
#include "Ftd2xxAbi.h"
#include "HandleTable.h"
#include "OpenCable.h"

#include <ftdi.h>

#include <mutex>

using ftd2xx::HandleTable;
using ftd2xx::OpenCable;

namespace {

// Runs `operation` on the cable behind `handle`; an unknown handle is refused before anything else.
template <typename Operation> FT_STATUS OnCable(FT_HANDLE handle, Operation&& operation) {
    const std::shared_ptr<OpenCable> cable = HandleTable::Instance().Find(handle);
    if (!cable)
        return FT_INVALID_HANDLE;
    return operation(*cable);
}

// libftdi1's version as D2XX writes one: 0x00MMmmpp.
DWORD LibraryVersion() {
    const ftdi_version_info version = ftdi_get_library_version();
    return (static_cast<DWORD>(version.major & 0xFF) << 16) |
           (static_cast<DWORD>(version.minor & 0xFF) << 8) | static_cast<DWORD>(version.micro & 0xFF);
}

} // namespace

FT_STATUS FT_GetLibraryVersion(DWORD* version) {
    if (version == nullptr)
        return FT_INVALID_PARAMETER;
    *version = LibraryVersion();
    return FT_OK;
}

FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) {
    return ftd2xx::CreateDeviceList(numDevs);
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs) {
    return ftd2xx::CopyDeviceList(dest, numDevs);
}

FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber, char* description,
                           void* /*dummy*/) {
    return OnCable(
        handle, [&](OpenCable& cable) { return cable.GetDeviceInfo(type, id, serialNumber, description); });
}

FT_STATUS FT_GetDriverVersion(FT_HANDLE handle, DWORD* version) {
    return OnCable(handle, [&](OpenCable& cable) {
        if (const FT_STATUS status = cable.CheckPresent())
            return status;
        if (version == nullptr)
            return FT_STATUS{FT_INVALID_PARAMETER};
        *version = LibraryVersion(); // libftdi1 is the driver here
        return FT_STATUS{FT_OK};
    });
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (handle == nullptr)
        return FT_INVALID_PARAMETER;
    HandleTable& handles = HandleTable::Instance();
    std::lock_guard enumerating(ftd2xx::EnumerationLock());
    std::unique_ptr<OpenCable> cable;
    const FT_STATUS status = OpenCable::Open(
        deviceNumber, [&](ftd2xx::UsbAddress address) { return handles.HandleAt(address) != nullptr; },
        cable);
    if (status != FT_OK)
        return status;
    *handle = handles.Add(std::move(cable));
    return FT_OK;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    const std::shared_ptr<OpenCable> cable = HandleTable::Instance().Remove(handle);
    if (!cable)
        return FT_INVALID_HANDLE;
    return cable->Close();
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baudRate) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.SetBaudRate(baudRate); });
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity) {
    return OnCable(
        handle, [&](OpenCable& cable) { return cable.SetDataCharacteristics(wordLength, stopBits, parity); });
}

FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xonChar, UCHAR xoffChar) {
    return OnCable(handle,
                   [&](OpenCable& cable) { return cable.SetFlowControl(flowControl, xonChar, xoffChar); });
}

FT_STATUS FT_SetChars(FT_HANDLE handle, UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar,
                      UCHAR errorCharEnabled) {
    return OnCable(handle, [&](OpenCable& cable) {
        return cable.SetChars(eventChar, eventCharEnabled, errorChar, errorCharEnabled);
    });
}

FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.Purge(mask); });
}

FT_STATUS FT_ClrRts(FT_HANDLE handle) {
    return OnCable(handle, [](OpenCable& cable) { return cable.SetRts(false); });
}

FT_STATUS FT_SetRts(FT_HANDLE handle) {
    return OnCable(handle, [](OpenCable& cable) { return cable.SetRts(true); });
}

FT_STATUS FT_SetBreakOn(FT_HANDLE handle) {
    return OnCable(handle, [](OpenCable& cable) { return cable.SetBreak(true); });
}

FT_STATUS FT_SetBreakOff(FT_HANDLE handle) {
    return OnCable(handle, [](OpenCable& cable) { return cable.SetBreak(false); });
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventDWord) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.GetStatus(rxBytes, txBytes, eventDWord); });
}

FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.Write(buffer, bytesToWrite, bytesWritten); });
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.Read(buffer, bytesToRead, bytesReturned); });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readTimeout, DWORD writeTimeout) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.SetTimeouts(readTimeout, writeTimeout); });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs) {
    return OnCable(handle, [&](OpenCable& cable) { return cable.SetLatencyTimer(timerMs); });
}
