// The libusb-1.0 functions libftdi1 calls, answered by FT232R chips on the virtual cables: one USB
// device for each plugged cable, its descriptors and strings, the kernel driver's binding, and
// bulk and control transfers, synchronous and submitted, passed on to Ft232rChip.
#include "../Simulator.h"
#include "Ft232rChip.h"

#pragma GCC visibility push(default)
#include <libusb.h>
#pragma GCC visibility pop

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

using vcable::Nanos;
using vcable::Simulator;
using vcable::usb::BulkIn;
using vcable::usb::Ft232rChip;

struct libusb_context {
    int users = 1;
};

struct libusb_device {
    std::atomic<int> references{1};
    int cable;
    uint64_t plugGeneration;
    VC_CableConfig config;
};

struct libusb_device_handle {
    libusb_device* device;
    std::mutex mutex;
    std::shared_ptr<Ft232rChip> chip; // while interface 0 is claimed
    bool autoDetach = false;
    bool reattachOnRelease = false;
};

namespace {

constexpr uint16_t kBcdFt232r = 0x0600;
constexpr uint8_t kManufacturerString = 1;
constexpr uint8_t kProductString = 2;
constexpr uint8_t kSerialString = 3;
constexpr uint8_t kConfigurationValue = 1;
constexpr int kInterface = 0;

struct Registry {
    std::mutex mutex;
    libusb_context* defaultContext = nullptr;
};
Registry& registry() {
    static Registry instance;
    return instance;
}

Simulator& sim() {
    return Simulator::instance();
}

bool present(const libusb_device* device) {
    return sim().usbDevicePresent(device->cable, device->plugGeneration);
}

std::size_t textLength(const char* text, std::size_t capacity) {
    return static_cast<std::size_t>(std::find(text, text + capacity, '\0') - text);
}

// The whole configuration descriptor in one block, freed as one.
struct ConfigBlock {
    libusb_config_descriptor config;
    libusb_interface interface;
    libusb_interface_descriptor setting;
    libusb_endpoint_descriptor endpoints[2];
};

libusb_endpoint_descriptor bulkEndpoint(uint8_t address) {
    libusb_endpoint_descriptor endpoint{};
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = vcable::usb::kMaxPacketSize;
    return endpoint;
}

// Claims interface 0 of an open device: takes the cable's line as FT_Open would.
int claim(libusb_device_handle* handle) {
    if (handle->chip)
        return LIBUSB_SUCCESS;
    const libusb_device& device = *handle->device;
    if (handle->autoDetach && sim().kernelDriverBound(device.cable, device.plugGeneration)) {
        sim().setKernelDriverBound(device.cable, device.plugGeneration, false);
        handle->reattachOnRelease = true;
    }
    if (!present(&device))
        return LIBUSB_ERROR_NO_DEVICE;
    if (sim().kernelDriverBound(device.cable, device.plugGeneration))
        return LIBUSB_ERROR_BUSY; // the serial driver holds the interface
    void* line = nullptr;
    switch (sim().openCable(device.cable, device.plugGeneration, &line)) {
    case VC_FT_OK:
        handle->chip = std::make_shared<Ft232rChip>(line);
        return LIBUSB_SUCCESS;
    case VC_FT_DEVICE_NOT_OPENED:
        return LIBUSB_ERROR_BUSY; // claimed by another process or handle
    case VC_FT_DEVICE_NOT_FOUND:
        return LIBUSB_ERROR_NO_DEVICE;
    default:
        return LIBUSB_ERROR_IO;
    }
}

int release(libusb_device_handle* handle) {
    if (!handle->chip)
        return LIBUSB_ERROR_NOT_FOUND;
    handle->chip.reset();
    const libusb_device& device = *handle->device;
    if (std::exchange(handle->reattachOnRelease, false))
        sim().setKernelDriverBound(device.cable, device.plugGeneration, true);
    return present(&device) ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}

// The chip behind an open handle; as the kernel does, a transfer on an unclaimed interface claims it.
int chipOf(libusb_device_handle* handle, std::shared_ptr<Ft232rChip>& chip) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    std::lock_guard lock(handle->mutex);
    if (const int error = claim(handle))
        return error;
    chip = handle->chip;
    return LIBUSB_SUCCESS;
}

