#include "DeviceList.h"

#include "HandleTable.h"
#include "UsbCables.h"

#include <ftdi.h>

#include <memory>
#include <vector>

namespace ftd2xx {

namespace {

struct ListedCable {
    UsbAddress address;
    DWORD type = 0;
    bool heldElsewhere = false;
    UsbStrings strings;
};

std::mutex ListLock;
std::vector<ListedCable> Listed; // under ListLock

// Bus in the upper byte, address in the lower: a number that stays the same while the cable does.
DWORD LocationOf(UsbAddress address) {
    return (static_cast<DWORD>(address.bus) << 8) | address.address;
}

} // namespace

std::mutex& EnumerationLock() {
    static std::mutex lock;
    return lock;
}

FT_STATUS CreateDeviceList(DWORD* count) {
    if (count == nullptr)
        return FT_INVALID_PARAMETER;
    std::unique_ptr<ftdi_context, void (*)(ftdi_context*)> ftdi(ftdi_new(), ftdi_free);
    if (!ftdi)
        return FT_INSUFFICIENT_RESOURCES;
    std::vector<ListedCable> cables;
    {
        std::lock_guard enumerating(EnumerationLock());
        FoundCables found(ftdi.get());
        if (!found.Succeeded())
            return FT_IO_ERROR;
        const HandleTable& handles = HandleTable::Instance();
        for (libusb_device* device : found.Devices()) {
            ListedCable cable;
            cable.address = AddressOf(device);
            cable.type = D2xxTypeOf(device);
            cable.strings = StringsOf(ftdi.get(), device);
            // One of this process's own handles is not probed: its claim would only get in the way.
            cable.heldElsewhere = handles.HandleAt(cable.address) == nullptr && HeldElsewhere(device);
            cables.push_back(std::move(cable));
        }
    }
    std::lock_guard lock(ListLock);
    Listed = std::move(cables);
    *count = static_cast<DWORD>(Listed.size());
    return FT_OK;
}

FT_STATUS CopyDeviceList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* count) {
    if (count == nullptr)
        return FT_INVALID_PARAMETER;
    std::lock_guard lock(ListLock);
    if (!Listed.empty() && dest == nullptr)
        return FT_INVALID_PARAMETER;
    for (std::size_t i = 0; i < Listed.size(); ++i) {
        const ListedCable& cable = Listed[i];
        FT_DEVICE_LIST_INFO_NODE& node = dest[i];
        // Whether this process holds the cable open is asked now, as the driver knows it.
        const FT_HANDLE handle = HandleTable::Instance().HandleAt(cable.address);
        node.Flags = (cable.heldElsewhere || handle != nullptr) ? FT_FLAGS_OPENED : 0;
        node.Type = cable.type;
        node.ID = FT232RDeviceId;
        node.LocId = LocationOf(cable.address);
        CopyToField(cable.strings.serial, node.SerialNumber, sizeof node.SerialNumber);
        CopyToField(cable.strings.description, node.Description, sizeof node.Description);
        node.ftHandle = handle;
    }
    *count = static_cast<DWORD>(Listed.size());
    return FT_OK;
}

} // namespace ftd2xx
