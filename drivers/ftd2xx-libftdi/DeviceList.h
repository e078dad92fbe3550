// The device list of FT_CreateDeviceInfoList and FT_GetDeviceInfoList: taken by the first, handed
// out by the second, as the driver keeps it between the two calls.
#pragma once

#include "Ftd2xxAbi.h"

#include <mutex>

namespace ftd2xx {

// Held while cables are listed or opened, so a listing never probes a cable half opened.
std::mutex& EnumerationLock();

FT_STATUS CreateDeviceList(DWORD* count);
FT_STATUS CopyDeviceList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* count);

} // namespace ftd2xx
