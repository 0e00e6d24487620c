#pragma once

#include "platform/Registry.h"

namespace hostwend {

// The registry and the ANSI code page on Windows: each call is the named system function.
class Win32Registry final : public Registry {
public:
    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                            std::uint32_t access, RegKey& opened) override;
    RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                               std::uint32_t& size) override;
    RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override;
    RegStatus RegCloseKey(RegKey key) override;
    RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) override;
    RegStatus RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                              std::wstring_view securitySddl, RegKey& opened) override;
    RegStatus RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access, RegKey& opened) override;
    RegStatus RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
    RegStatus RegDeleteValueW(RegKey key, std::wstring_view valueName) override;
    RegStatus RegFlushKey(RegKey key) override;
    RegStatus RegGetKeySecurity(RegKey key, KeySecurity& security) override;
    std::string ToAnsi(std::wstring_view text) override;
    std::wstring FromAnsi(std::string_view text) override;
};

} // namespace hostwend
