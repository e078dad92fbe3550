// The twenty-one exported D2XX entry points; the line behind them lives in Simulator.
#include "D2xxApi.h"
#include "Simulator.h"

using vcable::Simulator;

extern "C" {

#ifndef VC_OMIT_GET_LIBRARY_VERSION
VC_FT_STATUS VC_D2XX_CALL FT_GetLibraryVersion(VC_DWORD* version) {
    return Simulator::instance().getLibraryVersion(version);
}
#endif

VC_FT_STATUS VC_D2XX_CALL FT_CreateDeviceInfoList(VC_DWORD* numDevices) {
    return Simulator::instance().createDeviceInfoList(numDevices);
}

VC_FT_STATUS VC_D2XX_CALL FT_GetDeviceInfoList(VC_FT_DEVICE_LIST_INFO_NODE* list, VC_DWORD* numDevices) {
    return Simulator::instance().getDeviceInfoList(list, numDevices);
}

VC_FT_STATUS VC_D2XX_CALL FT_GetDeviceInfo(VC_FT_HANDLE handle, VC_DWORD* type, VC_DWORD* id,
                                           char* serialNumber, char* description, void* /*dummy*/) {
    return Simulator::instance().getDeviceInfo(handle, type, id, serialNumber, description);
}

VC_FT_STATUS VC_D2XX_CALL FT_GetDriverVersion(VC_FT_HANDLE handle, VC_DWORD* version) {
    return Simulator::instance().getDriverVersion(handle, version);
}

VC_FT_STATUS VC_D2XX_CALL FT_Open(int deviceNumber, VC_FT_HANDLE* handle) {
    return Simulator::instance().open(deviceNumber, handle);
}

VC_FT_STATUS VC_D2XX_CALL FT_Close(VC_FT_HANDLE handle) {
    return Simulator::instance().close(handle);
}

VC_FT_STATUS VC_D2XX_CALL FT_SetBaudRate(VC_FT_HANDLE handle, VC_DWORD baudRate) {
    return Simulator::instance().setBaudRate(handle, baudRate);
}

VC_FT_STATUS VC_D2XX_CALL FT_SetDataCharacteristics(VC_FT_HANDLE handle, unsigned char wordLength,
                                                    unsigned char stopBits, unsigned char parity) {
    return Simulator::instance().setDataCharacteristics(handle, wordLength, stopBits, parity);
}

VC_FT_STATUS VC_D2XX_CALL FT_SetFlowControl(VC_FT_HANDLE handle, unsigned short flowControl,
                                            unsigned char xonChar, unsigned char xoffChar) {
    return Simulator::instance().setFlowControl(handle, flowControl, xonChar, xoffChar);
}

VC_FT_STATUS VC_D2XX_CALL FT_SetChars(VC_FT_HANDLE handle, unsigned char eventChar,
                                      unsigned char eventCharEnabled, unsigned char errorChar,
                                      unsigned char errorCharEnabled) {
    return Simulator::instance().setChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
}

VC_FT_STATUS VC_D2XX_CALL FT_Purge(VC_FT_HANDLE handle, VC_DWORD mask) {
    return Simulator::instance().purge(handle, mask);
}

VC_FT_STATUS VC_D2XX_CALL FT_ClrRts(VC_FT_HANDLE handle) {
    return Simulator::instance().setRts(handle, false);
}

#ifndef VC_OMIT_SET_RTS
VC_FT_STATUS VC_D2XX_CALL FT_SetRts(VC_FT_HANDLE handle) {
    return Simulator::instance().setRts(handle, true);
}
#endif

#ifndef VC_OMIT_SET_BREAK_ON
VC_FT_STATUS VC_D2XX_CALL FT_SetBreakOn(VC_FT_HANDLE handle) {
    return Simulator::instance().setBreak(handle, true);
}
#endif

VC_FT_STATUS VC_D2XX_CALL FT_SetBreakOff(VC_FT_HANDLE handle) {
    return Simulator::instance().setBreak(handle, false);
}

VC_FT_STATUS VC_D2XX_CALL FT_GetStatus(VC_FT_HANDLE handle, VC_DWORD* rxBytes, VC_DWORD* txBytes,
                                       VC_DWORD* eventStatus) {
    return Simulator::instance().getStatus(handle, rxBytes, txBytes, eventStatus);
}

VC_FT_STATUS VC_D2XX_CALL FT_Write(VC_FT_HANDLE handle, void* buffer, VC_DWORD bytesToWrite,
                                   VC_DWORD* bytesWritten) {
    return Simulator::instance().write(handle, buffer, bytesToWrite, bytesWritten);
}

VC_FT_STATUS VC_D2XX_CALL FT_Read(VC_FT_HANDLE handle, void* buffer, VC_DWORD bytesToRead,
                                  VC_DWORD* bytesReturned) {
    return Simulator::instance().read(handle, buffer, bytesToRead, bytesReturned);
}

VC_FT_STATUS VC_D2XX_CALL FT_SetTimeouts(VC_FT_HANDLE handle, VC_DWORD readTimeout, VC_DWORD writeTimeout) {
    return Simulator::instance().setTimeouts(handle, readTimeout, writeTimeout);
}

#ifndef VC_OMIT_SET_LATENCY_TIMER
VC_FT_STATUS VC_D2XX_CALL FT_SetLatencyTimer(VC_FT_HANDLE handle, unsigned char timerMs) {
    return Simulator::instance().setLatencyTimer(handle, timerMs);
}
#endif

} // extern "C"

static_assert(sizeof(VC_FT_DEVICE_LIST_INFO_NODE) == (sizeof(void*) == 8 ? 104 : 100),
              "the device-information record must keep the driver's native layout");
