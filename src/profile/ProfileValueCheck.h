#pragma once

#include "platform/Platform.h"
#include "profile/ProfileState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace hostwend {

// Why a value read from HWD.ini must not be applied, as the operator is told,
// or "" when it may be. A blank value would overwrite working settings with
// nothing; one that filled the read buffer may have been cut.
[[nodiscard]] std::wstring ProfileValueRefusal(std::wstring_view key, std::wstring_view value,
                                               std::int16_t profileLength);

// Reads one key of HWD.ini into value, as every apply does, and returns its
// refusal ("" when it may be applied).
[[nodiscard]] std::wstring ReadProfileValueRefusal(Platform& platform, ProfileState& state, std::wstring_view key,
                                                   std::wstring& value);

} // namespace hostwend
