#include "cli/Commands.h"

#include "cli/ReachReport.h"
#include "cli/StepErrors.h"
#include "platform/DecimalText.h"
#include "profile/ProfileValueCheck.h"
#include "terms/Terms.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"
#include "rollback/LastApply.h"

namespace hostwend::cli {
namespace {

constexpr std::wstring_view kNeedsElevation =
    L" needs administrator rights: run it from an elevated prompt (Run as administrator), "
    L"or as SYSTEM from a deployment tool";

StepOutcome ValueNow(std::size_t index, const RegValueRead& read, bool windows64)
{
    StepOutcome outcome;
    outcome.number = index + 1;
    outcome.step = &ApplySteps()[index];
    outcome.regeditKey = RegeditKeyName(outcome.step->keyPath, windows64);
    outcome.read = read.read;
    outcome.now = read.now;
    return outcome;
}

CommandResult Show(const ApplyRoles& roles, ProfileState& state, CommandResult result)
{
    const ClientView client = ShowClient(roles.registry, roles.files, state, result.profilePath);
    const bool windows64 = roles.computer.Is64BitWindows();
    result.profileFound = client.profileFound;
    result.started = true;
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        result.steps.push_back(ValueNow(i, client.values[i], windows64));
    result.pointing = client.pointing;
    result.lastApply = client.lastApply;
    return result;
}

// A step of the walk beside the value as it was before it.
StepOutcome StepOf(std::size_t index, const RegValueRead& before, const StepRun& step, bool windows64)
{
    StepOutcome outcome = ValueNow(index, before, windows64);
    outcome.state = step.state;
    outcome.afterFailure = step.afterFailure;
    outcome.update = step.result;
    outcome.newData = step.newData;
    if (step.state == StepState::Failed)
        outcome.error = StepFailure(outcome);
    return outcome;
}

// What to do next about an undo record that cannot be stored (exit code 12).
constexpr std::wstring_view kRecordRemedy =
    L": make sure the registry can be written and that only SYSTEM and the Administrators can change the key "
    L"(delete it if anyone else could: apply makes it anew), then apply again";
// ... or that cannot be used by undo.
constexpr std::wstring_view kUndoRecordRemedy =
    L": undo cannot take this apply back; put the values back as the apply's event in the Application log "
    L"lists them (each value before and after), or apply the connection type wanted";

// Why an apply or an undo did not get its turn.
std::wstring LockRefusal(bool busy, const std::wstring& reason)
{
    return (busy ? L"another Hostwend is applying settings on this computer and did not finish within 30 seconds"
                 : L"the apply lock cannot be used: " + reason) +
           L"; nothing was written";
}

std::wstring CommandLine(const CommandResult& result)
{
    return std::wstring(CommandText(result.command)) + L" " + std::wstring(result.type->name);
}

// The console's words for how an apply or a check ended: the error line, or
// the report after success.
void Tell(const ApplyOutcome& outcome, std::wstring_view profileName, CommandResult& result)
{
    constexpr std::wstring_view kNothingWritten = L"; nothing was written";
    const bool write = result.command == CommandName::Apply;
    if (outcome.internalError) {
        result.error = kInternalError;
        return;
    }
    switch (outcome.refusal) {
    case Refusal::None:
        break;
    case Refusal::NotElevated:
        result.error = CommandLine(result) + std::wstring(kNeedsElevation) + std::wstring(kNothingWritten);
        return;
    case Refusal::ProfileMissing:
        result.error = L"profile file not found: " + result.profilePath;
        return;
    case Refusal::ProfileUnreadable:
        result.error = L"profile file cannot be read: " + result.profilePath + L" (Windows error " +
                       DecimalText(outcome.profile.error) +
                       (outcome.profile.errorText.empty() ? L"" : L": " + outcome.profile.errorText) + L")";
        return;
    case Refusal::ProfileValue:
        result.error = outcome.valueRefusal + std::wstring(kNothingWritten);
        return;
    case Refusal::Warnings:
        result.error = CommandLine(result) + L" --strict: a profile value drew a warning" +
                       std::wstring(kNothingWritten);
        return;
    case Refusal::LockBusy:
    case Refusal::LockUnusable:
        result.error = LockRefusal(outcome.refusal == Refusal::LockBusy, outcome.lockReason);
        return;
    case Refusal::UndoRecordUnwritable:
        result.error = L"the record of this apply, which undo needs, cannot be stored in HKEY_LOCAL_MACHINE\\" +
                       std::wstring(kLastApplyKey) + L" (Windows error " +
                       DecimalText(static_cast<std::uint32_t>(outcome.undoRecordStatus)) + L")" +
                       std::wstring(kNothingWritten) + std::wstring(kRecordRemedy);
        return;
    case Refusal::BeforeUnreadable: {
        const StepOutcome& unreadable = result.steps[*outcome.unreadableStep];
        result.error = L"step " + std::to_wstring(unreadable.number) + L" " + std::wstring(unreadable.step->valueName) +
                       L" in " + unreadable.regeditKey + L" cannot be read (Windows error " +
                       DecimalText(static_cast<std::uint32_t>(outcome.before[*outcome.unreadableStep].status)) +
                       L"), so undo could not put it back" + std::wstring(kNothingWritten) +
                       L": grant SYSTEM and the Administrators the right to query its key's values, then apply again";
        return;
    }
    case Refusal::ProfileData: {
        const StepOutcome& misfit = result.steps[*outcome.run->profileDataStep];
        const bool address = misfit.step->carriesAddress;
        result.error = ProfileDataRefusal(misfit, address ? result.type->addressKey : kPortKey, profileName,
                                          address ? outcome.address->asWritten : outcome.port->asWritten) +
                       std::wstring(kNothingWritten);
        return;
    }
    }
    if (outcome.run->failedStep) {
        const StepOutcome& failed = result.steps[*outcome.run->failedStep];
        result.error = failed.error + (write ? L"; nothing after it was written" : L"; apply would stop here");
    } else if (write) {
        result.report = AppliedReport(*result.type, outcome.address->value);
    } else if (outcome.ChangesAnything()) {
        std::size_t writes = 0;
        std::size_t holding = 0;
        for (const StepRun& step : outcome.run->steps) {
            writes += step.state == StepState::WouldBeWritten;
            holding += step.state == StepState::Unchanged;
        }
        result.report = L"apply " + std::wstring(result.type->name) + L" would write " + std::to_wstring(writes) +
                        (writes == 1 ? L" value" : L" values") + L"; " + std::to_wstring(holding) +
                        (holding == 1 ? L" already holds its" : L" already hold their") + L" new data.";
    } else {
        result.report = L"apply " + std::wstring(result.type->name) +
                        L" would change nothing: every value already holds its new data.";
    }
}

// The outcome as the console reports it.
CommandResult Describe(const ApplyOutcome& outcome, std::wstring_view profileName, bool windows64,
                       CommandResult result)
{
    result.profileFound = !outcome.profile.name.empty();
    result.warnings = outcome.warnings;
    // A refused value is no value: the read's one-blank default is not the file's.
    const bool valueRefused = outcome.refusal == Refusal::ProfileValue;
    if (outcome.address && !(valueRefused && !outcome.port))
        result.address = outcome.address->value;
    if (outcome.port && !valueRefused)
        result.port = outcome.port->value;
    result.started = result.address.has_value() && result.port.has_value();
    if (outcome.run)
        for (std::size_t i = 0; i < kApplyStepCount; ++i)
            result.steps.push_back(StepOf(i, outcome.before[i], outcome.run->steps[i], windows64));
    Tell(outcome, profileName, result);
    if (outcome.undoRecordUpdateStatus != kErrorSuccess)
        result.warnings.push_back(L"the record that undo needs could not be brought up to date after the writes "
                                  L"(Windows error " + DecimalText(static_cast<std::uint32_t>(outcome.undoRecordUpdateStatus)) +
                                  L"): run show, and check undo, before relying on undo");
    result.exitCode = outcome.exitCode;
    result.eventError = outcome.eventError;
    // The one the error names first, then a line for each other failure.
    std::size_t named = kApplyStepCount;
    if (outcome.run)
        named = (outcome.refusal == Refusal::ProfileData ? outcome.run->profileDataStep : outcome.run->failedStep)
                    .value_or(kApplyStepCount);
    for (std::size_t i = 0; i < result.steps.size() && result.command == CommandName::Check; ++i)
        if (result.steps[i].state == StepState::Failed && i != named)
            result.otherErrors.push_back(result.steps[i].error +
                                         (result.steps[i].afterFailure ? L" (after a failure)" : L""));
    // An apply refused whole reports as any other refused profile value; a
    // check shows every step.
    if (result.command == CommandName::Apply && outcome.Refused()) {
        result.steps.clear();
        result.started = false;
    }
    return result;
}

CommandResult CheckOrApply(const ApplyRoles& roles, ProfileState& state, const Arguments& arguments,
                           const std::function<void()>& waiting, CommandResult result)
{
    // A file named on the command line is named in a refusal; the one beside
    // the program keeps the name operators know.
    const std::wstring_view profileName =
        arguments.profilePath ? std::wstring_view(result.profilePath) : kProfileFileName;
    const bool windows64 = roles.computer.Is64BitWindows();
    ApplyRequest request;
    request.program = ApplyProgram::Console;
    request.mode = result.command == CommandName::Apply ? ApplyMode::Write : ApplyMode::CheckOnly;
    request.type = result.type;
    request.profilePath = result.profilePath;
    request.profileName = profileName;
    request.strict = arguments.strict;
    request.waiting = waiting;
    request.told = [&](const ApplyOutcome& outcome) {
        const CommandResult told = Describe(outcome, profileName, windows64, result);
        return told.error.empty() ? told.report : told.error;
    };
    const ApplyOutcome outcome = RunApply(roles, state, request);
    return Describe(outcome, profileName, windows64, std::move(result));
}

// Asks the network only once the check has passed: any other outcome is the
// one to act on, and keeps its exit code.
void ReachAfterCheck(Network& network, std::uint32_t seconds, CommandResult& result)
{
    result.reachAsked = true;
    if (result.exitCode != kExitDone)
        return;
    result.reach = ReachServer(network, *result.address, seconds * 1000);
    if (!result.reach->reachable) {
        result.exitCode = kExitServerUnreachable;
        result.error = ReachRefusal(*result.reach);
    }
}

std::wstring DataShown(const std::optional<RegData>& data)
{
    return data ? RegTypeName(data->type) + L" \"" + RegDataText(data->type, data->bytes) + L"\"" : L"missing";
}

// The console's words for how an undo or its check ended.
void TellUndo(const UndoOutcome& outcome, CommandResult& result)
{
    constexpr std::wstring_view kNothingWritten = L"; nothing was written";
    const bool write = result.command == CommandName::Undo;
    if (outcome.internalError) {
        result.error = kInternalError;
        return;
    }
    switch (outcome.refusal) {
    case Refusal::None:
        break;
    case Refusal::NotElevated:
        result.error = std::wstring(CommandText(result.command)) + std::wstring(kNeedsElevation) +
                       std::wstring(kNothingWritten);
        return;
    case Refusal::LockBusy:
    case Refusal::LockUnusable:
        result.error = LockRefusal(outcome.refusal == Refusal::LockBusy, outcome.lockReason);
        return;
    case Refusal::NothingToUndo: {
        const LastApply* last = outcome.lastApply.record ? &*outcome.lastApply.record : nullptr;
        // A plan was made only for a record not yet undone: its values were found back.
        if (!last)
            result.error = L"nothing to undo: no apply is on record on this computer";
        else if (outcome.plan)
            result.error = L"nothing to undo: every value the last apply, at " + last->time +
                           L", changed already holds its data from before";
        else
            result.error = L"nothing to undo: the last apply, at " + last->time + L", was undone at " +
                           last->undone->when + L" by " + last->undone->by;
        return;
    }
    case Refusal::UndoRecordUnusable:
        result.error = L"the record of the last apply cannot be used: " + outcome.lastApply.reason +
                       (outcome.lastApply.status != kErrorSuccess
                            ? L" (Windows error " + DecimalText(static_cast<std::uint32_t>(outcome.lastApply.status)) + L")"
                            : L"") +
                       std::wstring(kNothingWritten) + std::wstring(kUndoRecordRemedy);
        return;
    case Refusal::ChangedSince: {
        std::size_t changed = 0;
        for (std::size_t i = 0; i < kApplyStepCount; ++i) {
            const UndoStep& step = (*outcome.plan)[i];
            if (step.action != UndoAction::ChangedSince)
                continue;
            ++changed;
            const std::optional<RegData> now =
                step.now.now ? std::optional(RegData{step.now.now->type, step.now.now->bytes}) : std::nullopt;
            result.otherErrors.push_back(L"step " + std::to_wstring(i + 1) + L" " +
                                         std::wstring(ApplySteps()[i].valueName) + L" in " + result.steps[i].regeditKey +
                                         L" changed since the apply: now " + DataShown(now) + L", before " +
                                         DataShown(step.recorded.before) + L", as the apply wrote it " +
                                         DataShown(step.recorded.written));
        }
        result.error = std::to_wstring(changed) + (changed == 1 ? L" value has" : L" values have") +
                       L" changed since the last apply" + std::wstring(kNothingWritten);
        return;
    }
    }
    for (std::size_t i = 0; outcome.run && i < kApplyStepCount; ++i)
        if ((*outcome.run)[i].outcome == PutBackOutcome::Failed) {
            result.error = result.steps[i].error + L"; the values before it are back, the rest are not: run undo "
                                                   L"again to finish";
            return;
        }
    std::size_t restored = 0;
    for (const UndoStep& step : *outcome.plan)
        restored += step.action == UndoAction::Restore;
    result.report = write ? L"undo: every value the last apply changed is back as it was (" +
                                std::to_wstring(restored) + L" written)."
                          : L"undo would put back " + std::to_wstring(restored) + L" of the eight values.";
}

// A put-back that failed, in one line naming the setting.
std::wstring PutBackFailure(const StepOutcome& outcome, const PutBackStep& done)
{
    std::wstring why;
    switch (done.fault) {
    case PutBackFault::KeyNotOpened:
        why = L"the key is missing or cannot be opened to query and set values";
        break;
    case PutBackFault::ValueNotRead:
        why = L"the value is missing or cannot be read";
        break;
    case PutBackFault::ChangedMeanwhile:
        why = L"the value changed while undo ran";
        break;
    case PutBackFault::NotWritten:
    case PutBackFault::None:
        why = L"the registry refused the write";
        break;
    }
    if (done.status != kErrorSuccess)
        why += L" (Windows error " + DecimalText(static_cast<std::uint32_t>(done.status)) + L")";
    return L"step " + std::to_wstring(outcome.number) + L" " + std::wstring(outcome.step->valueName) + L" in " +
           outcome.regeditKey + L": " + why;
}

CommandResult DescribeUndo(const UndoOutcome& outcome, bool windows64, CommandResult result)
{
    result.profileFound = !outcome.profile.name.empty();
    result.lastApply = outcome.lastApply;
    if (outcome.plan) {
        result.started = true;
        for (std::size_t i = 0; i < kApplyStepCount; ++i) {
            const UndoStep& planned = (*outcome.plan)[i];
            StepOutcome step = ValueNow(i, planned.now, windows64);
            if (planned.recorded.before)
                step.newData = RegDataText(planned.recorded.before->type, planned.recorded.before->bytes);
            if (planned.recorded.written)
                step.appliedData = RegDataText(planned.recorded.written->type, planned.recorded.written->bytes);
            step.changedSince = planned.action == UndoAction::ChangedSince;
            step.state = planned.action == UndoAction::Unchanged ? StepState::Unchanged
                         : result.command == CommandName::CheckUndo ? StepState::WouldBeWritten
                                                                    : StepState::NotReached;
            if (outcome.run && planned.action == UndoAction::Restore) {
                const PutBackStep& done = (*outcome.run)[i];
                step.state = done.outcome == PutBackOutcome::Written  ? StepState::Written
                             : done.outcome == PutBackOutcome::Failed ? StepState::Failed
                                                                      : StepState::NotReached;
                if (step.state == StepState::Failed)
                    step.error = PutBackFailure(step, done);
            }
            result.steps.push_back(std::move(step));
        }
    }
    TellUndo(outcome, result);
    if (outcome.undoneMarkStatus != kErrorSuccess)
        result.warnings.push_back(L"every value is back, but the record of the last apply could not be marked undone "
                                  L"(Windows error " + DecimalText(static_cast<std::uint32_t>(outcome.undoneMarkStatus)) +
                                  L"): the next undo finds nothing to put back and marks it then");
    result.exitCode = outcome.exitCode;
    result.eventError = outcome.eventError;
    return result;
}

CommandResult Undo(const ApplyRoles& roles, const std::function<void()>& waiting, CommandResult result)
{
    const bool windows64 = roles.computer.Is64BitWindows();
    UndoRequest request;
    request.program = ApplyProgram::Console;
    request.mode = result.command == CommandName::Undo ? ApplyMode::Write : ApplyMode::CheckOnly;
    request.profilePath = result.profilePath;
    request.waiting = waiting;
    request.told = [&](const UndoOutcome& outcome) {
        const CommandResult told = DescribeUndo(outcome, windows64, result);
        return told.error.empty() ? told.report : told.error;
    };
    const UndoOutcome outcome = RunUndo(roles, request);
    return DescribeUndo(outcome, windows64, std::move(result));
}

} // namespace

CommandResult RunCommand(const ApplyRoles& roles, Network& network, ProfileState& state, const Arguments& arguments,
                         const std::wstring& profilePath, const std::function<void()>& waiting) noexcept
{
    CommandResult result;
    result.command = arguments.command;
    result.type = arguments.type;
    result.profilePath = profilePath;
    try {
        if (arguments.command == CommandName::Show)
            return Show(roles, state, std::move(result));
        if (arguments.command == CommandName::Undo || arguments.command == CommandName::CheckUndo)
            return Undo(roles, waiting, std::move(result));
        result = CheckOrApply(roles, state, arguments, waiting, std::move(result));
        if (arguments.reach)
            ReachAfterCheck(network, arguments.timeoutSeconds.value_or(kReachDefaultSeconds), result);
        return result;
    } catch (...) {
        // Out of memory or a fault of our own: say so, never a code that
        // tells a deployment tool something else happened.
        CommandResult failed;
        failed.command = arguments.command;
        failed.type = arguments.type;
        failed.profilePath = profilePath;
        failed.error = kInternalError;
        failed.exitCode = kExitInternalError;
        return failed;
    }
}

} // namespace hostwend::cli
