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

struct RegValueRead {
    ValueRead read = ValueRead::Missing;
    RegStatus status = kErrorSuccess;
    std::optional<RegValueNow> now;  // set when Read
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
