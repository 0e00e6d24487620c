#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// A value's type and bytes exactly as a RegQueryValueExW read returns them,
// for comparing and putting back.
struct RegData {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const RegData&) const = default;
};

// A value as it is now: its type and bytes, and its data as text for showing.
struct RegValueNow : RegData {
    std::wstring data;
};

enum class ValueRead {
    Read,
    Missing,     // the key or the value does not exist
    Denied,      // it exists, but may not be read
    Unreadable,  // any other failure, with its status
};

// A value read: the value, or the Windows error that says why there is none.
struct RegValueRead {
    std::optional<RegValueNow> now;
    RegStatus status = kErrorFileNotFound;

    // An administrator must be told a value they cannot read from one that
    // is not there: the first is a permission to mend, the second a client.
    [[nodiscard]] ValueRead State() const
    {
        if (now)
            return ValueRead::Read;
        if (status == kErrorFileNotFound || status == kErrorPathNotFound)
            return ValueRead::Missing;
        return status == kErrorAccessDenied ? ValueRead::Denied : ValueRead::Unreadable;
    }
};

// Reads one value below HKEY_LOCAL_MACHINE in the 32-bit view, opening its key
// for reading only.
[[nodiscard]] RegValueRead ReadRegValue(Registry& registry, std::wstring_view keyPath, std::wstring_view valueName);

// Registry data as text: text types as their text, numbers in decimal,
// anything else as hexadecimal bytes.
[[nodiscard]] std::wstring RegDataText(std::uint32_t type, const std::vector<std::uint8_t>& data);

// "REG_SZ", "REG_DWORD", ...; an unknown type by its number.
[[nodiscard]] std::wstring RegTypeName(std::uint32_t type);

} // namespace hostwend
