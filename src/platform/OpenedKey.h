#pragma once

#include "platform/Registry.h"

namespace hostwend {

// An open registry key, closed on every way out.
class OpenedKey {
public:
    OpenedKey(Registry& registry, RegKey key) noexcept : registry_(registry), key_(key) {}
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey() { registry_.RegCloseKey(key_); }
    RegKey Get() const noexcept { return key_; }

private:
    Registry& registry_;
    RegKey key_;
};

} // namespace hostwend
