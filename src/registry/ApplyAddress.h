#pragma once

#include "platform/Platform.h"

#include <string_view>

namespace hostwend {

// Writes the address and port into the TARN client's registry values, in their
// fixed order. At the first failure it shows that step's message and stops;
// returns true only when every step succeeded.
[[nodiscard]] bool ApplyAddress(Platform& platform, std::wstring_view address, std::wstring_view port);

} // namespace hostwend
