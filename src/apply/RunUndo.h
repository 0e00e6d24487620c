#pragma once

#include "apply/RunApply.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoPlan.h"

#include <functional>
#include <optional>
#include <string>

namespace hostwend {

struct UndoOutcome;

struct UndoRequest {
    ApplyProgram program = ApplyProgram::Console;
    ApplyMode mode = ApplyMode::Write;  // CheckOnly: what undo would do, writing nothing
    std::wstring profilePath;           // only tested, so that a report says whether it is there
    std::function<void()> waiting;      // once, before waiting for another apply
    std::function<std::wstring(const UndoOutcome&)> told;  // the words its event keeps
};

// What an undo or its check did, beside how it ended.
struct UndoOutcome : CommandEnd {
    UndoRecordRead undoRecord;         // the undo record as read, once the turn was taken
    std::optional<UndoPlan> plan;    // against the values as they are now
    std::optional<PutBackWalk> putBack;   // the writes, once they began
    RegStatus undoneMarkStatus = kErrorSuccess;  // the undo record could not be marked undone
};

// Puts back what the last apply in the undo record changed, under the same lock as an
// apply, and only when every value holds either its data from before or
// exactly what that apply wrote; marks the undo record undone and writes the
// undo's event (1003 undone, 1004 refused, 1005 stopped; none when there was
// nothing to undo). CheckOnly takes no turn and writes nothing.
[[nodiscard]] UndoOutcome RunUndo(const ApplyRoles& roles, const UndoRequest& request) noexcept;

} // namespace hostwend
