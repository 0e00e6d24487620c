#pragma once

#include <string>
#include <string_view>

namespace hostwend {

// Why a value that will be applied all the same looks wrong, or "" when it
// does not: an address that is neither a dotted IPv4 address nor a host name,
// or whose dotted numbers have a leading zero, a port that is not a whole
// number from 1 to 65535.
// profileName names the file the value came from, as a refusal does.
[[nodiscard]] std::wstring ProfileValueWarning(std::wstring_view key, std::wstring_view value,
                                               std::wstring_view profileName = L"HWD.ini");

} // namespace hostwend
