// The D2XX library as this tool sees it: its handle, status and record types, the one list of its
// entry points with a function-pointer type for each (named after the entry point), the fixed
// character arrays of a device record, and the texts of the statuses.
#pragma once

#include <cstdint>
#include <string>

// Calling convention of the D2XX entry points; the build sets it where the platform needs one.
#ifndef FTD2XX_CALL
#define FTD2XX_CALL
#endif

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;
using FT_DWORD = std::uint32_t;

// Statuses
constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED_FOR_ERASE = 8;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED_FOR_WRITE = 9;
constexpr FT_STATUS FT_FAILED_TO_WRITE_DEVICE = 10;
constexpr FT_STATUS FT_EEPROM_READ_FAILED = 11;
constexpr FT_STATUS FT_EEPROM_WRITE_FAILED = 12;
constexpr FT_STATUS FT_EEPROM_ERASE_FAILED = 13;
constexpr FT_STATUS FT_EEPROM_NOT_PRESENT = 14;
constexpr FT_STATUS FT_EEPROM_NOT_PROGRAMMED = 15;
constexpr FT_STATUS FT_INVALID_ARGS = 16;
constexpr FT_STATUS FT_NOT_SUPPORTED = 17;
constexpr FT_STATUS FT_OTHER_ERROR = 18;

// Values passed to the driver
constexpr std::uint8_t FT_BITS_8 = 8;
constexpr std::uint8_t FT_STOP_BITS_2 = 2;
constexpr std::uint8_t FT_PARITY_NONE = 0;
constexpr std::uint16_t FT_FLOW_NONE = 0;
constexpr FT_DWORD FT_PURGE_RX = 1;
constexpr FT_DWORD FT_PURGE_TX = 2;
constexpr FT_DWORD FT_FLAGS_OPENED = 1;
constexpr FT_DWORD FT_DEVICE_232R = 5;
// The FT232R's latency timer as it comes out of reset, in ms.
constexpr int FT232RResetLatencyTimerMs = 16;

using TDeviceSerialNumber = char[16];
using TDeviceDescription = char[64];

// One record of FT_GetDeviceInfoList, in the platform's native layout.
struct FT_DEVICE_LIST_INFO_NODE {
    FT_DWORD Flags;
    FT_DWORD Type;
    FT_DWORD ID;
    FT_DWORD LocId;
    TDeviceSerialNumber SerialNumber;
    TDeviceDescription Description;
    FT_HANDLE ftHandle;
};
static_assert(sizeof(FT_DEVICE_LIST_INFO_NODE) == 96 + sizeof(void*), "100 bytes on 32-bit, 104 on 64-bit");

// Whether binding needs an entry point: a library without a Required one is reported and not
// used; one without an Optional one binds as well, and the wrapper does without what it offers.
enum class TEntryPointNeed { Required, Optional };

// The D2XX entry points the tool binds, each written once, in the order in which they are resolved:
// X(entry point, the wrapper's field for it, Required or Optional, its parameters). The
// function-pointer type of each is T<entry point>; the wrapper declares, forgets and resolves its
// fields from the same list. FT_SetLatencyTimer only shortens the wait for replies, so a library
// without it is used as it is.
// clang-format off
#define FTD2XX_ENTRY_POINTS(X)                                                                                   \
    X(FT_GetLibraryVersion,      fGetLibraryVersion,       Required, (FT_DWORD* version))                        \
    X(FT_CreateDeviceInfoList,   FTCreateDeviceInfoList,   Required, (FT_DWORD* numDevs))                        \
    X(FT_GetDeviceInfoList,      FTGetDeviceInfoList,      Required, (FT_DEVICE_LIST_INFO_NODE* dest,            \
                                                                      FT_DWORD* numDevs))                        \
    X(FT_GetDeviceInfo,          FTGetDeviceInfo,          Required, (FT_HANDLE handle, FT_DWORD* type,          \
                                                                      FT_DWORD* id, char* serialNumber,          \
                                                                      char* description, void* dummy))           \
    X(FT_GetDriverVersion,       FTGetDriverVersion,       Required, (FT_HANDLE handle, FT_DWORD* version))      \
    X(FT_Open,                   FTOpen,                   Required, (int deviceNumber, FT_HANDLE* handle))      \
    X(FT_Close,                  FTClose,                  Required, (FT_HANDLE handle))                         \
    X(FT_SetBaudRate,            FTSetBaudRate,            Required, (FT_HANDLE handle, FT_DWORD baudRate))      \
    X(FT_SetDataCharacteristics, FTSetDataCharacteristics, Required, (FT_HANDLE handle, std::uint8_t wordLength, \
                                                                      std::uint8_t stopBits,                     \
                                                                      std::uint8_t parity))                      \
    X(FT_SetFlowControl,         FTSetFlowControl,         Required, (FT_HANDLE handle,                          \
                                                                      std::uint16_t flowControl,                 \
                                                                      std::uint8_t xonChar,                      \
                                                                      std::uint8_t xoffChar))                    \
    X(FT_SetChars,               FTSetChars,               Required, (FT_HANDLE handle, std::uint8_t eventChar,  \
                                                                      std::uint8_t eventCharEnabled,             \
                                                                      std::uint8_t errorChar,                    \
                                                                      std::uint8_t errorCharEnabled))            \
    X(FT_Purge,                  FTPurge,                  Required, (FT_HANDLE handle, FT_DWORD mask))          \
    X(FT_ClrRts,                 FTClrRts,                 Required, (FT_HANDLE handle))                         \
    X(FT_SetRts,                 FTSetRts,                 Required, (FT_HANDLE handle))                         \
    X(FT_SetBreakOn,             FTSetBreakOn,             Required, (FT_HANDLE handle))                         \
    X(FT_SetBreakOff,            FTSetBreakOff,            Required, (FT_HANDLE handle))                         \
    X(FT_GetStatus,              FTGetStatus,              Required, (FT_HANDLE handle, FT_DWORD* rxQueue,       \
                                                                      FT_DWORD* txQueue,                         \
                                                                      FT_DWORD* eventStatus))                    \
    X(FT_Write,                  FTWrite,                  Required, (FT_HANDLE handle, void* buffer,            \
                                                                      FT_DWORD bytesToWrite,                     \
                                                                      FT_DWORD* bytesWritten))                   \
    X(FT_Read,                   FTRead,                   Required, (FT_HANDLE handle, void* buffer,            \
                                                                      FT_DWORD bytesToRead,                      \
                                                                      FT_DWORD* bytesReturned))                  \
    X(FT_SetTimeouts,            FTSetTimeOuts,            Required, (FT_HANDLE handle, FT_DWORD readTimeout,    \
                                                                      FT_DWORD writeTimeout))                    \
    X(FT_SetLatencyTimer,        FTSetLatencyTimer,        Optional, (FT_HANDLE handle, std::uint8_t timerMs))
// clang-format on

#define FTD2XX_ENTRY_POINT_TYPE(name, field, need, parameters)                                               \
    using T##name = FT_STATUS(FTD2XX_CALL*) parameters;
FTD2XX_ENTRY_POINTS(FTD2XX_ENTRY_POINT_TYPE)
#undef FTD2XX_ENTRY_POINT_TYPE

// Text of a D2XX status; "Undefined error code" for 0 and anything above 18.
std::string FTStatusToString(FT_STATUS status);
