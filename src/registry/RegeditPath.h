#pragma once

#include <string>
#include <string_view>

namespace hostwend {

// The view the TARN client's values are read and written in, as JSON names it.
inline constexpr std::wstring_view kClientViewName = L"32-bit";

// A key of the 32-bit view below HKEY_LOCAL_MACHINE as regedit shows it on a
// computer with 64-bit (windows64) or 32-bit Windows.
[[nodiscard]] std::wstring RegeditKeyPath(std::wstring_view keyPath, bool windows64);

// The same key in full, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\...": the one
// name every message and record gives it.
[[nodiscard]] std::wstring RegeditKeyName(std::wstring_view keyPath, bool windows64);

} // namespace hostwend
