#include "apply/RunUndo.h"

#include "apply/EventFields.h"
#include "registry/RegeditPath.h"
#include "terms/Terms.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace hostwend {
namespace {

// Under the lock for an undo: the record, the values now, the plan, the writes.
void PlanAndPutBack(const ApplyRoles& roles, const UndoRequest& request, UndoOutcome& outcome)
{
    outcome.undoRecord = ReadLastApply(roles.registry);
    switch (outcome.undoRecord.state) {
    case UndoRecordState::None:
        outcome.refusal = Refusal::NothingToUndo;
        return;
    case UndoRecordState::Untrusted:
    case UndoRecordState::Unreadable:
    case UndoRecordState::Denied:
        outcome.refusal = Refusal::UndoRecordUnusable;
        return;
    case UndoRecordState::Read:
        break;
    }
    if (outcome.undoRecord.lastApply->undone) {
        outcome.refusal = Refusal::NothingToUndo;
        return;
    }
    const UndoPlan& plan = outcome.plan.emplace(PlanUndo(*outcome.undoRecord.lastApply, ReadStepValues(roles.registry)));
    if (AnyChangedSince(plan)) {
        outcome.refusal = Refusal::ChangedSince;
        return;
    }
    // Every value already back (an undo whose mark was lost, or put back by
    // hand): the record is undone, and an undo marks it so.
    const bool alreadyBack = std::none_of(plan.begin(), plan.end(),
                                          [](const UndoStep& step) { return step.action == UndoAction::Restore; });
    if (alreadyBack)
        outcome.refusal = Refusal::NothingToUndo;
    if (request.mode != ApplyMode::Write)
        return;
    // A write that failed leaves the record as it is: undo may be run again to finish.
    if (!alreadyBack && !PutBackSucceeded(outcome.putBack.emplace(PutBack(roles.registry, plan))))
        return;
    UndoMark mark{roles.computer.UtcTimeNow(), roles.eventLog.AccountName()};
    outcome.undoneMarkStatus = MarkUndone(roles.registry, mark.when, mark.by);
    if (outcome.undoneMarkStatus == kErrorSuccess)
        outcome.undoRecord.lastApply->undone = std::move(mark);
}

// The undo's body in the pipeline: the undo record, the plan and the writes
// under the turn, the event after.
class UndoBody final : public CommandBody {
public:
    UndoBody(const ApplyRoles& roles, const UndoRequest& request, UndoOutcome& outcome)
        : roles_(roles), request_(request), outcome_(outcome)
    {
    }
    bool Prepare(CommandEnd&) override { return true; }
    void Run(CommandEnd&) override { PlanAndPutBack(roles_, request_, outcome_); }
    void ForgetWrites() override { outcome_.putBack.reset(); }
    std::optional<std::size_t> StoppedAt() const override
    {
        for (std::size_t i = 0; outcome_.putBack && i < kApplyStepCount; ++i)
            if ((*outcome_.putBack)[i].state == PutBackState::Failed)
                return i + 1;
        return std::nullopt;
    }
    ApplyEnd WholeEnd() const override { return ApplyEnd::Undone; }
    std::uint32_t WriteEvent(const CommandEnd&) override;

private:
    const ApplyRoles& roles_;
    const UndoRequest& request_;
    UndoOutcome& outcome_;
};

// An undo with nothing to undo changes nothing and writes no event.
std::uint32_t UndoBody::WriteEvent(const CommandEnd&)
{
    if (outcome_.refusal == Refusal::NothingToUndo)
        return 0;
    const std::wstring told = request_.told ? request_.told(outcome_) : std::wstring();
    const std::wstring place = std::wstring(kLocalMachineName) + L"\\" + std::wstring(kLastApplyKey);
    // The apply it takes back stands where an apply's profile values do.
    EventHead head{request_.program, {}, std::nullopt, std::nullopt, place, told, outcome_.exitCode};
    if (const std::optional<LastApply>& last = outcome_.undoRecord.lastApply) {
        head.connectionType = ConnectionName(last->connection);
        head.address = last->address;
        head.port = last->port;
    }
    return hostwend::WriteEvent(roles_.eventLog, UndoEventId(outcome_.end), head,
                                UndoEventFields(outcome_.end, outcome_.plan ? &*outcome_.plan : nullptr,
                                                outcome_.putBack ? &*outcome_.putBack : nullptr,
                                                roles_.computer.Is64BitWindows()));
}

} // namespace

UndoOutcome RunUndo(const ApplyRoles& roles, const UndoRequest& request) noexcept
{
    UndoOutcome outcome;
    UndoBody body(roles, request, outcome);
    RunPipeline(roles, {request.program, request.mode, request.profilePath, request.waiting}, body, outcome);
    return outcome;
}

} // namespace hostwend
