#pragma once

#include "platform/ProfileFiles.h"
#include "profile/ProfileState.h"

#include <string>
#include <string_view>

namespace hostwend {

// Reads one key of section "SETUP" of the profile file through the shared
// ProfileBuffer and returns its value upper-cased; a missing key, section or
// file gives the one-blank default. Sets ProfileLength to the count read.
[[nodiscard]] std::wstring ReadProfileValue(ProfileFiles& files, ProfileState& state, std::wstring_view key);

// The value the last read returned as the file holds it, before upper-casing.
[[nodiscard]] std::wstring LastValueAsWritten(const ProfileState& state);

} // namespace hostwend
