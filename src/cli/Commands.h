#pragma once

#include "cli/Arguments.h"
#include "platform/Computer.h"
#include "platform/Network.h"
#include "platform/ProfileFiles.h"
#include "platform/Registry.h"
#include "profile/ProfileState.h"
#include "reach/ReachServer.h"
#include "registry/ApplyAddress.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"
#include "registry/ReadStepValues.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hostwend::cli {

enum class StepResult { Shown, Written, WouldBeWritten, Failed, NotForThisType, NotReached };

// What show says it points at when none of the eight values exists.
inline constexpr std::wstring_view kNoClient = L"no client";

// One of the eight values: as it is now and, for check and apply, what
// becomes of it.
struct StepOutcome {
    std::size_t number = 0;  // 1 to 8, as the exit codes count
    const ApplyStep* step = nullptr;
    std::wstring regeditKeyPath;  // below HKEY_LOCAL_MACHINE, where regedit shows it on this computer
    ValueRead read = ValueRead::Missing;
    std::optional<RegValueNow> now;  // set when read
    // As it is stored (or would be), else as composed; a value not for this
    // type keeps its data, none when it has none.
    std::optional<std::wstring> newData;
    StepResult result = StepResult::Shown;
    bool afterFailure = false;  // check: tested although an earlier step failed
    std::wstring updateResult;  // the updater's marker when it failed
    std::wstring error;         // one line naming the setting, when it failed
};

struct CommandResult {
    CommandName command = CommandName::Show;
    const ConnectionType* type = nullptr;
    std::wstring profilePath;
    bool profileFound = false;
    bool started = false;  // show, or the profile's values were read: the steps follow
    std::optional<std::wstring> address;
    std::optional<std::wstring> port;
    // As read, refused or not: the event log tells a blank value from one
    // never read.
    std::optional<std::wstring> addressRead;
    std::optional<std::wstring> portRead;
    std::vector<std::wstring> warnings;
    std::vector<StepOutcome> steps;
    // show: the address every address-carrying value holds, and the profile's
    // connection type with that address ("none", "mixed"; empty without a profile).
    std::optional<std::wstring> heldAddress;
    std::wstring pointsAt;
    std::wstring report;  // what the window would report, after a full apply
    bool reachAsked = false;           // check --reach
    std::optional<ReachResult> reach;  // set once the check passed and the server was tried
    // check and apply, once the walk has run: the values it found, and how it
    // went, for the event log.
    StepValues before;
    std::optional<ApplyRun> run;
    std::wstring error;   // why the exit code is not 0
    std::vector<std::wstring> otherErrors;  // check: every other failed step, one line each
    int exitCode = 0;
};

// What any unexpected failure reports, with kExitInternalError.
inline constexpr std::wstring_view kInternalError = L"internal error; some values may already be written: run show";

// Runs a parsed command (no usage error, no help) with the profile file at
// profilePath. Writes nothing but what apply writes, sends nothing but what
// check --reach sends, and shows nothing itself: the caller reports once the
// apply lock is released. waiting is called once when an apply finds another
// one running, before it waits for its turn. An exception from anywhere ends
// as kExitInternalError.
[[nodiscard]] CommandResult RunCommand(Registry& registry, ProfileFiles& files, Computer& computer,
                                       Network& network, ProfileState& state, const Arguments& arguments,
                                       const std::wstring& profilePath,
                                       const std::function<void()>& waiting = {}) noexcept;

} // namespace hostwend::cli
