#include "apply/RunApply.h"

#include "apply/ApplyTurn.h"
#include "terms/Terms.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoPlan.h"

#include <algorithm>
#include <memory>
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
    case Refusal::RecordUnwritable:
    case Refusal::BeforeUnreadable:
        return kExitRecordUnusable;
    }
    return kExitDone;
}

// The one place an outcome's end and exit code are decided: a refusal wrote
// nothing; a failure once the walk began may have left values written.
void Conclude(ApplyOutcome& outcome)
{
    if (outcome.internalError) {
        outcome.end = ApplyEnd::Stopped;
        outcome.exitCode = kExitInternalError;
    } else if (outcome.Refused()) {
        outcome.end = ApplyEnd::Refused;
        outcome.exitCode = ExitCodeOf(outcome.refusal);
    } else if (outcome.run && outcome.run->failedStep) {
        outcome.end = ApplyEnd::Stopped;
        outcome.exitCode = StepFailedExitCode(outcome.run->steps[*outcome.run->failedStep].number);
    } else {
        outcome.end = ApplyEnd::Applied;
        outcome.exitCode = kExitDone;
    }
}

// Everything refused before the lock: rights, the file, its two values.
bool ReadProfile(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request, ApplyOutcome& outcome)
{
    if (request.program == ApplyProgram::Console) {
        // Tested first, so that a report of the rights says whether it is there.
        outcome.profile = roles.files.FileTest(request.profilePath);
        if (!roles.computer.IsElevated()) {
            outcome.refusal = Refusal::NotElevated;
            return false;
        }
        if (outcome.profile.name.empty()) {
            const bool missing = outcome.profile.error == 0 || outcome.profile.error == kWin32FileNotFound ||
                                 outcome.profile.error == kWin32PathNotFound;
            outcome.refusal = missing ? Refusal::ProfileMissing : Refusal::ProfileUnreadable;
            return false;
        }
    }
    state.ProfilePath = request.profilePath;
    ApplyValues values = ReadApplyValues(roles.files, state, request.type->addressKey, request.profileName);
    outcome.address = std::move(values.address);
    outcome.port = std::move(values.port);
    outcome.warnings = std::move(values.warnings);
    if (!values.refusal.empty()) {
        outcome.refusal = Refusal::ProfileValue;
        outcome.valueRefusal = std::move(values.refusal);
        return false;
    }
    if (request.strict && !outcome.warnings.empty()) {
        outcome.refusal = Refusal::Warnings;
        return false;
    }
    return true;
}

// The walk stops at the first failure: a step after it, though it would be
// written, is not reached.
bool WillBeWritten(const ApplyRun& check, std::size_t step)
{
    return check.steps[step].state == StepState::WouldBeWritten && step < check.failedStep.value_or(kApplyStepCount);
}

// Each value as it is and as the checked walk is about to write it, in the
// bytes a read returns, with who applies what. An earlier apply that stopped
// part-way and was not undone is folded in: undo takes the two back as one.
LastApply RecordOf(const ApplyRoles& roles, const ApplyRequest& request, const std::wstring& address,
                   const std::wstring& port, const StepValues& before, const ApplyRun& check,
                   const LastApply* unfinished)
{
    LastApply record;
    record.time = roles.computer.UtcTimeNow();
    record.program = request.program;
    record.account = roles.eventLog.AccountName();
    record.connection = request.type->kind;
    record.address = address;
    record.port = port;
    record.finished = false;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const std::optional<RegValueNow>& now = before[i].now;
        std::optional<RegData> toWrite;
        if (now && WillBeWritten(check, i))
            if (auto bytes = NewDataBytes(roles.registry, now->type, check.steps[i].newValue))
                toWrite = RegData{now->type, std::move(*bytes)};
        record.steps[i] = RecordedStepFor(before[i], std::move(toWrite), unfinished ? &unfinished->steps[i] : nullptr);
    }
    return record;
}

