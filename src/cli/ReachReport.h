#pragma once

#include "cli/Commands.h"

#include <string>

namespace hostwend::cli {

// Why check --reach ends with kExitServerUnreachable, for standard error.
[[nodiscard]] std::wstring ReachRefusal(const ReachResult& reach);

// The probe's line of the text report; empty unless --reach was given.
[[nodiscard]] std::wstring ReachTextLine(const CommandResult& result);

// The "reach" member of the JSON document, with its leading comma: an object
// once the server was tried, else null.
[[nodiscard]] std::wstring ReachJsonMember(const CommandResult& result);

} // namespace hostwend::cli
