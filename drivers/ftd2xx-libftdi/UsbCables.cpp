#include "UsbCables.h"

#include "Ftd2xxAbi.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstring>

// Only where libusb has it (a stand-in may not): without it, a claimed interface counts as held.
#pragma weak libusb_kernel_driver_active

namespace ftd2xx {

FoundCables::FoundCables(ftdi_context* ftdi) {
    if (ftdi_usb_find_all(ftdi, &list_, FT232RVendor, FT232RProduct) < 0)
        return;
    for (ftdi_device_list* entry = list_; entry != nullptr; entry = entry->next)
        devices_.push_back(entry->dev);
    std::stable_sort(devices_.begin(), devices_.end(), [](libusb_device* a, libusb_device* b) {
        const UsbAddress left = AddressOf(a);
        const UsbAddress right = AddressOf(b);
        return left.bus != right.bus ? left.bus < right.bus : left.address < right.address;
    });
    succeeded_ = true;
}

FoundCables::~FoundCables() {
    ftdi_list_free(&list_);
}

UsbAddress AddressOf(libusb_device* device) {
    return UsbAddress{libusb_get_bus_number(device), libusb_get_device_address(device)};
}

UsbStrings StringsOf(ftdi_context* ftdi, libusb_device* device) {
    // Longer than the record's fields, so a long string is cut there and not by libusb.
    char description[128] = {};
    char serial[64] = {};
    if (ftdi_usb_get_strings2(ftdi, device, nullptr, 0, description, sizeof description, serial,
                              sizeof serial) < 0)
        return {};
    return UsbStrings{description, serial};
}

std::uint32_t D2xxTypeOf(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0)
        return FT_DEVICE_UNKNOWN;
    switch (descriptor.bcdDevice) {
    case 0x0200:
        return descriptor.iSerialNumber == 0 ? FT_DEVICE_BM
                                             : FT_DEVICE_AM; // a BM without serial shows as 0x200
    case 0x0400:
        return FT_DEVICE_BM;
    case 0x0500:
        return FT_DEVICE_2232C;
    case 0x0600:
        return FT_DEVICE_232R;
    case 0x0700:
        return FT_DEVICE_2232H;
    case 0x0800:
        return FT_DEVICE_4232H;
    case 0x0900:
        return FT_DEVICE_232H;
    case 0x1000:
        return FT_DEVICE_X_SERIES;
    default:
        return FT_DEVICE_UNKNOWN;
    }
}

bool HeldElsewhere(libusb_device* device) {
    libusb_device_handle* handle = nullptr;
    const int opened = libusb_open(device, &handle);
    if (opened != 0)
        return opened == LIBUSB_ERROR_BUSY;
    bool held = false;
    const int claimed = libusb_claim_interface(handle, 0);
    if (claimed == 0)
        libusb_release_interface(handle, 0);
    else if (claimed == LIBUSB_ERROR_BUSY)
        held = libusb_kernel_driver_active == nullptr || libusb_kernel_driver_active(handle, 0) != 1;
    libusb_close(handle);
    return held;
}

void CopyToField(const std::string& text, char* field, std::size_t size) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size));
}

} // namespace ftd2xx
