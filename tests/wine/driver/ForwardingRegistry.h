#pragma once

#include "platform/win32/Win32Registry.h"

namespace hostwend::driver {

// The real registry, each call forwarded so that a test or a benchmark can
// override one to watch it.
class ForwardingRegistry : public Registry {
public:
    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                            RegKey& opened) override
    {
        return real_.RegOpenKeyExA(root, subKey, options, access, opened);
    }
    RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                               std::uint32_t& size) override
    {
        return real_.RegQueryValueExA(key, valueName, type, size);
    }
    RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override
    {
        return real_.RegSetValueExA(key, valueName, type, data, size);
    }
    RegStatus RegCloseKey(RegKey key) override { return real_.RegCloseKey(key); }
    RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) override
    {
        return real_.RegQueryValueExW(key, valueName, type, data);
    }
    RegStatus RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                              std::wstring_view securitySddl, RegKey& opened) override
    {
        return real_.RegCreateKeyExW(root, subKey, access, securitySddl, opened);
    }
    RegStatus RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access, RegKey& opened) override
    {
        return real_.RegOpenKeyExW(root, subKey, access, opened);
    }
    RegStatus RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override
    {
        return real_.RegSetValueExW(key, valueName, type, data);
    }
    RegStatus RegDeleteValueW(RegKey key, std::wstring_view valueName) override
    {
        return real_.RegDeleteValueW(key, valueName);
    }
    RegStatus RegFlushKey(RegKey key) override { return real_.RegFlushKey(key); }
    RegStatus RegGetKeySecurity(RegKey key, KeySecurity& security) override
    {
        return real_.RegGetKeySecurity(key, security);
    }
    std::string ToAnsi(std::wstring_view text) override { return real_.ToAnsi(text); }
    std::wstring FromAnsi(std::string_view text) override { return real_.FromAnsi(text); }

private:
    Win32Registry real_;
};

} // namespace hostwend::driver
