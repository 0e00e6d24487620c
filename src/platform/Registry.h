#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// Registry handles are opaque pointer-sized values; a predefined root such as
// HKEY_LOCAL_MACHINE is the sign-extended 32-bit constant Windows uses.
using RegKey = std::uintptr_t;
using RegStatus = std::int32_t;

inline constexpr RegKey kHkeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorPathNotFound = 3;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyRead = 0x20019;
// The TARN client is a 32-bit program: its settings live in the 32-bit view,
// which a 64-bit build only sees when it asks for it.
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
// Hostwend's own record lives in the 64-bit view, which 64-bit and 32-bit
// builds share through this flag; 32-bit Windows has one view and ignores it.
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Who may do what to a key, as its security descriptor says.
struct AccessEntry {
    bool allows = true;        // false: a deny entry
    std::wstring sid;          // "S-1-5-32-544"; empty when the entry's kind carries none we read
    std::uint32_t mask = 0;
    bool inheritOnly = false;  // applies to subkeys only, not to the key itself
};
struct KeySecurity {
    std::wstring ownerSid;
    bool hasDacl = false;  // no DACL lets everyone do everything
    std::vector<AccessEntry> dacl;
};

// The registry, and the ANSI code page its A functions speak. Text inside the
// program is wide; ToAnsi/FromAnsi are the caller's, so that byte counts are
// the caller's to get right.
class Registry {
public:
    virtual ~Registry() = default;

    virtual RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t access, RegKey& opened) = 0;
    // Queries only the type and size of a value; reads no data.
    virtual RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                       std::uint32_t& size) = 0;
    virtual RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) = 0;
    virtual RegStatus RegCloseKey(RegKey key) = 0;
    // Reads a value's type and data as the registry holds them, text in
    // UTF-16 (RegQueryValueExW), so that no character is lost to the code page.
    virtual RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                                       std::vector<std::uint8_t>& data) = 0;

    // Creates a key, its parents as needed, with the security descriptor
    // given in SDDL; an existing key is opened and keeps its own security.
    virtual RegStatus RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                                      std::wstring_view securitySddl, RegKey& opened) = 0;
    virtual RegStatus RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                                    RegKey& opened) = 0;
    // Writes exactly these bytes in this type.
    virtual RegStatus RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                                     const std::vector<std::uint8_t>& data) = 0;
    virtual RegStatus RegDeleteValueW(RegKey key, std::wstring_view valueName) = 0;
    // Returns once what was written to the key is on disk.
    virtual RegStatus RegFlushKey(RegKey key) = 0;
    // The key's owner and DACL (RegGetKeySecurity); needs READ_CONTROL.
    virtual RegStatus RegGetKeySecurity(RegKey key, KeySecurity& security) = 0;

    virtual std::string ToAnsi(std::wstring_view text) = 0;
    virtual std::wstring FromAnsi(std::string_view text) = 0;
};

} // namespace hostwend
