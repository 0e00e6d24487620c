#pragma once

#include "apply/ValueReport.h"

#include <string>
#include <string_view>

namespace hostwend::cli {

// One of the eight values as the console names it: "step 6 DisableTCPBcast
// in HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\...\BroadcastServer".
[[nodiscard]] std::wstring Setting(const ValueReport& value, bool windows64);

// A failed step in one line, for standard error and JSON: the setting and
// why it failed ("...: the value is missing").
[[nodiscard]] std::wstring StepFailure(const ValueReport& value, bool windows64);

// Why the profile's value cannot be stored in a step's value: the setting, its
// type, the profile key and file, and the value as the file holds it.
[[nodiscard]] std::wstring ProfileDataRefusal(const ProfileMisfit& misfit, std::wstring_view profileName,
                                              bool windows64);

// A value changed since the apply undo would take back: its data now,
// before and as the apply wrote it.
[[nodiscard]] std::wstring ChangedSinceLine(const ValueReport& value, bool windows64);

} // namespace hostwend::cli
