// The D2XX application interface this library offers, written from FTDI's programmer's guide: the
// entry points callers bind by name, with the same types and calling convention as FTDI's own
// library on Linux (32-bit statuses and DWORDs, pointer-sized handles, the C calling convention).
#pragma once

#include <cstdint>

#define FTD2XX_EXPORT extern "C" __attribute__((visibility("default")))

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;
using DWORD = std::uint32_t;
using UCHAR = unsigned char;
using USHORT = unsigned short;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;

constexpr DWORD FT_PURGE_RX = 1;
constexpr DWORD FT_PURGE_TX = 2;
constexpr DWORD FT_FLAGS_OPENED = 1;
// Device types
constexpr DWORD FT_DEVICE_BM = 0;
constexpr DWORD FT_DEVICE_AM = 1;
constexpr DWORD FT_DEVICE_UNKNOWN = 3;
constexpr DWORD FT_DEVICE_2232C = 4;
constexpr DWORD FT_DEVICE_232R = 5;
constexpr DWORD FT_DEVICE_2232H = 6;
constexpr DWORD FT_DEVICE_4232H = 7;
constexpr DWORD FT_DEVICE_232H = 8;
constexpr DWORD FT_DEVICE_X_SERIES = 9;

constexpr UCHAR FT_BITS_7 = 7;
constexpr UCHAR FT_BITS_8 = 8;
constexpr UCHAR FT_STOP_BITS_1 = 0;
constexpr UCHAR FT_STOP_BITS_2 = 2;
constexpr UCHAR FT_PARITY_SPACE = 4; // highest parity code: none, odd, even, mark, space

constexpr USHORT FT_FLOW_NONE = 0x0000;
constexpr USHORT FT_FLOW_RTS_CTS = 0x0100;
constexpr USHORT FT_FLOW_DTR_DSR = 0x0200;
constexpr USHORT FT_FLOW_XON_XOFF = 0x0400;

constexpr std::size_t FT_SERIAL_NUMBER_SIZE = 16;
constexpr std::size_t FT_DESCRIPTION_SIZE = 64;

// One record of FT_GetDeviceInfoList, in the platform's native layout.
struct FT_DEVICE_LIST_INFO_NODE {
    DWORD Flags;
    DWORD Type;
    DWORD ID;
    DWORD LocId;
    char SerialNumber[FT_SERIAL_NUMBER_SIZE];
    char Description[FT_DESCRIPTION_SIZE];
    FT_HANDLE ftHandle;
};
static_assert(sizeof(FT_DEVICE_LIST_INFO_NODE) == 96 + sizeof(void*), "100 bytes on 32-bit, 104 on 64-bit");

FTD2XX_EXPORT FT_STATUS FT_GetLibraryVersion(DWORD* version);
FTD2XX_EXPORT FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs);
FTD2XX_EXPORT FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs);
FTD2XX_EXPORT FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber,
                                         char* description, void* dummy);
FTD2XX_EXPORT FT_STATUS FT_GetDriverVersion(FT_HANDLE handle, DWORD* version);
FTD2XX_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle);
FTD2XX_EXPORT FT_STATUS FT_Close(FT_HANDLE handle);
FTD2XX_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baudRate);
FTD2XX_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                  UCHAR parity);
FTD2XX_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xonChar,
                                          UCHAR xoffChar);
FTD2XX_EXPORT FT_STATUS FT_SetChars(FT_HANDLE handle, UCHAR eventChar, UCHAR eventCharEnabled,
                                    UCHAR errorChar, UCHAR errorCharEnabled);
FTD2XX_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask);
FTD2XX_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs);
FTD2XX_EXPORT FT_STATUS FT_ClrRts(FT_HANDLE handle);
FTD2XX_EXPORT FT_STATUS FT_SetRts(FT_HANDLE handle);
FTD2XX_EXPORT FT_STATUS FT_SetBreakOn(FT_HANDLE handle);
FTD2XX_EXPORT FT_STATUS FT_SetBreakOff(FT_HANDLE handle);
FTD2XX_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventDWord);
FTD2XX_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);
FTD2XX_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned);
FTD2XX_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readTimeout, DWORD writeTimeout);
