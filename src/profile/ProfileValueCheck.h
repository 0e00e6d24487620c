#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hostwend {

// Why a value read from HWD.ini must not be applied, as the operator is told,
// or "" when it may be. A blank value would overwrite working settings with
// nothing; one that filled the read buffer may have been cut.
[[nodiscard]] std::wstring ProfileValueRefusal(std::wstring_view key, std::wstring_view value,
                                               std::int16_t profileLength);

// Why a value that will be applied all the same looks wrong, or "" when it
// does not: an address that is neither a dotted IPv4 address nor a host name,
// a port that is not a whole number from 1 to 65535.
[[nodiscard]] std::wstring ProfileValueWarning(std::wstring_view key, std::wstring_view value);

} // namespace hostwend
