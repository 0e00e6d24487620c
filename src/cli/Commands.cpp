#include "cli/Commands.h"

#include "cli/ReachReport.h"
#include "cli/StepErrors.h"
#include "platform/DecimalText.h"
#include "profile/ProfileValueCheck.h"
#include "registry/RegeditPath.h"
#include "rollback/LastApply.h"
#include "terms/Terms.h"

#include <algorithm>

namespace hostwend::cli {
namespace {

constexpr std::wstring_view kNothingWritten = L"; nothing was written";
constexpr std::wstring_view kNeedsElevation =
    L" needs administrator rights: run it from an elevated prompt (Run as administrator), "
    L"or as SYSTEM from a deployment tool";
// What to do next about an undo record that cannot be stored (exit code 12).
constexpr std::wstring_view kRecordRemedy =
    L": make sure the registry can be written and that only SYSTEM and the Administrators can change the key "
    L"(delete it if anyone else could: apply makes it anew), then apply again";
// ... or that cannot be used by undo.
constexpr std::wstring_view kUndoRecordRemedy =
    L": undo cannot take this apply back; put the values back as the apply's event in the Application log "
    L"lists them (each value before and after), or apply the connection type wanted";

std::wstring WindowsError(std::uint32_t status) { return L"Windows error " + DecimalText(status); }

std::wstring CommandLine(const CommandResult& result)
{
    std::wstring line(CommandText(result.command));
    return result.type ? line + L" " + std::wstring(result.type->name) : line;
}

// The words for how an apply or an undo ended that both share: an
// unexpected failure, the rights, the turn. Empty for any other end.
std::wstring SharedEnd(const CommandEnd& how, const CommandResult& result)
{
    if (how.internalError)
        return std::wstring(kInternalError);
    switch (how.refusal) {
    case Refusal::NotElevated:
        return CommandLine(result) + std::wstring(kNeedsElevation) + std::wstring(kNothingWritten);
    case Refusal::LockBusy:
        return L"another Hostwend is applying settings on this computer and did not finish within 30 seconds" +
               std::wstring(kNothingWritten);
    case Refusal::LockUnusable:
        return L"the apply lock cannot be used: " + how.lockReason + std::wstring(kNothingWritten);
    default:
        break;
    }
    return {};
}

// An apply's or a check's own refusals.
std::wstring ApplyRefusal(const ApplyOutcome& outcome, std::wstring_view profileName, const CommandResult& result)
{
    switch (outcome.refusal) {
    case Refusal::ProfileMissing:
        return L"profile file not found: " + result.profilePath;
    case Refusal::ProfileUnreadable:
        return L"profile file cannot be read: " + result.profilePath + L" (" + WindowsError(outcome.profile.error) +
               (outcome.profile.errorText.empty() ? L"" : L": " + outcome.profile.errorText) + L")";
    case Refusal::ProfileValue:
        return outcome.valueRefusal + std::wstring(kNothingWritten);
    case Refusal::Warnings:
        return CommandLine(result) + L" --strict: a profile value drew a warning" + std::wstring(kNothingWritten);
    case Refusal::UndoRecordUnwritable:
        return L"the record of this apply, which undo needs, cannot be stored in HKEY_LOCAL_MACHINE\\" +
               std::wstring(kLastApplyKey) + L" (" + WindowsError(static_cast<std::uint32_t>(outcome.undoRecordStatus)) +
               L")" + std::wstring(kNothingWritten) + std::wstring(kRecordRemedy);
    case Refusal::BeforeUnreadable: {
        const ValueReport& unreadable = result.steps[*outcome.unreadableStep];
        return Setting(unreadable, result.windows64) + L" cannot be read (" +
               WindowsError(static_cast<std::uint32_t>(unreadable.found.status)) + L"), so undo could not put it back" +
               std::wstring(kNothingWritten) +
               L": grant SYSTEM and the Administrators the right to query its key's values, then apply again";
    }
    case Refusal::ProfileData:
        return ProfileDataRefusal(*MisfitOf(outcome, *result.type), profileName, result.windows64) +
               std::wstring(kNothingWritten);
    default:
        break;
    }
    return {};
}

// After a check passed: how many values apply would write.
std::wstring CheckReport(const CommandResult& result)
{
    const auto count = [&](ValueEnd end) {
        return static_cast<std::size_t>(std::count_if(result.steps.begin(), result.steps.end(),
                                                      [end](const ValueReport& value) { return value.end == end; }));
    };
    const std::size_t writes = count(ValueEnd::WouldBeWritten);
    const std::size_t holding = count(ValueEnd::Unchanged);
    const std::wstring apply = L"apply " + std::wstring(result.type->name);
    if (writes == 0)
        return apply + L" would change nothing: every value already holds its new data.";
    return apply + L" would write " + std::to_wstring(writes) + (writes == 1 ? L" value" : L" values") + L"; " +
           std::to_wstring(holding) + (holding == 1 ? L" already holds its" : L" already hold their") +
           L" new data.";
}

// The console's words for how an apply or a check ended: the error line, or
// the report after success.
void Tell(const ApplyOutcome& outcome, std::wstring_view profileName, CommandResult& result)
{
    result.error = SharedEnd(outcome, result);
    if (result.error.empty())
        result.error = ApplyRefusal(outcome, profileName, result);
    if (!result.error.empty())
        return;
    const bool write = result.command == CommandName::Apply;
    if (const std::optional<std::size_t> failed = outcome.walk->failedStep)
        result.error = StepFailure(result.steps[*failed], result.windows64) +
                       (write ? L"; nothing after it was written" : L"; apply would stop here");
    else
        result.report = write ? AppliedReport(*result.type, outcome.address->value) : CheckReport(result);
}

// The outcome as the console reports it.
CommandResult Describe(const ApplyOutcome& outcome, std::wstring_view profileName, CommandResult result)
{
    result.profileFound = !outcome.profile.name.empty();
    result.warnings = outcome.warnings;
    result.address = AppliedAddress(outcome);
    result.port = AppliedPort(outcome);
    result.started = result.address.has_value() && result.port.has_value();
    result.steps = ReportValues(outcome);
    Tell(outcome, profileName, result);
    if (outcome.undoRecordUpdateStatus != kErrorSuccess)
        result.warnings.push_back(L"the record that undo needs could not be brought up to date after the writes (" +
                                  WindowsError(static_cast<std::uint32_t>(outcome.undoRecordUpdateStatus)) +
                                  L"): run show, and check undo, before relying on undo");
    result.exitCode = outcome.exitCode;
    result.eventError = outcome.eventError;
    // The one the error names first, then a line for each other failure.
    const std::size_t named = NamedStep(outcome).value_or(kApplyStepCount);
    for (const ValueReport& value : result.steps)
        if (result.command == CommandName::Check && value.end == ValueEnd::Failed && value.index != named)
            result.otherErrors.push_back(StepFailure(value, result.windows64) +
                                         (value.afterFailure ? L" (after a failure)" : L""));
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
    ApplyRequest request;
    request.program = ApplyProgram::Console;
    request.mode = result.command == CommandName::Apply ? ApplyMode::Write : ApplyMode::CheckOnly;
    request.type = result.type;
    request.profilePath = result.profilePath;
    request.profileName = profileName;
    request.strict = arguments.strict;
    request.waiting = waiting;
    request.told = [&](const ApplyOutcome& outcome) {
        const CommandResult told = Describe(outcome, profileName, result);
        return told.error.empty() ? told.report : told.error;
    };
    const ApplyOutcome outcome = RunApply(roles, state, request);
    return Describe(outcome, profileName, std::move(result));
}

// Asks the network only once the check has passed: any other end is the
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

// Why there is nothing to undo.
std::wstring NothingToUndo(const UndoOutcome& outcome)
{
    const LastApply* last = outcome.undoRecord.lastApply ? &*outcome.undoRecord.lastApply : nullptr;
    if (!last)
        return L"nothing to undo: no apply is on record on this computer";
    // A plan was made only for an apply not yet undone: its values were found back.
    if (outcome.plan)
        return L"nothing to undo: every value the last apply, at " + last->time +
               L", changed already holds its data from before";
    return L"nothing to undo: the last apply, at " + last->time + L", was undone at " + last->undone->when + L" by " +
           last->undone->by;
}

// An undo's own refusals; for a value changed since, a line for each.
std::wstring UndoRefusal(const UndoOutcome& outcome, CommandResult& result)
{
    switch (outcome.refusal) {
    case Refusal::NothingToUndo:
        return NothingToUndo(outcome);
    case Refusal::UndoRecordUnusable:
        return L"the record of the last apply cannot be used: " + outcome.undoRecord.reason +
               (outcome.undoRecord.status != kErrorSuccess
                    ? L" (" + WindowsError(static_cast<std::uint32_t>(outcome.undoRecord.status)) + L")"
                    : L"") +
               std::wstring(kNothingWritten) + std::wstring(kUndoRecordRemedy);
    case Refusal::ChangedSince: {
        for (const ValueReport& value : result.steps)
            if (value.end == ValueEnd::ChangedSince)
                result.otherErrors.push_back(ChangedSinceLine(value, result.windows64));
        const std::size_t changed = result.otherErrors.size();
        return std::to_wstring(changed) + (changed == 1 ? L" value has" : L" values have") +
               L" changed since the last apply" + std::wstring(kNothingWritten);
    }
    default:
        break;
    }
    return {};
}

// The console's words for how an undo or its check ended.
void TellUndo(const UndoOutcome& outcome, CommandResult& result)
{
    result.error = SharedEnd(outcome, result);
    if (result.error.empty())
        result.error = UndoRefusal(outcome, result);
    if (!result.error.empty())
        return;
    for (const ValueReport& value : result.steps)
        if (value.end == ValueEnd::Failed) {
            result.error = StepFailure(value, result.windows64) +
                           L"; the values before it are back, the rest are not: run undo again to finish";
            return;
        }
    const auto restored = std::count_if(result.steps.begin(), result.steps.end(), [](const ValueReport& value) {
        return value.end == ValueEnd::PutBack || value.end == ValueEnd::WouldBeWritten;
    });
    result.report = result.command == CommandName::Undo
                        ? L"undo: every value the last apply changed is back as it was (" +
                              std::to_wstring(restored) + L" written)."
                        : L"undo would put back " + std::to_wstring(restored) + L" of the eight values.";
}

CommandResult DescribeUndo(const UndoOutcome& outcome, CommandResult result)
{
    result.profileFound = !outcome.profile.name.empty();
    result.undoRecord = outcome.undoRecord;
    result.steps = ReportValues(outcome, result.command == CommandName::Undo ? ApplyMode::Write : ApplyMode::CheckOnly);
    result.started = !result.steps.empty();
    TellUndo(outcome, result);
    if (outcome.undoneMarkStatus != kErrorSuccess)
        result.warnings.push_back(L"every value is back, but the record of the last apply could not be marked undone (" +
                                  WindowsError(static_cast<std::uint32_t>(outcome.undoneMarkStatus)) +
                                  L"): the next undo finds nothing to put back and marks it then");
    result.exitCode = outcome.exitCode;
    result.eventError = outcome.eventError;
    return result;
}

CommandResult Undo(const ApplyRoles& roles, const std::function<void()>& waiting, CommandResult result)
{
    UndoRequest request;
    request.program = ApplyProgram::Console;
    request.mode = result.command == CommandName::Undo ? ApplyMode::Write : ApplyMode::CheckOnly;
    request.profilePath = result.profilePath;
    request.waiting = waiting;
    request.told = [&](const UndoOutcome& outcome) {
        const CommandResult told = DescribeUndo(outcome, result);
        return told.error.empty() ? told.report : told.error;
    };
    const UndoOutcome outcome = RunUndo(roles, request);
    return DescribeUndo(outcome, std::move(result));
}

CommandResult Show(const ApplyRoles& roles, ProfileState& state, CommandResult result)
{
    const ClientView client = ShowClient(roles.registry, roles.files, state, result.profilePath);
    result.profileFound = client.profileFound;
    result.started = true;
    result.steps = ReportValues(client.values);
    result.pointing = client.pointing;
    result.undoRecord = client.undoRecord;
    return result;
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
        result.windows64 = roles.computer.Is64BitWindows();
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
