#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// How an update of one value went; the numbers are those of the markers
// ("#ERROR :12#") that operators and old scripts know.
enum class UpdateResult {
    Done = 0,
    KeyNotOpened = 11,
    ValueNotFound = 12,
    WriteRefused = 13,
    UnsupportedType = 14,
    NotAWholeNumber = 15,
    OutsideCodePage = 16,  // a check's only: an update writes the substitutes
};

// Rewrites one existing value in the type it already has.
[[nodiscard]] UpdateResult UpdateRegValue(Registry& registry, RegKey root, std::wstring_view keyPath,
                                          std::wstring_view valueName, std::wstring_view newValue);

// The same road without the write: the result UpdateRegValue would give, a
// write the registry would refuse aside, and stricter in one point: text that
// the code page cannot carry fails here. Opens with the same rights.
[[nodiscard]] UpdateResult CheckRegValue(Registry& registry, RegKey root, std::wstring_view keyPath,
                                         std::wstring_view valueName, std::wstring_view newValue);

// newValue as an update stores it in a value of this type, shown as a read of
// that value would show it afterwards; nullopt when it cannot be stored.
[[nodiscard]] std::optional<std::wstring> NewDataAsStored(Registry& registry, std::uint32_t type,
                                                          std::wstring_view newValue);

// The same as the bytes a RegQueryValueExW read returns after the update:
// what tells a value that already holds its new data from one to rewrite.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> NewDataBytes(Registry& registry, std::uint32_t type,
                                                                    std::wstring_view newValue);

// "" for Done, else the marker, "#ERROR :12#".
[[nodiscard]] std::wstring UpdateResultMarker(UpdateResult result);

// What an update result means, for a person; "" for Done.
[[nodiscard]] std::wstring_view DescribeUpdateResult(UpdateResult result);

// Whether a result says that the new data, not the value, is what cannot be
// stored: no whole number for a REG_DWORD, or text outside the code page.
[[nodiscard]] inline bool IsDataMisfit(UpdateResult result)
{
    return result == UpdateResult::NotAWholeNumber || result == UpdateResult::OutsideCodePage;
}

} // namespace hostwend