// The checks every call on interface 0 starts with; LIBUSB_SUCCESS when the device may be asked.
int checkInterface(libusb_device_handle* handle, int interface) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (interface != kInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    return present(handle->device) ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}

// ---- Submitted transfers ----

struct Submitted {
    libusb_transfer* transfer;
    std::shared_ptr<Ft232rChip> chip;
    BulkIn in;
    Nanos deadline; // 0: none
    int outResult = 0;
    bool cancelled = false;
};
std::list<Submitted>& submitted() {
    static std::list<Submitted> list;
    return list;
}

// Settles what can be settled by `now`; returns the finished transfers and when to look again.
// Transfers are settled whichever context handles events: every caller of this stand-in waits on its
// own transfers only, and a transfer settled early just waits for its callback.
std::vector<libusb_transfer*> settle(Nanos now, Nanos& wakeAt) {
    std::vector<libusb_transfer*> finished;
    std::lock_guard lock(registry().mutex);
    auto& list = submitted();
    for (auto it = list.begin(); it != list.end();) {
        libusb_transfer* transfer = it->transfer;
        bool done = true;
        if (it->cancelled) {
            transfer->status = LIBUSB_TRANSFER_CANCELLED;
            transfer->actual_length = it->in.filled;
        } else if (transfer->endpoint & LIBUSB_ENDPOINT_IN) {
            it->chip->stepBulkIn(it->in, now);
            transfer->actual_length = it->in.filled;
            if (it->in.done)
                transfer->status = it->in.error == LIBUSB_ERROR_NO_DEVICE ? LIBUSB_TRANSFER_NO_DEVICE
                                   : it->in.error                         ? LIBUSB_TRANSFER_ERROR
                                                                          : LIBUSB_TRANSFER_COMPLETED;
            else if (it->deadline && now >= it->deadline)
                transfer->status = LIBUSB_TRANSFER_TIMED_OUT;
            else {
                done = false;
                wakeAt =
                    std::min(wakeAt, it->deadline ? std::min(it->deadline, it->in.wakeAt) : it->in.wakeAt);
            }
        } else {
            transfer->actual_length = std::max(0, it->outResult);
            transfer->status = it->outResult == LIBUSB_ERROR_NO_DEVICE ? LIBUSB_TRANSFER_NO_DEVICE
                               : it->outResult < 0                     ? LIBUSB_TRANSFER_ERROR
                                                                       : LIBUSB_TRANSFER_COMPLETED;
        }
        if (done) {
            finished.push_back(transfer);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    return finished;
}

Nanos toNanos(const timeval* tv) {
    return tv ? static_cast<Nanos>(tv->tv_sec) * 1'000'000'000 +
                    static_cast<Nanos>(tv->tv_usec) * vcable::kMicro
              : 60'000 * vcable::kMilli;
}

} // namespace

extern "C" {

// ---- Sessions ----

int LIBUSB_CALL libusb_init(libusb_context** context) {
    std::lock_guard lock(registry().mutex);
    if (context) {
        *context = new libusb_context;
        return LIBUSB_SUCCESS;
    }
    if (registry().defaultContext)
        ++registry().defaultContext->users;
    else
        registry().defaultContext = new libusb_context;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context* context) {
    std::lock_guard lock(registry().mutex);
    if (!context) {
        if (registry().defaultContext && --registry().defaultContext->users == 0)
            delete std::exchange(registry().defaultContext, nullptr);
        return;
    }
    delete context;
}

const char* LIBUSB_CALL libusb_error_name(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_NO_DEVICE:
        return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
        return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
        return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
        return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
        return "LIBUSB_ERROR_PIPE";
    default:
        return "LIBUSB_ERROR_OTHER";
    }
}

// ---- Devices ----

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* /*context*/, libusb_device*** list) {
    if (!list)
        return LIBUSB_ERROR_INVALID_PARAM;
    const auto devices = sim().pluggedUsbDevices();
    auto** result = static_cast<libusb_device**>(std::calloc(devices.size() + 1, sizeof(libusb_device*)));
    if (!result)
        return LIBUSB_ERROR_NO_MEM;
    for (std::size_t i = 0; i < devices.size(); ++i)
        result[i] = new libusb_device{{1}, devices[i].cable, devices[i].plugGeneration, devices[i].config};
    *list = result;
    return static_cast<ssize_t>(devices.size());
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* device) {
    if (device)
        device->references.fetch_add(1);
    return device;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* device) {
    if (device && device->references.fetch_sub(1) == 1)
        delete device;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unrefDevices) {
    if (!list)
        return;
    if (unrefDevices)
        for (libusb_device** device = list; *device; ++device)
            libusb_unref_device(*device);
    std::free(static_cast<void*>(list));
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* /*device*/) {
    return 1;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* device) {
    // Addresses change at every plug-in, as the host hands out a new one.
    return static_cast<uint8_t>(2 + device->plugGeneration % 120);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* out) {
    if (!device || !out)
        return LIBUSB_ERROR_INVALID_PARAM;
    *out = libusb_device_descriptor{};
    out->bLength = LIBUSB_DT_DEVICE_SIZE;
    out->bDescriptorType = LIBUSB_DT_DEVICE;
    out->bcdUSB = 0x0200;
    out->bMaxPacketSize0 = 8;
    out->idVendor = static_cast<uint16_t>(device->config.id >> 16);
    out->idProduct = static_cast<uint16_t>(device->config.id & 0xFFFF);
    out->bcdDevice = kBcdFt232r;
    out->iManufacturer = kManufacturerString;
    out->iProduct = kProductString;
    out->iSerialNumber = kSerialString;
    out->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device* device, uint8_t index,
                                             libusb_config_descriptor** out) {
    if (!device || !out)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    auto* block = new ConfigBlock{};
    block->endpoints[0] = bulkEndpoint(vcable::usb::kEndpointIn);
    block->endpoints[1] = bulkEndpoint(vcable::usb::kEndpointOut);
    libusb_interface_descriptor& setting = block->setting;
    setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    setting.bDescriptorType = LIBUSB_DT_INTERFACE;
    setting.bNumEndpoints = 2;
    setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    setting.bInterfaceSubClass = 0xFF;
    setting.bInterfaceProtocol = 0xFF;
    setting.iInterface = kProductString;
    setting.endpoint = block->endpoints;
    block->interface.altsetting = &block->setting;
    block->interface.num_altsetting = 1;
    libusb_config_descriptor& config = block->config;
    config.bLength = LIBUSB_DT_CONFIG_SIZE;
    config.bDescriptorType = LIBUSB_DT_CONFIG;
    config.wTotalLength = LIBUSB_DT_CONFIG_SIZE + LIBUSB_DT_INTERFACE_SIZE + 2 * LIBUSB_DT_ENDPOINT_SIZE;
    config.bNumInterfaces = 1;
    config.bConfigurationValue = kConfigurationValue;
    config.bmAttributes = 0xA0; // bus-powered, remote wake-up
    config.MaxPower = 45;       // 90 mA in 2 mA units
    config.interface = &block->interface;
    *out = &block->config;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(libusb_config_descriptor* config) {
    // `config` is the first member of its block.
    delete reinterpret_cast<ConfigBlock*>(config);
}

// ---- Handles ----

int LIBUSB_CALL libusb_open(libusb_device* device, libusb_device_handle** handle) {
    if (!device || !handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present(device))
        return LIBUSB_ERROR_NO_DEVICE;
    auto* opened = new libusb_device_handle;
    opened->device = libusb_ref_device(device);
    *handle = opened;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
    if (!handle)
        return;
    {
        std::lock_guard lock(handle->mutex);
        release(handle); // closing gives up the interface, as the kernel does
    }
    libusb_unref_device(handle->device);
    delete handle;
}

int LIBUSB_CALL libusb_get_configuration(libusb_device_handle* handle, int* config) {
    if (!handle || !config)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    *config = kConfigurationValue;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_set_configuration(libusb_device_handle* handle, int config) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    return config == kConfigurationValue ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int interface) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (interface != kInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    std::lock_guard lock(handle->mutex);
    return claim(handle);
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* handle, int interface) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (interface != kInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    std::lock_guard lock(handle->mutex);
    return release(handle);
}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                   unsigned char* data, int length) {
    if (!handle || !data || length <= 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (!present(handle->device))
        return LIBUSB_ERROR_NO_DEVICE;
    const VC_CableConfig& config = handle->device->config;
    const char* text = nullptr;
    std::size_t size = 0;
    switch (index) {
    case kManufacturerString:
        text = "FTDI";
        size = 4;
        break;
    case kProductString:
        text = config.description;
        size = textLength(config.description, sizeof config.description);
        break;
    case kSerialString:
        text = config.serial;
        size = textLength(config.serial, sizeof config.serial);
        break;
    default:
        return LIBUSB_ERROR_PIPE; // the chip stalls a request for a string it does not have
    }
    size = std::min(size, static_cast<std::size_t>(length - 1));
    std::memcpy(data, text, size);
    data[size] = '\0';
    return static_cast<int>(size);
}

// ---- The kernel's serial driver ----

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle* handle, int interface) {
    if (const int error = checkInterface(handle, interface))
        return error;
    const libusb_device& device = *handle->device;
    return sim().kernelDriverBound(device.cable, device.plugGeneration) ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle* handle, int interface) {
    if (const int error = checkInterface(handle, interface))
        return error;
    const libusb_device& device = *handle->device;
    if (!sim().kernelDriverBound(device.cable, device.plugGeneration))
        return LIBUSB_ERROR_NOT_FOUND;
    return sim().setKernelDriverBound(device.cable, device.plugGeneration, false) ? LIBUSB_SUCCESS
                                                                                  : LIBUSB_ERROR_NO_DEVICE;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle* handle, int interface) {
    if (const int error = checkInterface(handle, interface))
        return error;
    std::lock_guard lock(handle->mutex);
    const libusb_device& device = *handle->device;
    if (handle->chip || sim().kernelDriverBound(device.cable, device.plugGeneration))
        return LIBUSB_ERROR_BUSY;
    return sim().setKernelDriverBound(device.cable, device.plugGeneration, true) ? LIBUSB_SUCCESS
                                                                                 : LIBUSB_ERROR_NO_DEVICE;
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) {
    if (!handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::lock_guard lock(handle->mutex);
    handle->autoDetach = enable != 0;
    return LIBUSB_SUCCESS;
}

// ---- Synchronous transfers ----

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                                        uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                                        unsigned int /*timeout: the chip answers at once*/) {
    if ((requestType & 0x60) != LIBUSB_REQUEST_TYPE_VENDOR)
        return LIBUSB_ERROR_PIPE; // standard requests come through the descriptor functions here
    std::shared_ptr<Ft232rChip> chip;
    if (const int error = chipOf(handle, chip))
        return error;
    return chip->control(requestType, request, value, index, data, length);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int timeout) {
    if (transferred)
        *transferred = 0;
    if (!data || length < 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::shared_ptr<Ft232rChip> chip;
    if (const int error = chipOf(handle, chip))
        return error;
    if (endpoint == vcable::usb::kEndpointOut) {
        const int result = chip->bulkOut(data, length);
        if (result >= 0 && transferred)
            *transferred = result;
        return result < 0 ? result : LIBUSB_SUCCESS;
    }
    if (endpoint != vcable::usb::kEndpointIn)
        return LIBUSB_ERROR_NOT_FOUND;
    BulkIn in{data, length};
    const Nanos deadline =
        timeout ? vcable::monotonicNow() + static_cast<Nanos>(timeout) * vcable::kMilli : 0;
    for (;;) {
        const Nanos now = vcable::monotonicNow();
        chip->stepBulkIn(in, now);
        if (transferred)
            *transferred = in.filled;
        if (in.done)
            return in.error;
        if (deadline && now >= deadline)
            return LIBUSB_ERROR_TIMEOUT;
        vcable::sleepFor((deadline ? std::min(deadline, in.wakeAt) : in.wakeAt) - now);
    }
}

// ---- Submitted transfers ----

libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int isoPackets) {
    if (isoPackets < 0)
        return nullptr;
    const std::size_t size =
        sizeof(libusb_transfer) + static_cast<std::size_t>(isoPackets) * sizeof(libusb_iso_packet_descriptor);
    auto* transfer = static_cast<libusb_transfer*>(std::calloc(1, size));
    if (transfer)
        transfer->num_iso_packets = isoPackets;
    return transfer;
}

