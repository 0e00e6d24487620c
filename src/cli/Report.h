#pragma once

#include "cli/Commands.h"

#include <string>
#include <string_view>

namespace hostwend::cli {

// text in double quotes, with quotes, backslashes and control characters
// escaped as JSON escapes them; with asciiOnly every other non-ASCII
// character too, so the text survives any code page.
[[nodiscard]] std::wstring Quoted(std::wstring_view text, bool asciiOnly);

// The text form, in the order a console shows it: the header once the
// command has started, a block per step, and the closing lines.
[[nodiscard]] std::wstring TextHeader(const CommandResult& result);
[[nodiscard]] std::wstring TextStep(const ValueReport& value, bool windows64);
[[nodiscard]] std::wstring TextFooter(const CommandResult& result);
// Warnings and errors for standard error, one prefixed line each.
[[nodiscard]] std::wstring TextDiagnostics(const CommandResult& result);
// The line an apply or undo writes to standard error when it has to wait for its turn.
[[nodiscard]] std::wstring TextWaiting();

// The whole result as one JSON document, ASCII only.
[[nodiscard]] std::wstring JsonDocument(const CommandResult& result);

} // namespace hostwend::cli
