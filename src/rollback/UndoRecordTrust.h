#pragma once

#include "platform/Registry.h"

#include <string>

namespace hostwend {

inline constexpr std::wstring_view kSystemSid = L"S-1-5-18";
inline constexpr std::wstring_view kAdministratorsSid = L"S-1-5-32-544";

// Empty when only SYSTEM and the Administrators can change the key;
// otherwise why not, naming the owner or the trustee.
[[nodiscard]] std::wstring UndoRecordTrustProblem(const KeySecurity& security);

} // namespace hostwend