void LIBUSB_CALL libusb_free_transfer(libusb_transfer* transfer) {
    if (!transfer)
        return;
    if (transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER)
        std::free(transfer->buffer);
    std::free(transfer);
}

int LIBUSB_CALL libusb_submit_transfer(libusb_transfer* transfer) {
    if (!transfer || transfer->type != LIBUSB_TRANSFER_TYPE_BULK || transfer->length < 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::shared_ptr<Ft232rChip> chip;
    if (const int error = chipOf(transfer->dev_handle, chip))
        return error;
    const bool in = (transfer->endpoint & LIBUSB_ENDPOINT_IN) != 0;
    if (transfer->endpoint != (in ? vcable::usb::kEndpointIn : vcable::usb::kEndpointOut))
        return LIBUSB_ERROR_NOT_FOUND;
    Submitted entry{transfer, chip, BulkIn{transfer->buffer, transfer->length}, 0};
    if (transfer->timeout)
        entry.deadline = vcable::monotonicNow() + static_cast<Nanos>(transfer->timeout) * vcable::kMilli;
    // Written bytes go onto the line when the host sends them, not when events are handled.
    if (!in)
        entry.outResult = chip->bulkOut(transfer->buffer, transfer->length);
    transfer->actual_length = 0;
    std::lock_guard lock(registry().mutex);
    submitted().push_back(std::move(entry));
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer* transfer) {
    std::lock_guard lock(registry().mutex);
    for (Submitted& entry : submitted()) {
        if (entry.transfer == transfer && !entry.cancelled) {
            entry.cancelled = true;
            return LIBUSB_SUCCESS;
        }
    }
    return LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context* /*context*/, struct timeval* tv,
                                                       int* completed) {
    const Nanos end = vcable::monotonicNow() + toNanos(tv);
    for (;;) {
        if (completed && *completed)
            return LIBUSB_SUCCESS;
        const Nanos now = vcable::monotonicNow();
        Nanos wakeAt = end;
        const auto finished = settle(now, wakeAt);
        // Callbacks run without the lock: they may submit again.
        for (libusb_transfer* transfer : finished) {
            const bool freeAfter = (transfer->flags & LIBUSB_TRANSFER_FREE_TRANSFER) != 0;
            if (transfer->callback)
                transfer->callback(transfer);
            if (freeAfter)
                libusb_free_transfer(transfer);
        }
        if (!finished.empty() || now >= end)
            return LIBUSB_SUCCESS;
        vcable::sleepFor(std::min(wakeAt, end) - now);
    }
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context* context, struct timeval* tv) {
    return libusb_handle_events_timeout_completed(context, tv, nullptr);
}

int LIBUSB_CALL libusb_handle_events_completed(libusb_context* context, int* completed) {
    return libusb_handle_events_timeout_completed(context, nullptr, completed);
}

int LIBUSB_CALL libusb_handle_events(libusb_context* context) {
    return libusb_handle_events_timeout_completed(context, nullptr, nullptr);
}

} // extern "C"
