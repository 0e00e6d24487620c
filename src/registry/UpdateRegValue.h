#pragma once

#include "platform/Platform.h"

#include <string>
#include <string_view>

namespace hostwend {

// Rewrites one existing value in the type it already has. Returns "" on
// success, else an "#ERROR :nn#" marker; callers test only for empty.
[[nodiscard]] std::wstring UpdateRegValue(Platform& platform, RegKey root, std::wstring_view keyPath,
                                          std::wstring_view valueName, std::wstring_view newValue);

} // namespace hostwend
