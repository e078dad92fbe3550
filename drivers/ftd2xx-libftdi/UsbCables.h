// Finding the FT232R cables on the USB buses through libftdi1, in one stable order that listing and
// opening share, and what each cable tells about itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ftdi_context;
struct ftdi_device_list;
struct libusb_device;

namespace ftd2xx {

constexpr int FT232RVendor = 0x0403;
constexpr int FT232RProduct = 0x6001;
// Vendor in the upper 16 bits, product in the lower, as a D2XX record gives the ID.
constexpr std::uint32_t FT232RDeviceId = (std::uint32_t{FT232RVendor} << 16) | std::uint32_t{FT232RProduct};

// Where a cable sits: a replugged cable gets a new address, so it is a new device.
struct UsbAddress {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    bool operator==(const UsbAddress&) const = default;
};

// The FT232R devices one libftdi1 context sees, ordered by bus and address; released with it.
class FoundCables {
  public:
    explicit FoundCables(ftdi_context* ftdi);
    ~FoundCables();
    FoundCables(const FoundCables&) = delete;
    FoundCables& operator=(const FoundCables&) = delete;

    bool Succeeded() const { return succeeded_; }
    const std::vector<libusb_device*>& Devices() const { return devices_; }

  private:
    ftdi_device_list* list_ = nullptr;
    std::vector<libusb_device*> devices_;
    bool succeeded_ = false;
};

UsbAddress AddressOf(libusb_device* device);

struct UsbStrings {
    std::string description;
    std::string serial;
};
// The product and serial-number strings of a device; empty where the device does not give them.
UsbStrings StringsOf(ftdi_context* ftdi, libusb_device* device);

// The D2XX device type of an FTDI chip, told by its release number (bcdDevice) as FTDI's driver
// tells it: 5 for an FT232R.
std::uint32_t D2xxTypeOf(libusb_device* device);

// True when another program holds the cable's interface, so opening it would fail. A kernel serial
// driver bound to it does not count: opening detaches that one.
bool HeldElsewhere(libusb_device* device);

// Copies a text into a fixed field of a device record: cut to the field, the rest zero.
void CopyToField(const std::string& text, char* field, std::size_t size);

} // namespace ftd2xx
