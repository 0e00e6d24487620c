#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// An optionally signed whole decimal number in the signed 32-bit range, with
// spaces (U+0020) allowed around it; nullopt for any other text.
[[nodiscard]] std::optional<std::int32_t> ParseDwordText(std::wstring_view text) noexcept;

// A number in decimal digits. Not std::to_wstring: that brings the C
// library's whole formatted printing into the window program.
[[nodiscard]] std::wstring DecimalText(std::uint64_t number);

} // namespace hostwend
