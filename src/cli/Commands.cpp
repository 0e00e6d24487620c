#include "cli/Commands.h"

#include "cli/ExitCodes.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ProfileValueWarning.h"
#include "profile/ReadProfileValue.h"
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

void PointAtProfileType(Platform& platform, ProfileState& state, CommandResult& result)
{
    FindHeldAddress(result);
    if (!result.profileFound) {
        result.pointsAt.clear();
        return;
    }
    if (!result.heldAddress)
        return;
    for (const ConnectionType& type : kConnectionTypes) {
        const std::wstring address = ReadProfileValue(platform, state, type.addressKey);
        if (ProfileValueRefusal(type.addressKey, address, state.ProfileLength).empty() &&
            SameAddress(address, *result.heldAddress)) {
            result.pointsAt = type.name;
            return;
        }
    }
}

StepOutcome ValueNow(Platform& platform, std::size_t number, const ApplyStep& step)
{
    StepOutcome outcome;
    outcome.number = number;
    outcome.step = &step;
    outcome.now = ReadRegValue(platform, step.keyPath, step.valueName);
    return outcome;
}

CommandResult Show(Platform& platform, ProfileState& state, CommandResult result, Progress& progress)
{
    progress.Started(result);
    std::size_t number = 0;
    for (const ApplyStep& step : ApplySteps()) {
        const StepOutcome outcome = ValueNow(platform, ++number, step);
        result.steps.push_back(outcome);
        progress.StepDone(outcome);
    }
    PointAtProfileType(platform, state, result);
    return result;
}

// Reads one value as the window's Apply does, refusing what it refuses.
bool ReadUsable(Platform& platform, ProfileState& state, std::wstring_view key, std::optional<std::wstring>& value,
                CommandResult& result)
{
    value.emplace();
    if (std::wstring refusal = ReadProfileValueRefusal(platform, state, key, *value); !refusal.empty()) {
        result.error = refusal + L"; nothing was written";
        result.exitCode = kExitProfileValueRefused;
        return false;
    }
    return true;
}

CommandResult CheckOrApply(Platform& platform, ProfileState& state, CommandResult result, Progress& progress)
{
    const bool write = result.command == CommandName::Apply;
    const std::wstring command = std::wstring(CommandText(result.command)) + L" " + std::wstring(result.type->name);
    if (!platform.IsElevated()) {
        result.error = command + std::wstring(kNeedsElevation) + L"; nothing was written";
        result.exitCode = kExitNotElevated;
        return result;
    }
    if (!result.profileFound) {
        result.error = L"profile file not found: " + result.profilePath;
        result.exitCode = kExitProfileMissing;
        return result;
    }
    // A check writes nothing and needs no turn; an apply waits for one.
    std::unique_ptr<ApplyLock> lock;
    if (write && !(lock = platform.LockApply(kApplyLockWaitMilliseconds))) {
        result.error = L"another Hostwend is applying settings on this computer and did not finish within "
                       L"30 seconds; nothing was written";
        result.exitCode = kExitApplyBusy;
        return result;
    }

    if (!ReadUsable(platform, state, result.type->addressKey, result.address, result) ||
        !ReadUsable(platform, state, kPortKey, result.port, result))
        return result;
    // Both values are read and will be applied; a warning refuses nothing.
    for (std::wstring warning : {ProfileValueWarning(result.type->addressKey, *result.address),
                                 ProfileValueWarning(kPortKey, *result.port)})
        if (!warning.empty())
            result.warnings.push_back(std::move(warning));
    progress.Started(result);

    const bool vsat = result.type->option == OptionButton::OptVsat;
    std::size_t number = 0;
    for (const ApplyStep& step : ApplySteps()) {
        ++number;
        if (step.onlyForVsat && !vsat)
            continue;
        StepOutcome outcome = ValueNow(platform, number, step);
        const std::wstring composed = step.compose(*result.address, *result.port);
        std::optional<std::wstring> stored;
        if (outcome.now)
            stored = NewDataAsStored(platform, outcome.now->type, composed);
        outcome.newData = stored ? *stored : composed;
        if (result.exitCode != kExitDone) {
            outcome.result = StepResult::NotReached;
        } else {
            outcome.updateResult = write ? UpdateRegValue(platform, kHkeyLocalMachine, step.keyPath, step.valueName,
                                                          composed)
                                         : CheckRegValue(platform, kHkeyLocalMachine, step.keyPath, step.valueName,
                                                         composed);
            if (outcome.updateResult.empty()) {
                outcome.result = write ? StepResult::Written : StepResult::WouldBeWritten;
            } else {
                outcome.result = StepResult::Failed;
                result.exitCode = StepFailedExitCode(number);
                result.error = std::wstring(step.prompt) + L" (" +
                               std::wstring(DescribeUpdateResult(outcome.updateResult)) + L")";
            }
        }
        result.steps.push_back(outcome);
        progress.StepDone(outcome);
    }
    if (result.exitCode == kExitDone)
        result.report = write ? AppliedReport(*result.type, *result.address)
                              : L"apply " + std::wstring(result.type->name) + L" would write every value.";
    return result;
}

} // namespace

CommandResult RunCommand(Platform& platform, ProfileState& state, const Arguments& arguments,
                         const std::wstring& profilePath, Progress& progress)
{
    CommandResult result;
    result.command = arguments.command;
    result.type = arguments.type;
    result.profilePath = profilePath;
    result.profileFound = !platform.FileTest(profilePath).empty();
    state.ProfilePath = profilePath;
    if (arguments.command == CommandName::Show)
        return Show(platform, state, std::move(result), progress);
    return CheckOrApply(platform, state, std::move(result), progress);
}

} // namespace hostwend::cli
