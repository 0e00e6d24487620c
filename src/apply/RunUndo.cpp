#include "apply/RunUndo.h"

#include "apply/ApplyTurn.h"
#include "record/ApplyRecord.h"
#include "terms/Terms.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace hostwend {
namespace {

int ExitCodeOf(UndoRefusal refusal)
{
    switch (refusal) {
    case UndoRefusal::None:
        break;
    case UndoRefusal::NotElevated:
        return kExitNotElevated;
    case UndoRefusal::LockBusy:
        return kExitApplyBusy;
    case UndoRefusal::LockUnusable:
        return kExitLockUnusable;
    case UndoRefusal::NothingToUndo:
        return kExitNothingToUndo;
    case UndoRefusal::RecordUnusable:
        return kExitRecordUnusable;
    case UndoRefusal::ChangedSince:
        return kExitChangedSince;
    }
    return kExitDone;
}

// The one place an undo's end and exit code are decided.
void Conclude(UndoOutcome& outcome)
{
    if (outcome.internalError) {
        outcome.end = ApplyEnd::Stopped;
        outcome.exitCode = kExitInternalError;
    } else if (outcome.Refused()) {
        outcome.end = ApplyEnd::Refused;
        outcome.exitCode = ExitCodeOf(outcome.refusal);
    } else if (outcome.run && !PutBackSucceeded(*outcome.run)) {
        outcome.end = ApplyEnd::Stopped;
        for (std::size_t i = 0; i < kApplyStepCount; ++i)
            if ((*outcome.run)[i].outcome == PutBackOutcome::Failed) {
                outcome.exitCode = StepFailedExitCode(i + 1);
                break;
            }
    } else {
        outcome.end = ApplyEnd::Undone;
        outcome.exitCode = kExitDone;
    }
}

// Under the lock for an undo: the record, the values now, the plan, the writes.
void PlanAndPutBack(const ApplyRoles& roles, const UndoRequest& request, UndoOutcome& outcome)
{
    outcome.record = ReadLastApply(roles.registry);
    switch (outcome.record.state) {
    case RecordState::None:
        outcome.refusal = UndoRefusal::NothingToUndo;
        return;
    case RecordState::Untrusted:
    case RecordState::Unreadable:
    case RecordState::Denied:
        outcome.refusal = UndoRefusal::RecordUnusable;
        return;
    case RecordState::Read:
        break;
    }
    if (outcome.record.record->undone) {
        outcome.refusal = UndoRefusal::NothingToUndo;
        return;
    }
    const UndoPlan& plan = outcome.plan.emplace(PlanUndo(*outcome.record.record, ReadStepValues(roles.registry)));
    if (AnyChangedSince(plan)) {
        outcome.refusal = UndoRefusal::ChangedSince;
        return;
    }
    // Every value already back (an undo whose mark was lost, or put back by
    // hand): the record is undone, and an undo marks it so.
    const bool alreadyBack = std::none_of(plan.begin(), plan.end(),
                                          [](const UndoStep& step) { return step.action == UndoAction::Restore; });
    if (alreadyBack)
        outcome.refusal = UndoRefusal::NothingToUndo;
    if (request.mode != ApplyMode::Write)
        return;
    // A write that failed leaves the record as it is: undo may be run again to finish.
    if (!alreadyBack && !PutBackSucceeded(outcome.run.emplace(PutBack(roles.registry, plan))))
        return;
    UndoMark mark{roles.computer.UtcTimeNow(), roles.eventLog.AccountName()};
    outcome.markStatus = MarkUndone(roles.registry, mark.when, mark.by);
    if (outcome.markStatus == kErrorSuccess)
        outcome.record.record->undone = std::move(mark);
}

void Run(const ApplyRoles& roles, const UndoRequest& request, UndoOutcome& outcome)
{
    if (request.program == ApplyProgram::Console && !roles.computer.IsElevated()) {
        outcome.refusal = UndoRefusal::NotElevated;
        return;
    }
    if (request.mode != ApplyMode::Write) {
        PlanAndPutBack(roles, request, outcome);
        return;
    }
    // The same turn as an apply's: an undo and an apply never interleave.
    ApplyTurn turn = TakeTurn(roles.computer, request.program, request.waiting);
    if (turn.lock.outcome != LockOutcome::Acquired) {
        outcome.refusal = turn.lock.outcome == LockOutcome::Busy ? UndoRefusal::LockBusy : UndoRefusal::LockUnusable;
        outcome.lockReason = std::move(turn.lock.reason);
        return;
    }
    PlanAndPutBack(roles, request, outcome);
}

// On record as it ends, once the lock is released. A check is never
// recorded, nor an undo with nothing to undo: it changes nothing.
void Record(const ApplyRoles& roles, const UndoRequest& request, UndoOutcome& outcome) noexcept
{
    if (request.mode != ApplyMode::Write || outcome.refusal == UndoRefusal::NothingToUndo)
        return;
    try {
        UndoAttempt attempt;
        attempt.program = request.program;
        attempt.end = outcome.end;
        const std::wstring told = request.told ? request.told(outcome) : std::wstring();
        attempt.outcome = told;
        attempt.exitCode = outcome.exitCode;
        attempt.windows64 = roles.computer.Is64BitWindows();
        if (outcome.record.record)
            attempt.record = &*outcome.record.record;
        // A refusal's plan shows each value now beside the record's: what changed since.
        if (outcome.plan) {
            attempt.plan = &*outcome.plan;
            attempt.run = outcome.run ? &*outcome.run : nullptr;
        }
        outcome.recordError = RecordUndo(roles.eventLog, attempt);
    } catch (...) {
        constexpr std::uint32_t kWin32NotEnoughMemory = 8;
        outcome.recordError = kWin32NotEnoughMemory;
    }
}

} // namespace

UndoOutcome RunUndo(const ApplyRoles& roles, const UndoRequest& request) noexcept
{
    UndoOutcome outcome;
    try {
        Run(roles, request, outcome);
    } catch (...) {
        outcome.internalError = true;
        outcome.run.reset();
    }
    Conclude(outcome);
    Record(roles, request, outcome);
    return outcome;
}

} // namespace hostwend
