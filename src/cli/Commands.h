#pragma once

#include "cli/Arguments.h"
#include "platform/Computer.h"
#include "platform/ProfileFiles.h"
#include "platform/Registry.h"
#include "profile/ProfileState.h"
#include "registry/ApplyAddress.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"
#include "registry/ReadStepValues.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hostwend::cli {

enum class StepResult { Shown, Written, WouldBeWritten, Failed, NotReached };

// One of the eight values: as it is now and, for check and apply, what
// becomes of it.
struct StepOutcome {
    std::size_t number = 0;  // 1 to 8, as the exit codes count
    const ApplyStep* step = nullptr;
    ValueRead read = ValueRead::Missing;
    std::optional<RegValueNow> now;  // set when read
    std::wstring newData;            // as it is stored (or would be), else as composed
    StepResult result = StepResult::Shown;
    std::wstring updateResult;  // the updater's marker when it failed
};

struct CommandResult {
    CommandName command = CommandName::Show;
    const ConnectionType* type = nullptr;
    std::wstring profilePath;
    bool profileFound = false;
    bool started = false;  // show, or the profile's values were read: the steps follow
    std::optional<std::wstring> address;
    std::optional<std::wstring> port;
    std::vector<std::wstring> warnings;
    std::vector<StepOutcome> steps;
    // show: the address every address-carrying value holds, and the profile's
    // connection type with that address ("none", "mixed"; empty without a profile).
    std::optional<std::wstring> heldAddress;
    std::wstring pointsAt;
    std::wstring report;  // what the window would report, after a full apply
    // check and apply, once the walk has run: the values it found, and how it
    // went, for the event log.
    StepValues before;
    std::optional<ApplyRun> run;
    std::wstring error;   // why the exit code is not 0
    int exitCode = 0;
};

// What any unexpected failure reports, with kExitInternalError.
inline constexpr std::wstring_view kInternalError = L"internal error; some values may already be written: run show";

// Runs a parsed command (no usage error, no help) with the profile file at
// profilePath. Writes nothing but what apply writes, and shows nothing itself:
// the caller reports once the apply lock is released. An exception from
// anywhere ends as kExitInternalError.
[[nodiscard]] CommandResult RunCommand(Registry& registry, ProfileFiles& files, Computer& computer,
                                       ProfileState& state, const Arguments& arguments,
                                       const std::wstring& profilePath) noexcept;

} // namespace hostwend::cli
