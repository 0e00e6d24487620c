#pragma once


#include <cstdint>
#include <string>
#include <string_view>

namespace hostwend {

// The name a refusal gives the profile file when it is the one beside the program.
inline constexpr std::wstring_view kProfileFileName = L"HWD.ini";

// Why a value read from the profile file must not be applied, as the operator
// is told, or "" when it may be. A blank value would overwrite working
// settings with nothing; one that filled the read buffer may have been cut.
[[nodiscard]] std::wstring ProfileValueRefusal(std::wstring_view key, std::wstring_view value,
                                               std::int16_t profileLength,
                                               std::wstring_view profileName = kProfileFileName);

} // namespace hostwend
