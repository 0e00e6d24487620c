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

// One value as a read returned it: what is applied, and what a refusal quotes.
struct ProfileValue {
    std::wstring value;      // upper-cased, as ReadProfileValue returns it
    std::wstring asWritten;  // as the file holds it; its length is the read's ProfileLength

    [[nodiscard]] std::int16_t Length() const { return static_cast<std::int16_t>(asWritten.size()); }
};

// ReadProfileValue, keeping the value as the file holds it too.
[[nodiscard]] ProfileValue ReadProfileEntry(ProfileFiles& files, ProfileState& state, std::wstring_view key);

} // namespace hostwend
