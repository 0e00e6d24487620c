#include "cli/Commands.h"

#include "record/ExitCodes.h"
#include "cli/ReachReport.h"
#include "cli/StepErrors.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ProfileValueWarning.h"
#include "profile/ReadProfileValue.h"
#include "registry/ApplyAddress.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"

#include <algorithm>
#include <memory>

namespace hostwend::cli {
namespace {

constexpr std::wstring_view kNeedsElevation =
    L" needs administrator rights: run it from an elevated prompt (Run as administrator), "
    L"or as SYSTEM from a deployment tool";

bool SameAddress(std::wstring_view a, std::wstring_view b)
{
    // Apply writes addresses upper-cased; a client set by hand may hold lower case.
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// The address the client's values agree on: all six that carry one hold it in
// their own form. "mixed" when two of them carry different addresses.
void FindHeldAddress(CommandResult& result)
{
    std::size_t carrying = 0;
    std::size_t agreeing = 0;
    std::optional<std::wstring> held;
    for (const StepOutcome& outcome : result.steps) {
        if (!outcome.step->carriesAddress)
            continue;
        ++carrying;
        std::wstring carried;
        if (!outcome.now || !AddressCarried(*outcome.step, outcome.now->data, carried))
            continue;
        if (held && !SameAddress(*held, carried)) {
            result.pointsAt = L"mixed";
            return;
        }
        held = carried;
        ++agreeing;
    }
    result.pointsAt = L"none";
    if (agreeing == carrying)
        result.heldAddress = held;
}

void PointAtProfileType(ProfileFiles& files, ProfileState& state, CommandResult& result)
{
    FindHeldAddress(result);
    if (!result.profileFound) {
        result.pointsAt.clear();
        return;
    }
    if (!result.heldAddress)
        return;
    for (const ConnectionType& type : kConnectionTypes) {
        const std::wstring address = ReadProfileValue(files, state, type.addressKey);
        if (ProfileValueRefusal(type.addressKey, address, state.ProfileLength).empty() &&
            SameAddress(address, *result.heldAddress)) {
            result.pointsAt = type.name;
            return;
        }
    }
}

StepOutcome ValueNow(std::size_t index, const RegValueRead& read, bool windows64)
{
    StepOutcome outcome;
    outcome.number = index + 1;
    outcome.step = &ApplySteps()[index];
    outcome.regeditKeyPath = RegeditKeyPath(outcome.step->keyPath, windows64);
    outcome.read = read.read;
    outcome.now = read.now;
    return outcome;
}

std::vector<StepOutcome> ValuesNow(const StepValues& read, Computer& computer)
{
    const bool windows64 = computer.Is64BitWindows();
    std::vector<StepOutcome> values;
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        values.push_back(ValueNow(i, read[i], windows64));
    return values;
}

CommandResult Show(Registry& registry, ProfileFiles& files, Computer& computer, ProfileState& state,
                   CommandResult result)
{
    result.started = true;
    result.steps = ValuesNow(ReadStepValues(registry), computer);
    PointAtProfileType(files, state, result);
    // Not one of the eight: a computer without a client, which points nowhere
    // whatever the profile says, unlike a client pointed at another server.
    if (std::all_of(result.steps.begin(), result.steps.end(),
                    [](const StepOutcome& value) { return value.read == ValueRead::Missing; }))
        result.pointsAt = kNoClient;
    return result;
}

// Reads one value as the window's Apply does, refusing what it refuses; a
// refusal names the file it came from and leaves no value behind: the read's
// one-blank default is no value of the file's.
bool ReadUsable(ProfileFiles& files, ProfileState& state, std::wstring_view key, std::wstring_view profileName,
                std::optional<std::wstring>& value, std::optional<std::wstring>& read, std::wstring& asWritten,
                CommandResult& result)
{
    value.emplace();
    const std::wstring refusal = ReadProfileValueRefusal(files, state, key, *value, profileName);
    read = value;
    if (!refusal.empty()) {
        value.reset();
        result.error = refusal + L"; nothing was written";
        result.exitCode = kExitProfileValueRefused;
        return false;
    }
    asWritten = LastValueAsWritten(state);
    return true;
}

StepResult ResultOf(StepState state)
{
    switch (state) {
    case StepState::Written:
        return StepResult::Written;
    case StepState::WouldBeWritten:
        return StepResult::WouldBeWritten;
    case StepState::Failed:
        return StepResult::Failed;
    case StepState::NotForThisType:
        return StepResult::NotForThisType;
    case StepState::NotReached:
        break;
    }
    return StepResult::NotReached;
}

// Tries at once first, so that an apply that has to wait says so before it
// does, and never while it holds the lock.
ApplyLockResult TakeTurn(Computer& computer, const std::function<void()>& waiting)
{
    ApplyLockResult lock = computer.LockApply(0);
    if (lock.outcome != LockOutcome::Busy)
        return lock;
    if (waiting)
        waiting();
    return computer.LockApply(kApplyLockWaitMilliseconds);
}

// A step of the run beside the value as it was before it.
StepOutcome Outcome(Registry& registry, StepOutcome before, const StepRun& step)
{
    StepOutcome outcome = std::move(before);
    outcome.result = ResultOf(step.state);
    outcome.afterFailure = step.afterFailure;
    outcome.updateResult = step.updateResult;
    if (step.state == StepState::NotForThisType) {
        // Left as it is: the data it keeps.
        outcome.newData = outcome.now ? std::optional(outcome.now->data) : std::nullopt;
        return outcome;
    }
    // Text the code page cannot carry is shown as the profile holds it, not
    // with the substitutes it would get.
    std::optional<std::wstring> stored;
    if (outcome.now && MisfitOf(step.updateResult) == DataMisfit::None)
        stored = NewDataAsStored(registry, outcome.now->type, step.newValue);
    outcome.newData = stored ? *stored : step.newValue;
    if (step.state == StepState::Failed)
        outcome.error = StepFailure(outcome);
    return outcome;
}

CommandResult CheckOrApply(Registry& registry, ProfileFiles& files, Computer& computer, ProfileState& state,
                           std::wstring_view profileName, const std::function<void()>& waiting, CommandResult result)
{
    const bool write = result.command == CommandName::Apply;
    const std::wstring command = std::wstring(CommandText(result.command)) + L" " + std::wstring(result.type->name);
    if (!computer.IsElevated()) {
        result.error = command + std::wstring(kNeedsElevation) + L"; nothing was written";
        result.exitCode = kExitNotElevated;
        return result;
    }
    if (!result.profileFound) {
        result.error = L"profile file not found: " + result.profilePath;
        result.exitCode = kExitProfileMissing;
        return result;
    }
    // A check writes nothing and needs no turn. The hold goes after the lock,
    // so that it is released last.
    std::unique_ptr<InterruptionHold> hold;
    ApplyLockResult lock;
    if (write) {
        lock = TakeTurn(computer, waiting);
        if (lock.outcome == LockOutcome::Busy) {
            result.error = L"another Hostwend is applying settings on this computer and did not finish within "
                           L"30 seconds; nothing was written";
            result.exitCode = kExitApplyBusy;
            return result;
        }
        if (lock.outcome != LockOutcome::Acquired) {
            result.error = L"the apply lock cannot be used: " + lock.reason + L"; nothing was written";
            result.exitCode = kExitLockUnusable;
            return result;
        }
        // Its turn come, an apply runs to its last step: Ctrl+C or a closed
        // console waits for it. While it waits its turn, either ends it.
        hold = computer.HoldInterruptions();
    }

    std::wstring addressAsWritten;
    std::wstring portAsWritten;
    if (!ReadUsable(files, state, result.type->addressKey, profileName, result.address, result.addressRead,
                    addressAsWritten, result) ||
        !ReadUsable(files, state, kPortKey, profileName, result.port, result.portRead, portAsWritten, result))
        return result;
    // Both values are read and will be applied; a warning refuses nothing.
    for (std::wstring warning : {ProfileValueWarning(result.type->addressKey, *result.address, profileName),
                                 ProfileValueWarning(kPortKey, *result.port, profileName)})
        if (!warning.empty())
            result.warnings.push_back(std::move(warning));
    result.started = true;

    // Each value as it is before the run, to show beside what it becomes.
    result.before = ReadStepValues(registry);
    std::vector<StepOutcome> before = ValuesNow(result.before, computer);

    // Every step is checked before the first write: what the profile holds
    // and this client cannot store fails on every such client, and is
    // refused whole rather than found half-way.
    const bool vsat = result.type->option == OptionButton::OptVsat;
    const auto vsatWanted = [vsat] { return vsat; };
    const ApplyRun check = ApplyAddress(registry, *result.address, *result.port, ApplyMode::CheckOnly, vsatWanted);
    const bool refused = check.profileDataStep.has_value();
    const ApplyRun& run = result.run.emplace(
        write && !refused ? ApplyAddress(registry, *result.address, *result.port, ApplyMode::Write, vsatWanted)
                          : check);
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        result.steps.push_back(Outcome(registry, std::move(before[i]), run.steps[i]));
    // The one the error names first, then a line for each other failure.
    const std::optional<std::size_t> named = refused ? check.profileDataStep : run.failedStep;
    for (std::size_t i = 0; i < kApplyStepCount && !write; ++i)
        if (result.steps[i].result == StepResult::Failed && i != named)
            result.otherErrors.push_back(result.steps[i].error +
                                         (result.steps[i].afterFailure ? L" (after a failure)" : L""));

    if (refused) {
        const StepOutcome& misfit = result.steps[*check.profileDataStep];
        const bool address = misfit.step->carriesAddress;
        result.error = ProfileDataRefusal(misfit, address ? result.type->addressKey : kPortKey, profileName,
                                          address ? addressAsWritten : portAsWritten) +
                       L"; nothing was written";
        result.exitCode = kExitProfileValueRefused;
        // An apply refused whole reports as any other refused profile value;
        // check shows every step.
        if (write) {
            result.steps.clear();
            result.started = false;
        }
    } else if (run.failedStep) {
        const StepOutcome& failed = result.steps[*run.failedStep];
        result.exitCode = StepFailedExitCode(failed.number);
        result.error = failed.error + (write ? L"; nothing after it was written" : L"; apply would stop here");
    } else {
        result.report = write ? AppliedReport(*result.type, *result.address)
                              : L"apply " + std::wstring(result.type->name) + L" would write every value.";
    }
    return result;
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

} // namespace

CommandResult RunCommand(Registry& registry, ProfileFiles& files, Computer& computer, Network& network,
                         ProfileState& state, const Arguments& arguments, const std::wstring& profilePath,
                         const std::function<void()>& waiting) noexcept
{
    CommandResult result;
    result.command = arguments.command;
    result.type = arguments.type;
    result.profilePath = profilePath;
    try {
        result.profileFound = !files.FileTest(profilePath).empty();
        state.ProfilePath = profilePath;
        if (arguments.command == CommandName::Show)
            return Show(registry, files, computer, state, std::move(result));
        // A file named on the command line is named in a refusal; the one
        // beside the program keeps the name operators know.
        const std::wstring_view profileName = arguments.profilePath ? std::wstring_view(profilePath)
                                                                    : kProfileFileName;
        result = CheckOrApply(registry, files, computer, state, profileName, waiting, std::move(result));
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
