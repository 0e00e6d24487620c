#pragma once

#include "apply/ClientPointing.h"
#include "apply/RunApply.h"
#include "apply/RunUndo.h"
#include "cli/Arguments.h"
#include "platform/Network.h"
#include "profile/ProfileState.h"
#include "reach/ReachServer.h"
#include "registry/ApplyAddress.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hostwend::cli {

// One of the eight values: as it is now and, for check and apply, what
// becomes of it.
struct StepOutcome {
    std::size_t number = 0;  // 1 to 8, as the exit codes count
    const ApplyStep* step = nullptr;
    std::wstring regeditKey;  // the key in full, as regedit shows it on this computer
    ValueRead read = ValueRead::Missing;
    std::optional<RegValueNow> now;  // set when read
    // check and apply: as it is stored (or would be), else as composed; a
    // value not for this type keeps its data, none when it has none.
    std::optional<std::wstring> newData;
    std::optional<StepState> state;  // check and apply
    std::optional<std::wstring> appliedData;  // undo: the data as the apply wrote it, if it wrote the value
    UpdateResult update = UpdateResult::Done;
    bool changedSince = false;  // undo: holds neither its data before nor what the apply wrote
    bool afterFailure = false;  // check: tested although an earlier step failed
    std::wstring error;         // one line naming the setting, when it failed
};

// What a command found and did, as the console reports it.
struct CommandResult {
    CommandName command = CommandName::Show;
    const ConnectionType* type = nullptr;
    std::wstring profilePath;
    bool profileFound = false;
    bool started = false;  // show, or the profile's values were read: the steps follow
    std::optional<std::wstring> address;  // as applied, once read and not refused
    std::optional<std::wstring> port;
    std::vector<std::wstring> warnings;
    std::vector<StepOutcome> steps;
    std::optional<ClientPointing> pointing;  // show
    std::optional<LastApplyRead> lastApply;  // show and undo: the last apply on record
    std::wstring report;  // after success: what the window would report
    bool reachAsked = false;           // check --reach
    std::optional<ReachResult> reach;  // set once the check passed and the server was tried
    std::wstring error;   // why the exit code is not 0
    std::vector<std::wstring> otherErrors;  // check: every other failed step, one line each
    int exitCode = 0;
    std::uint32_t eventError = 0;  // apply and undo: the event log's refusal of their event
};

// What any unexpected failure reports, with kExitInternalError.
inline constexpr std::wstring_view kInternalError = L"internal error; some values may already be written: run show";

// Runs a parsed command (no usage error, no help) with the profile file at
// profilePath. Writes nothing but what apply writes and its record, sends
// nothing but what check --reach sends, and shows nothing itself: the caller
// reports once the apply lock is released. waiting is called once when an
// apply finds another one running, before it waits for its turn. An exception
// from anywhere ends as kExitInternalError.
[[nodiscard]] CommandResult RunCommand(const ApplyRoles& roles, Network& network, ProfileState& state,
                                       const Arguments& arguments, const std::wstring& profilePath,
                                       const std::function<void()>& waiting = {}) noexcept;

} // namespace hostwend::cli
