#pragma once

#include "platform/Computer.h"
#include "platform/EventLog.h"
#include "platform/ProfileFiles.h"
#include "platform/Registry.h"
#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ProfileState.h"
#include "profile/ReadProfileValue.h"
#include "record/ApplyRecord.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hostwend {

// The roles an apply reaches the computer through.
struct ApplyRoles {
    Registry& registry;
    ProfileFiles& files;
    Computer& computer;
    EventLog& eventLog;
};

// Why an apply or a check wrote nothing; the front ends have the words.
enum class Refusal {
    None,
    NotElevated,        // the console program without administrator rights
    ProfileMissing,     // no profile file at the path
    ProfileUnreadable,  // the file test failed otherwise: Windows' error in the outcome
    ProfileValue,       // a value missing, blank or too long
    ProfileData,        // a value this client cannot store: run.profileDataStep names the step
    Warnings,           // --strict, and a value drew a warning
    LockBusy,           // another apply held the lock for the whole wait
    LockUnusable,       // the lock cannot be used: lockReason says why
    RecordUnwritable,   // the record that undo needs could not be stored: recordStatus says why
    BeforeUnreadable,   // a value it would write cannot be read, so undo could not put it back: unreadableStep
};

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
    // The words the operator is told, as the record keeps them.
    std::function<std::wstring(const ApplyOutcome&)> told;
};

// What an apply or a check did. The end and the exit code are derived once,
// from the refusal and the run, when the use case returns.
struct ApplyOutcome {
    ApplyEnd end = ApplyEnd::Refused;
    int exitCode = 0;
    Refusal refusal = Refusal::None;
    bool internalError = false;  // an exception ended it; values may be written
    FoundFile profile;           // the console's file test
    std::optional<ProfileValue> address;  // as read, refused or not: unset when never read
    std::optional<ProfileValue> port;
    std::wstring valueRefusal;  // with ProfileValue
    std::vector<std::wstring> warnings;
    std::wstring lockReason;  // with LockUnusable
    StepValues before;        // the eight values as the walk found them
    // The walk once every step was checked: an apply's writes, or the check
    // (a check's, and an apply refused for its profile's data).
    std::optional<ApplyRun> run;
    RegStatus recordStatus = kErrorSuccess;  // with RecordUnwritable: the Windows error of the undo record
    std::optional<std::size_t> unreadableStep;  // with BeforeUnreadable: its read in before says why
    // Not success: the undo record could not be brought up to date after the
    // writes (marked finished, or the last one put back after an apply that
    // wrote nothing), so undo may take back more or less than this apply.
    RegStatus finishStatus = kErrorSuccess;
    std::uint32_t recordError = 0;  // the event log's refusal of the event, 0 when written or none due

    [[nodiscard]] bool Refused() const { return refusal != Refusal::None; }
    // Whether the apply wrote or would write any value.
    [[nodiscard]] bool ChangesAnything() const { return run && run->ChangesAnything(); }
};

// An apply or a check of one connection type, for both programs: read and
// check the profile's two values (before the lock, so a slow file server never
// holds it), take the lock, read the eight values, check every step, walk
// them, release the lock, put the apply on record. Shows nothing: the caller
// tells the operator afterwards. An exception ends as an internal error.
[[nodiscard]] ApplyOutcome RunApply(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request) noexcept;

} // namespace hostwend
