#pragma once

#include "cli/Arguments.h"
#include "platform/Platform.h"
#include "profile/ProfileState.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"

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
    std::optional<RegValueNow> now;  // empty: the key or the value is missing
    std::wstring newData;            // as it is stored (or would be), else as composed
    StepResult result = StepResult::Shown;
    std::wstring updateResult;  // the updater's marker when it failed
};

struct CommandResult {
    CommandName command = CommandName::Show;
    const ConnectionType* type = nullptr;
    std::wstring profilePath;
    bool profileFound = false;
    std::optional<std::wstring> address;
    std::optional<std::wstring> port;
    std::vector<std::wstring> warnings;
    std::vector<StepOutcome> steps;
    // show: the address every address-carrying value holds, and the profile's
    // connection type with that address ("none", "mixed"; empty without a profile).
    std::optional<std::wstring> heldAddress;
    std::wstring pointsAt;
    std::wstring report;  // what the window would report, after a full apply
    std::wstring error;   // why the exit code is not 0
    int exitCode = 0;
};

// Told of progress as it happens, so a console shows each step as it is written.
class Progress {
public:
    virtual ~Progress() = default;
    // The profile has been read (check, apply) and the steps begin.
    virtual void Started(const CommandResult&) {}
    virtual void StepDone(const StepOutcome&) {}
};

// Runs a parsed command (no usage error, no help) with the profile file at
// profilePath. Writes nothing but what apply writes; shows nothing itself.
[[nodiscard]] CommandResult RunCommand(Platform& platform, ProfileState& state, const Arguments& arguments,
                                       const std::wstring& profilePath, Progress& progress);

} // namespace hostwend::cli
