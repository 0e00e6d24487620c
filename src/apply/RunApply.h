#pragma once

#include "apply/Pipeline.h"
#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ProfileState.h"
#include "profile/ReadProfileValue.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hostwend {

struct ApplyOutcome;

struct ApplyRequest {
    ApplyProgram program = ApplyProgram::Console;
    ApplyMode mode = ApplyMode::Write;
    const ConnectionType* type = nullptr;
    std::wstring profilePath;
    std::wstring_view profileName = kProfileFileName;  // how refusals and warnings name the file
    bool strict = false;  // a warning refuses, as a refused value does
    // Asked when the walk comes to the VSAT-only step; the type decides when unset.
    std::function<bool()> vsatStepWanted;
    // Called once when another apply holds the lock, before waiting for it.
    std::function<void()> waiting;
    // The words the operator is told, as the event keeps them.
    std::function<std::wstring(const ApplyOutcome&)> told;
};

// What an apply or a check did, beside how it ended.
struct ApplyOutcome : CommandEnd {
    std::optional<ProfileValue> address;  // as read, refused or not: unset when never read
    std::optional<ProfileValue> port;
    std::wstring valueRefusal;  // with ProfileValue
    std::vector<std::wstring> warnings;
    StepValues before;        // the eight values as the walk found them
    // The walk once every step was checked: an apply's writes, or the check
    // (a check's, and an apply refused for its profile's data).
    std::optional<ApplyWalk> walk;
    RegStatus undoRecordStatus = kErrorSuccess;  // with UndoRecordUnwritable: its Windows error
    std::optional<std::size_t> unreadableStep;  // with BeforeUnreadable: its read in before says why
    // Not success: the undo record could not be brought up to date after the
    // writes (marked finished, or the last one put back after an apply that
    // wrote nothing), so undo may take back more or less than this apply.
    RegStatus undoRecordUpdateStatus = kErrorSuccess;
    // Whether the apply wrote or would write any value.
    [[nodiscard]] bool ChangesAnything() const { return walk && walk->ChangesAnything(); }
};

// An apply or a check of one connection type, for both programs: read and
// check the profile's two values (before the lock, so a slow file server never
// holds it), take the lock, read the eight values, check every step, walk
// them, release the lock, write the apply's event. Shows nothing: the caller
// tells the operator afterwards. An exception ends as an internal error.
[[nodiscard]] ApplyOutcome RunApply(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request) noexcept;

} // namespace hostwend
