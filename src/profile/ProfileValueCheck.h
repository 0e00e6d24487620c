#pragma once


#include "platform/ProfileFiles.h"
#include "profile/ProfileState.h"
#include "profile/ReadProfileValue.h"

#include <cstdint>
#include <optional>
#include <vector>
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

// The two values an apply of one connection type takes from the profile,
// read through the shared buffer in this order: its address, then the port.
struct ApplyValues {
    std::optional<ProfileValue> address;  // as read, refused or not: unset when never read
    std::optional<ProfileValue> port;
    std::wstring refusal;  // why the first refused value may not be applied; "" when both may
    std::vector<std::wstring> warnings;  // for values that will be applied all the same
};

// Reads, refuses and warns as every apply does; a refused address leaves the
// port unread.
[[nodiscard]] ApplyValues ReadApplyValues(ProfileFiles& files, ProfileState& state, std::wstring_view addressKey,
                                          std::wstring_view profileName = kProfileFileName);

} // namespace hostwend
