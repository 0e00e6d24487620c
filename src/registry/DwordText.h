#pragma once

#include "platform/DecimalText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// An optionally signed whole decimal number in the signed 32-bit range, with
// spaces (U+0020) allowed around it; nullopt for any other text.
[[nodiscard]] std::optional<std::int32_t> ParseDwordText(std::wstring_view text) noexcept;


} // namespace hostwend
