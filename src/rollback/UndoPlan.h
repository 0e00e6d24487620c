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
    LastApplyStep lastApply;
    RegValueRead now;
};
using UndoPlan = std::array<UndoStep, kApplyStepCount>;

// Whether a value holds exactly this data, type and bytes; none: it is missing.
[[nodiscard]] bool ValueHolds(const RegValueRead& now, const std::optional<RegData>& data);

// What the record of an apply about to begin keeps for one value: its data
// before, and what it holds afterwards where that differs. toWrite: the data
// the apply writes to it, if it does. unfinished: the value in the record of
// an earlier apply that stopped part-way and was not undone; where that apply
// left its data, its data from before that apply is the value's before, so
// that undo takes both applies back as one change.
[[nodiscard]] LastApplyStep RecordedStepFor(const RegValueRead& now, std::optional<RegData> toWrite,
                                           const LastApplyStep* unfinished);

// What an undo of the record would do to each of the eight values as they are now.
[[nodiscard]] UndoPlan PlanUndo(const LastApply& record, const StepValues& now);
[[nodiscard]] bool AnyChangedSince(const UndoPlan& plan);

enum class PutBackState { Written, Unchanged, Failed, NotReached };
enum class PutBackFault {
    None,
    KeyNotOpened,
    ValueNotRead,      // missing, or unreadable: values are never created
    ChangedMeanwhile,  // since the plan was made
    NotWritten,
};

struct PutBackStep {
    PutBackState state = PutBackState::NotReached;
    PutBackFault fault = PutBackFault::None;
    RegStatus status = kErrorSuccess;  // the Windows error of a failure, if one
};
using PutBackWalk = std::array<PutBackStep, kApplyStepCount>;

// The writes of an undo, in step order, stopping at the first failure. A plan
// with any value changed since writes nothing.
[[nodiscard]] PutBackWalk PutBack(Registry& registry, const UndoPlan& plan);
[[nodiscard]] bool PutBackSucceeded(const PutBackWalk& run);

} // namespace hostwend