// Under the lock (for an apply): the values before, every step checked, then
// the writes. What the profile holds and this client cannot store fails on
// every such client, and is refused whole rather than found half-way.
void Walk(const ApplyRoles& roles, const ApplyRequest& request, ApplyOutcome& outcome)
{
    const bool vsat = request.type->kind == ConnectionKind::Vsat;
    const std::function<bool()> vsatWanted =
        request.vsatStepWanted ? request.vsatStepWanted : std::function<bool()>([vsat] { return vsat; });
    const std::wstring& address = outcome.address->value;
    const std::wstring& port = outcome.port->value;
    outcome.before = ReadStepValues(roles.registry);
    ApplyRun& run = outcome.run.emplace(
        ApplyAddress(roles.registry, address, port, ApplyMode::CheckOnly, vsatWanted, outcome.before));
    if (run.profileDataStep) {
        outcome.refusal = Refusal::ProfileData;
        return;
    }
    // A value written without its data before could never be put back.
    bool writes = false;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        if (!WillBeWritten(run, i))
            continue;
        writes = true;
        if (outcome.before[i].read != ValueRead::Read) {
            outcome.refusal = Refusal::BeforeUnreadable;
            outcome.unreadableStep = i;
            return;
        }
    }
    if (request.mode != ApplyMode::Write)
        return;
    // What undo needs, stored before the first write and marked finished
    // after the last. An apply that changes nothing leaves the record of the
    // last real change as it is, unless that one is still unfinished.
    const LastApplyRead last = ReadLastApply(roles.registry);
    const LastApply* previous = last.record ? &*last.record : nullptr;
    const LastApply* unfinished = previous && !previous->finished && !previous->undone ? previous : nullptr;
    const bool recorded = writes || unfinished;
    if (recorded) {
        outcome.recordStatus =
            WriteLastApply(roles.registry, RecordOf(roles, request, address, port, outcome.before, run, unfinished));
        if (outcome.recordStatus != kErrorSuccess) {
            outcome.refusal = Refusal::RecordUnwritable;
            return;
        }
    }
    run = ApplyAddress(roles.registry, address, port, ApplyMode::Write, vsatWanted, outcome.before);
    if (!recorded)
        return;
    if (!run.failedStep) {
        outcome.finishStatus = MarkFinished(roles.registry);
    } else if (previous && std::none_of(run.steps.begin(), run.steps.end(),
                                        [](const StepRun& step) { return step.state == StepState::Written; })) {
        // Stopped at its first write, it changed nothing: the last real
        // change stays the one undo takes back.
        outcome.finishStatus = WriteLastApply(roles.registry, *previous);
    }
}

void Run(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request, ApplyOutcome& outcome)
{
    if (!ReadProfile(roles, state, request, outcome))
        return;
    if (request.mode == ApplyMode::CheckOnly) {
        // A check writes nothing and needs no turn.
        Walk(roles, request, outcome);
        return;
    }
    ApplyTurn turn = TakeTurn(roles.computer, request.program, request.waiting);
    if (turn.lock.outcome != LockOutcome::Acquired) {
        outcome.refusal = turn.lock.outcome == LockOutcome::Busy ? Refusal::LockBusy : Refusal::LockUnusable;
        outcome.lockReason = std::move(turn.lock.reason);
        return;
    }
    Walk(roles, request, outcome);
}

// On record as it ends, once the lock is released. A check is never
// recorded, nor an apply that found every value as it would leave it.
void Record(const ApplyRoles& roles, const ApplyRequest& request, ApplyOutcome& outcome) noexcept
{
    if (request.mode != ApplyMode::Write || (outcome.end == ApplyEnd::Applied && !outcome.ChangesAnything()))
        return;
    try {
        const std::wstring told = request.told ? request.told(outcome) : std::wstring();
        ApplyAttempt attempt;
        attempt.program = request.program;
        attempt.connectionType = request.type->name;
        if (outcome.address)
            attempt.address = outcome.address->value;
        if (outcome.port)
            attempt.port = outcome.port->value;
        attempt.profilePath = request.profilePath;
        attempt.end = outcome.end;
        attempt.outcome = told;
        attempt.exitCode = outcome.exitCode;
        attempt.windows64 = roles.computer.Is64BitWindows();
        // Warnings are drawn once both values are read and neither is refused.
        if (outcome.port && outcome.valueRefusal.empty())
            attempt.warnings = &outcome.warnings;
        // A refusal claims nothing about the values: none was written.
        if (outcome.run && outcome.end != ApplyEnd::Refused) {
            attempt.before = &outcome.before;
            attempt.run = &*outcome.run;
        }
        outcome.recordError = RecordApply(roles.eventLog, attempt);
    } catch (...) {
        constexpr std::uint32_t kWin32NotEnoughMemory = 8;
        outcome.recordError = kWin32NotEnoughMemory;
    }
}

} // namespace

ApplyOutcome RunApply(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request) noexcept
{
    ApplyOutcome outcome;
    try {
        Run(roles, state, request, outcome);
    } catch (...) {
        // Out of memory or a fault of our own, perhaps half-way through the
        // writes: never an outcome that tells the operator something else.
        // How far it got is not known: the record must not guess.
        outcome.internalError = true;
        outcome.run.reset();
    }
    Conclude(outcome);
    Record(roles, request, outcome);
    return outcome;
}

} // namespace hostwend
