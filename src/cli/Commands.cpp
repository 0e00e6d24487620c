#include "cli/Commands.h"

#include "cli/ExitCodes.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ProfileValueWarning.h"
#include "profile/ReadProfileValue.h"
#include "registry/ApplyAddress.h"
#include "registry/UpdateRegValue.h"

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

StepOutcome ValueNow(std::size_t index, const RegValueRead& read)
{
    StepOutcome outcome;
    outcome.number = index + 1;
    outcome.step = &ApplySteps()[index];
    outcome.read = read.read;
    outcome.now = read.now;
    return outcome;
}

CommandResult Show(Registry& registry, ProfileFiles& files, ProfileState& state, CommandResult result)
{
    result.started = true;
    const StepValues now = ReadStepValues(registry);
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        result.steps.push_back(ValueNow(i, now[i]));
    PointAtProfileType(files, state, result);
    return result;
}

// Reads one value as the window's Apply does, refusing what it refuses; a
// refusal names the file it came from.
bool ReadUsable(ProfileFiles& files, ProfileState& state, std::wstring_view key, std::wstring_view profileName,
                std::optional<std::wstring>& value, CommandResult& result)
{
    value.emplace();
    if (std::wstring refusal = ReadProfileValueRefusal(files, state, key, *value, profileName); !refusal.empty()) {
        result.error = refusal + L"; nothing was written";
        result.exitCode = kExitProfileValueRefused;
        return false;
    }
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
    case StepState::NotReached:
        break;
    }
    return StepResult::NotReached;
}

CommandResult CheckOrApply(Registry& registry, ProfileFiles& files, Computer& computer, ProfileState& state,
                           std::wstring_view profileName, CommandResult result)
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
    // An apply runs to its last step once it has begun: Ctrl+C or a closed
    // console waits for it. A check writes nothing and needs no turn.
    std::unique_ptr<InterruptionHold> hold;
    ApplyLockResult lock;
    if (write) {
        hold = computer.HoldInterruptions();
        lock = computer.LockApply(kApplyLockWaitMilliseconds);
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
    }

    if (!ReadUsable(files, state, result.type->addressKey, profileName, result.address, result) ||
        !ReadUsable(files, state, kPortKey, profileName, result.port, result))
        return result;
    // Both values are read and will be applied; a warning refuses nothing.
    for (std::wstring warning : {ProfileValueWarning(result.type->addressKey, *result.address),
                                 ProfileValueWarning(kPortKey, *result.port)})
        if (!warning.empty())
            result.warnings.push_back(std::move(warning));
    result.started = true;

    // Each value as it is before the run, to show beside what it becomes.
    result.before = ReadStepValues(registry);

    const bool vsat = result.type->option == OptionButton::OptVsat;
    const ApplyRun& run = result.run.emplace(ApplyAddress(registry, *result.address, *result.port,
                                                          write ? ApplyMode::Write : ApplyMode::CheckOnly,
                                                          [vsat] { return vsat; }));
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const StepRun& step = run.steps[i];
        if (step.state == StepState::NotForThisType)
            continue;
        StepOutcome outcome = ValueNow(i, result.before[i]);
        std::optional<std::wstring> stored;
        if (outcome.now)
            stored = NewDataAsStored(registry, outcome.now->type, step.newValue);
        outcome.newData = stored ? *stored : step.newValue;
        outcome.result = ResultOf(step.state);
        outcome.updateResult = step.updateResult;
        result.steps.push_back(std::move(outcome));
    }
    if (run.failedStep) {
        const StepRun& failed = run.steps[*run.failedStep];
        result.exitCode = StepFailedExitCode(failed.number);
        result.error = std::wstring(failed.step->prompt) + L" (" +
                       std::wstring(DescribeUpdateResult(failed.updateResult)) + L")";
    } else {
        result.report = write ? AppliedReport(*result.type, *result.address)
                              : L"apply " + std::wstring(result.type->name) + L" would write every value.";
    }
    return result;
}

} // namespace

CommandResult RunCommand(Registry& registry, ProfileFiles& files, Computer& computer, ProfileState& state,
                         const Arguments& arguments, const std::wstring& profilePath) noexcept
{
    CommandResult result;
    result.command = arguments.command;
    result.type = arguments.type;
    result.profilePath = profilePath;
    try {
        result.profileFound = !files.FileTest(profilePath).empty();
        state.ProfilePath = profilePath;
        if (arguments.command == CommandName::Show)
            return Show(registry, files, state, std::move(result));
        // A file named on the command line is named in a refusal; the one
        // beside the program keeps the name operators know.
        const std::wstring_view profileName = arguments.profilePath ? std::wstring_view(profilePath)
                                                                    : kProfileFileName;
        return CheckOrApply(registry, files, computer, state, profileName, std::move(result));
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
