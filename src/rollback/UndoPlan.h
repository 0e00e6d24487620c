#pragma once

#include "platform/Registry.h"
#include "registry/ReadStepValues.h"
#include "rollback/LastApply.h"

#include <array>

namespace hostwend {

enum class UndoAction {
    Restore,       // it holds what the apply wrote: its data from before goes back
    Unchanged,     // it already holds its data from before
    ChangedSince,  // neither, or missing now though it existed: nothing may be written
};

struct UndoStep {
    UndoAction action = UndoAction::Unchanged;
    RecordedStep recorded;
    RegValueRead now;
};
using UndoPlan = std::array<UndoStep, kApplyStepCount>;

// What an undo of the record would do to each of the eight values as they are now.
[[nodiscard]] UndoPlan PlanUndo(const LastApply& record, const StepValues& now);
[[nodiscard]] bool AnyChangedSince(const UndoPlan& plan);

enum class PutBackOutcome { Written, Unchanged, Failed, NotReached };
enum class PutBackFault {
    None,
    KeyNotOpened,
    ValueNotRead,      // missing, or unreadable: values are never created
    ChangedMeanwhile,  // since the plan was made
    NotWritten,
};

struct PutBackStep {
    PutBackOutcome outcome = PutBackOutcome::NotReached;
    PutBackFault fault = PutBackFault::None;
    RegStatus status = kErrorSuccess;  // the Windows error of a failure, if one
};
using PutBackRun = std::array<PutBackStep, kApplyStepCount>;

// The writes of an undo, in step order, stopping at the first failure. A plan
// with any value changed since writes nothing.
[[nodiscard]] PutBackRun PutBack(Registry& registry, const UndoPlan& plan);
[[nodiscard]] bool PutBackSucceeded(const PutBackRun& run);

} // namespace hostwend
