#pragma once

#include "profile/ConnectionType.h"

#include <cstdint>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend::cli {

enum class CommandName { Show, Check, Apply, Undo, CheckUndo };

// The command line, decided in full before anything is read or written.
struct Arguments {
    bool help = false;
    CommandName command = CommandName::Show;
    const ConnectionType* type = nullptr;  // check and apply
    bool json = false;
    std::optional<std::wstring> profilePath;
    bool strict = false;                          // check and apply: a warning refuses
    bool reach = false;                           // check: also connect to the server
    std::optional<std::uint32_t> timeoutSeconds;  // how long --reach may take
    std::wstring usageError;  // not empty: nothing runs
};

// The arguments after the program's name.
[[nodiscard]] Arguments ParseArguments(const std::vector<std::wstring>& arguments);

[[nodiscard]] std::wstring_view CommandText(CommandName command);
[[nodiscard]] std::wstring_view UsageText();
// One line after a usage error: where the usage is told.
[[nodiscard]] std::wstring_view UsageHint();

} // namespace hostwend::cli
