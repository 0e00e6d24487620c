#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// Rewrites one existing value in the type it already has. Returns "" on
// success, else an "#ERROR :nn#" marker; callers test only for empty.
[[nodiscard]] std::wstring UpdateRegValue(Registry& registry, RegKey root, std::wstring_view keyPath,
                                          std::wstring_view valueName, std::wstring_view newValue);

// The same road without the write: the result UpdateRegValue would give, a
// write the registry would refuse aside, and stricter in one point: text that
// the code page cannot carry fails here. Opens with the same rights.
[[nodiscard]] std::wstring CheckRegValue(Registry& registry, RegKey root, std::wstring_view keyPath,
                                         std::wstring_view valueName, std::wstring_view newValue);

// newValue as an update stores it in a value of this type, shown as a read of
// that value would show it afterwards; nullopt when it cannot be stored.
[[nodiscard]] std::optional<std::wstring> NewDataAsStored(Registry& registry, std::uint32_t type,
                                                          std::wstring_view newValue);

// What an update result means, for a person; "" for success.
[[nodiscard]] std::wstring_view DescribeUpdateResult(std::wstring_view result);

// Whether a result says that the new data, not the value, is what cannot be
// stored: no whole number for a REG_DWORD, or text outside the code page.
enum class DataMisfit { None, NotAWholeNumber, OutsideCodePage };
[[nodiscard]] DataMisfit MisfitOf(std::wstring_view result);

} // namespace hostwend
