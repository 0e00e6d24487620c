#include "apply/Pipeline.h"

#include "apply/ApplyTurn.h"
#include "platform/Win32Errors.h"

#include <utility>

namespace hostwend {
namespace {

int ExitCodeOf(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::NotElevated:
        return kExitNotElevated;
    case Refusal::ProfileMissing:
    case Refusal::ProfileUnreadable:
        return kExitProfileMissing;
    case Refusal::ProfileValue:
    case Refusal::ProfileData:
    case Refusal::Warnings:
        return kExitProfileValueRefused;
    case Refusal::LockBusy:
        return kExitApplyBusy;
    case Refusal::LockUnusable:
        return kExitLockUnusable;
    case Refusal::NothingToUndo:
        return kExitNothingToUndo;
    case Refusal::ChangedSince:
        return kExitChangedSince;
    case Refusal::UndoRecordUnwritable:
    case Refusal::BeforeUnreadable:
    case Refusal::UndoRecordUnusable:
        return kExitRecordUnusable;
    }
    return kExitDone;
}

void Steps(const ApplyRoles& roles, const PipelineRequest& request, CommandBody& body, CommandEnd& how)
{
    if (request.program == ApplyProgram::Console) {
        // Tested first, so that a report of the rights says whether it is there.
        how.profile = roles.files.FileTest(std::wstring(request.profilePath));
        if (!roles.computer.IsElevated()) {
            how.refusal = Refusal::NotElevated;
            return;
        }
    }
    if (!body.Prepare(how))
        return;
    if (request.mode == ApplyMode::CheckOnly) {
        // A check writes nothing and needs no turn.
        body.Run(how);
        return;
    }
    // One apply or undo at a time: they never interleave.
    ApplyTurn turn = TakeTurn(roles.computer, request.program, request.waiting);
    if (turn.lock.state != LockState::Acquired) {
        how.refusal = turn.lock.state == LockState::Busy ? Refusal::LockBusy : Refusal::LockUnusable;
        how.lockReason = std::move(turn.lock.reason);
        return;
    }
    body.Run(how);
}

// The one place an end and its exit code are decided: a refusal wrote
// nothing; a failure once the writes began may have left values written.
void Conclude(const CommandBody& body, CommandEnd& how)
{
    if (how.internalError) {
        how.end = ApplyEnd::Stopped;
        how.exitCode = kExitInternalError;
    } else if (how.Refused()) {
        how.end = ApplyEnd::Refused;
        how.exitCode = ExitCodeOf(how.refusal);
    } else if (const std::optional<std::size_t> step = body.StoppedAt()) {
        how.end = ApplyEnd::Stopped;
        how.exitCode = StepFailedExitCode(*step);
    } else {
        how.end = body.WholeEnd();
        how.exitCode = kExitDone;
    }
}

} // namespace

void RunPipeline(const ApplyRoles& roles, const PipelineRequest& request, CommandBody& body, CommandEnd& how) noexcept
{
    try {
        Steps(roles, request, body, how);
    } catch (...) {
        // Out of memory or a fault of our own, perhaps half-way through the
        // writes: never an end that tells the operator something else.
        how.internalError = true;
        body.ForgetWrites();
    }
    Conclude(body, how);
    // In the event log as it ends, once the lock is released; a check never.
    if (request.mode != ApplyMode::Write)
        return;
    try {
        how.eventError = body.WriteEvent(how);
    } catch (...) {
        how.eventError = kWin32NotEnoughMemory;
    }
}

} // namespace hostwend
