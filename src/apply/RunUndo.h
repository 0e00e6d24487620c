#pragma once

#include "apply/RunApply.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoPlan.h"

#include <functional>
#include <optional>
#include <string>

namespace hostwend {

// Why an undo wrote nothing; the front ends have the words.
enum class UndoRefusal {
    None,
    NotElevated,
    LockBusy,
    LockUnusable,    // lockReason says why
    NothingToUndo,   // no record, its apply was undone already, or every value is back already
    RecordUnusable,  // others could have written it, or it cannot be read whole: record.reason says why
    ChangedSince,    // a value holds neither its data before nor the apply's: the plan names each
};

struct UndoOutcome;

struct UndoRequest {
    ApplyProgram program = ApplyProgram::Console;
    ApplyMode mode = ApplyMode::Write;  // CheckOnly: what undo would do, writing nothing
    std::function<void()> waiting;      // once, before waiting for another apply
    std::function<std::wstring(const UndoOutcome&)> told;  // the words the record keeps
};

struct UndoOutcome {
    ApplyEnd end = ApplyEnd::Refused;
    int exitCode = 0;
    UndoRefusal refusal = UndoRefusal::None;
    bool internalError = false;
    std::wstring lockReason;
    LastApplyRead record;            // the record as read, once the turn was taken
    std::optional<UndoPlan> plan;    // against the values as they are now
    std::optional<PutBackRun> run;   // the writes, once they began
    RegStatus markStatus = kErrorSuccess;  // the record could not be marked undone
    std::uint32_t recordError = 0;   // the event log's refusal of the event

    [[nodiscard]] bool Refused() const { return refusal != UndoRefusal::None; }
};

// Puts back what the last recorded apply changed, under the same lock as an
// apply, and only when every value holds either its data from before or
// exactly what that apply wrote; marks the record undone and writes the
// undo's event (1003 undone, 1004 refused, 1005 stopped; none when there was
// nothing to undo). CheckOnly takes no turn and writes nothing.
[[nodiscard]] UndoOutcome RunUndo(const ApplyRoles& roles, const UndoRequest& request) noexcept;

} // namespace hostwend
