#pragma once

#include "apply/ClientPointing.h"
#include "apply/RunApply.h"
#include "apply/RunUndo.h"
#include "apply/ValueReport.h"
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
    bool windows64 = true;  // where regedit shows the client's keys
    ValueReports steps;     // show's values, or each value of check, apply and undo
    std::optional<ClientPointing> pointing;  // show
    std::optional<UndoRecordRead> undoRecord;  // show and undo: the last apply in the undo record
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
