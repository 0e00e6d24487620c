#pragma once

#include "cli/Commands.h"

#include <string>
#include <string_view>

namespace hostwend::cli {

// A failed step in one line, for standard error and JSON: "step 6
// DisableTCPBcast in HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\...\BroadcastServer:
// the value is missing".
[[nodiscard]] std::wstring StepFailure(const StepOutcome& outcome);

// Why the profile's value cannot be stored in a step's value: the setting, its
// type, the profile key and file, and the value as the file holds it.
[[nodiscard]] std::wstring ProfileDataRefusal(const StepOutcome& outcome, std::wstring_view profileKey,
                                              std::wstring_view profileName, std::wstring_view asWritten);

} // namespace hostwend::cli
