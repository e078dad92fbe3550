// The handles this library has given out. A handle is an opaque number, never an address, so a
// stale or made-up handle is recognised as unknown instead of being followed.
#pragma once

#include "Ftd2xxAbi.h"
#include "OpenCable.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace ftd2xx {

class HandleTable {
  public:
    static HandleTable& Instance();

    FT_HANDLE Add(std::unique_ptr<OpenCable> cable);
    // The cable behind a handle, kept alive for the caller even if another thread closes it.
    std::shared_ptr<OpenCable> Find(FT_HANDLE handle) const;
    std::shared_ptr<OpenCable> Remove(FT_HANDLE handle);
    // The handle open on the cable at that address; null when there is none.
    FT_HANDLE HandleAt(UsbAddress address) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::uintptr_t, std::shared_ptr<OpenCable>> cables_;
    std::uintptr_t next_ = 0x1000;
};

} // namespace ftd2xx
