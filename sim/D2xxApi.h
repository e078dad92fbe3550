/* The twenty-one D2XX entry points the virtual cable exports, declared with the platform's D2XX ABI:
 * statuses and DWORD values are 32-bit unsigned, handles are pointer-sized, and 32-bit Windows
 * uses the __stdcall convention. Written from FTDI's documented API for callers of the virtual
 * cable (its own tests); the tool declares these itself.
 */
#ifndef ZYL_VIRTUAL_CABLE_D2XX_API_H
#define ZYL_VIRTUAL_CABLE_D2XX_API_H

#include "VirtualCable.h"

#if defined(_WIN32) && !defined(_WIN64)
#define VC_D2XX_CALL __stdcall
#else
#define VC_D2XX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t VC_FT_STATUS;
typedef uint32_t VC_DWORD;
typedef void* VC_FT_HANDLE;

enum VC_FtStatus {
    VC_FT_OK = 0,
    VC_FT_INVALID_HANDLE = 1,
    VC_FT_DEVICE_NOT_FOUND = 2,
    VC_FT_DEVICE_NOT_OPENED = 3,
    VC_FT_IO_ERROR = 4,
    VC_FT_INSUFFICIENT_RESOURCES = 5,
    VC_FT_INVALID_PARAMETER = 6,
    VC_FT_INVALID_BAUD_RATE = 7,
    VC_FT_INVALID_ARGS = 16,
    VC_FT_NOT_SUPPORTED = 17,
    VC_FT_OTHER_ERROR = 18
};

enum {
    VC_FT_PURGE_RX = 1,
    VC_FT_PURGE_TX = 2,
    VC_FT_BITS_8 = 8,
    VC_FT_STOP_BITS_2 = 2,
    VC_FT_PARITY_NONE = 0,
    VC_FT_FLOW_NONE = 0,
    VC_FT_DEVICE_232R = 5,
    VC_FT_FLAGS_OPENED = 1
};

/* The driver's device-information record in its native layout: 104 bytes on 64-bit builds,
 * 100 on 32-bit builds. */
typedef struct VC_FT_DEVICE_LIST_INFO_NODE {
    uint32_t Flags;
    uint32_t Type;
    uint32_t ID;
    uint32_t LocId;
    char SerialNumber[16];
    char Description[64];
    VC_FT_HANDLE ftHandle;
} VC_FT_DEVICE_LIST_INFO_NODE;

VC_API VC_FT_STATUS VC_D2XX_CALL FT_GetLibraryVersion(VC_DWORD* version);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_CreateDeviceInfoList(VC_DWORD* numDevices);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_GetDeviceInfoList(VC_FT_DEVICE_LIST_INFO_NODE* list,
                                                      VC_DWORD* numDevices);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_GetDeviceInfo(VC_FT_HANDLE handle, VC_DWORD* type, VC_DWORD* id,
                                                  char* serialNumber, char* description, void* dummy);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_GetDriverVersion(VC_FT_HANDLE handle, VC_DWORD* version);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_Open(int deviceNumber, VC_FT_HANDLE* handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_Close(VC_FT_HANDLE handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetBaudRate(VC_FT_HANDLE handle, VC_DWORD baudRate);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetDataCharacteristics(VC_FT_HANDLE handle, unsigned char wordLength,
                                                           unsigned char stopBits, unsigned char parity);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetFlowControl(VC_FT_HANDLE handle, unsigned short flowControl,
                                                   unsigned char xonChar, unsigned char xoffChar);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetChars(VC_FT_HANDLE handle, unsigned char eventChar,
                                             unsigned char eventCharEnabled, unsigned char errorChar,
                                             unsigned char errorCharEnabled);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_Purge(VC_FT_HANDLE handle, VC_DWORD mask);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_ClrRts(VC_FT_HANDLE handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetRts(VC_FT_HANDLE handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetBreakOn(VC_FT_HANDLE handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetBreakOff(VC_FT_HANDLE handle);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_GetStatus(VC_FT_HANDLE handle, VC_DWORD* rxBytes, VC_DWORD* txBytes,
                                              VC_DWORD* eventStatus);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_Write(VC_FT_HANDLE handle, void* buffer, VC_DWORD bytesToWrite,
                                          VC_DWORD* bytesWritten);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_Read(VC_FT_HANDLE handle, void* buffer, VC_DWORD bytesToRead,
                                         VC_DWORD* bytesReturned);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetTimeouts(VC_FT_HANDLE handle, VC_DWORD readTimeout,
                                                VC_DWORD writeTimeout);
VC_API VC_FT_STATUS VC_D2XX_CALL FT_SetLatencyTimer(VC_FT_HANDLE handle, unsigned char timerMs);

#ifdef __cplusplus
}
#endif

#endif
