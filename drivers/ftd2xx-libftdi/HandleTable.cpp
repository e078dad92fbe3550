#include "HandleTable.h"

namespace ftd2xx {

namespace {
constexpr std::uintptr_t HandleStep = 0x10;
}

HandleTable& HandleTable::Instance() {
    static HandleTable table;
    return table;
}

FT_HANDLE HandleTable::Add(std::unique_ptr<OpenCable> cable) {
    std::lock_guard lock(mutex_);
    const std::uintptr_t value = next_;
    next_ += HandleStep;
    cables_.emplace(value, std::move(cable));
    return reinterpret_cast<FT_HANDLE>(value);
}

std::shared_ptr<OpenCable> HandleTable::Find(FT_HANDLE handle) const {
    std::lock_guard lock(mutex_);
    const auto it = cables_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == cables_.end() ? nullptr : it->second;
}

std::shared_ptr<OpenCable> HandleTable::Remove(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = cables_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == cables_.end())
        return nullptr;
    std::shared_ptr<OpenCable> cable = std::move(it->second);
    cables_.erase(it);
    return cable;
}

FT_HANDLE HandleTable::HandleAt(UsbAddress address) const {
    std::lock_guard lock(mutex_);
    for (const auto& [value, cable] : cables_)
        if (cable->Address() == address)
            return reinterpret_cast<FT_HANDLE>(value);
    return nullptr;
}

} // namespace ftd2xx
